// Sole ownership of one kernel handle.
#pragma once

#include <windows.h>

#include <utility>

#include "base/last_error.h"

namespace kx {

// Owns a handle closed with CloseHandle. Both null and INVALID_HANDLE_VALUE
// mean "no handle", since the system uses either as a failure value
// depending on the call. Closing keeps the thread's last-error value, so a
// failure path can release handles before its caller reads the error.
class unique_handle {
 public:
  unique_handle() noexcept = default;
  explicit unique_handle(HANDLE h) noexcept : h_(h) {}
  unique_handle(unique_handle&& o) noexcept : h_(o.release()) {}
  unique_handle& operator=(unique_handle&& o) noexcept {
    reset(o.release());
    return *this;
  }
  unique_handle(const unique_handle&) = delete;
  unique_handle& operator=(const unique_handle&) = delete;
  ~unique_handle() { reset(); }

  HANDLE get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return valid(h_); }

  // Gives up ownership without closing.
  HANDLE release() noexcept { return std::exchange(h_, nullptr); }

  // Closes the owned handle (if any) and takes `h`.
  void reset(HANDLE h = nullptr) noexcept {
    if (valid(h_) && h_ != h) {
      keep_last_error k;
      CloseHandle(h_);
    }
    h_ = h;
  }

 private:
  static bool valid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  HANDLE h_ = nullptr;
};

}  // namespace kx
