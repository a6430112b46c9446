// Waiting on the user-interface thread without freezing its windows.
#pragma once

#include <windows.h>

namespace kx {

// Waits until `handle` is signalled or `timeout_ms` (INFINITE for no limit)
// has passed, dispatching the thread's window messages whenever any arrive
// (QS_ALLINPUT, including messages already in the queue when the wait
// begins), so the windows keep painting and Cancel stays clickable. A
// WM_QUIT seen meanwhile is posted again when the wait ends, for the
// caller's own message loop.
//
// Returns WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED (last error set).
// Window procedures may run inside this call.
DWORD wait_pumping_messages(HANDLE handle, DWORD timeout_ms);

}  // namespace kx
