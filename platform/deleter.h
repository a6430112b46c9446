// The deleter: at the end of the process, removes the files and folders the
// run recorded in its clean-up list, then starts the self-delete.
#pragma once

#include <windows.h>

#include <functional>

#include "base/stringx.h"
#include "platform/cleanup_list.h"

namespace kx {

// Attempts per entry and the pause between them: a file still held by a
// process that is ending gets about ten seconds.
inline constexpr int kDeleterAttempts = 101;
inline constexpr DWORD kDeleterPauseMs = 100;

// What the deleter reports to, and the pieces tests replace.
struct deleter_hooks {
  // Told before the attempts on each recorded file (`folder` false) and
  // folder (`folder` true), whether or not it still exists.
  std::function<void(const string& path, bool folder)> removing;
  // The pause between two attempts; Sleep when not set.
  std::function<void(DWORD ms)> pause;
  // Starts the self-delete with the run's temporary folder; when not set,
  // self_delete(true, temp_folder) (platform/self_delete.h).
  std::function<bool(const string& temp_folder)> self_delete;
  // The running program's file. A recorded folder that holds it cannot go
  // while the program runs, so it gets a single attempt rather than the
  // whole budget (the relaunched copy would otherwise end every run with a
  // ten-second pause; the first launcher or the self-delete removes it).
  string running_program;
};

// Removes what `list` records, unless its KeepFiles is set (then nothing at
// all happens): first the files in the order they were added
// (DeleteFileW; an entry that names a folder is no file and is skipped),
// then the folders, last added first so that inner folders
// go before the folders holding them (RemoveDirectoryW: a folder that still
// holds something stays). Each entry is tried until it no longer exists or
// kDeleterAttempts attempts have failed, with a pause of kDeleterPauseMs
// after each failed one but the last (a folder holding
// hooks.running_program gets one attempt); failures are not reported. Then, when
// SelfDelete is set, the self-delete of the running program with
// `temp_folder`. Both lists are empty afterwards.
void run_deleter(CleanupList& list, const string& temp_folder, const deleter_hooks& hooks = {});

}  // namespace kx
