// kx_run.exe <command line>: starts the command line, waits for it, and
// prints "exit=<code>" with the whole 32-bit exit code as a signed number.
// Wine hands only the low 8 bits of a code to Linux, so end-to-end scenarios
// run the launcher through this. The command line comes from the variable
// KX_RUN_COMMAND when set: Wine rebuilds a command line from the Linux
// argument vector, escaping any quotes in it, so a text with quotes of its
// own cannot travel as an argument.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain() {
  const wchar_t* line = GetCommandLineW();
  // Skip our own name (quoted or not) and the blanks after it.
  if (*line == L'"') {
    line = wcschr(line + 1, L'"');
    line = line ? line + 1 : L"";
  } else {
    while (*line && *line != L' ') ++line;
  }
  while (*line == L' ') ++line;
  std::wstring command(line);
  if (DWORD n = GetEnvironmentVariableW(L"KX_RUN_COMMAND", nullptr, 0)) {
    command.assign(n, L'\0');
    command.resize(GetEnvironmentVariableW(L"KX_RUN_COMMAND", command.data(), n));
  }
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    std::printf("start failed %lu\n", GetLastError());
    return 1;
  }
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  std::printf("exit=%ld\n", static_cast<long>(code));
  std::fflush(stdout);
  return 0;
}
