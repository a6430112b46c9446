// The user's request to cancel the run: one flag for the process, set by
// the progress windows' Cancel and read by transfers and waits. Everything
// runs on the user-interface thread, so a plain flag suffices.
#pragma once

namespace kx {

// The user confirmed a cancel (or pressed the small window's Cancel).
void RequestCancel();

// Whether a cancel is pending, without consuming it.
bool CancelRequested();

// True once per request: the request is consumed by asking.
bool TakeCancelRequest();

}  // namespace kx
