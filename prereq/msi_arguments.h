// The switches of an msiexec-style command line that an in-process
// Installer run cannot take as properties: the UI level ("/q...",
// "/passive"), logging ("/l... <file>") and the restart switches. They are
// taken out and turned into what the Installer functions take; the rest is
// the package's property text. Windows-free: the text comes from the
// definition.
#pragma once

#include <cstdint>

#include "base/stringx.h"

namespace kx::prereq {

// The Installer's internal UI levels and flags used here.
inline constexpr std::uint32_t kUiLevelNone = 2;
inline constexpr std::uint32_t kUiLevelBasic = 3;
inline constexpr std::uint32_t kUiLevelReduced = 4;
inline constexpr std::uint32_t kUiLevelFull = 5;
inline constexpr std::uint32_t kUiLevelEndDialog = 0x80;
inline constexpr std::uint32_t kUiLevelProgressOnly = 0x40;
inline constexpr std::uint32_t kUiLevelHideCancel = 0x20;
// "/passive": basic UI with hidden cancel, as the switch has always meant.
inline constexpr std::uint32_t kUiLevelPassive = 35;

// Logging modes and attributes.
inline constexpr std::uint32_t kLogAllModes = 0xFDF;
inline constexpr std::uint32_t kLogVerbose = 0x1000;
inline constexpr std::uint32_t kLogAppend = 1;
inline constexpr std::uint32_t kLogFlushEachLine = 2;

// What the switches of one command line come to.
struct msi_arguments {
  std::uint32_t uiLevel = kUiLevelNone;
  // 0: no logging.
  std::uint32_t logMode = 0;
  std::uint32_t logAttributes = 0;
  string logFile;
  // The text left for the package: its properties, with REBOOTPROMPT=S,
  // REBOOT=ReallySuppress, REBOOT=Force or REBOOTPROMPT="" appended for
  // "/passive", "/norestart", "/forcerestart" and "/promptrestart".
  string remaining;
};

// Takes the switches out of `arguments`. A switch counts at the start or
// after a blank, outside double quotes, without regard to case:
// - "/passive": level 35, " REBOOTPROMPT=S" appended;
// - "/q<suffix>": "" or "uiet" 2, "b..." 3, "f..." 5, "r..." 4, other 2;
//   "+" in the suffix adds 0x80, "!" 0x20, "-" 0x40;
// - "/l<letters> <file>" (a quoted file may hold blanks; the quotes go):
//   "!" flush, "+" append, "*" all modes, a c e i m o p r u v w x their
//   modes, others ignored; exactly "og" is all modes. Without a file name
//   the switch stays in the text and nothing is logged;
// - "/norestart", "/forcerestart", "/promptrestart": their properties.
// Everything else, quoted text included, is left as it was.
msi_arguments parse_msi_arguments(const string& arguments);

}  // namespace kx::prereq
