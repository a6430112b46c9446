#include "platform/folders.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include <memory>
#include <string>

#include "base/exceptions.h"
#include "base/path.h"
#include "platform/os_version.h"
#include "platform/registry.h"

namespace kx {
namespace {

// Runs a GetXxxDirectory-style `query` (buffer, size in characters → length
// without the NUL, or the size needed with the NUL, or 0 on failure) with a
// buffer that grows until the text fits.
template <class Query>
string query_folder(Query query) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD n = query(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) break;
    if (n < buffer.size()) {
      buffer.resize(n);
      return ensure_trailing_backslash(string(buffer));
    }
    buffer.resize(n);
  }
  throw win32_exception(GetLastError() ? GetLastError() : ERROR_INSUFFICIENT_BUFFER);
}

// The user's profile folder, or the Windows folder on systems without one.
string profile_folder() {
  wchar_t buffer[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"USERPROFILE", buffer, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return ensure_trailing_backslash(string(buffer, n));
  return windows_folder();
}

// "C:\" of "C:\WINDOWS\"; the text up to its first backslash.
string drive_root(const string& folder) {
  const size_t slash = folder.find(L'\\');
  return slash == string::npos ? ensure_trailing_backslash(folder) : folder.substr(0, slash + 1);
}

struct id_list_free {
  void operator()(ITEMIDLIST* p) const noexcept { ILFree(p); }
};

}  // namespace

string windows_folder() {
  return query_folder([](wchar_t* b, DWORD n) { return DWORD{GetWindowsDirectoryW(b, n)}; });
}

string system_folder(int kind) {
  if (kind == 1) return windows_folder() + L"sysnative\\";
  if (kind == 2) return windows_folder() + L"syswow64\\";
  return query_folder([](wchar_t* b, DWORD n) { return DWORD{GetSystemDirectoryW(b, n)}; });
}

system_folders compute_system_folders() {
  system_folders f;
  f.system = system_folder(0);
  f.windows = windows_folder();
  if (os_64bit()) f.syswow64 = system_folder(2);
  if (wow64_process()) f.sysnative = system_folder(1);
  return f;
}

const system_folders& process_system_folders() {
  static const system_folders folders = compute_system_folders();
  return folders;
}

string program_files_folder(bool common, REGSAM view) {
  // Hand-edited values come with blanks, quotes or doubled separators.
  return ensure_trailing_backslash(normalize_folder_path(registry_read_string(
      HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
      common ? L"CommonFilesDir" : L"ProgramFilesDir", KEY_READ | view, string())));
}

string shell_folder(int csidl) {
  ITEMIDLIST* raw = nullptr;
  string path;
  if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, csidl, &raw)) && raw) {
    const std::unique_ptr<ITEMIDLIST, id_list_free> list(raw);
    wchar_t buffer[MAX_PATH];
    if (SHGetPathFromIDListW(list.get(), buffer)) path = normalize_folder_path(buffer);
  }
  return path.empty() ? shell_folder_fallback(csidl) : ensure_trailing_backslash(path);
}

string shell_folder_fallback(int csidl) {
  switch (csidl) {
    case CSIDL_PERSONAL: {
      const bool nt5 = running_on_nt() && os_major_version() >= 5;
      return profile_folder() + (nt5 ? L"My Documents\\" : L"Personal\\");
    }
    case CSIDL_APPDATA:
      return profile_folder() + L"Application Data\\";
    case CSIDL_PROGRAM_FILES: {
      const string folder = program_files_folder(false);
      return folder.empty() ? drive_root(windows_folder()) + L"Program Files\\" : folder;
    }
    case CSIDL_PROGRAM_FILES_COMMON: {
      const string folder = program_files_folder(true);
      return folder.empty() ? shell_folder_fallback(CSIDL_PROGRAM_FILES) + L"Common Files\\"
                            : folder;
    }
    case CSIDL_FONTS:
      return windows_folder() + L"Fonts\\";
    default:
      return {};
  }
}

string temp_folder() {
  return query_folder([](wchar_t* b, DWORD n) { return GetTempPathW(n, b); });
}

}  // namespace kx
