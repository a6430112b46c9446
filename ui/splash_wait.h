// Waiting out the splash picture without freezing the windows.
#pragma once

#include <windows.h>

namespace kx {

// Waits until `splash_seconds` (negative reads as 0) have passed since
// `start_tick`, dispatching window messages meanwhile so that the windows
// paint and Cancel works. Returns early, true, as soon as a cancel is
// pending (the request stays for its reader); false once the time is up. A
// silent run does not wait.
bool WaitOutSplash(int splash_seconds, DWORD start_tick);

}  // namespace kx
