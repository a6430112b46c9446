// Questions about files and folders, and creating folders.
//
// The kernel32 file functions used here are looked up by name: the wide
// form when kernel32 has it, else the ANSI form with the path converted to
// the file-system code page. A path that the code page cannot represent is
// refused (ERROR_INVALID_NAME) rather than converted with substitute
// characters, which could name another file: "?" is a wildcard. For the
// same reason a path holding a NUL character is refused by every function
// here.
#pragma once

#include <windows.h>

#include <utility>

#include "base/stringx.h"

namespace kx {

// Owns a FindFirstFile search handle (FindClose on destruction).
class find_handle {
 public:
  find_handle() noexcept = default;
  explicit find_handle(HANDLE h) noexcept : h_(h) {}
  find_handle(find_handle&& o) noexcept : h_(std::exchange(o.h_, INVALID_HANDLE_VALUE)) {}
  find_handle& operator=(find_handle&& o) noexcept;
  find_handle(const find_handle&) = delete;
  find_handle& operator=(const find_handle&) = delete;
  ~find_handle();

  explicit operator bool() const noexcept { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const noexcept { return h_; }

 private:
  HANDLE h_ = INVALID_HANDLE_VALUE;
};

// CreateDirectoryW (or A). False with the thread's last error on failure.
bool create_directory(const string& path, SECURITY_ATTRIBUTES* security = nullptr);

// CreateFileW (or A) with the arguments unchanged; INVALID_HANDLE_VALUE with
// the thread's last error on failure.
HANDLE create_file(const string& path, DWORD access, DWORD share_mode,
                   SECURITY_ATTRIBUTES* security, DWORD disposition, DWORD flags,
                   HANDLE template_file = nullptr);

// DeleteFileW (or A).
bool delete_file(const string& path);

// FindFirstFileW (or A, its result converted to the wide record). An empty
// handle with the thread's last error when nothing matches.
find_handle find_first_file(const string& pattern, WIN32_FIND_DATAW& data);

// GetFileAttributesW (or A); INVALID_FILE_ATTRIBUTES with the thread's last
// error on failure.
DWORD get_file_attributes(const string& path);

// Creates every missing folder of `path` from the top down: the prefixes of
// its "\"-separated components, from the second component on (from the
// fifth for a UNC path, skipping server and share). A folder that exists
// already is fine; a prefix that exists as a file, or any other failure, is
// stored with that prefix in the process-wide error record and ends the call
// with false (the thread's last error set too).
bool create_folder_tree(const string& path);

// create_folder_tree for the folder part of `file_path` (everything before
// its last backslash); true when there is no folder part.
bool create_folder_of(const string& file_path);

namespace detail {
// Makes every function above use the ANSI forms (true) or look up the wide
// ones again (false), so the fallback is exercised on systems that have
// both.
void use_ansi_file_functions(bool ansi) noexcept;
}  // namespace detail

}  // namespace kx
