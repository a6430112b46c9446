// The engine session of a run: loads the engine's type library, creates the
// engine, opens the medium's cabinet header through it, sets it up, hands
// it the arguments and runs it, with the launcher as its host. The
// session's objects live in CSetup; each step aborts through CheckStep with
// its own site and stores its error code in CSetup::ErrorCode first.
#pragma once

#include <windows.h>

#include "launcher/engine_host_phases.h"
#include "launcher/engine_host_sink.h"

namespace kx {

class CSetup;

// The disk-space shortfall: the drive of the engine's support folder
// cannot take the installation. The report shows it beside the engine
// set-up's error code, which is the run's exit code.
constexpr HRESULT kDiskSpaceShort = static_cast<HRESULT>(0x8004232B);
// The string of the disk-space message (shortfall in KB, drive).
constexpr UINT kStringDiskSpace = 2008;

// What the session works with besides the run: the preparation's windows,
// the prerequisite manager and the progress display. All must outlive the
// session's calls.
struct EngineHostParts {
  EngineUserInterface* ui = nullptr;
  PrerequisiteManager* prerequisites = nullptr;
  EngineProgressObserver* progress = nullptr;
};

// The parts of a run without windows or prerequisites of its own.
EngineHostParts DefaultEngineHostParts();

class EngineHost {
 public:
  // The session of `setup`'s run with `parts`; a null part takes the one of
  // DefaultEngineHostParts.
  EngineHost(CSetup& setup, const EngineHostParts& parts);
  EngineHost(const EngineHost&) = delete;
  EngineHost& operator=(const EngineHost&) = delete;

  // The normal start: preparation (windows, prerequisites), privilege
  // requirement, type library, engine, web copies, cabinet header, engine
  // set-up, arguments, runner, run and finish. S_OK after the run,
  // 0x80042000 when the user cancelled before it; a failure aborts.
  HRESULT Run();

  // After a restart ("reboot"): pending file operations, type library,
  // engine, arguments, cabinet header, set-up, completion of the
  // interrupted installation and finish; no windows, no prerequisites.
  // S_OK, or a failure aborts.
  HRESULT Resume();

 private:
  void Prepare();
  void InstallTypelib(int site);
  void CreateEngine(int site);
  void CopyWebFiles(int site);
  void OpenCabinet(int site);
  void SetUpEngine(int site);
  void CheckDiskSpace(IKxProperties* properties, int site);
  void SetProperties(IKxProperties* properties, int site);
  void PassArguments(int site);
  void GetRunner(int site);
  void Finish(int site);
  void MakeSink(int site);
  void Progress(int percent);
  void EnableCancel(bool enable);

  CSetup& setup_;
  EngineHostParts parts_;
};

// The installation's result code from the cabinet object; 0 when no cabinet
// was opened. A cabinet that cannot answer gives its failure, never 0.
long EngineResultCode(CSetup& setup);

// Tells the engine that the run aborts: EngineState 5 and the driver's
// abort notification, then the runner's completion of the aborted run.
// Failures of these calls change nothing: the run ends anyway.
void NotifyEngineAbort(CSetup& setup);

}  // namespace kx
