// The files and folders a run created, to be removed when the process ends.
#pragma once

#include <vector>

#include "base/stringx.h"

namespace kx {

// Recorded as they are created; the deleter removes the files in the order
// they were added and the folders last-added first, unless KeepFiles is set.
struct CleanupList {
  std::vector<string> files;
  std::vector<string> folders;
  bool KeepFiles = false;   // leave every recorded file and folder in place
  bool SelfDelete = false;  // remove the launcher's own copy after it exits

  // Records a file; a path already recorded is not added twice.
  void add_file(const string& path);
  // Records a folder; a path already recorded is not added twice.
  void add_folder(const string& path);
};

}  // namespace kx
