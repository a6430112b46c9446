// Switch lookup in a command line, and the texts built from what is left.
//
// Windows-free: the command line is untrusted input and these parsers are
// fuzzed on the host.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/stringx.h"

namespace kx {

// How FindSwitch compares a name with a switch.
enum class SwitchMatch {
  prefix,  // the name may be followed by a value ("l1031", "rebootnow")
  exact,   // the switch is the name and nothing more
};

// Whether a matching switch is taken out of the remaining text.
enum class SwitchUse { keep, consume };

// Who may give a switch of the launcher.
enum class SwitchAudience {
  user,      // setup authors, deployment scripts and support
  internal,  // written by the launcher for its relaunched copy; not for use
};

struct SetupSettings;

// One switch of the launcher as the switch parser looks it up: how the name
// matches, whether the switch leaves the engine's text, who may give it, and
// what it sets (null for a switch that the parser only takes out of the
// text, because the internal-switch reader read it before).
struct LauncherSwitch {
  const xchar* name;
  SwitchMatch match;
  SwitchUse use;
  SwitchAudience audience;
  void (*apply)(SetupSettings& s, const string& value);
};

// One command line: switches are looked up by name, lookups may consume
// them, and the unconsumed tokens form the remaining text.
//
// Tokens are separated by blanks (U+0020 only; tabs are ordinary
// characters) outside double quotes; every double quote toggles between
// inside and outside and stays part of its token. Splitting happens on first
// use.
class CommandLine {
 public:
  // Keeps `text`; nothing is split yet.
  explicit CommandLine(string text);

  // Looks for the first token that starts with '-' or '/' followed by
  // `name` (case-insensitively). The value is the rest of the token after
  // the name; with SwitchMatch::exact a token with a non-empty value does not
  // match and the search goes on. On a match the value is stored in `value`
  // (when given), the token is consumed when `use` says so, and the result
  // is true. A consumed token stays consumed, and it still matches later
  // lookups.
  bool FindSwitch(string::view name, string* value = nullptr,
                  SwitchMatch match = SwitchMatch::prefix, SwitchUse use = SwitchUse::keep);

  // The unconsumed tokens in their order joined with one blank, with
  // blanks, tabs and line feeds trimmed from both ends. Before the text has
  // been split (no lookup yet), the text exactly as given.
  string RemainingText() const;

  // The tokens, in order (splits the text when that has not happened yet).
  const std::vector<string>& Tokens();

 private:
  void Split();

  string text_;
  std::vector<string> tokens_;
  std::vector<bool> consumed_;
  bool split_ = false;
};

// Every switch the launcher reads, in the order in which the switch parser
// (SetupSettings::ParseSwitches) looks them up; the order matters where one
// name is a prefix of another. The internal-switch reader and the relaunch
// rewriter read switches of this list only.
std::span<const LauncherSwitch> LauncherSwitches();

// `text` without every token that FindSwitch(`name`, ..., `match`) would
// accept. Each goes with the blanks in front of it, or, when no kept token
// comes before it, with the blanks behind it. Every other character stays as
// it was, quotes and spacing included.
string WithoutSwitch(const string& text, string::view name,
                     SwitchMatch match = SwitchMatch::prefix);

// A language id as written on command lines and in setup.ini lists: the
// number that read_hex_or_decimal (base/number_text.h) reads, cut to 16
// bits.
std::uint16_t ParseLanguageId(string::view text);

// The command line of a relaunched copy turned back into one for the
// launcher the user started. When `command_line` holds the exact switch
// "KX_temp", the relaunch switches are taken out and the first occurrence
// of `own_path` (the running file; with its surrounding quotes when it has
// them) is replaced by the first launcher's path in double quotes: the
// "package:" value when given, else the "KX_OriginalLauncher:" value.
// Otherwise `command_line` is returned unchanged.
string RewriteRelaunchCommandLine(const string& command_line, const string& own_path);

}  // namespace kx
