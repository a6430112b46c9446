// The thread's last-error value, and the classes that keep it unchanged
// across string operations.
//
// A caller may build messages and paths between a failing system call and
// its GetLastError without losing the error: every constructor, destructor,
// assignment and mutation of the string types saves the value on entry and
// puts it back before it returns.
#pragma once

namespace kx {
namespace detail {

// GetLastError/SetLastError on Windows; a thread-local stand-in in the host
// build of the parsers.
unsigned long get_last_error() noexcept;
void set_last_error(unsigned long value) noexcept;

}  // namespace detail

namespace zString {

// Holds the saved value; shared (virtually) by the two classes below.
struct _last_error {
  unsigned long saved_ = 0;
};

// Captures the value when constructed: as a base placed before the text, it
// runs before the text allocates.
struct _save_last_error : virtual _last_error {
  _save_last_error() noexcept { saved_ = detail::get_last_error(); }
  _save_last_error(const _save_last_error&) noexcept : _save_last_error() {}
  _save_last_error& operator=(const _save_last_error&) noexcept { return *this; }
};

// Puts the value back when destroyed: as the first base it is destroyed after
// the text has been freed.
struct _restore_last_error : virtual _last_error {
  _restore_last_error() noexcept = default;
  _restore_last_error(const _restore_last_error&) noexcept {}
  _restore_last_error& operator=(const _restore_last_error&) noexcept { return *this; }
  ~_restore_last_error() { detail::set_last_error(saved_); }
};

}  // namespace zString

// Keeps the last-error value of a scope: saved on entry, restored on exit.
class keep_last_error {
 public:
  keep_last_error() noexcept : value_(detail::get_last_error()) {}
  ~keep_last_error() { detail::set_last_error(value_); }
  keep_last_error(const keep_last_error&) = delete;
  keep_last_error& operator=(const keep_last_error&) = delete;

 private:
  unsigned long value_;
};

}  // namespace kx
