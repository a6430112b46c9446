// kx_probe.exe: a stand-in child process for tests that start programs.
//
// Switches (each one argument; they act in the order listed, whatever their
// order on the command line):
//   --log=<file>       append a record of this run to <file>; without it the
//                      file named by the environment variable KX_PROBE_LOG
//                      is used, and without that nothing is written.
//   --mutex=<name>     own the named mutex <name> until the probe ends (taken
//                      before the record is written, so a logged probe
//                      holds it).
//   --cwd              add the working folder to the record.
//   --spawn [--as=<path>] -- <arguments...>
//                      start a child copy of this program with the arguments
//                      that follow "--" (quoted again as needed) and do not
//                      wait for it. With --as the image is first copied to
//                      <path> (an existing file there is kept) and the child
//                      runs from that copy, so it shows under another image
//                      name, e.g. ...\PSTORES.EXE.
//   --wait-for=<path>  wait until a file or folder <path> exists.
//   --sleep=<ms>       sleep that many milliseconds.
//   --exit=<code>      end with that exit code: decimal, or hexadecimal after
//                      "0x" (the whole 32-bit range, e.g. 0xC0000005).
//                      Default 0.
//
// The record is UTF-8 text appended in one write, one "key=value" line each:
//   pid=<process id>
//   parent=<id of the process that started this one, 0 when unknown>
//   cmdline=<the whole command line as the system gave it>
//   cwd=<working folder>                      (only with --cwd)
//   end
// With --spawn a second record follows once the child has started:
//   pid=<process id>
//   child=<process id of the spawned copy>
//   end
// and a last one right before the probe ends as asked (not when it is
// killed, nor on 0xBAD1):
//   pid=<process id>
//   exit=<exit code, decimal>
//   end
// Process ids are reused quickly (under Wine at once), so a test should
// learn that a probe ended from its exit record or its handle, not from
// whether some process with its id still runs.
// The file carries a version resource (probe.rc) for the tests of version
// queries.
//
// When something the switches ask for fails (the log cannot be written, the
// copy or the child cannot be made) the probe exits with 0xBAD1 at once.
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kProbeFailed = 0xBAD1;

bool starts_with(const std::wstring& s, const wchar_t* prefix, std::wstring* rest) {
  const size_t n = wcslen(prefix);
  if (s.compare(0, n, prefix) != 0) return false;
  if (rest) *rest = s.substr(n);
  return true;
}

// One argument quoted so that CommandLineToArgvW gives it back unchanged.
std::wstring quote_argument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') backslashes = backslashes * 2 + 1;
    out.append(backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  out += L'"';
  return out;
}

std::string utf8(const std::wstring& s) {
  if (s.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

DWORD parent_process_id() {
  DWORD parent = 0;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W e{};
  e.dwSize = sizeof e;
  for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e)) {
    if (e.th32ProcessID == GetCurrentProcessId()) {
      parent = e.th32ParentProcessID;
      break;
    }
  }
  CloseHandle(snap);
  return parent;
}

// Appends `text` in one write. Parent and child may share the file, so a
// sharing conflict is waited out for a while.
bool append_record(const std::wstring& file, const std::string& text) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      if (GetLastError() != ERROR_SHARING_VIOLATION) return false;
      Sleep(20);
      continue;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == text.size();
  }
  return false;
}

std::wstring current_folder() {
  std::vector<wchar_t> buf(GetCurrentDirectoryW(0, nullptr) + 1);
  const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buf.size()), buf.data());
  return std::wstring(buf.data(), n < buf.size() ? n : 0);
}

std::wstring own_path() {
  std::vector<wchar_t> buf(32768);
  const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
  return std::wstring(buf.data(), n);
}

DWORD parse_code(const std::wstring& text) {
  return static_cast<DWORD>(
      wcstoul(text.c_str(), nullptr,
              starts_with(text, L"0x", nullptr) || starts_with(text, L"0X", nullptr) ? 16 : 10));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring log, as, wait_for, mutex_name, rest;
  bool with_cwd = false, spawn = false;
  DWORD sleep_ms = 0, exit_code = 0;
  std::wstring child_args;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--") {
      for (int j = i + 1; j < argc; ++j) child_args += L" " + quote_argument(argv[j]);
      break;
    }
    if (starts_with(arg, L"--log=", &rest)) {
      log = rest;
    } else if (starts_with(arg, L"--mutex=", &rest)) {
      mutex_name = rest;
    } else if (arg == L"--cwd") {
      with_cwd = true;
    } else if (arg == L"--spawn") {
      spawn = true;
    } else if (starts_with(arg, L"--as=", &rest)) {
      as = rest;
    } else if (starts_with(arg, L"--wait-for=", &rest)) {
      wait_for = rest;
    } else if (starts_with(arg, L"--sleep=", &rest)) {
      sleep_ms = parse_code(rest);
    } else if (starts_with(arg, L"--exit=", &rest)) {
      exit_code = parse_code(rest);
    } else {
      fwprintf(stderr, L"kx_probe: unknown argument %ls\n", arg.c_str());
      return static_cast<int>(kProbeFailed);
    }
  }
  if (log.empty()) {
    wchar_t env[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableW(L"KX_PROBE_LOG", env, MAX_PATH * 2);
    if (n && n < MAX_PATH * 2) log.assign(env, n);
  }

  // Closed by the system when the probe ends.
  if (!mutex_name.empty() && !CreateMutexW(nullptr, TRUE, mutex_name.c_str()))
    return static_cast<int>(kProbeFailed);

  const std::string pid_line = "pid=" + std::to_string(GetCurrentProcessId()) + "\n";
  if (!log.empty()) {
    std::string record = pid_line + "parent=" + std::to_string(parent_process_id()) + "\n" +
                         "cmdline=" + utf8(GetCommandLineW()) + "\n";
    if (with_cwd) record += "cwd=" + utf8(current_folder()) + "\n";
    if (!append_record(log, record + "end\n")) return static_cast<int>(kProbeFailed);
  }

  if (spawn) {
    std::wstring image = own_path();
    if (!as.empty()) {
      if (!CopyFileW(image.c_str(), as.c_str(), TRUE) && GetLastError() != ERROR_FILE_EXISTS)
        return static_cast<int>(kProbeFailed);
      image = as;
    }
    std::wstring command = quote_argument(image) + child_args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(image.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi))
      return static_cast<int>(kProbeFailed);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (!log.empty() &&
        !append_record(log, pid_line + "child=" + std::to_string(pi.dwProcessId) + "\nend\n"))
      return static_cast<int>(kProbeFailed);
  }

  if (!wait_for.empty()) {
    while (GetFileAttributesW(wait_for.c_str()) == INVALID_FILE_ATTRIBUTES) Sleep(20);
  }
  if (sleep_ms) Sleep(sleep_ms);
  if (!log.empty() &&
      !append_record(log, pid_line + "exit=" + std::to_string(exit_code) + "\nend\n"))
    return static_cast<int>(kProbeFailed);
  return static_cast<int>(exit_code);
}
