#include "ui/skin/skin_profile.h"

#include <windows.h>

#include <vector>

#include "base/string_win.h"

namespace kx {

namespace {

string wide(const std::string& ansi) {
  return from_bytes(ansi.data(), static_cast<ptrdiff_t>(ansi.size()), CP_ACP);
}

std::string ansi(const wchar_t* text, std::size_t length) {
  return narrow(string(text, length), CP_ACP);
}

}  // namespace

std::string SkinProfileSource::Text(const std::string& section, const std::string& key,
                                    std::size_t limit) {
  std::vector<wchar_t> buffer(limit + 1);
  const DWORD n =
      GetPrivateProfileStringW(wide(section).c_str(), wide(key).c_str(), L"", buffer.data(),
                               static_cast<DWORD>(buffer.size()), path_.c_str());
  return ansi(buffer.data(), n);
}

std::uint32_t SkinProfileSource::Number(const std::string& section, const std::string& key,
                                        std::uint32_t fallback) {
  return GetPrivateProfileIntW(wide(section).c_str(), wide(key).c_str(), static_cast<INT>(fallback),
                               path_.c_str());
}

std::vector<std::string> SkinProfileSource::Sections(std::size_t limit) {
  std::vector<wchar_t> buffer(limit + 2, L'\0');
  const DWORD n =
      GetPrivateProfileSectionNamesW(buffer.data(), static_cast<DWORD>(limit), path_.c_str());
  std::vector<std::string> names;
  std::size_t at = 0;
  while (at < n && at < limit) {
    std::size_t end = at;
    while (end < limit && buffer[end] != L'\0') ++end;
    if (end == at) break;
    names.push_back(ansi(buffer.data() + at, end - at));
    at = end + 1;
  }
  return names;
}

}  // namespace kx
