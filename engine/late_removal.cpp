#include "engine/late_removal.h"

#include <windows.h>

namespace kxe {
namespace {

bool InterpreterSafe(const std::wstring& path) {
  return !path.empty() && path.find_first_of(L"%^!\"") == std::wstring::npos;
}

std::wstring Quoted(const std::wstring& path) {
  return L"\"" + path + L"\"";
}

}  // namespace

std::wstring LateRemovalCommand(const std::wstring& interpreter,
                                const std::vector<std::wstring>& files,
                                const std::vector<std::wstring>& folders) {
  if (files.empty() || !InterpreterSafe(interpreter)) return {};
  for (const auto& path : files) {
    if (!InterpreterSafe(path)) return {};
  }
  for (const auto& path : folders) {
    if (!InterpreterSafe(path)) return {};
  }
  const size_t slash = interpreter.rfind(L'\\');
  const std::wstring pause =
      Quoted((slash == std::wstring::npos ? std::wstring() : interpreter.substr(0, slash + 1)) +
             L"ping.exe") +
      L" -n 2 127.0.0.1 >nul";
  std::wstring deletes;
  std::wstring waits;
  for (const auto& path : files) {
    deletes += L"del /f /q " + Quoted(path) + L" 2>nul & ";
    waits += L"if exist " + Quoted(path) + L" (" + pause + L") else ";
  }
  std::wstring removes;
  for (const auto& path : folders) removes += L"rmdir " + Quoted(path) + L" 2>nul & ";
  // Deleting first and waiting only while something is left: files that
  // are free already cost no wait; once all are gone the folders follow and
  // "exit" ends the loop.
  return Quoted(interpreter) + L" /d /c for /l %i in (1,1," + std::to_wstring(kLateRemovalTries) +
         L") do (" + deletes + waits + L"(" + removes + L"exit))";
}

bool StartLateRemoval(const std::vector<std::wstring>& files,
                      const std::vector<std::wstring>& folders) {
  wchar_t system[MAX_PATH];
  const UINT n = GetSystemDirectoryW(system, MAX_PATH);
  std::wstring command;
  if (n > 0 && n < MAX_PATH)
    command = LateRemovalCommand(std::wstring(system, n) + L"\\cmd.exe", files, folders);
  if (!command.empty()) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started{};
    // The interpreter works in the system folder: a working folder inside
    // a folder it removes would keep that folder in use.
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                       IDLE_PRIORITY_CLASS | CREATE_NO_WINDOW, nullptr, system, &startup,
                       &started)) {
      CloseHandle(started.hThread);
      CloseHandle(started.hProcess);
      return true;
    }
  }
  for (const auto& path : files) MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return false;
}

}  // namespace kxe
