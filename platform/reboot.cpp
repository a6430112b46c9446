#include "platform/reboot.h"

#include "platform/unique_handle.h"

namespace kx {

namespace {

exit_windows_function& installed() noexcept {
  static exit_windows_function f = nullptr;
  return f;
}

// Enables SeShutdownPrivilege in the process token; failures are left to
// the restart call, which then reports them.
void enable_shutdown_privilege() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) return;
  unique_handle token(raw);
  TOKEN_PRIVILEGES tp{};
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid)) return;
  AdjustTokenPrivileges(token.get(), FALSE, &tp, 0, nullptr, nullptr);
}

}  // namespace

exit_windows_function set_exit_windows(exit_windows_function f) noexcept {
  exit_windows_function previous = installed();
  installed() = f;
  return previous;
}

BOOL system_exit_windows(UINT flags, DWORD reason) {
  return ExitWindowsEx(flags, reason);
}

bool reboot() {
  const exit_windows_function exit_windows = installed();
  if (!exit_windows) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return true;
  }
  if (!(GetVersion() & 0x80000000u)) enable_shutdown_privilege();
  return !exit_windows(EWX_REBOOT, 0xFFFF);
}

}  // namespace kx
