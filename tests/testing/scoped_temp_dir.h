// A temporary folder for one test, removed with everything in it.
#pragma once

#include <string>

namespace kx::testing {

class ScopedTempDir {
 public:
  // Creates a new, empty folder under the system temporary folder.
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  // The folder, without a trailing backslash.
  const std::wstring& path() const { return path_; }
  // path() + "\" + name.
  std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// Writes bytes to a file (replacing it); returns false on failure.
bool WriteBytes(const std::wstring& path, const std::string& bytes);
// Reads a whole file; empty when it cannot be read.
std::string ReadBytes(const std::wstring& path);
// Removes a folder tree; true when it is gone.
bool RemoveTree(const std::wstring& path);

// A file of the build machine (a source or build file whose path the build
// hands in) as the tests reach it under Wine: slashes become backslashes and
// an absolute path is put on the Z: drive.
std::wstring BuildMachinePath(std::wstring path);

}  // namespace kx::testing
