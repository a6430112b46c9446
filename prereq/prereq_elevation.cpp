#include "prereq/prereq_elevation.h"

#include <shellapi.h>

#include "platform/group_member.h"
#include "platform/message_wait.h"
#include "platform/os_version.h"

namespace kx::prereq {

namespace {

// The copy's window may take a while to come up under a prompt.
constexpr DWORD kIdleWaitMs = 10000;

class shell_runas final : public elevation_launcher {
 public:
  unique_handle start(const string& program, const string& arguments, HWND owner,
                      int show) override {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOZONECHECKS;
    info.hwnd = owner;
    info.lpVerb = L"runas";
    info.lpFile = program.c_str();
    info.lpParameters = arguments.c_str();
    info.nShow = show;
    if (!ShellExecuteExW(&info)) {
      if (GetLastError() == 0) SetLastError(ERROR_NOT_SUPPORTED);
      return unique_handle();
    }
    // A start without a process (a DDE answer) cannot be waited for and
    // tells nothing about the rights.
    if (!info.hProcess) SetLastError(ERROR_INVALID_HANDLE);
    return unique_handle(info.hProcess);
  }
};

elevation_launcher* g_launcher = nullptr;

// Hides the launcher's window while the copy runs and always shows it again.
class hidden_while {
 public:
  explicit hidden_while(HWND window)
      : window_(window && IsWindowVisible(window) ? window : nullptr) {
    if (window_) ShowWindow(window_, SW_HIDE);
  }
  ~hidden_while() {
    if (window_) ShowWindow(window_, SW_SHOW);
  }
  hidden_while(const hidden_while&) = delete;
  hidden_while& operator=(const hidden_while&) = delete;

 private:
  HWND window_;
};

}  // namespace

bool elevation_needed(bool needs_rights) {
  return needs_rights && current_system_facts().version().info.dwMajorVersion >= 6 &&
         !group_member(true, true);
}

string quoted_argument(const string& text) {
  string out(KXT("\""));
  std::size_t backslashes = 0;
  for (const xchar c : text.as_view()) {
    if (c == xchar('\\')) {
      ++backslashes;
      continue;
    }
    // Backslashes count double only in front of a quote.
    const std::size_t n = c == xchar('"') ? backslashes * 2 + 1 : backslashes;
    out.append(n, xchar('\\'));
    out += c;
    backslashes = 0;
  }
  out.append(backslashes * 2, xchar('\\'));
  out += xchar('"');
  return out;
}

string elevated_arguments(const string& relaunch, const string& features, const string& debug_log) {
  string arguments = relaunch;
  arguments += KXT(" /runprerequisites");
  arguments += quoted_argument(features);
  if (!debug_log.empty()) {
    arguments += KXT(" /debuglog");
    arguments += quoted_argument(debug_log);
  }
  return arguments;
}

int elevated_result(DWORD exit_code) noexcept {
  return exit_code == 0 || exit_code == 7 ? static_cast<int>(exit_code) : 9;
}

elevation_launcher& system_elevation_launcher() {
  static shell_runas launcher;
  return launcher;
}

elevation_launcher& current_elevation_launcher() {
  return g_launcher ? *g_launcher : system_elevation_launcher();
}

elevation_launcher* set_elevation_launcher(elevation_launcher* launcher) noexcept {
  elevation_launcher* previous = g_launcher;
  g_launcher = launcher;
  return previous;
}

elevated_run run_elevated(const string& program, const string& arguments, HWND main_window,
                          bool silent) {
  elevated_run run;
  unique_handle process = current_elevation_launcher().start(program, arguments, main_window,
                                                             silent ? SW_HIDE : SW_SHOWNORMAL);
  if (!process) {
    run.error = GetLastError();
    return run;
  }
  run.started = true;
  // A console copy (or one that shows no window yet) fails this at once;
  // the wait below is what counts.
  WaitForInputIdle(process.get(), kIdleWaitMs);
  hidden_while hidden(main_window);
  if (wait_pumping_messages(process.get(), INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.get(), &run.exit_code))
    run.exit_code = static_cast<DWORD>(-1);
  return run;
}

}  // namespace kx::prereq
