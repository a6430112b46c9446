#include <string_view>

#include "base/xchar.h"
#include "base/zstring.h"

namespace kx {

namespace {

bool is_separator(wchar_t c) noexcept {
  return c == L'\\' || c == L'/';
}

// Schemes are ASCII: folding A-Z alone keeps "FILE://" a scheme in every
// locale (a linguistic comparison would not match it under Turkish casing).
bool starts_with_ascii_i(std::wstring_view text, std::wstring_view prefix) noexcept {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (fold_ascii(text[i]) != fold_ascii(prefix[i])) return false;
  return true;
}

// The first separator at or after `from`, or npos.
std::size_t find_separator(std::wstring_view text, std::size_t from) noexcept {
  for (std::size_t i = from; i < text.size(); ++i)
    if (is_separator(text[i])) return i;
  return std::wstring_view::npos;
}

}  // namespace

int zpath::scheme_length() const noexcept {
  if (is_null()) return -1;
  struct scheme {
    std::wstring_view prefix;
    int length;
  };
  static constexpr scheme schemes[] = {
      {L"http://", 7}, {L"file://", 7}, {L"ftp://", 6}, {L"https://", 8}};
  for (const scheme& s : schemes)
    if (starts_with_ascii_i(view(), s.prefix)) return s.length;
  return 0;
}

bool zpath::is_unc() const noexcept {
  return size() > 2 && (*this)[0] == L'\\' && (*this)[1] == L'\\';
}

zpath::range zpath::root_range(bool host_only) const noexcept {
  const std::wstring_view text = view();
  const size_type length = text.size();
  if (is_unc()) {
    // The server ends at the first separator from position 2, the share at
    // the second.
    const size_type server_end = find_separator(text, 2);
    if (server_end == npos) return {0, length};
    const size_type share_end = find_separator(text, server_end + 1);
    return {0, share_end == npos ? length : share_end};
  }
  if (const int scheme = scheme_length(); scheme > 0) {
    const auto host = static_cast<size_type>(scheme);
    const size_type host_end = find_separator(text, host);
    return {host_only ? host : 0, host_end == npos ? length : host_end};
  }
  if (length >= 2 && text[1] == L':') return {0, 2};
  return {0, 0};
}

zpath::size_type zpath::directory_end() const noexcept {
  const std::wstring_view text = view();
  const size_type root_end = root_range(false).end;
  size_type last = text.size();
  while (last > 0 && !is_separator(text[last - 1])) --last;
  // `last` is one behind the last separator (0 when there is none).
  return last == 0 || last - 1 < root_end ? root_end : last;
}

zpath::_substr_ref zpath::part(size_type start, size_type end) const {
  return _substr_ref(c_str(), start, end - start);
}

zpath::_substr_ref zpath::root(bool host_only) const {
  const range r = root_range(host_only);
  return part(r.start, r.end);
}

zpath::_substr_ref zpath::directory() const {
  return part(0, directory_end());
}

zpath::_substr_ref zpath::file_name() const {
  return part(directory_end(), size());
}

zpath::_substr_ref zpath::extension(bool with_dot) const {
  const std::wstring_view text = view();
  const size_type dot = text.rfind(L'.');
  if (dot == std::wstring_view::npos || dot < directory_end()) return part(0, 0);
  return part(with_dot ? dot : dot + 1, text.size());
}

}  // namespace kx
