// The launcher's side of the prerequisite phase: the callback operations
// that need the run's state, and the manager the engine host runs.
#include "base/string_win.h"
#include "launcher/command_line.h"
#include "launcher/engine_host_phases.h"
#include "launcher/failure_report.h"
#include "launcher/setup.h"
#include "platform/system_library.h"
#include "prereq/setup_prereq_mgr.h"

namespace kx {

void CSetup::ReportWorkingFolder(const string& path) {
  cleanup_.add_folder(path);
}

string CSetup::RewriteCommandLine(const string& text) {
  return RewriteRelaunchCommandLine(text, settings_.LauncherPath);
}

string CSetup::GetString(UINT id) {
  return services_.GetString(settings_, id);
}

int CSetup::ShowMessage(const string& text, UINT style) {
  return services_.ShowMessage(*this, text, style);
}

string CSetup::RelaunchArguments() {
  const SetupSettings& s = settings_;
  // The copy is this running file, started in its own temporary folder: it
  // is told where the medium is and which launcher the user started. The
  // launcher's own switch reader takes quotes as they are, like the
  // relaunch switches.
  string arguments(L"-media_path:\"");
  arguments += s.SourceFolder;
  arguments += L"\" -package:\"";
  arguments += UserLauncherPath(s);
  arguments += L"\"";
  arguments += format(L" -l0x%04x", static_cast<unsigned>(s.ChosenLanguage));
  return arguments;
}

int LauncherServices::RunPrerequisitePhase(CSetup& setup, const string& features) {
  ShareUiEnvironment(setup);
  CSetupPrereqMgr manager(setup, system_package_runner());
  ULONG handle = 0;
  const int result = manager.Run(0, features, false, &handle);
  if (handle) {
    using CloseFn = UINT(WINAPI*)(ULONG);
    if (auto close = system_function<CloseFn>(L"msi.dll", "MsiCloseHandle")) close(handle);
  }
  return result;
}

namespace {

class MediumPrerequisites final : public PrerequisiteManager {
 public:
  int Run(CSetup& setup, int prompt_mode, const string& features, bool register_restart,
          ULONG* msi_handle) override {
    CSetupPrereqMgr manager(setup, system_package_runner());
    return manager.Run(prompt_mode, features, register_restart, msi_handle);
  }
};

}  // namespace

PrerequisiteManager& SetupPrerequisites() {
  static MediumPrerequisites manager;
  return manager;
}

}  // namespace kx
