// Starting programs and waiting for them and for what they start.
#pragma once

#include <windows.h>

#include "base/stringx.h"
#include "platform/unique_handle.h"

namespace kx {

// Wait flags of launch and wait_for_process_tree.
enum wait_flag : unsigned {
  wait_process = 1,      // wait for the started process itself
  wait_children = 2,     // also for the processes it starts (implies 1)
  wait_descendants = 4,  // for every descendant (implies 2)
  launch_shell = 8,      // start through ShellExecuteExW (launch only)
};

// Results of launch.
enum launch_result : int {
  launch_ok = 0,
  launch_not_started = -1,  // the error is kept (see launch)
  launch_wait_failed = -2,
  launch_timed_out = -3,  // the process keeps running
};

// The last launched process, kept process-wide for whoever needs it after
// the launch (its exit code, or the handle to wait on).
struct launched_process {
  unique_handle handle;  // null when the shell started no process
  DWORD id = 0;
  DWORD exit_code = 0;  // STILL_ACTIVE (259) when it was not waited for
};
launched_process& last_launch() noexcept;

// Starts `program` with `arguments` and waits as `wait_flags` say, for at
// most `timeout_ms` (INFINITE for no limit) across the whole tree.
//
// With launch_shell: ShellExecuteExW with `verb`, `program`, `arguments`,
// `folder` and `show`, and `creation_flags` plus SEE_MASK_NOCLOSEPROCESS as
// its mask; it started when it returns true or an instance value above 32.
// Otherwise CreateProcessW on `program` (in double quotes when it contains a
// blank and is not quoted yet) and `arguments` joined by one blank, without
// inherited handles, showing as `show` (STARTF_USESHOWWINDOW), with
// `creation_flags`, in `folder` when one is given.
//
// After the start: WaitForInputIdle (at most 1000 ms), the tree wait, and
// the exit code into last_launch(). Waits dispatch window messages.
// Returns a launch_result. launch_not_started keeps the Win32 error (or the
// shell's instance value when it gave no error) as the thread's last error
// and in the process-wide error record with `program`, and empties
// last_launch().
int launch(const string& program, const string& arguments, const string& verb, const string& folder,
           unsigned wait_flags, DWORD timeout_ms, int show, DWORD creation_flags);

// Waits for the process `process` (id `id`) and, by `flags`, for what it
// started: wait_process alone waits for the process; with wait_children,
// once it has ended, for each process whose parent it was (with
// wait_descendants: of which it is an ancestor), that was created no earlier
// than it, and whose image name does not contain "PSTORES.EXE" - each of
// them waited for the same way, until none is left. Since process ids are
// reused, the process directly below the ended one must also have been
// created before that one ended. Without wait_process (or implying flags)
// or with a time-out of 0 nothing is waited for. `timeout_ms` bounds the
// whole wait. Returns WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED. Window
// messages are dispatched meanwhile.
DWORD wait_for_process_tree(DWORD id, HANDLE process, unsigned flags, DWORD timeout_ms);

// One wait for `process` (INFINITE for no limit), dispatching window
// messages. 0 when it ended (its exit code then goes to last_launch()),
// else the wait result (WAIT_TIMEOUT, WAIT_FAILED).
DWORD wait_for_process(HANDLE process, DWORD timeout_ms);

}  // namespace kx
