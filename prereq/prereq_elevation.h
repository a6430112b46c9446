// Asking for administrative rights for the prerequisite phase: a copy of
// the running launcher started with "runas" and "/runprerequisites", which
// runs only that phase and reports how it went through its exit code.
//
// The copy never asks again: it is told by the switch that it is the one
// that was meant to have the rights, so a refused or ineffective elevation
// ends in a failure instead of a chain of waiting launchers.
#pragma once

#include <windows.h>

#include "base/stringx.h"
#include "platform/unique_handle.h"

namespace kx::prereq {

// The process-wide answer to "does this run lack the rights its selection
// needs": Windows Vista or later, a selected definition without `Lua`
// (`needs_rights`), and no enabled Administrators group in the token.
bool elevation_needed(bool needs_rights);

// `text` as one argument by the rules the C runtime splits command lines
// with: in double quotes, with backslashes before a quote (and at the end)
// doubled and quotes escaped, so that a folder ending in "\" stays one
// argument.
string quoted_argument(const string& text);

// The arguments of the elevated copy: `relaunch` (the launcher's relaunch
// arguments, possibly empty), then " /runprerequisites" with the quoted
// feature list, then " /debuglog" with the quoted path when `debug_log` is
// not empty.
string elevated_arguments(const string& relaunch, const string& features, const string& debug_log);

// What the prerequisite dialog makes of the copy's exit code: 0 done, 7
// stop for a reboot (the copy left the resume state), anything else a
// failure (9). A copy that never starts is not mapped here.
int elevated_result(DWORD exit_code) noexcept;

// Starts the elevated copy; the real one asks the shell for "runas", tests
// put a recording one in its place.
class elevation_launcher {
 public:
  virtual ~elevation_launcher() = default;
  // Starts `program` with `arguments` and the verb "runas", owned by
  // `owner` (may be null), shown with `show`. The process handle, or a null
  // handle with the thread's last error set (ERROR_CANCELLED when the user
  // refused the prompt).
  virtual unique_handle start(const string& program, const string& arguments, HWND owner,
                              int show) = 0;
};

// ShellExecuteExW "runas" with SEE_MASK_NOCLOSEPROCESS, no error user
// interface and no zone check.
elevation_launcher& system_elevation_launcher();

// The launcher used by run_elevated: the one put in with
// set_elevation_launcher, else the system's.
elevation_launcher& current_elevation_launcher();
// Puts `launcher` (null: the system's) in place and returns the previous
// one (null when it was the system's).
elevation_launcher* set_elevation_launcher(elevation_launcher* launcher) noexcept;

// How starting the elevated copy went.
struct elevated_run {
  bool started = false;
  // Why it did not start (the thread's last error of the start).
  DWORD error = 0;
  // Its exit code once it ended.
  DWORD exit_code = 0;
};

// Starts `program` elevated through current_elevation_launcher(), waits up
// to 10 s for it to become idle, hides `main_window` (may be null) while it
// runs, waits for it with window messages dispatched, and shows the main
// window again whichever way the wait ends.
elevated_run run_elevated(const string& program, const string& arguments, HWND main_window,
                          bool silent);

}  // namespace kx::prereq
