#include "platform/message_wait.h"

namespace kx {

namespace {

// Removes and dispatches every queued message; true when WM_QUIT was among
// them (its exit code in `quit_code`).
bool dispatch_pending(WPARAM& quit_code) {
  bool quit = false;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quit = true;
      quit_code = msg.wParam;
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return quit;
}

}  // namespace

DWORD wait_pumping_messages(HANDLE handle, DWORD timeout_ms) {
  // GetTickCount rather than GetTickCount64 (missing on XP); unsigned
  // differences stay right across its wrap-around.
  const DWORD start = GetTickCount();
  bool quit = false;
  WPARAM quit_code = 0;
  DWORD result = WAIT_FAILED;
  for (;;) {
    DWORD wait = INFINITE;
    if (timeout_ms != INFINITE) {
      const DWORD elapsed = GetTickCount() - start;
      wait = elapsed >= timeout_ms ? 0 : timeout_ms - elapsed;
    }
    // MWMO_INPUTAVAILABLE: a message that came in before the wait began, and
    // that something in between already looked at, must wake it too, or it
    // would sit undispatched until the process ends.
    const DWORD r = MsgWaitForMultipleObjectsEx(1, &handle, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (r == WAIT_OBJECT_0 + 1) {
      if (dispatch_pending(quit_code)) quit = true;
      if (wait == 0) {
        // The time is up; the handle still gets its last look.
        result = WaitForSingleObject(handle, 0);
        break;
      }
      continue;
    }
    result = r;
    break;
  }
  if (result != WAIT_OBJECT_0 && result != WAIT_TIMEOUT) result = WAIT_FAILED;
  if (quit) {
    const DWORD error = GetLastError();
    PostQuitMessage(static_cast<int>(quit_code));
    SetLastError(error);
  }
  return result;
}

}  // namespace kx
