// Switching the WOW64 file-system redirection off for one condition test, so
// that a 32-bit process sees the 64-bit system's own folders.
#pragma once

#include <windows.h>

namespace kx::prereq {

// The two kernel32 functions the scope calls, replaceable by tests.
struct redirection_functions {
  BOOL(WINAPI* disable)(PVOID* old_value) = nullptr;
  BOOL(WINAPI* revert)(PVOID old_value) = nullptr;
};

// While alive, redirection_scope calls `functions` instead of kernel32's
// (null members stand for missing functions). Restores the previous ones.
class scoped_redirection_functions {
 public:
  explicit scoped_redirection_functions(const redirection_functions& functions) noexcept;
  ~scoped_redirection_functions();
  scoped_redirection_functions(const scoped_redirection_functions&) = delete;
  scoped_redirection_functions& operator=(const scoped_redirection_functions&) = delete;

 private:
  const redirection_functions* previous_;
  redirection_functions functions_;
};

// Owns one switch-off of the redirection: restored when the scope ends, on
// every path out of the test.
class redirection_scope {
 public:
  redirection_scope() noexcept = default;
  ~redirection_scope();
  redirection_scope(const redirection_scope&) = delete;
  redirection_scope& operator=(const redirection_scope&) = delete;

  // Switches redirection off for the rest of the scope (once; later calls do
  // nothing). The version library is bound first: loaded with redirection
  // off, a 32-bit process would get the 64-bit system's copy and fail for
  // the rest of the process. When the system has no such function, or it
  // fails (as in a 64-bit process), the test goes on with redirection on.
  // True when redirection is off now.
  bool disable() noexcept;

  // Redirection was switched off by this scope.
  bool disabled() const noexcept { return disabled_; }

 private:
  PVOID old_value_ = nullptr;
  // The function that undoes this scope's switch-off.
  BOOL(WINAPI* revert_)(PVOID old_value) = nullptr;
  bool attempted_ = false;
  bool disabled_ = false;
};

}  // namespace kx::prereq
