// Removing the launcher's own copy after its process has ended: a hidden
// command interpreter, started last, deletes what the running program could
// not delete while it ran.
#pragma once

#include "base/stringx.h"

namespace kx {

// How long the command keeps trying: the interpreter may run before the
// program has ended (its idle priority delays nothing on an idle second
// core), and a running program's file, and so its folder, cannot go yet.
inline constexpr int kSelfDeleteTries = 30;

// The command line that removes `program`, run by `interpreter`, or empty
// when nothing may be removed. Only a program inside the run's own
// temporary folder is removed: `run_temp_folder` when it lies below the
// user's temporary folder `user_temp` (never that folder itself). A program
// anywhere else - the medium's own setup.exe started by hand with
// "tempdisk1folder:", on a share or in the user's downloads - is not the
// run's to delete. With `remove_folder` the whole run folder (no final
// backslash) goes with "rmdir /s /q", otherwise the program alone with
// "del". The interpreter tries up to kSelfDeleteTries times, about a second
// apart (ping.exe beside the interpreter waits), until the target is gone.
// Folders compare without regard to case or a final backslash. Empty also
// when the path to remove holds "%", "^" or "!": the interpreter expands or
// escapes these even inside quotes, so the command could name other files.
string self_delete_command(const string& interpreter, const string& program, bool remove_folder,
                           const string& run_temp_folder, const string& user_temp);

// Starts self_delete_command for `program` with cmd.exe of the system folder
// and the user's temporary folder (every path made full and long first):
// hidden, at idle priority, in the system folder, without inherited handles,
// and without waiting. True when the interpreter started; false with nothing
// started when `program` does not exist, lies outside the run's own
// temporary folder, the command is refused or the start fails.
bool self_delete_file(const string& program, bool remove_folder, const string& run_temp_folder);

// self_delete_file for the running program (GetModuleFileNameW).
bool self_delete(bool remove_folder, const string& run_temp_folder);

}  // namespace kx
