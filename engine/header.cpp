#include "engine/medium.h"

#include <cwchar>
#include <set>

namespace kxe {
namespace {

constexpr size_t kMaxFiles = 4096;

std::wstring ReadValue(const std::wstring& path, const wchar_t* section, const wchar_t* key) {
  wchar_t buffer[1024];
  const DWORD n =
      GetPrivateProfileStringW(section, key, L"", buffer, ARRAYSIZE(buffer), path.c_str());
  return std::wstring(buffer, n);
}

}  // namespace

HRESULT ReadHeader(const std::wstring& path, Header* header) {
  *header = Header{};
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return HRESULT_FROM_WIN32(error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error);
  }
  unsigned char bom[2] = {};
  DWORD read = 0;
  const BOOL ok = ReadFile(file, bom, sizeof bom, &read, nullptr);
  CloseHandle(file);
  if (!ok || read != 2 || bom[0] != 0xFF || bom[1] != 0xFE) {
    return HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
  }

  header->product = ReadValue(path, L"Product", L"Name");
  const std::wstring raw_dir = ReadValue(path, L"Product", L"InstallDir");
  wchar_t expanded[MAX_PATH];
  const DWORD n = ExpandEnvironmentStringsW(raw_dir.c_str(), expanded, ARRAYSIZE(expanded));
  if (header->product.empty() || raw_dir.empty() || n == 0 || n > ARRAYSIZE(expanded)) {
    return HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
  }
  header->install_dir = expanded;
  while (header->install_dir.size() > 3 && header->install_dir.back() == L'\\') {
    header->install_dir.pop_back();
  }
  if (!IsAbsoluteFolder(header->install_dir)) return HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);

  std::set<std::wstring> seen;
  for (size_t i = 1; i <= kMaxFiles + 1; ++i) {
    std::wstring name = ReadValue(path, L"Files", (L"File" + std::to_wstring(i)).c_str());
    if (name.empty()) break;
    if (i > kMaxFiles) return HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
    for (auto& c : name) {
      if (c == L'/') c = L'\\';
    }
    if (!IsSafeRelativeName(name) || header->install_dir.size() + 1 + name.size() >= MAX_PATH) {
      return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    }
    std::wstring key = name;
    for (auto& c : key) c = static_cast<wchar_t>(towlower(c));
    if (!seen.insert(key).second) return HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
    header->files.push_back(std::move(name));
  }
  if (header->files.empty()) return HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
  return S_OK;
}

}  // namespace kxe
