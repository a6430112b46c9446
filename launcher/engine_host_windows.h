// The windows of a run that is not silent: the wizard (or the small
// progress window), the language choice and the progress display of the
// engine session's preparation.
#pragma once

#include <windows.h>

#include <memory>

#include "launcher/engine_host_phases.h"
#include "launcher/engine_host_sink.h"
#include "ui/progress_display.h"
#include "ui/small_progress.h"
#include "ui/wizard.h"

namespace kx {

class WindowedPreparation : public EngineUserInterface, public EngineProgressObserver {
 public:
  // Opens nothing yet: a silent run never reaches Prepare, and then no
  // window exists at all.
  explicit WindowedPreparation(CSetup& setup);
  ~WindowedPreparation() override;

  // Frame, [instance page, then the language chosen again], [language
  // dialog or page], prerequisites, progress window, in this order; each
  // failure raises its own check site, a cancel included.
  HRESULT Prepare(CSetup& setup, const std::function<HRESULT()>& run_prerequisites) override;

  void StepReached(int percent) override;
  void BytesTransferred(ULONGLONG done, ULONGLONG expected) override;
  void RateChanged(ULONG bytes_per_second) override;
  // A splash left up beside the small progress window stays until
  // SplashTime seconds after it appeared.
  void PreparationDone() override;
  // The launcher's windows go before the engine's own user interface
  // starts, so none lingers beside it.
  void EnginePhase() override;
  void Close() override;
  HWND Window() override;
  bool TakeCancelRequest() override;

 private:
  void ProgressWindowChanged(HWND window);
  // Shows the medium's splash picture unless "hide_splash" was given; true
  // when one is on screen.
  bool ShowMediumSplash();

  CSetup& setup_;
  std::unique_ptr<CWizard> wizard_;
  std::unique_ptr<SmallProgressWindow> small_;
  ProgressDisplay display_;
  // When the splash appeared; its time counts from here.
  DWORD splash_tick_ = 0;
};

}  // namespace kx
