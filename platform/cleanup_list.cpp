#include "platform/cleanup_list.h"

#include <algorithm>

namespace kx {

namespace {
void add_once(std::vector<string>& list, const string& path) {
  if (path.empty() || std::find(list.begin(), list.end(), path) != list.end()) return;
  list.push_back(path);
}
}  // namespace

void CleanupList::add_file(const string& path) {
  add_once(files, path);
}
void CleanupList::add_folder(const string& path) {
  add_once(folders, path);
}

}  // namespace kx
