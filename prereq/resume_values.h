// The resume values of the prerequisite phase as text: their names, and
// the strict readers of what a previous run (or anyone else) stored in them.
//
// Windows-free, so the readers of stored data are fuzzed on the host.
#pragma once

#include <optional>
#include <vector>

#include "base/stringx.h"

namespace kx::prereq {

// How many runs in a row may start the same prerequisite before the phase
// stops rather than reboot the machine again.
inline constexpr int kMaxResumeAttempts = 3;

// The value names for product `id`: the index ("%KX_PREREQ%-<id>"), the
// engine's feature list ("%KX_PREREQF%-<id>"), the medium's fingerprint
// ("%KX_PREREQM%-<id>") and the attempt count ("%KX_PREREQN%-<id>").
string resume_index_name(const string& id);
string resume_features_name(const string& id);
string resume_fingerprint_name(const string& id);
string resume_attempts_name(const string& id);

// The index stored as `type` / `data` (a registry value's type and bytes):
// only a REG_SZ (1) whose whole text is a
// decimal integer from -1 to 9999 counts; anything else gives nothing.
std::optional<int> parse_resume_index(unsigned long type, const std::vector<unsigned char>& data);

// The attempt record "<index>:<count>" as stored; nothing when malformed.
struct resume_attempts {
  int index = -1;
  int count = 0;
};
std::optional<resume_attempts> parse_resume_attempts(const string& text);

// The identity of a medium's prerequisite list: its product GUID and its
// definition names in order, so a value left by another medium of the same
// product name is told apart.
string medium_fingerprint(const string& product_guid, const std::vector<string>& names);

// The restart command from a command line already rewritten to name the
// launcher the user started: the program path is put in double quotes when
// it is not quoted yet. The path ends behind `program_name` (the launcher's
// file name), else behind the first ".exe", else at the end.
string restart_command(const string& command_line, const string& program_name);

}  // namespace kx::prereq
