// The one file copy of the launcher, reporting its progress to a
// process-wide callback.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/stringx.h"

namespace kx {

// Events of the copy callback, in the order a copy sends them.
enum copy_event : int {
  copy_source = 6,     // text: the source path
  copy_target = 5,     // text: the target path
  copy_size = 7,       // low/high: the source's size (only when wanted and known)
  copy_started = 0,    // answer copy_stop to end the copy before any data
  copy_progress = 4,   // low/high: bytes copied so far; copy_stop cancels
  copy_done = 1,       // low/high: bytes copied; copy_repeat copies again
  copy_cancelled = 3,  // low/high: bytes copied; copy_repeat copies again
};

// Answers of the copy callback.
enum copy_answer : int {
  copy_continue = 1,
  copy_stop = 2,
  copy_repeat = 4,
};

// The callback: (context, event, text or "", low and high 32 bits of the
// number) -> answer.
using copy_callback = int (*)(void* context, int event, const wchar_t* text, DWORD low, DWORD high);

struct copy_callback_registration {
  copy_callback function = nullptr;
  void* context = nullptr;
};

// Registers the process-wide copy callback (nullptr: none, every answer
// then counts as copy_continue) and returns the one registered before, so a
// caller that installs one for a while can put the old one back.
copy_callback_registration set_copy_callback(copy_callback function, void* context);

// Whether copies send copy_size (the callback's owner decides; off at
// start).
void set_copy_size_wanted(bool wanted) noexcept;

// The default buffer of a copy.
inline constexpr DWORD kCopyBufferBytes = 0x8000;

// Copies `source` (a path or a web address, read through kx::file_lite) to
// the local `target`, creating the target's folders first and replacing an
// existing target. With `keep_file_times` the source's creation, access and
// write times are put on the target (local sources only). The data moves in
// chunks of `buffer_bytes`; `copied`, when given, receives the byte count of
// the last pass.
//
// Returns true when the target is complete. False when a folder or either
// file cannot be made or opened (the Win32 error and the path concerned are
// stored in the process-wide error record and left as the thread's last
// error), when reading or writing fails, or when the callback stopped the
// copy (ERROR_CANCELLED). A target that was not completed is deleted, so
// no partial file can later pass for a copied one.
bool copy_file(const string& source, const string& target, bool keep_file_times,
               DWORD buffer_bytes = kCopyBufferBytes, std::uint64_t* copied = nullptr);

}  // namespace kx
