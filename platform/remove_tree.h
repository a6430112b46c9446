// Removing a file, or a folder with everything in it.
#pragma once

#include "base/stringx.h"

namespace kx {

// Removes `path`: a file (DeleteFileW), or a folder after everything in it,
// depth first (RemoveDirectoryW). A link - a junction, a symbolic link or
// any other reparse point - is removed itself and never entered: what it
// points to stays untouched, also when `path` itself is one.
//
// Throws kx::file_exception with the path concerned when `path` does not
// exist, when a folder or link cannot be removed, and - unless
// `ignore_file_errors` - when a file cannot be deleted (its folder then
// fails in turn, being not empty).
void remove_tree(const string& path, bool ignore_file_errors);

}  // namespace kx
