// The launcher object of a process and its top-level run.
#pragma once

#include <windows.h>

#include <kxengine.h>

#include "base/stringx.h"
#include "launcher/com_ref.h"
#include "launcher/launcher_services.h"
#include "launcher/setup_settings.h"
#include "launcher/step_result.h"
#include "platform/cleanup_list.h"
#include "prereq/setup_prereq_mgr_callback.h"

// Checks a step result at a numbered site; a failure aborts to the nearest
// abort point, remembering where it started.
#define KX_CHECK_STEP(setup, hr, site) (setup).CheckStep((hr), (site), __FILE__, __LINE__)

namespace kx {

class CSetup;

// Releases the engine's objects of `setup` in the order the engine expects
// (runner, setup data, cabinet, driver, media, engine, then the host
// object), removes the engine's type library when the engine module is
// loaded and "no_engine" was not given, and frees the module.
void ReleaseEngine(CSetup& setup) noexcept;

// One per process: drives a run from the command line to the exit code.
class CSetup : public CSetupPrereqMgrCallback {
 public:
  explicit CSetup(LauncherServices& services) : services_(services) {}
  CSetup(const CSetup&) = delete;
  CSetup& operator=(const CSetup&) = delete;
  // Lets go of the engine (ReleaseEngine).
  ~CSetup() override { ReleaseEngine(*this); }

  // Runs the launcher for `launcher_path` (the running file) with the
  // command-line text as the system gave it; returns the exit code. Never
  // throws: an exception that no step expected is reported as a general
  // failure (-5001) with the exception's text, like a failed step.
  int Run(HINSTANCE instance, const string& launcher_path, const string& command_line);

  // Returns when `hr` is 0. Otherwise records the first failure (code, site
  // and source position) and throws StepAbort to the nearest abort point.
  // Any non-zero value aborts, positive ones included.
  void CheckStep(HRESULT hr, int site, const char* file = "", int line = 0);

  SetupSettings& Settings() override { return settings_; }
  // The prerequisite phase's operations that need the run's state
  // (launcher/setup_prereq_callback.cpp).
  void ReportWorkingFolder(const string& path) override;
  string RewriteCommandLine(const string& text) override;
  string GetString(UINT id) override;
  int ShowMessage(const string& text, UINT style) override;
  HWND MainWindow() override { return OwnerWindow; }
  // The medium, the launcher the user started and the language, for the
  // elevated copy of the prerequisite phase; and the debug log this run
  // was given.
  string RelaunchArguments() override;
  string DebugLogPath() override { return settings_.DebugLogPath; }
  CleanupList& Cleanup() { return cleanup_; }
  LauncherServices& Services() { return services_; }

  // The launcher's own error code for the exit code after a failure; 0
  // until something sets it (-5001 when a failure is reported).
  int ErrorCode = 0;
  // The first failing step, or a zero code.
  StepFailure RunFailure;
  // The failing step's own explanation for the error dialog; empty for
  // the general one.
  string FailureMessage;
  bool PrivilegedUser = false;
  HINSTANCE Instance = nullptr;
  HWND OwnerWindow = nullptr;
  HMODULE EngineModule = nullptr;
  int EngineState = 3;
  // The engine's objects of the run; ReleaseEngine lets go of them.
  ComRef<IKxEngine> Engine;
  ComRef<IKxCabinet> CabinetObject;
  ComRef<IKxRunner> EngineRunner;
  ComRef<IKxComponent> EngineDriver;
  ComRef<IKxSetupInfo> EngineSetup;
  ComRef<IKxMedia> EngineMedia;
  // The launcher's host object that receives the engine's transfer events.
  ComRef<IKxTransferEvents3> EngineSink;
  // The disk space the installation needs (bytes), the tick count at which
  // the engine's preparation began, and the engine's log file.
  ULONGLONG EngineSize = 0;
  DWORD EngineStartTick = 0;
  string EngineLogFile;
  // The source module the failure report names beside the site number.
  static constexpr const wchar_t* kSourceModule = L"setup.cpp";

  // Credentials of a web medium, handed to the engine's cabinet.
  string WebUser, WebPassword, ProxyUser, ProxyPassword;

 private:
  int RunSteps(string command_line);
  int InstallPath();
  // The elevated copy's run: the prerequisite phase and nothing else.
  int PrerequisitePhasePath(const string& command_line);
  int AbortHandler(HRESULT code);
  // Inside a handler of an exception no step expected: records it as the
  // run's failure (E_OUTOFMEMORY, the Win32 error as an HRESULT, or
  // E_UNEXPECTED; a site of its own; its text as the COM error
  // description) and returns that code.
  HRESULT UnexpectedFailure() noexcept;
  // CustomRetCodeOnFail when set, else ErrorCode.
  int FailureExitCode() const noexcept;
  void CopyLanguageFiles();
  bool TakeSingleInstance();
  void LoadEngineModule();

  LauncherServices& services_;
  SetupSettings settings_;
  CleanupList cleanup_;
  bool instance_taken_ = false;
};

}  // namespace kx
