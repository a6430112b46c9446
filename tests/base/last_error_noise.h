// Memory allocation that disturbs the thread's last-error value, so that a
// string operation which forgot to keep the caller's value is caught: real
// allocators seldom touch the value when they succeed, and a missing guard
// would go unseen.
#pragma once

#include <windows.h>

namespace kx::testing {

// The value the allocations leave behind.
inline constexpr DWORD kLastErrorNoise = 0x2BADF00Du;

// While an object lives, every allocation, reallocation and release of
// memory on the creating thread sets the last-error value to
// kLastErrorNoise: operator new and delete (this test program replaces
// them) and the COM task allocator, which BSTRs come from (watched through
// a malloc spy, with the system's BSTR cache turned off for the rest of the
// process so that every BSTR reaches it). Objects do not nest.
class LastErrorNoise {
 public:
  // Throws std::runtime_error when the task allocator cannot be watched.
  LastErrorNoise();
  ~LastErrorNoise();
  LastErrorNoise(const LastErrorNoise&) = delete;
  LastErrorNoise& operator=(const LastErrorNoise&) = delete;

  // How many allocations and releases have set the value so far.
  long events() const;
};

}  // namespace kx::testing
