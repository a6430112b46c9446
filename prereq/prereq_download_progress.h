// What a person sees of a prerequisite's download: the file being fetched,
// how far it has come, and a way to stop it. The prerequisite dialog shows
// it; a run without a window passes none.
#pragma once

#include <cstdint>

#include "base/stringx.h"

namespace kx::prereq {

// Receives the events of one download after another, on the thread that
// runs the prerequisite phase (the dialog's thread), so an implementation
// may touch its windows directly. Every begin is followed by exactly one
// end, also when the download fails or is cancelled; a download that is
// tried again from the start sends a new begin.
class download_progress {
 public:
  virtual ~download_progress() = default;

  // The download of `file_name` (the name it will have in the package's
  // folder) starts; `total` is its size in bytes, 0 when the server has not
  // said.
  virtual void begin(const string& file_name, std::uint64_t total) = 0;

  // `done` bytes of `total` (0: unknown) have arrived. Also asked, with the
  // same numbers, while a transfer waits for data, so Cancel stays
  // responsive on a stalled connection. False stops the download: it is
  // then treated as cancelled, its partial file is deleted and nothing runs.
  virtual bool progress(std::uint64_t done, std::uint64_t total) = 0;

  // The download started by the last begin is over (complete, failed or
  // cancelled); the checksum, if any, is judged after this.
  virtual void end() = 0;
};

}  // namespace kx::prereq
