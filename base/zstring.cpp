#include "base/zstring.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cwchar>
#include <new>
#include <stdexcept>
#include <string>

#include "base/xchar.h"

namespace kx {

namespace zString {

namespace {

// What set_compare_api chose, or -1 for the platform's choice.
std::atomic<int> chosen_api{-1};

// The longest text that the system's comparison takes (its counts are int).
constexpr std::size_t kMaxCompared = static_cast<std::size_t>(INT_MAX);

compare_api ask_platform() noexcept {
  keep_last_error keep;
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExW(&info)) return compare_api::wide;
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT ? compare_api::wide : compare_api::ansi;
}

std::string to_ansi(const wchar_t* s, std::size_t n) {
  const int length = static_cast<int>(n);
  const int size = WideCharToMultiByte(CP_ACP, 0, s, length, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
  if (size > 0) WideCharToMultiByte(CP_ACP, 0, s, length, out.data(), size, nullptr, nullptr);
  return out;
}

// The system's result (CSTR_LESS_THAN..CSTR_GREATER_THAN), or 0 when it
// refuses.
int system_compare(const wchar_t* a, std::size_t na, const wchar_t* b, std::size_t nb,
                   DWORD flags) {
  if (na > kMaxCompared || nb > kMaxCompared) return 0;
  if (current_compare_api() == compare_api::ansi) {
    const std::string x = to_ansi(a, na), y = to_ansi(b, nb);
    return CompareStringA(LOCALE_USER_DEFAULT, flags, x.data(), static_cast<int>(x.size()),
                          y.data(), static_cast<int>(y.size()));
  }
  return CompareStringW(LOCALE_USER_DEFAULT, flags, a, static_cast<int>(na), b,
                        static_cast<int>(nb));
}

int compare_code_units(const wchar_t* a, std::size_t na, const wchar_t* b, std::size_t nb,
                       bool ignore_case) noexcept {
  const std::size_t n = std::min(na, nb);
  for (std::size_t i = 0; i < n; ++i) {
    const wchar_t x = ignore_case ? fold_ascii(a[i]) : a[i];
    const wchar_t y = ignore_case ? fold_ascii(b[i]) : b[i];
    if (x != y) return x < y ? -1 : 1;
  }
  return na == nb ? 0 : (na < nb ? -1 : 1);
}

}  // namespace

compare_api platform_compare_api() noexcept {
  static const compare_api api = ask_platform();
  return api;
}

compare_api current_compare_api() noexcept {
  const int chosen = chosen_api.load();
  return chosen < 0 ? platform_compare_api() : static_cast<compare_api>(chosen);
}

compare_api set_compare_api(compare_api api) noexcept {
  const compare_api previous = current_compare_api();
  chosen_api.store(static_cast<int>(api));
  return previous;
}

int compare(const wchar_t* a, std::size_t na, const wchar_t* b, std::size_t nb, bool ignore_case) {
  keep_last_error keep;
  if (!a) a = L"", na = 0;
  if (!b) b = L"", nb = 0;
  const int result = system_compare(a, na, b, nb, ignore_case ? NORM_IGNORECASE : 0);
  if (result == 0) return compare_code_units(a, na, b, nb, ignore_case);
  return result - CSTR_EQUAL;
}

_buffs::_buffs() : room_(new char[1]), capacity_(1) {
  room_[0] = '\0';
}

_buffs::_buffs(const _buffs&) : _buffs() {}

_buffs::~_buffs() = default;

const char* _buffs::convert(const wchar_t* s, std::size_t n, UINT code_page) const {
  keep_last_error keep;
  room_[0] = '\0';
  if (n == 0 || n > kMaxCompared) return room_.get();
  const int length = static_cast<int>(n);
  const int size = WideCharToMultiByte(code_page, 0, s, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return room_.get();
  const std::size_t needed = static_cast<std::size_t>(size) + 1;
  if (needed > capacity_) {
    // Grown in steps of 64 bytes, so a string converted again and again
    // after small changes seldom reallocates.
    const std::size_t capacity = (needed + 63) / 64 * 64;
    room_.reset(new char[capacity]);
    capacity_ = capacity;
  }
  const int written =
      WideCharToMultiByte(code_page, 0, s, length, room_.get(), size, nullptr, nullptr);
  room_[written > 0 ? static_cast<std::size_t>(written) : 0] = '\0';
  return room_.get();
}

}  // namespace zString

namespace {

// The longest text a BSTR holds: its byte count is a 32-bit value.
constexpr std::size_t kMaxBstrLength = static_cast<std::size_t>(INT_MAX) / 2;

std::size_t text_length(const wchar_t* s) noexcept {
  return s ? std::wcslen(s) : 0;
}

}  // namespace

template <class Traits>
_zstring<Traits>::_zstring() noexcept {
  restore();
}

template <class Traits>
_zstring<Traits>::_zstring(const wchar_t* s) {
  assign(s, text_length(s));
  restore();
}

template <class Traits>
_zstring<Traits>::_zstring(const wchar_t* s, size_type n) {
  assign(s, s ? n : 0);
  restore();
}

template <class Traits>
_zstring<Traits>::_zstring(std::wstring_view s) {
  assign(s.data() ? s.data() : L"", s.size());
  restore();
}

template <class Traits>
_zstring<Traits>::_zstring(const _zstring& other)
    : _restore_last_error(), _save_last_error(), _buffs() {
  assign(other.b_, other.size());
  restore();
}

template <class Traits>
_zstring<Traits>::_zstring(_zstring&& other) noexcept
    : _restore_last_error(), _save_last_error(), _buffs(), b_(other.b_) {
  other.b_ = nullptr;
  restore();
}

template <class Traits>
_zstring<Traits>::~_zstring() {
  // Restored by the first base after everything has been freed.
  saved_ = detail::get_last_error();
  if (b_) SysFreeString(b_);
}

template <class Traits>
_zstring<Traits>& _zstring<Traits>::operator=(const _zstring& other) {
  keep_last_error keep;
  if (this != &other) assign(other.b_, other.size());
  return *this;
}

template <class Traits>
_zstring<Traits>& _zstring<Traits>::operator=(_zstring&& other) noexcept {
  keep_last_error keep;
  if (this != &other) {
    if (b_) SysFreeString(b_);
    b_ = other.b_;
    other.b_ = nullptr;
  }
  return *this;
}

template <class Traits>
_zstring<Traits>& _zstring<Traits>::operator=(const wchar_t* s) {
  keep_last_error keep;
  assign(s, text_length(s));
  return *this;
}

template <class Traits>
void _zstring<Traits>::assign(const wchar_t* s, size_type n) {
  BSTR fresh = nullptr;
  if (s) {
    if (n > kMaxBstrLength) throw std::length_error("string too long");
    fresh = SysAllocStringLen(s, static_cast<UINT>(n));
    if (!fresh) throw std::bad_alloc();
  }
  if (b_) SysFreeString(b_);
  b_ = fresh;
}

template <class Traits>
void _zstring<Traits>::attach(BSTR b) noexcept {
  keep_last_error keep;
  if (b_ && b_ != b) SysFreeString(b_);
  b_ = b;
}

template <class Traits>
BSTR _zstring<Traits>::detach() noexcept {
  BSTR b = b_;
  b_ = nullptr;
  return b;
}

template <class Traits>
wchar_t _zstring<Traits>::at(size_type pos) const {
  if (pos >= size()) throw std::out_of_range("position beyond the end of the string");
  return b_[pos];
}

template <class Traits>
void _zstring<Traits>::clear() noexcept {
  keep_last_error keep;
  if (b_) SysFreeString(b_);
  b_ = nullptr;
}

template <class Traits>
_zstring<Traits>& _zstring<Traits>::append(const wchar_t* s, size_type n) {
  keep_last_error keep;
  if (!s || n == 0) return *this;
  const size_type old = size();
  if (n > kMaxBstrLength - old) throw std::length_error("string too long");
  // Allocated uninitialised, then filled: `s` may point into the old text.
  BSTR fresh = SysAllocStringLen(nullptr, static_cast<UINT>(old + n));
  if (!fresh) throw std::bad_alloc();
  if (old) std::wmemcpy(fresh, b_, old);
  std::wmemcpy(fresh + old, s, n);
  if (b_) SysFreeString(b_);
  b_ = fresh;
  return *this;
}

template <class Traits>
_zstring<Traits>& _zstring<Traits>::operator+=(const wchar_t* s) {
  return append(s, text_length(s));
}

template <class Traits>
_zstring<Traits>& _zstring<Traits>::operator+=(const _zstring& s) {
  return append(s.c_str(), s.size());
}

template <class Traits>
_zstring<Traits>& _zstring<Traits>::operator+=(wchar_t c) {
  return append(&c, 1);
}

template <class Traits>
int _zstring<Traits>::compare(const wchar_t* s, size_type n) const {
  return Traits::compare(c_str(), size(), s, s ? n : 0);
}

template <class Traits>
int _zstring<Traits>::compare(const wchar_t* s) const {
  return compare(s, text_length(s));
}

template <class Traits>
int _zstring<Traits>::compare(const _zstring& other) const {
  return compare(other.c_str(), other.size());
}

template <class Traits>
typename _zstring<Traits>::size_type _zstring<Traits>::find(const wchar_t* s,
                                                            size_type from) const {
  const size_type n = text_length(s), length = size();
  if (from > length || n > length - from) return npos;
  for (size_type at = from; at + n <= length; ++at)
    if (Traits::compare(b_ + at, n, s, n) == 0) return at;
  return npos;
}

template <class Traits>
typename _zstring<Traits>::size_type _zstring<Traits>::find(wchar_t c, size_type from) const {
  const wchar_t text[2] = {c, L'\0'};
  return find(text, from);
}

template <class Traits>
typename _zstring<Traits>::size_type _zstring<Traits>::rfind(const wchar_t* s,
                                                             size_type from) const {
  const size_type n = text_length(s), length = size();
  if (n > length) return npos;
  for (size_type at = std::min(from, length - n) + 1; at-- > 0;)
    if (Traits::compare(c_str() + at, n, s, n) == 0) return at;
  return npos;
}

template <class Traits>
typename _zstring<Traits>::size_type _zstring<Traits>::rfind(wchar_t c, size_type from) const {
  const wchar_t text[2] = {c, L'\0'};
  return rfind(text, from);
}

template <class Traits>
bool _zstring<Traits>::starts_with(const wchar_t* s) const {
  const size_type n = text_length(s);
  return n <= size() && Traits::compare(c_str(), n, s, n) == 0;
}

template <class Traits>
bool _zstring<Traits>::ends_with(const wchar_t* s) const {
  const size_type n = text_length(s);
  return n <= size() && Traits::compare(c_str() + size() - n, n, s, n) == 0;
}

template <class Traits>
zString::_substr_ref _zstring<Traits>::substr(size_type pos, size_type n) const {
  if (pos > size()) throw std::out_of_range("substring start beyond the end of the string");
  return zString::_substr_ref(c_str(), pos, std::min(n, size() - pos));
}

template <class Traits>
const char* _zstring<Traits>::ansi(UINT code_page) const {
  return convert(c_str(), size(), code_page);
}

template class _zstring<ztraits<0>>;
template class _zstring<ztraits<1>>;

zString::_substr_ref::_substr_ref(const wchar_t* source, size_type offset, size_type count)
    : offset_(offset), count_(count) {
  keep_last_error keep;
  if (count != 0) _zstring::operator=(_zstring(source + offset, count));
}

}  // namespace kx
