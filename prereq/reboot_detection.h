// Whether a package scheduled work for the next start of Windows without
// saying so in its exit code: the places where such work is registered are
// measured before the package runs and again after it.
#pragma once

#include <cstdint>

#include "base/stringx.h"
#include "prereq/trace_line.h"

namespace kx::prereq {

// One measurement of the places a reboot is scheduled in.
struct reboot_counters {
  // Values of HKLM ...\CurrentVersion\RunOnce and ...\RunOnceEx.
  std::int32_t run_once = 0;
  std::int32_t run_once_ex = 0;
  // Values of HKLM ...\Session Manager\FileRenameOperations.
  std::int32_t file_rename_operations = 0;
  // Bytes of the REG_MULTI_SZ "PendingFileRenameOperations"; 0 when it is
  // missing or of another type.
  std::int32_t pending_renames_size = 0;
  // Keys of section "rename" of Wininit.ini (the 9x family only, else 0).
  std::int32_t wininit_renames = 0;
};

// Which growth decides, in the order the checks run.
enum class reboot_reason {
  none,
  run_once,
  run_once_ex,
  pending_renames,
  file_rename_operations,
  wininit_renames,
};

// The first growth (strictly greater) of `after` over `before` in the order
// of reboot_reason; pending renames count only when `ignore_pending_renames`
// is false. Shrinking never counts.
reboot_reason first_reboot_reason(const reboot_counters& before, const reboot_counters& after,
                                  bool ignore_pending_renames) noexcept;

// The trace text of `reason` ("Reboot required - RunOnce key added"); empty
// for reboot_reason::none.
string reboot_reason_text(reboot_reason reason);

// Measures the machine now: the three keys in HKLM's default view, value
// counts by RegQueryInfoKeyW (0 when a key does not open), and Wininit.ini
// in `wininit_folder` (empty: the Windows folder) only when the system
// facts in force say platform id 1.
reboot_counters measure_reboot_counters(const string& wininit_folder = string());

// Snapshot before a package runs, check after it ended.
class reboot_detector {
 public:
  // `wininit_folder`: where Wininit.ini is looked for; empty means the
  // Windows folder.
  explicit reboot_detector(string wininit_folder = string());

  // Measures and remembers the counters.
  void snapshot();

  // Measures again and decides. When the pending renames grew and
  // `ignore_tmp_rename` is set, it stays set only when everything added
  // there deletes files inside the user's temporary folder. On growth,
  // writes "Reboot required - ..." as one finished line on `trace` and
  // returns true. Without an earlier snapshot: false, and nothing is
  // measured.
  bool check(trace_line& trace, bool& ignore_tmp_rename);

  // A snapshot was taken.
  bool taken() const noexcept { return taken_; }
  // The counters of the last snapshot.
  const reboot_counters& before() const noexcept { return before_; }

 private:
  string wininit_folder_;
  reboot_counters before_;
  bool taken_ = false;
};

}  // namespace kx::prereq
