// What running one prerequisite package comes to: the judged result the
// manager and the dialog act on, and the pure rules behind it (the exit-code
// judgement and the command-line expansion). Windows-free, so that the rules
// are tested as tables.
#pragma once

#include <cstdint>

#include "base/stringx.h"

namespace kx::prereq {

// The package kinds the exit code is read by.
enum class package_kind {
  exe,  // any file started through the shell (".exe", ".cmd", ...)
  msi,  // an ".msi" package, in-process or through the shell
};

// How far a package got.
enum class launch_state {
  started,         // a process or an in-process Installer run began
  nothing_to_run,  // the definition names no execute file
  not_started,     // the file was unsafe or missing, refused to start, or an
                   // exception ended the run
};

// The verdict of one run.
enum class run_verdict {
  // It ran and its result says nothing against it. When judgeByConditions
  // is set the caller still loads the definition again and treats
  // conditions that still hold as a failure.
  installed,
  // It ran and asked for a reboot (rebootRequired is set): the definition's
  // `Reboot` behaviour decides what happens next.
  reboot_needed,
  // It did not install: it could not be started, the execute file was
  // empty or unsafe, an exception ended the run, the Installer reported a
  // failure for a definition without conditions, the user cancelled a
  // required package, or the Installer stayed busy (1618). The
  // definition's `Failure` behaviour decides (question 1656, text 1667).
  failed,
  // The user cancelled an optional package (1602): neither installed nor a
  // failure; the run goes on without it.
  cancelled_optional,
  // The definition file is no longer there: nothing ran, nothing to judge.
  not_run,
};

// What ExecutePrerequisite found.
struct run_result {
  run_verdict verdict = run_verdict::not_run;
  // The package's exit code, or the Installer's result; the whole 32 bits.
  // 0 when nothing ran or the shell started no process.
  std::uint32_t exitCode = 0;
  // A process was started or an in-process Installer run began.
  bool started = false;
  // A reboot is needed: an exit code listed as a reboot code (or an ".msi"
  // package's 1641/3010), or the reboot check found one scheduled. Set
  // together with verdict reboot_needed, and copied into the object.
  bool rebootRequired = false;
  // The verdict is installed but provisional: the definition has ordinary
  // conditions, and the caller judges by them after loading it again.
  bool judgeByConditions = false;
  // The user cancelled: 1602, or the shared cancel flag was set while the
  // package (or the wait for a busy Installer) ran.
  bool userCancelled = false;
  // The Windows Installer stayed busy (1618) for the whole bounded wait.
  bool installerBusy = false;

  // The boolean result of the run as the dialog reads it: false only for a
  // failure. A silent caller never asks 1656 or 1668 from it (both answer
  // No), but still restarts for `Reboot` 16.
  bool ok() const noexcept { return verdict != run_verdict::failed; }
};

// The facts the exit code is judged with.
struct exit_code_facts {
  package_kind kind = package_kind::exe;
  std::uint32_t code = 0;
  // The definition's reboot codes, as written ("1641,3010"); entries are
  // decimal with optional blanks and sign, compared as 32 bits.
  string rebootReturnCodes;
  bool optional = false;
  // The definition has ordinary ("condition") elements.
  bool hasConditions = false;
  // The reboot check after an EXE package found a reboot scheduled.
  bool rebootScheduled = false;
  // The Installer was still busy (1618) when the bounded wait ended, or
  // the wait was cancelled.
  bool installerStayedBusy = false;
};

// Judges one run:
// - not started: failed; nothing to run: installed, by the conditions;
// - the Installer stayed busy: failed with installerBusy;
// - a reboot code (listed, or for an ".msi" package with an empty list
//   1641/3010), an ".msi" 1641/3010 or rebootScheduled: reboot_needed;
// - ".msi" 1602: cancelled_optional when optional, else failed, with
//   userCancelled;
// - ".msi" 1618: failed with installerBusy;
// - ".msi" other than 0 and 1638 (another version is present) without
//   ordinary conditions: failed; with conditions: installed, judged by them;
// - anything else: installed, judgeByConditions when there are conditions.
run_result judge_exit_code(const exit_code_facts& facts, launch_state state);

// The trace text of a reboot-code match for the definition's `Reboot`
// value: "Exit Code Match -- Exiting Now" for 1, "... Reboot Ignored" for
// 4, "... Rebooting Later" for 32, "... Rebooting Now" otherwise.
const xchar* reboot_match_text(std::uint32_t rebootBehavior) noexcept;

// True when `code` equals one entry of the ","-separated list `codes`.
bool is_reboot_return_code(const string& codes, std::uint32_t code);

// The values a command line may name.
struct expansion_values {
  std::uint16_t productLanguage = 0;  // [ProductLanguage], in decimal
  string setupExeName;                // [SETUPEXENAME]: the running program's file name
  string setupExeDir;                 // [SETUPEXEDIR]: the setup source folder
  string prereqDir;                   // [KXPREREQDIR]: the package's folder
};

// Replaces every "[ProductLanguage]", "[SETUPEXENAME]", "[SETUPEXEDIR]" and
// "[KXPREREQDIR]" in `text`, ignoring case, in one pass: a replacement is
// never expanded again. Folders are put in as given (the caller strips a
// trailing backslash). `text` is never read as a format.
string expand_command_line(const string& text, const expansion_values& values);

}  // namespace kx::prereq
