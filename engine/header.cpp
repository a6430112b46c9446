#include "engine/medium.h"

#include <cwchar>
#include <set>

namespace kxe {
namespace {

constexpr size_t kMaxFiles = 4096;
constexpr size_t kMaxName = 200;

std::wstring ReadValue(const std::wstring& path, const wchar_t* section, const wchar_t* key) {
  wchar_t buffer[1024];
  const DWORD n =
      GetPrivateProfileStringW(section, key, L"", buffer, ARRAYSIZE(buffer), path.c_str());
  return std::wstring(buffer, n);
}

bool IsDeviceName(const std::wstring& part) {
  std::wstring stem = part.substr(0, part.find(L'.'));
  for (auto& c : stem) c = static_cast<wchar_t>(towupper(c));
  static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (const wchar_t* device : kDevices) {
    if (stem == device) return true;
  }
  return stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
         stem[3] >= L'0' && stem[3] <= L'9';
}

bool IsAbsoluteFolder(const std::wstring& path) {
  const bool drive = path.size() >= 3 && iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
  const bool unc = path.size() >= 5 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'\\' &&
                   path[2] != L'?' && path[2] != L'.';
  if (!drive && !unc) return false;
  // No relative parts: the folder the registry records is the one written to.
  const std::wstring rest = path.substr(drive ? 3 : 2) + L"\\";
  size_t start = 0;
  for (size_t end; (end = rest.find(L'\\', start)) != std::wstring::npos; start = end + 1) {
    const std::wstring part = rest.substr(start, end - start);
    if (part == L"." || part == L"..") return false;
  }
  return path.find_first_of(L"*?\"<>|", 0) == std::wstring::npos &&
         path.find(L':', 2) == std::wstring::npos;
}

}  // namespace

bool IsSafeRelativeName(const std::wstring& name) {
  if (name.empty() || name.size() > kMaxName) return false;
  if (name.front() == L'\\' || name.back() == L'\\') return false;
  for (wchar_t c : name) {
    if (c < L' ' || c == L'/' || wcschr(L":*?\"<>|", c)) return false;
  }
  size_t start = 0;
  while (true) {
    const size_t end = name.find(L'\\', start);
    const std::wstring part = name.substr(start, end == std::wstring::npos ? end : end - start);
    if (part.empty() || part == L"." || part == L".." || part.back() == L'.' ||
        part.back() == L' ' || IsDeviceName(part)) {
      return false;
    }
    if (end == std::wstring::npos) return true;
    start = end + 1;
  }
}

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
