// What carries the prerequisite phase across a reboot: the index of the
// package last started, the medium it belongs to, how often that index was
// started in a row, and the RunOnce entry that starts setup again at logon.
// All of it lives below HKEY_CURRENT_USER and is removed once a run ends
// without a reboot.
#pragma once

#include <windows.h>

#include "base/stringx.h"
#include "platform/registry.h"
#include "prereq/resume_values.h"

namespace kx::prereq {

// The key of the values, and the restart entry's key and name (the name is
// spelled so, with its two leading blanks, for the entries already out
// there).
inline constexpr const xchar* kResumeKey = KXT("Software\\Microsoft\\Windows\\CurrentVersion");
inline constexpr const xchar* kRunOnceKey =
    KXT("Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
inline constexpr const xchar* kRunOnceValue = KXT("  KXSetupPrerequisistes");

// The resume values of one product in the current user's registry.
class resume_state {
 public:
  // `id` names the values; `fingerprint` is the running medium's.
  resume_state(const string& id, const string& fingerprint);

  // Opens the key for reading and writing; false when it cannot be opened
  // (then nothing is read, written or removed).
  bool open();
  bool is_open() const noexcept { return static_cast<bool>(key_); }

  // The saved feature list, removed as it is read; false when none.
  bool take_features(string& features);
  // The saved index, removed as it is read, with its fingerprint. A value
  // that is not a plain index, or that another medium left, is removed and
  // gives -1.
  int take_index();
  // Saves `n` with the medium's fingerprint; false (logged) on failure.
  bool save_index(int n);
  // Counts one more start of prerequisite `n`: 1 when the last saved start
  // was another index, else one more than before. Returns the count.
  int note_attempt(int n);
  // Writes the RunOnce entry; false (logged) on failure.
  static bool register_restart(const string& command);
  // Removes every value of the product and, with `restart_entry`, the
  // RunOnce entry.
  void remove(bool restart_entry);

 private:
  string index_name_, features_name_, fingerprint_name_, attempts_name_;
  string fingerprint_;
  registry_key key_;
};

}  // namespace kx::prereq
