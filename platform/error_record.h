// The process-wide record of the last platform failure: a Win32 code and,
// for file operations, the path it concerned. Registry readers, folder
// creation and file copies store here; failure reporting reads it.
#pragma once

#include "base/stringx.h"

namespace kx {

struct error_record {
  unsigned long code = 0;  // Win32 error code; 0 after a success
  string path;             // the file or folder concerned, when any
};

// The current record (main thread only, like the rest of the launcher).
error_record& last_error_record() noexcept;

// Stores `code` (and `path`) in the record and returns `code`.
unsigned long record_error(unsigned long code, const string& path = string());

}  // namespace kx
