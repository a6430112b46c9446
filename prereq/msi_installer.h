// The four Windows Installer functions an in-process package run needs,
// bound from the system folder's msi.dll on first use (never imported), and
// the rules for waiting while another installation holds the Installer.
#pragma once

#include <windows.h>

#include <msi.h>

#include <cstdint>
#include <functional>

namespace kx::prereq {

// The Installer functions, as one table so that tests can replace it.
struct msi_functions {
  INSTALLUILEVEL(WINAPI* setInternalUI)(INSTALLUILEVEL level, HWND* window) = nullptr;
  INSTALLUI_HANDLERW(WINAPI* setExternalUI)
  (INSTALLUI_HANDLERW handler, DWORD filter, LPVOID context) = nullptr;
  UINT(WINAPI* enableLog)(DWORD mode, LPCWSTR file, DWORD attributes) = nullptr;
  UINT(WINAPI* installProduct)(LPCWSTR package, LPCWSTR properties) = nullptr;

  // True when every function is there.
  bool complete() const noexcept {
    return setInternalUI && setExternalUI && enableLog && installProduct;
  }
};

// The functions of the system's msi.dll, loaded on the first call; null
// when the library or any of the four is missing (nothing is then called).
const msi_functions* system_msi_functions() noexcept;

// ERROR_INSTALL_ALREADY_RUNNING: another installation holds the Installer.
inline constexpr std::uint32_t kInstallerBusy = 1618;
// The longest time a package waits for a busy Installer, over all retries.
inline constexpr std::uint32_t kBusyWaitLimitMs = 10 * 60 * 1000;

// The pause before retry `attempt` (1 for the first retry): 5 s, doubling
// to at most 60 s, so that a short-lived installation is waited out fast
// and a long one is not polled needlessly.
std::uint32_t busy_retry_pause_ms(unsigned attempt) noexcept;

// How the wait passes time; tests give a fake clock.
struct busy_wait_clock {
  // Milliseconds since some fixed moment.
  std::function<std::uint64_t()> now_ms;
  // Waits `ms` milliseconds while window messages are dispatched; false
  // when the wait was cut short by a cancel (the shared cancel flag) or by
  // WM_QUIT.
  std::function<bool(std::uint32_t ms)> pause;
};

// The clock of the process: GetTickCount64 and a pumped wait that looks at
// `*cancel` (may be null) every quarter second.
busy_wait_clock system_busy_wait_clock(const bool* cancel);

// How a run that may find the Installer busy ended.
struct busy_retry_result {
  std::uint32_t code = 0;  // the last attempt's result
  unsigned attempts = 0;   // how many times the package was run
  bool cancelled = false;  // a pause was cut short; code stays 1618
  bool gaveUp = false;     // still 1618 when the limit was reached
};

// Runs `attempt` and, while it gives 1618, pauses and runs it again until
// kBusyWaitLimitMs have passed since the first start. `before_pause` gets
// the number of the coming retry and the pause, for a log line.
busy_retry_result run_with_busy_retry(
    const std::function<std::uint32_t()>& attempt, const busy_wait_clock& clock,
    const std::function<void(unsigned, std::uint32_t)>& before_pause);

}  // namespace kx::prereq
