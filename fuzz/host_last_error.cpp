// The host build has no Win32 last-error value: a thread-local stands in.
#include "base/last_error.h"

namespace kx::detail {

namespace {
thread_local unsigned long value = 0;
}

unsigned long get_last_error() noexcept {
  return value;
}
void set_last_error(unsigned long v) noexcept {
  value = v;
}

}  // namespace kx::detail
