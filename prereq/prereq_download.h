// Downloading one package file of a prerequisite and proving it is the file
// its definition names before it gets a name that can be run.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/stringx.h"
#include "platform/unique_handle.h"
#include "prereq/prereq_download_progress.h"

namespace kx::prereq {

// Verified files kept open, readable by others but not writable, renamable
// or deletable, so that nothing can swap them between the check and the
// package's start. Closing (release or destruction) lets them go.
class held_files {
 public:
  void hold(unique_handle file) { files_.push_back(std::move(file)); }
  void release() noexcept { files_.clear(); }
  std::size_t size() const noexcept { return files_.size(); }

 private:
  std::vector<unique_handle> files_;
};

// One file to fetch.
struct download_request {
  // Where from: an "http://" or "https://" address (anything else fails).
  string url;
  // The existing folder it goes to, and its name there (judged by the
  // caller as one plain file name).
  string folder;
  string file_name;
  // The definition's CheckSum and FileSize, as written.
  string check_sum;
  string file_size;
  // More bytes than this end the download as failed (0: no limit but the
  // FileSize, when one is given).
  std::uint64_t max_bytes = 0;
};

enum class download_outcome {
  verified,   // under its name in the folder, checked as far as the definition asks
  failed,     // no file: the address, the transfer or the file system failed
  mismatch,   // no file: the size or digest differs, or the CheckSum is unreadable
  cancelled,  // no file: the person cancelled
};

struct download_result {
  download_outcome outcome = download_outcome::failed;
  // The Win32, WinInet or HTTP-derived code of the last failed transfer.
  DWORD error = 0;
  // The digests (or sizes) of the last mismatch: what the definition said
  // and what arrived.
  string expected;
  string actual;
  // Transfers started (a failed or mismatching one is tried once more).
  int attempts = 0;
  // The verified file's path.
  string path;
};

// Downloads `request.url` into the folder under a temporary name that
// cannot be run, checks the size and digest the definition gives, and only
// then renames it to `request.file_name` (replacing a file of that name).
// A failure or mismatch deletes what arrived, logs the address and both
// digests, and is tried once more from the first byte. A CheckSum that is
// not 32 (MD5) or 64 (SHA-256) hexadecimal digits fails at once, with no
// request. `progress` (may be null) sees each transfer; `cancel` (may be
// null) is the run's cancel flag, read while the transfer runs and waits.
// The verified file is opened and handed to `hold` (may be null), which
// keeps it from being changed until the caller lets it go.
download_result download_verified(const download_request& request, download_progress* progress,
                                  const bool* cancel, held_files* hold);

}  // namespace kx::prereq
