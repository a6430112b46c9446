// The end of the engine session: the result code, the abort notification
// and the release of the engine's objects and module.
#include <kxengine.h>

#include "launcher/engine_host.h"
#include "launcher/setup.h"

namespace kx {

long EngineResultCode(CSetup& setup) {
  if (!setup.CabinetObject) return 0;
  LONG code = 0;
  const HRESULT hr = setup.CabinetObject->GetResultCode(&code);
  return FAILED(hr) ? static_cast<long>(hr) : static_cast<long>(code);
}

void NotifyEngineAbort(CSetup& setup) {
  if (setup.EngineDriver) {
    setup.EngineState = 5;
    setup.EngineDriver->Abort(setup.EngineSink.get());
  }
  if (setup.EngineRunner) {
    ComRef<IKxCompletion> completion;
    if (SUCCEEDED(setup.EngineRunner->QueryInterface(IID_IKxCompletion, completion.put_void())) &&
        completion) {
      completion->Complete();
    }
  }
}

// The runner, the setup data, the cabinet and its components all share the
// engine's session; the engine goes last, so nothing it handed out outlives
// it. The host object goes after the engine, which holds on to it until
// then; the module is freed only when no object of it is left.
void ReleaseEngine(CSetup& setup) noexcept {
  setup.EngineRunner.reset();
  setup.EngineSetup.reset();
  setup.CabinetObject.reset();
  setup.EngineDriver.reset();
  setup.EngineMedia.reset();
  setup.Engine.reset();
  setup.EngineSink.reset();
  if (!setup.EngineModule) return;
  if (!setup.Settings().NoEngine) {
    const auto remove = reinterpret_cast<KxRemoveEngineTypelibFn>(
        reinterpret_cast<void*>(GetProcAddress(setup.EngineModule, "RemoveEngineTypelib")));
    if (remove) remove();
  }
  FreeLibrary(setup.EngineModule);
  setup.EngineModule = nullptr;
}

}  // namespace kx
