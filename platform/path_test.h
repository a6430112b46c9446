// Whether a path names an existing file or folder, local or on the web.
#pragma once

#include <windows.h>

#include "base/stringx.h"

namespace kx {

// The attributes of `path`. Throws kx::file_exception with the path and the
// error when they cannot be read.
DWORD file_attributes(const string& path);

// Flags of path_test.
enum path_test_flag : unsigned {
  path_is_file = 4,          // true for an existing file
  path_is_folder = 8,        // true for an existing folder
  path_may_be_web = 16,      // "http://", "https://", "ftp://": try to read it
  path_throw_on_error = 32,  // throw on errors other than "not found"
};

// Whether `path` exists as `flags` ask. When GetFileAttributes is refused
// (ERROR_ACCESS_DENIED) the entry is looked up with FindFirstFile instead.
// ERROR_FILE_NOT_FOUND and ERROR_PATH_NOT_FOUND give false; other errors
// give false, or with path_throw_on_error a kx::file_exception. With
// path_may_be_web a web address is opened for reading (kx::file_lite) and
// exists when its first bytes arrive; when it cannot be opened and
// path_throw_on_error is set, kx::internet_file_exception is thrown. On a
// false result the thread's last error tells why (0 when the entry exists
// but is of the other kind).
bool path_test(const string& path, unsigned flags);

}  // namespace kx
