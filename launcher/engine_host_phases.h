// The launcher's own phases before the engine is created: the user
// interface of the preparation and the prerequisites. Both are reached
// through small interfaces, so the session runs them in their place while
// the windows and the prerequisite manager are built elsewhere.
#pragma once

#include <windows.h>

#include <functional>

#include "base/stringx.h"

namespace kx {

class CSetup;
struct SetupSettings;

// The windows of the preparation: skin, wizard or small progress window,
// instance and language choice, splash picture, progress page.
class EngineUserInterface {
 public:
  virtual ~EngineUserInterface() = default;
  // Runs the windowed preparation of a run that is not silent, calling
  // `run_prerequisites` at its place among the windows. Returns the first
  // failure (0x80042000 when the user cancelled), S_OK otherwise.
  virtual HRESULT Prepare(CSetup& setup, const std::function<HRESULT()>& run_prerequisites) = 0;
};

// An interface without windows: only the prerequisites run.
EngineUserInterface& PrerequisitesOnlyInterface();

// The prerequisite manager's run.
class PrerequisiteManager {
 public:
  virtual ~PrerequisiteManager() = default;
  // Installs what the medium's prerequisite definitions ask for with the
  // prompt mode, feature list and restart registration given. Returns 0 to
  // go on, 2 to stop, 7 for a reboot; *msi_handle receives a Windows
  // Installer handle for the caller to close, or 0.
  virtual int Run(CSetup& setup, int prompt_mode, const string& features, bool register_restart,
                  ULONG* msi_handle) = 0;
};

// A manager for media that declare no prerequisites: nothing to install,
// go on.
PrerequisiteManager& NoPrerequisites();

// The manager of a real run: the medium's [KXSetupPrerequisites] list, run
// by CSetupPrereqMgr (launcher/setup_prereq_callback.cpp).
PrerequisiteManager& SetupPrerequisites();

// The "LogFile" value of the uninstall entry of s.InstallGuid, per machine
// first, then per user; empty when there is none.
string InstalledLogFile(const SetupSettings& s);

// True when the prerequisites must run: without an install GUID, or when the
// installed instance's log file lies in another folder than the medium (a
// medium that is the installed product's own cached copy skips them).
bool PrerequisitesWanted(const SetupSettings& s, const string& installed_log_file);

// The prerequisite step of the preparation: asks PrerequisitesWanted and,
// when so, runs `manager` (prompt mode 1, no features, restart
// registration on) and closes the handle it hands back. A manager that
// stops or asks for a reboot ends the run as cancelled (0x80042000).
HRESULT RunPrerequisites(CSetup& setup, PrerequisiteManager& manager);

}  // namespace kx
