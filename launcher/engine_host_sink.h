// The launcher as the engine's host: the COM object that receives the
// engine's transfer events, and the small interface through which it (and
// the engine session) reports progress to whatever window shows it.
#pragma once

#include <windows.h>

#include <kxengine.h>

#include "base/stringx.h"

namespace kx {

// Shows the engine session's progress. The session calls it on the main
// thread; an implementation without a window only answers the cancel
// question. Every operation must return quickly: the engine waits for it.
class EngineProgressObserver {
 public:
  virtual ~EngineProgressObserver() = default;

  // The session reached a fixed position (0 to 100) of its preparation.
  virtual void StepReached(int percent) = 0;
  // The engine transferred more bytes: `done` so far of `expected` (the
  // component's size; 0 while unknown).
  virtual void BytesTransferred(ULONGLONG done, ULONGLONG expected) = 0;
  // A transfer rate worth redrawing (web runs only, already thinned out).
  virtual void RateChanged(ULONG bytes_per_second) = 0;
  // The preparation steps are over: a splash picture still on screen stays
  // until its time is up. A cancel made meanwhile is left for
  // TakeCancelRequest, which the session asks next.
  virtual void PreparationDone() {}
  // The engine phase begins: the window switches to the engine's progress.
  virtual void EnginePhase() = 0;
  // The preparation is over: the window goes away.
  virtual void Close() = 0;
  // The dialog whose messages go through IsDialogMessage; null for none.
  virtual HWND Window() = 0;
  // True once when the user asked to cancel since the last call: the
  // request is consumed by asking.
  virtual bool TakeCancelRequest() = 0;
};

// An observer for runs without a progress window: nothing to draw, and
// nobody who could cancel.
EngineProgressObserver& NoProgressWindow();

// The state the sink reads from the run.
struct EngineSinkContext {
  EngineProgressObserver* observer = nullptr;
  // The run installs from the web: rate notifications are shown.
  bool web = false;
  // The launcher's current mode value, answered to file-mode queries.
  const int* mode = nullptr;
  // The bytes the installation is expected to transfer (the component's
  // size), for the observer.
  const ULONGLONG* expected_bytes = nullptr;
};

// Creates the host object with one reference. QueryInterface answers
// exactly IUnknown and the three transfer-event interfaces, all with the
// same object. Returns null only when out of memory.
IKxTransferEvents3* NewEngineSink(const EngineSinkContext& context);

// Attaches `listener` to the sink (null detaches): the notifications,
// byte progress and status texts then go to it instead (the prerequisite
// phase listens this way while it downloads). `sink` must come from
// NewEngineSink.
void AttachSinkListener(IKxTransferEvents3* sink, IKxTransferEvents3* listener);

// The bytes the sink counted since it was made.
ULONGLONG SinkBytesDone(IKxTransferEvents3* sink);

}  // namespace kx
