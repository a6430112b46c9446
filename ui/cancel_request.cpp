#include "ui/cancel_request.h"

namespace kx {

namespace {

bool cancel_requested = false;

}  // namespace

void RequestCancel() {
  cancel_requested = true;
}

bool CancelRequested() {
  return cancel_requested;
}

bool TakeCancelRequest() {
  const bool requested = cancel_requested;
  cancel_requested = false;
  return requested;
}

}  // namespace kx
