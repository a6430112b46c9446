#include "engine/install_record.h"

#include <cwchar>
#include <cwctype>

namespace kxe {
namespace {

constexpr size_t kMaxName = 200;

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

bool SameText(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (towlower(a[i]) != towlower(b[i])) return false;
  }
  return true;
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix, std::wstring* rest) {
  const size_t n = wcslen(prefix);
  if (text.compare(0, n, prefix) != 0) return false;
  *rest = text.substr(n);
  return true;
}

}  // namespace

bool IsSafeRelativeName(const std::wstring& name) {
  if (name.empty() || name.size() > kMaxName) return false;
  if (name.front() == L'\\' || name.back() == L'\\') return false;
  for (wchar_t c : name) {
    if (c < L' ' || c == 0x7f || c == L'/' || wcschr(L":*?\"<>|", c)) return false;
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
  for (wchar_t c : path) {
    if (c < L' ') return false;
  }
  return path.find_first_of(L"*?\"<>|/", 0) == std::wstring::npos &&
         path.find(L':', 2) == std::wstring::npos;
}

std::wstring MaintenanceFolder(const std::wstring& install_dir, const std::wstring& guid) {
  if (!IsSafeRelativeName(guid) || guid.find(L'\\') != std::wstring::npos) return {};
  return PathBelow(install_dir, std::wstring(kMaintenanceRoot) + L"\\" + guid);
}

std::wstring PathBelow(const std::wstring& install_dir, const std::wstring& entry) {
  if (!IsAbsoluteFolder(install_dir) || install_dir.back() == L'\\' || !IsSafeRelativeName(entry))
    return {};
  return install_dir + L"\\" + entry;
}

std::wstring FormatRecord(const InstallRecord& record) {
  std::wstring text = L"; The files of this installation, for its removal.\r\n";
  if (record.root_created) text += L"root=created\r\n";
  for (const auto& folder : record.folders) text += L"folder=" + folder + L"\r\n";
  for (const auto& file : record.files) text += L"file=" + file + L"\r\n";
  return text;
}

InstallRecord ParseRecord(const std::wstring& text, std::vector<std::wstring>* refused) {
  InstallRecord record;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (line.empty() || line[0] == L';') continue;
    std::wstring rest;
    if (line == L"root=created") {
      record.root_created = true;
    } else if (StartsWith(line, L"file=", &rest) && IsSafeRelativeName(rest)) {
      record.files.push_back(rest);
    } else if (StartsWith(line, L"folder=", &rest) && IsSafeRelativeName(rest)) {
      record.folders.push_back(rest);
    } else if (refused) {
      refused->push_back(line);
    }
  }
  return record;
}

bool HasSwitch(const std::wstring& arguments, const std::wstring& name) {
  size_t i = 0;
  while (i < arguments.size()) {
    while (i < arguments.size() && arguments[i] == L' ') ++i;
    std::wstring token;
    bool quoted = false;
    for (; i < arguments.size() && (quoted || arguments[i] != L' '); ++i) {
      if (arguments[i] == L'"') quoted = !quoted;
      token += arguments[i];
    }
    if (token.size() > 1 && (token[0] == L'-' || token[0] == L'/') &&
        SameText(token.substr(1), name)) {
      return true;
    }
  }
  return false;
}

}  // namespace kxe
