// The program's wide string: case-insensitive, and neutral to the thread's
// last-error value.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "base/char_traitsi.h"
#include "base/last_error.h"
#include "base/xchar.h"

namespace kx {

// A growable UTF-16 string whose comparisons and searches ignore the case of
// A-Z (Traits), and whose every constructor, destructor, assignment and
// mutation leaves the thread's last-error value as it found it.
//
// Narrow and BSTR views are made on request by the functions of
// base/string_win.h rather than cached, so no view can go stale when the
// text changes through an inherited accessor.
template <class Traits>
class _stringx : private zString::_restore_last_error,
                 private zString::_save_last_error,
                 public std::basic_string<xchar, Traits> {
 public:
  using base = std::basic_string<xchar, Traits>;
  using typename base::size_type;
  using view = std::basic_string_view<xchar, Traits>;
  static constexpr size_type npos = base::npos;

  _stringx() noexcept { restore(); }
  _stringx(const xchar* s) : base(s ? s : KXT("")) { restore(); }
  _stringx(const xchar* s, size_type n) : base(s, n) { restore(); }
  _stringx(size_type n, xchar c) : base(n, c) { restore(); }
  _stringx(const base& s) : base(s) { restore(); }
  _stringx(base&& s) noexcept : base(std::move(s)) { restore(); }
  explicit _stringx(view v) : base(v) { restore(); }
  explicit _stringx(std::basic_string_view<xchar> v) : base(v.data(), v.size()) { restore(); }
  explicit _stringx(const std::basic_string<xchar>& s) : base(s.data(), s.size()) { restore(); }
  template <class It>
  _stringx(It first, It last) : base(first, last) {
    restore();
  }
  _stringx(const _stringx& o) : _restore_last_error(), _save_last_error(), base(o) { restore(); }
  _stringx(_stringx&& o) noexcept
      : _restore_last_error(), _save_last_error(), base(std::move(static_cast<base&>(o))) {
    restore();
  }
  ~_stringx() { saved_ = detail::get_last_error(); }

  _stringx& operator=(const _stringx& o) {
    keep_last_error k;
    base::operator=(o);
    return *this;
  }
  _stringx& operator=(_stringx&& o) noexcept {
    keep_last_error k;
    base::operator=(std::move(static_cast<base&>(o)));
    return *this;
  }
  _stringx& operator=(const xchar* s) {
    keep_last_error k;
    base::operator=(s ? s : KXT(""));
    return *this;
  }
  _stringx& operator=(xchar c) {
    keep_last_error k;
    base::operator=(c);
    return *this;
  }
  _stringx& operator+=(const base& s) {
    keep_last_error k;
    base::operator+=(s);
    return *this;
  }
  _stringx& operator+=(const xchar* s) {
    keep_last_error k;
    base::operator+=(s);
    return *this;
  }
  _stringx& operator+=(xchar c) {
    keep_last_error k;
    base::push_back(c);
    return *this;
  }
  _stringx& operator+=(view v) {
    keep_last_error k;
    base::append(v.data(), v.size());
    return *this;
  }

#define KX_STRINGX_GUARDED(name)       \
  template <class... A>                \
  _stringx& name(A&&... a) {           \
    keep_last_error k;                 \
    base::name(std::forward<A>(a)...); \
    return *this;                      \
  }
  KX_STRINGX_GUARDED(assign)
  KX_STRINGX_GUARDED(append)
  KX_STRINGX_GUARDED(insert)
  KX_STRINGX_GUARDED(erase)
  KX_STRINGX_GUARDED(replace)
  KX_STRINGX_GUARDED(push_back)
  KX_STRINGX_GUARDED(pop_back)
  KX_STRINGX_GUARDED(clear)
  KX_STRINGX_GUARDED(resize)
  KX_STRINGX_GUARDED(reserve)
#undef KX_STRINGX_GUARDED

  void swap(_stringx& o) noexcept {
    keep_last_error k;
    base::swap(o);
  }

  _stringx substr(size_type pos = 0, size_type n = npos) const {
    keep_last_error k;
    return _stringx(base::substr(pos, n));
  }

  view as_view() const noexcept {
    return view(this->data(), this->size());
  }

  // The text with a case-sensitive std::basic_string (for APIs and tests that
  // want plain wide text).
  std::basic_string<xchar> str() const {
    return {this->data(), this->size()};
  }

  bool starts_with_i(view prefix) const noexcept {
    return this->size() >= prefix.size() && as_view().substr(0, prefix.size()) == prefix;
  }
  bool ends_with_i(view suffix) const noexcept {
    return this->size() >= suffix.size() &&
           as_view().substr(this->size() - suffix.size()) == suffix;
  }

  // Replaces every occurrence of `what` (case-insensitively) by `with`.
  _stringx& replace_all(view what, view with) {
    keep_last_error k;
    if (what.empty()) return *this;
    for (size_type at = 0; (at = base::find(what.data(), at, what.size())) != npos;
         at += with.size())
      base::replace(at, what.size(), with.data(), with.size());
    return *this;
  }

 private:
  void restore() noexcept {
    detail::set_last_error(saved_);
  }
};

template <class T>
_stringx<T> operator+(const _stringx<T>& a, const _stringx<T>& b) {
  _stringx<T> r(a);
  return r += b;
}
template <class T>
_stringx<T> operator+(const _stringx<T>& a, const xchar* b) {
  _stringx<T> r(a);
  return r += b;
}
template <class T>
_stringx<T> operator+(const xchar* a, const _stringx<T>& b) {
  _stringx<T> r(a);
  return r += b;
}
template <class T>
_stringx<T> operator+(const _stringx<T>& a, xchar b) {
  _stringx<T> r(a);
  return r += b;
}

// The string of the rest of the program ("string" in comments).
using string = _stringx<char_traitsi>;

}  // namespace kx
