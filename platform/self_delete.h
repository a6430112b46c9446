// Removing the launcher's own copy after its process has ended: a hidden
// command interpreter, started last, deletes what the running program could
// not delete while it ran.
#pragma once

#include "base/stringx.h"

namespace kx {

// The command line that removes `program`, run by `interpreter`:
// - "\"<interpreter>\" /c rmdir /s /q \"<folder>\"" with the program's
//   folder (no final backslash) when `remove_folder` is set, that folder is
//   the run's temporary folder `run_temp_folder`, and it lies below the
//   user's temporary folder `user_temp`: the folder the run made for itself,
//   never one the program was merely started from;
// - otherwise "\"<interpreter>\" /c del \"<program>\"".
// Folders compare without regard to case or a final backslash. Empty when
// the path to remove holds "%", "^" or "!": the interpreter expands or
// escapes these even inside quotes, so the command could name other files.
string self_delete_command(const string& interpreter, const string& program, bool remove_folder,
                           const string& run_temp_folder, const string& user_temp);

// Starts self_delete_command for `program` with cmd.exe of the system folder
// and the user's temporary folder (every path made full and long first):
// hidden, at idle priority, in the system folder, without inherited handles,
// and without waiting. True when the interpreter started; false with nothing
// started when `program` does not exist, the command is refused or the start
// fails.
bool self_delete_file(const string& program, bool remove_folder, const string& run_temp_folder);

// self_delete_file for the running program (GetModuleFileNameW).
bool self_delete(bool remove_folder, const string& run_temp_folder);

}  // namespace kx
