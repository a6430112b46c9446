// The prerequisite run, with the dialog or without a window (silent runs,
// hidden-only selections, hook mode): the elevated copy when the run lacks
// the rights it needs, else for each selected prerequisite in order: save
// the resume state, find its files, run it, carry out the reboot it asks
// for and judge whether it worked.
#pragma once

#include <cstdint>
#include <map>

#include "base/stringx.h"
#include "prereq/prereq_download.h"
#include "prereq/setup_prereq_mgr.h"

class CSetupPreRequisite;

namespace kx::prereq {

class resume_state;
class run_view;

// What the run does after a package, by its `Reboot` value and whether a
// reboot is required.
enum class reboot_reaction {
  go_on,         // next prerequisite
  stop,          // stop setup for the reboot (it resumes on the next start)
  ask_and_stop,  // ask to restart now, restart on Yes, stop either way
  restart_stop,  // restart without asking, stop
  at_end,        // go on; a reboot is due when setup has finished
};
reboot_reaction reboot_reaction_for(std::uint32_t behavior, bool reboot_required) noexcept;

// What a run of the loop shares.
struct run_loop_context {
  CSetupPrereqMgrCallback& callback;
  prereq_package_runner& runner;
  resume_state& state;
  // Write the RunOnce entry with each saved index.
  bool register_restart = false;
  // The phase's cancel flag, shared with the package being run.
  bool cancelled = false;
  // What the run shows; null for a run without a window, whose questions
  // go to the callback's message boxes.
  run_view* view = nullptr;
  // The run lacks the rights its selection needs: it starts the elevated
  // copy with `features` instead of running the packages itself.
  bool needs_elevation = false;
  string features{};
};

// The folder holding the files of `prerequisite` (number `index` in
// setup.ini): its folder on a medium on disk (KXSetupPrerequisites\<id>)
// when the first file lies there, else its folder below the launcher's
// prerequisite folder, created and reported for clean-up, into which each
// file is extracted from the medium or downloaded from its URL. Before the
// first download the definition's AltPrqURL replacement, if any, is
// applied to `prerequisite`. Every download is verified (download_verified)
// and handed to `hold` (may be null), which keeps it unchanged until the
// package has run; `progress` (may be null) shows the downloads, and
// prerequisite.resultFlag is read as the cancel flag. Empty when the files
// are not available, were cancelled, or the definition names a file or
// folder outside its folder.
string prepare_package_folder(CSetupPrereqMgrCallback& callback, CSetupPreRequisite& prerequisite,
                              int index, download_progress* progress = nullptr,
                              held_files* hold = nullptr);

// Runs `selection` with context.view (or without a window). Returns 0 when
// done, 7 when setup must stop for a reboot, 9 when a prerequisite failed or
// the run was cancelled. A run that needs elevation starts the elevated copy
// and returns what its exit code means (elevated_result); a copy that
// cannot start marks every row failed and says so (1667), unless the user
// refused the prompt, which counts as a cancel. A launcher that is itself
// the elevated copy never starts another one: it fails (9).
int run_prerequisites(run_loop_context& context,
                      const std::map<int, prereq_selection_entry>& selection);

// The name shown for a prerequisite: its definition file without the
// extension.
string display_name(const prereq_selection_entry& entry);

}  // namespace kx::prereq
