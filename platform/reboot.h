// Restarting Windows.
#pragma once

#include <windows.h>

namespace kx {

// The call that asks Windows to restart, ExitWindowsEx in a real run.
using exit_windows_function = BOOL (*)(UINT flags, DWORD reason);

// Installs `f` as the restart call and returns the previous one. Nothing is
// installed at first, so a program that never installs the real call (every
// test program) cannot restart the machine by accident; the launcher's
// process entry installs system_exit_windows.
exit_windows_function set_exit_windows(exit_windows_function f) noexcept;

// ExitWindowsEx itself, for set_exit_windows.
BOOL system_exit_windows(UINT flags, DWORD reason);

// Asks Windows to restart: on NT, enables SeShutdownPrivilege in the process
// token first; then the restart call with EWX_REBOOT and reason 0xFFFF.
// Returns true when the request FAILED (the thread's last error says why;
// ERROR_CALL_NOT_IMPLEMENTED when no restart call is installed).
bool reboot();

}  // namespace kx
