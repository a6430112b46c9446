#include "platform/files.h"

#include <string>
#include <vector>

#include "base/path.h"
#include "platform/error_record.h"
#include "platform/module_function.h"

namespace kx {

namespace {

bool force_ansi = false;

template <class F>
F wide(const char* name) noexcept {
  return force_ansi ? nullptr : module_function<F>(L"kernel32.dll", name);
}

template <class F>
F ansi(const char* name) noexcept {
  return module_function<F>(L"kernel32.dll", name);
}

// `path` in the code page of the ANSI file functions; false (last error
// ERROR_INVALID_NAME) when a character has no exact equivalent there.
bool to_ansi(const string& path, std::string& out) {
  const UINT cp = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
  out.clear();
  if (path.empty()) return true;
  BOOL lossy = FALSE;
  const int n = WideCharToMultiByte(cp, 0, path.data(), static_cast<int>(path.size()), nullptr, 0,
                                    nullptr, &lossy);
  if (n <= 0 || lossy) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  out.resize(static_cast<size_t>(n));
  WideCharToMultiByte(cp, 0, path.data(), static_cast<int>(path.size()), out.data(), n, nullptr,
                      nullptr);
  return true;
}

template <size_t N>
void widen_name(const char (&from)[N], wchar_t (&to)[N]) {
  const UINT cp = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
  if (MultiByteToWideChar(cp, 0, from, -1, to, static_cast<int>(N)) <= 0) to[0] = L'\0';
}

// A NUL inside the text would end the path early and name another file
// (deleting "a.txt\0.bak" would delete a.txt).
bool usable(const string& path) {
  if (path.find(L'\0') == string::npos) return true;
  SetLastError(ERROR_INVALID_NAME);
  return false;
}

bool is_unc(const string& path) {
  return path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\';
}

}  // namespace

find_handle& find_handle::operator=(find_handle&& o) noexcept {
  if (this != &o) {
    this->~find_handle();
    h_ = std::exchange(o.h_, INVALID_HANDLE_VALUE);
  }
  return *this;
}

find_handle::~find_handle() {
  if (h_ != INVALID_HANDLE_VALUE) {
    keep_last_error k;
    FindClose(h_);
    h_ = INVALID_HANDLE_VALUE;
  }
}

bool create_directory(const string& path, SECURITY_ATTRIBUTES* security) {
  using wide_fn = BOOL(WINAPI*)(LPCWSTR, LPSECURITY_ATTRIBUTES);
  using ansi_fn = BOOL(WINAPI*)(LPCSTR, LPSECURITY_ATTRIBUTES);
  if (!usable(path)) return false;
  if (const auto f = wide<wide_fn>("CreateDirectoryW")) return f(path.c_str(), security) != FALSE;
  std::string a;
  const auto f = ansi<ansi_fn>("CreateDirectoryA");
  return f && to_ansi(path, a) && f(a.c_str(), security) != FALSE;
}

HANDLE create_file(const string& path, DWORD access, DWORD share_mode,
                   SECURITY_ATTRIBUTES* security, DWORD disposition, DWORD flags,
                   HANDLE template_file) {
  using wide_fn =
      HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
  using ansi_fn =
      HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
  if (!usable(path)) return INVALID_HANDLE_VALUE;
  if (const auto f = wide<wide_fn>("CreateFileW"))
    return f(path.c_str(), access, share_mode, security, disposition, flags, template_file);
  std::string a;
  const auto f = ansi<ansi_fn>("CreateFileA");
  if (!f || !to_ansi(path, a)) return INVALID_HANDLE_VALUE;
  return f(a.c_str(), access, share_mode, security, disposition, flags, template_file);
}

bool delete_file(const string& path) {
  using wide_fn = BOOL(WINAPI*)(LPCWSTR);
  using ansi_fn = BOOL(WINAPI*)(LPCSTR);
  if (!usable(path)) return false;
  if (const auto f = wide<wide_fn>("DeleteFileW")) return f(path.c_str()) != FALSE;
  std::string a;
  const auto f = ansi<ansi_fn>("DeleteFileA");
  return f && to_ansi(path, a) && f(a.c_str()) != FALSE;
}

find_handle find_first_file(const string& pattern, WIN32_FIND_DATAW& data) {
  using wide_fn = HANDLE(WINAPI*)(LPCWSTR, LPWIN32_FIND_DATAW);
  using ansi_fn = HANDLE(WINAPI*)(LPCSTR, LPWIN32_FIND_DATAA);
  if (!usable(pattern)) return find_handle();
  if (const auto f = wide<wide_fn>("FindFirstFileW")) return find_handle(f(pattern.c_str(), &data));
  std::string a;
  const auto f = ansi<ansi_fn>("FindFirstFileA");
  if (!f || !to_ansi(pattern, a)) return find_handle();
  WIN32_FIND_DATAA found{};
  find_handle h(f(a.c_str(), &found));
  if (!h) return h;
  data = WIN32_FIND_DATAW{};
  data.dwFileAttributes = found.dwFileAttributes;
  data.ftCreationTime = found.ftCreationTime;
  data.ftLastAccessTime = found.ftLastAccessTime;
  data.ftLastWriteTime = found.ftLastWriteTime;
  data.nFileSizeHigh = found.nFileSizeHigh;
  data.nFileSizeLow = found.nFileSizeLow;
  widen_name(found.cFileName, data.cFileName);
  widen_name(found.cAlternateFileName, data.cAlternateFileName);
  return h;
}

DWORD get_file_attributes(const string& path) {
  using wide_fn = DWORD(WINAPI*)(LPCWSTR);
  using ansi_fn = DWORD(WINAPI*)(LPCSTR);
  if (!usable(path)) return INVALID_FILE_ATTRIBUTES;
  if (const auto f = wide<wide_fn>("GetFileAttributesW")) return f(path.c_str());
  std::string a;
  const auto f = ansi<ansi_fn>("GetFileAttributesA");
  if (!f) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  return to_ansi(path, a) ? f(a.c_str()) : INVALID_FILE_ATTRIBUTES;
}

bool create_folder_tree(const string& path) {
  // Components before `first` are the drive, or the UNC server and share.
  const size_t first = is_unc(path) ? 4 : 1;
  size_t component = 0;
  for (size_t at = 0; at <= path.size(); ++at) {
    if (at < path.size() && path[at] != L'\\') continue;
    ++component;
    const bool empty = at == 0 || path[at - 1] == L'\\';
    if (component <= first || empty) continue;
    const string prefix = path.substr(0, at);
    if (create_directory(prefix)) continue;
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) {
      const DWORD attributes = get_file_attributes(prefix);
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        continue;
      error = ERROR_DIRECTORY;
    }
    record_error(error, prefix);
    SetLastError(error);
    return false;
  }
  return true;
}

bool create_folder_of(const string& file_path) {
  const string folder = path_directory(file_path);
  return folder.empty() || create_folder_tree(folder);
}

namespace detail {
void use_ansi_file_functions(bool ansi) noexcept {
  force_ansi = ansi;
}
}  // namespace detail

}  // namespace kx
