#include "platform/deleter.h"

#include "platform/self_delete.h"

namespace kx {

namespace {

// A folder of the name is no file: the unpacking records its destination
// folder among the files, and DeleteFileW would fail on it for the whole
// budget. The folder goes with the folders.
bool file_exists(const string& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool folder_exists(const string& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether `folder` holds `file`, at any depth.
bool folder_holds(const string& folder, const string& file) {
  if (folder.empty() || file.empty()) return false;
  string prefix = folder;
  if (prefix.back() != L'\\') prefix += L'\\';
  return file.size() > prefix.size() && file.starts_with_i(prefix);
}

template <class Exists, class Remove>
void remove_with_retries(const string& path, const deleter_hooks& hooks, Exists exists,
                         Remove remove, int attempts = kDeleterAttempts) {
  for (int attempt = 1; exists(path); ++attempt) {
    if (remove(path.c_str()) || attempt >= attempts) return;
    if (hooks.pause)
      hooks.pause(kDeleterPauseMs);
    else
      Sleep(kDeleterPauseMs);
  }
}

}  // namespace

void run_deleter(CleanupList& list, const string& temp_folder, const deleter_hooks& hooks) {
  if (list.KeepFiles) return;
  for (const string& file : list.files) {
    if (hooks.removing) hooks.removing(file, false);
    remove_with_retries(file, hooks, file_exists,
                        [](const wchar_t* p) { return DeleteFileW(p) != FALSE; });
  }
  for (auto folder = list.folders.rbegin(); folder != list.folders.rend(); ++folder) {
    if (hooks.removing) hooks.removing(*folder, true);
    remove_with_retries(
        *folder, hooks, folder_exists,
        [](const wchar_t* p) { return RemoveDirectoryW(p) != FALSE; },
        folder_holds(*folder, hooks.running_program) ? 1 : kDeleterAttempts);
  }
  if (list.SelfDelete) {
    if (hooks.self_delete)
      hooks.self_delete(temp_folder);
    else
      self_delete(true, temp_folder);
  }
  list.files.clear();
  list.folders.clear();
}

}  // namespace kx
