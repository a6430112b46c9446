#include "platform/remove_tree.h"

#include <windows.h>

#include "base/exceptions.h"
#include "platform/files.h"

namespace kx {

namespace {

string child_path(const string& folder, const wchar_t* name) {
  string path = folder;
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path + name;
}

bool is_dot_entry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

}  // namespace

void remove_tree(const string& path, bool ignore_file_errors) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) throw file_exception(path, GetLastError());

  // DeleteFileW and RemoveDirectoryW remove a link itself, not its target.
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (!DeleteFileW(path.c_str()) && !ignore_file_errors)
      throw file_exception(path, GetLastError());
    return;
  }
  // A folder link (junction, symbolic link) is never entered: what it leads
  // to may lie anywhere, outside the tree being removed.
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW entry;
    if (const find_handle search(FindFirstFileW(child_path(path, L"*.*").c_str(), &entry));
        search) {
      do {
        if (!is_dot_entry(entry.cFileName))
          remove_tree(child_path(path, entry.cFileName), ignore_file_errors);
      } while (FindNextFileW(search.get(), &entry));
    }
  }
  if (!RemoveDirectoryW(path.c_str())) throw file_exception(path, GetLastError());
}

}  // namespace kx
