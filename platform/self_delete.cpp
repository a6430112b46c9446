#include "platform/self_delete.h"

#include <windows.h>

#include <string>

#include "base/exceptions.h"
#include "platform/folders.h"
#include "platform/unique_handle.h"

namespace kx {

namespace {

constexpr DWORD kModulePathChars = 1024;

string without_final_backslash(string path) {
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

// The full, long form of `path`, so that one folder named two ways compares
// equal and ".." cannot lead a prefix test astray; `path` itself when the
// system cannot tell.
string canonical(const string& path) {
  if (path.empty()) return path;
  std::wstring full(MAX_PATH, L'\0');
  DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (n >= full.size()) {
    full.resize(n);
    n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  if (n == 0 || n >= full.size()) return path;
  full.resize(n);
  std::wstring long_form(MAX_PATH, L'\0');
  DWORD m = GetLongPathNameW(full.c_str(), long_form.data(), static_cast<DWORD>(long_form.size()));
  if (m >= long_form.size()) {
    long_form.resize(m);
    m = GetLongPathNameW(full.c_str(), long_form.data(), static_cast<DWORD>(long_form.size()));
  }
  if (m == 0 || m >= long_form.size()) return string(full);
  long_form.resize(m);
  return string(long_form);
}

bool cmd_would_interpret(const string& path) {
  return path.find_first_of(L"%^!") != string::npos;
}

// Whether `path` lies below `folder` (no final backslash), at any depth.
bool lies_below(const string& path, const string& folder) {
  return !folder.empty() && path.size() > folder.size() + 1 && path.starts_with_i(folder) &&
         path[folder.size()] == L'\\';
}

}  // namespace

string self_delete_command(const string& interpreter, const string& program, bool remove_folder,
                           const string& run_temp_folder, const string& user_temp) {
  const string run_folder = without_final_backslash(run_temp_folder);
  const string temp_root = without_final_backslash(user_temp);
  if (user_temp.empty() || !lies_below(run_folder, temp_root) || !lies_below(program, run_folder))
    return string();
  const string& target = remove_folder ? run_folder : program;
  if (cmd_would_interpret(target)) return string();
  const size_t slash = interpreter.rfind(L'\\');
  const string pause =
      L"\"" + (slash == string::npos ? string() : interpreter.substr(0, slash + 1)) + L"ping.exe\"";
  const string quoted = L"\"" + target + L"\"";
  // Removing first, then waiting only while the target is still there: a
  // program that has already ended costs no wait at all. The loop's body is
  // one parenthesised block (no "@" before it), which every interpreter
  // that may run this reads alike.
  return L"\"" + interpreter + L"\" /c for /l %i in (1,1," +
         string(std::to_wstring(kSelfDeleteTries)) + L") do (" +
         (remove_folder ? L"rmdir /s /q " : L"del ") + quoted + L" & if exist " + quoted + L" (" +
         pause + L" -n 2 127.0.0.1 >nul) else (exit))";
}

bool self_delete_file(const string& program, bool remove_folder, const string& run_temp_folder) {
  if (program.empty() || GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES)
    return false;
  string system;
  string user_temp;
  try {
    system = system_folder(0);
    user_temp = temp_folder();
  } catch (const win32_exception&) {
    // Without the system folder there is no interpreter to start; without
    // the temporary folder no folder is known to be the run's.
    if (system.empty()) return false;
  }
  const string command = self_delete_command(system + L"cmd.exe", canonical(program), remove_folder,
                                             canonical(run_temp_folder), canonical(user_temp));
  if (command.empty()) return false;

  std::wstring line = command.str();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION started{};
  // The interpreter works in the system folder: a working folder inside the
  // folder it removes would keep that folder in use.
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, IDLE_PRIORITY_CLASS, nullptr,
                      system.c_str(), &startup, &started))
    return false;
  unique_handle process(started.hProcess);
  unique_handle thread(started.hThread);
  return true;
}

bool self_delete(bool remove_folder, const string& run_temp_folder) {
  std::wstring path(kModulePathChars, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, path.data(), kModulePathChars);
  if (n == 0 || n >= kModulePathChars) return false;
  path.resize(n);
  return self_delete_file(string(path), remove_folder, run_temp_folder);
}

}  // namespace kx
