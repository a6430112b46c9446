#include "prereq/msi_installer.h"

#include <algorithm>

#include "platform/message_wait.h"
#include "platform/system_library.h"
#include "platform/unique_handle.h"

namespace kx::prereq {

namespace {

constexpr std::uint32_t kFirstPauseMs = 5 * 1000;
constexpr std::uint32_t kLongestPauseMs = 60 * 1000;
constexpr std::uint32_t kCancelPollMs = 250;

msi_functions load_system_functions() noexcept {
  constexpr const wchar_t* kMsi = L"msi.dll";
  msi_functions f;
  f.setInternalUI = system_function<decltype(f.setInternalUI)>(kMsi, "MsiSetInternalUI");
  f.setExternalUI = system_function<decltype(f.setExternalUI)>(kMsi, "MsiSetExternalUIW");
  f.enableLog = system_function<decltype(f.enableLog)>(kMsi, "MsiEnableLogW");
  f.installProduct = system_function<decltype(f.installProduct)>(kMsi, "MsiInstallProductW");
  return f;
}

}  // namespace

const msi_functions* system_msi_functions() noexcept {
  static const msi_functions functions = load_system_functions();
  return functions.complete() ? &functions : nullptr;
}

std::uint32_t busy_retry_pause_ms(unsigned attempt) noexcept {
  std::uint32_t pause = kFirstPauseMs;
  for (unsigned i = 1; i < attempt && pause < kLongestPauseMs; ++i) pause *= 2;
  return std::min(pause, kLongestPauseMs);
}

busy_wait_clock system_busy_wait_clock(const bool* cancel) {
  busy_wait_clock clock;
  clock.now_ms = [] { return static_cast<std::uint64_t>(GetTickCount64()); };
  clock.pause = [cancel](std::uint32_t ms) {
    // An event nobody sets: the wait is a pumped sleep that notices the
    // cancel flag between slices.
    unique_handle never(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!never) return false;
    const ULONGLONG until = GetTickCount64() + ms;
    for (;;) {
      if (cancel && *cancel) return false;
      const ULONGLONG now = GetTickCount64();
      if (now >= until) return true;
      const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(until - now, kCancelPollMs));
      const DWORD waited = wait_pumping_messages(never.get(), slice);
      if (waited != WAIT_TIMEOUT) return false;
      MSG quit;
      if (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) return false;
    }
  };
  return clock;
}

busy_retry_result run_with_busy_retry(
    const std::function<std::uint32_t()>& attempt, const busy_wait_clock& clock,
    const std::function<void(unsigned, std::uint32_t)>& before_pause) {
  busy_retry_result result;
  const std::uint64_t start = clock.now_ms();
  for (;;) {
    result.code = attempt();
    ++result.attempts;
    if (result.code != kInstallerBusy) return result;
    const std::uint64_t spent = clock.now_ms() - start;
    if (spent >= kBusyWaitLimitMs) {
      result.gaveUp = true;
      return result;
    }
    const std::uint32_t pause = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(busy_retry_pause_ms(result.attempts), kBusyWaitLimitMs - spent));
    if (before_pause) before_pause(result.attempts, pause);
    if (!clock.pause(pause)) {
      result.cancelled = true;
      return result;
    }
  }
}

}  // namespace kx::prereq
