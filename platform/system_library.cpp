#include "platform/system_library.h"

#include <string>

namespace kx {

HMODULE system_library(const wchar_t* name) noexcept {
  if (HMODULE loaded = GetModuleHandleW(name)) {
    // Only trust an already loaded copy when it is the system folder's own.
    wchar_t path[MAX_PATH], dir[MAX_PATH];
    const UINT n = GetSystemDirectoryW(dir, MAX_PATH);
    const DWORD m = GetModuleFileNameW(loaded, path, MAX_PATH);
    if (n && n < MAX_PATH && m && m < MAX_PATH && _wcsnicmp(path, dir, n) == 0) return loaded;
  }
  wchar_t dir[MAX_PATH];
  const UINT n = GetSystemDirectoryW(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  std::wstring full(dir, n);
  if (full.back() != L'\\') full += L'\\';
  full += name;
  if (full.size() >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  return LoadLibraryExW(full.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace kx
