#include "ui/splash_wait.h"

#include <cstdint>

#include "platform/message_wait.h"
#include "platform/unique_handle.h"
#include "ui/cancel_request.h"
#include "ui/ui_environment.h"

namespace kx {

namespace {

// One slice of the wait: the cancel flag is looked at between slices.
constexpr DWORD kSliceMs = 1000;

}  // namespace

bool WaitOutSplash(int splash_seconds, DWORD start_tick) {
  if (ui_environment().silent || CancelRequested()) return CancelRequested();
  const std::uint64_t total_ms =
      splash_seconds > 0 ? static_cast<std::uint64_t>(splash_seconds) * 1000u : 0;
  // Nothing ever signals the event: it only gives the pumping wait a handle.
  const unique_handle never(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  // Without it the only wait left would freeze the windows: skip the wait.
  if (!never) return false;
  for (;;) {
    const std::uint64_t elapsed = static_cast<DWORD>(GetTickCount() - start_tick);
    if (elapsed >= total_ms) return false;
    const std::uint64_t left = total_ms - elapsed;
    const DWORD slice = left < kSliceMs ? static_cast<DWORD>(left) : kSliceMs;
    wait_pumping_messages(never.get(), slice);
    if (CancelRequested()) return true;
  }
}

}  // namespace kx
