// The prerequisite manager: turns the [KXSetupPrerequisites] list of
// setup.ini into a run. It loads and judges every definition, keeps those
// this machine still needs, decides whether administrative rights are
// needed, runs the selection and carries the resume state across a reboot.
#pragma once

#include <windows.h>

#include <map>
#include <vector>

#include "base/stringx.h"
#include "prereq/setup_prereq_mgr_callback.h"

class CSetupPreRequisite;

namespace kx {

namespace prereq {
class resume_state;
}

// How running one package went, as the run loop needs to know it.
enum class package_outcome {
  ran,      // the package ran; its conditions judge whether it worked
  failed,   // it could not run or reported failure: judged as failed
  skipped,  // nothing ran and nothing is owed (an optional package declined)
  stopped   // cancelled: the phase ends at once
};

// A package run: how it went, and whether it needs a reboot.
struct package_run {
  package_outcome outcome = package_outcome::failed;
  bool rebootRequired = false;
};

// Runs one prepared package; the real one runs the definition's executable
// or Windows Installer package, tests put scripted outcomes in its place.
class prereq_package_runner {
 public:
  virtual ~prereq_package_runner() = default;
  // Runs the package of `prerequisite` (loaded without evaluation) from the
  // folder `location`, silently when `silent` is set.
  virtual package_run Run(CSetupPreRequisite& prerequisite, const string& location,
                          bool silent) = 0;
};

// One selected prerequisite.
struct prereq_selection_entry {
  bool selected = true;
  bool hidden = false;
  // The definition file, and its name as setup.ini lists it.
  string path;
  string name;
  std::vector<string> dependencies;
};

class CSetupPrereqMgr {
 public:
  // Both must outlive the manager.
  CSetupPrereqMgr(CSetupPrereqMgrCallback& callback, prereq_package_runner& runner)
      : callback_(callback), runner_(runner) {}

  // Installs what the medium's definitions ask for. `promptMode` 1 skips the
  // elevation prompt; `features` is a comma-separated feature list (empty
  // before feature selection); `registerRestart` writes the RunOnce entry
  // before each package. Returns 0 to go on, 2 to stop, 7 when setup must
  // stop for a reboot (the resume state then stays). *handle receives 0.
  int Run(int promptMode, const string& features, bool registerRestart, ULONG* handle);

  // Fills the selection from setup.ini for the requested features, judging
  // every definition; true when something is selected. `needsRights` is set
  // when a selected one lacks `Lua`, `anyVisible` when one is not `Hidden`.
  bool Select(const string& features, bool& needsRights, bool& anyVisible);

  // The selection of the last Select, by index in setup.ini.
  const std::map<int, prereq_selection_entry>& Selection() const noexcept { return selection_; }
  // The definition names of setup.ini in order, as the last Select read them.
  const std::vector<string>& Names() const noexcept { return names_; }

 private:
  // The names PreReq0, PreReq1, ... up to the first missing or empty one.
  std::vector<string> ReadNames();
  // The prerequisite dialog (KxPreReqDlg) for the selection.
  int Show(int promptMode, bool hiddenOnly, bool needsElevation, prereq::resume_state& state,
           bool registerRestart, const string& features, bool needsRights);

  CSetupPrereqMgrCallback& callback_;
  prereq_package_runner& runner_;
  std::map<int, prereq_selection_entry> selection_;
  std::vector<string> names_;
};

// The runner of a real run: the definition's own executable or Installer
// package (CSetupPreRequisite::ExecutePrerequisite).
prereq_package_runner& system_package_runner();

// The product name the resume values are keyed by: setup.ini's [Startup]
// `Product` (the same in every language), else the product GUID, else the
// run's product name.
string resume_product_id(CSetupPrereqMgrCallback& callback);

}  // namespace kx
