// The BSTR-based string family: _zstring over one BSTR, and zpath, a
// _zstring that knows the parts of a file path or URL.
//
// Comparisons and searches follow the user's locale (CompareString), with or
// without case, and like kx::string every constructor, destructor,
// assignment and mutation leaves the thread's last-error value unchanged.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <oleauto.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "base/last_error.h"

namespace kx {

namespace zString {

// The system function that compares text for the family.
enum class compare_api {
  wide,  // CompareStringW (Windows NT)
  ansi,  // both operands converted to ANSI, then CompareStringA (Windows 9x)
};

// The platform's choice: `ansi` when GetVersionEx reports a platform other
// than VER_PLATFORM_WIN32_NT, else `wide`. Asked once, then cached.
compare_api platform_compare_api() noexcept;

// The function in use: the platform's, unless set_compare_api chose another.
compare_api current_compare_api() noexcept;

// Makes every later comparison of the family use `api` (so the Windows 9x
// path can be exercised on NT); returns the previous setting. Process-wide.
compare_api set_compare_api(compare_api api) noexcept;

// Compares two counted texts in the user's default locale, case-insensitively
// when `ignore_case`: < 0, 0 or > 0. Should the system refuse the comparison,
// the code units are compared (A-Z folded when ignoring case), so a result is
// always given. Leaves the thread's last error unchanged.
int compare(const wchar_t* a, std::size_t na, const wchar_t* b, std::size_t nb, bool ignore_case);

// Scratch room for converting the text to narrow characters. Each string has
// its own; a copy starts with a fresh one.
class _buffs {
 public:
  _buffs();
  _buffs(const _buffs&);
  _buffs& operator=(const _buffs&) noexcept { return *this; }
  ~_buffs();

 protected:
  // The `n` characters at `s` in `code_page`, NUL-terminated, in the scratch
  // room; valid until the next conversion. Leaves the last error unchanged.
  const char* convert(const wchar_t* s, std::size_t n, UINT code_page) const;

 private:
  mutable std::unique_ptr<char[]> room_;
  mutable std::size_t capacity_;
};

class _substr_ref;

}  // namespace zString

// The comparison of a _zstring: case-insensitive when IgnoreCase is 1,
// case-sensitive when 0.
template <int IgnoreCase>
struct ztraits {
  static constexpr bool ignore_case = IgnoreCase != 0;

  // < 0, 0 or > 0, as zString::compare.
  static int compare(const wchar_t* a, std::size_t na, const wchar_t* b, std::size_t nb) {
    return zString::compare(a, na, b, nb, ignore_case);
  }
};

// A string held as one BSTR, which may be null; a null BSTR reads as "".
// Comparisons and searches go through Traits. Memory failures throw
// std::bad_alloc; positions beyond the end throw std::out_of_range.
template <class Traits>
class _zstring : private zString::_restore_last_error,
                 private zString::_save_last_error,
                 private zString::_buffs {
 public:
  using size_type = std::size_t;
  static constexpr size_type npos = static_cast<size_type>(-1);

  // A null string.
  _zstring() noexcept;
  // A copy of the NUL-terminated `s`; null for a null `s`.
  _zstring(const wchar_t* s);
  // A copy of `n` characters at `s` (embedded NULs kept); null for a null `s`.
  _zstring(const wchar_t* s, size_type n);
  explicit _zstring(std::wstring_view s);
  _zstring(const _zstring& other);
  _zstring(_zstring&& other) noexcept;
  ~_zstring();

  _zstring& operator=(const _zstring& other);
  _zstring& operator=(_zstring&& other) noexcept;
  _zstring& operator=(const wchar_t* s);

  // Takes ownership of `b` (freeing the text held so far).
  void attach(BSTR b) noexcept;
  // Gives up the BSTR (possibly null) to the caller; the string becomes null.
  BSTR detach() noexcept;

  // The BSTR itself, possibly null, for COM calls; owned by this string.
  BSTR bstr() const noexcept { return b_; }
  // The text, NUL-terminated; "" for a null string.
  const wchar_t* c_str() const noexcept { return b_ ? b_ : L""; }
  std::wstring_view view() const noexcept { return {c_str(), size()}; }
  size_type size() const noexcept { return b_ ? SysStringLen(b_) : 0; }
  size_type length() const noexcept { return size(); }
  bool empty() const noexcept { return size() == 0; }
  bool is_null() const noexcept { return b_ == nullptr; }
  // The character at `pos`; std::out_of_range when pos >= size().
  wchar_t at(size_type pos) const;
  // The character at `pos` < size(), unchecked.
  wchar_t operator[](size_type pos) const noexcept { return b_[pos]; }

  // Makes the string null.
  void clear() noexcept;
  _zstring& append(const wchar_t* s, size_type n);
  _zstring& operator+=(const wchar_t* s);
  _zstring& operator+=(const _zstring& s);
  _zstring& operator+=(wchar_t c);

  // < 0, 0 or > 0 by Traits.
  int compare(const wchar_t* s, size_type n) const;
  int compare(const wchar_t* s) const;
  int compare(const _zstring& other) const;

  // The first position at or after `from` where `s` (or `c`) matches by
  // Traits, or npos. An empty `s` matches at `from` when from <= size().
  size_type find(const wchar_t* s, size_type from = 0) const;
  size_type find(wchar_t c, size_type from = 0) const;
  // The last position at or before `from` where `s` (or `c`) matches by
  // Traits, or npos.
  size_type rfind(const wchar_t* s, size_type from = npos) const;
  size_type rfind(wchar_t c, size_type from = npos) const;
  bool starts_with(const wchar_t* s) const;
  bool ends_with(const wchar_t* s) const;

  // Up to `n` characters from `pos` (fewer at the end), recording the range;
  // std::out_of_range when pos > size().
  zString::_substr_ref substr(size_type pos, size_type n = npos) const;

  // The text in `code_page`, NUL-terminated, valid until the next change or
  // the next call.
  const char* ansi(UINT code_page = CP_ACP) const;

 private:
  // Replaces the text by a copy of `n` characters at `s`; null for a null `s`.
  void assign(const wchar_t* s, size_type n);
  void restore() noexcept { detail::set_last_error(saved_); }

  BSTR b_ = nullptr;
};

template <class Traits>
bool operator==(const _zstring<Traits>& a, const _zstring<Traits>& b) {
  return a.compare(b) == 0;
}
template <class Traits>
bool operator==(const _zstring<Traits>& a, const wchar_t* b) {
  return a.compare(b) == 0;
}
template <class Traits>
bool operator!=(const _zstring<Traits>& a, const _zstring<Traits>& b) {
  return !(a == b);
}
template <class Traits>
bool operator!=(const _zstring<Traits>& a, const wchar_t* b) {
  return !(a == b);
}
template <class Traits>
bool operator<(const _zstring<Traits>& a, const _zstring<Traits>& b) {
  return a.compare(b) < 0;
}

extern template class _zstring<ztraits<0>>;
extern template class _zstring<ztraits<1>>;

namespace zString {

// A part of another string: its text (case-insensitive, like a path) and the
// range it came from.
class _substr_ref : public _zstring<ztraits<1>> {
 public:
  // The `count` characters of `source` from `offset`; the caller keeps the
  // range within the source. An empty part holds a null BSTR.
  _substr_ref(const wchar_t* source, size_type offset, size_type count);

  // Where the part starts in its source.
  size_type offset() const noexcept { return offset_; }
  // How many characters of the source it covers.
  size_type count() const noexcept { return count_; }

 private:
  size_type offset_;
  size_type count_;
};

}  // namespace zString

// A file path or URL. Both '/' and '\' separate its parts. The parts never
// fail: an empty or null path gives empty parts.
class zpath : public _zstring<ztraits<1>> {
 public:
  using _substr_ref = zString::_substr_ref;
  using _zstring::_zstring;
  // The path held by another string of the family (a part, for example).
  explicit zpath(const _zstring& text) : _zstring(text) {}

  // The length of the scheme prefix: 7 for "http://" and "file://", 6 for
  // "ftp://", 8 for "https://" (A-Z in any case), 0 for none, -1 for a null
  // path.
  int scheme_length() const noexcept;

  // True when the path is longer than 2 characters and begins with "\\".
  bool is_unc() const noexcept;

  // For a UNC path "\\server\share" (the whole text when it has no further
  // separator); for a URL the scheme and host ("http://host"), or with
  // `host_only` the host alone; for "C:..." the drive "C:"; else empty.
  _substr_ref root(bool host_only = false) const;

  // The text up to and including the last separator; the root when there is
  // no separator or the last one lies inside the root.
  _substr_ref directory() const;

  // The text after the directory part.
  _substr_ref file_name() const;

  // The text after the last '.' (with the '.' when `with_dot`) when that '.'
  // lies after the directory part; else empty.
  _substr_ref extension(bool with_dot = false) const;

 private:
  struct range {
    size_type start, end;
  };

  // Where the root lies; with `host_only` a URL's root starts behind the
  // scheme.
  range root_range(bool host_only) const noexcept;
  // The length of the directory part.
  size_type directory_end() const noexcept;
  _substr_ref part(size_type start, size_type end) const;
};

}  // namespace kx
