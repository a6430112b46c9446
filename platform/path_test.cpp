#include "platform/path_test.h"

#include "base/exceptions.h"
#include "base/file.h"
#include "base/path.h"
#include "platform/files.h"

namespace kx {

namespace {

bool not_found(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool web_path_test(const string& path, unsigned flags) {
  file_lite source;
  if (!source.open_read(path)) {
    const DWORD error = GetLastError();
    if (flags & path_throw_on_error) throw internet_file_exception(path, error);
    SetLastError(error);
    return false;
  }
  char probe[5];
  return source.read(probe, sizeof probe) > 0;
}

}  // namespace

DWORD file_attributes(const string& path) {
  const DWORD attributes = get_file_attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) throw file_exception(path, GetLastError());
  return attributes;
}

bool path_test(const string& path, unsigned flags) {
  if ((flags & path_may_be_web) && has_url_scheme(path, url_schemes::web_or_ftp))
    return web_path_test(path, flags);

  DWORD attributes = get_file_attributes(path);
  DWORD error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_SUCCESS;
  // A folder that may not be listed can still show its entries to a search
  // of the parent. Wildcards would make that search match other names.
  if (error == ERROR_ACCESS_DENIED && path.find_first_of(L"*?") == string::npos) {
    WIN32_FIND_DATAW data;
    if (find_first_file(path, data)) {
      attributes = data.dwFileAttributes;
      error = ERROR_SUCCESS;
    } else {
      error = GetLastError();
    }
  }
  if (error != ERROR_SUCCESS) {
    if ((flags & path_throw_on_error) && !not_found(error)) throw file_exception(path, error);
    SetLastError(error);
    return false;
  }
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  SetLastError(ERROR_SUCCESS);
  return folder ? (flags & path_is_folder) != 0 : (flags & path_is_file) != 0;
}

}  // namespace kx
