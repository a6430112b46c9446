// One prerequisite definition in a run: loaded from its ".prq" file,
// judged against this machine, and the unit that runs the package and
// watches for the reboot it may schedule. The manager or the dialog owns
// one at a time and loads it again for every prerequisite.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "base/stringx.h"
#include "launcher/setup_settings.h"
#include "prereq/definition_reader.h"
#include "prereq/msi_installer.h"
#include "prereq/os_condition.h"
#include "prereq/reboot_detection.h"
#include "prereq/setup_prerequisite_run.h"
#include "prereq/system_conditions.h"
#include "prereq/xml/document_handler.h"

// The source the verbose log names for the definition's trace lines.
inline constexpr const wchar_t* kSetupPreRequisiteSource = L"SetupPreRequisite.cpp";
inline constexpr int kSetupPreRequisiteTraceLine = 657;

class CSetupPreRequisite : public sax::DocumentHandler {
 public:
  // `progressWindow` and `statusWindow` (may be null) show a running
  // package's progress; `settings` must outlive the object; `resultFlag`
  // (may be null) is the run's shared cancel flag. Takes the system's
  // version facts once, for every condition judged by this object.
  CSetupPreRequisite(HWND progressWindow, HWND statusWindow, const kx::SetupSettings& settings,
                     bool* resultFlag);
  CSetupPreRequisite(const CSetupPreRequisite&) = delete;
  CSetupPreRequisite& operator=(const CSetupPreRequisite&) = delete;

  // Loads the definition at `path` (a local path or a web address),
  // judging its conditions when `evaluate` is set. False, with nothing
  // loaded, when the file does not exist or cannot be read. A file above
  // kMaxDefinitionBytes and malformed XML load what came before the fault
  // (nothing, for the former) and still give true. When a definition with
  // an AltPrqURL is loaded and `path` has the same file name (its
  // downloaded replacement), the command lines already chosen stay. A
  // non-empty `commandLineOverride` replaces both command lines.
  bool Load(const kx::string& path, bool evaluate, const kx::string& commandLineOverride);

  // True when the definition applies to this machine (see
  // definition_record::ConditionsSatisfied); a freshly made object counts
  // as satisfied.
  bool ConditionsSatisfied() const noexcept { return reader_.record().ConditionsSatisfied(); }

  // The definition's files: how many, and the parts of file `i` (empty
  // text when `i` is out of range).
  std::size_t GetFileCount() const noexcept { return reader_.record().FileCount(); }
  kx::string GetLocalFile(std::size_t i) const { return reader_.record().LocalFile(i); }
  kx::string GetUrl(std::size_t i) const { return reader_.record().Url(i); }
  kx::string GetCheckSum(std::size_t i) const { return reader_.record().CheckSum(i); }

  const kx::string& GetId() const noexcept { return reader_.record().id; }
  const kx::string& GetAltPrqUrl() const noexcept { return reader_.record().altPrqUrl; }
  const std::vector<kx::string>& GetDependencies() const noexcept {
    return reader_.record().dependencies;
  }
  bool IsHidden() const noexcept { return reader_.record().hidden; }
  bool IsMsiProgress() const noexcept { return reader_.record().msiProgress; }
  bool IsOptional() const noexcept { return reader_.record().optional; }
  const kx::string& GetExecuteFile() const noexcept { return reader_.record().executeFile; }
  // executeFile ends with ".msi" / ".exe", ignoring case.
  bool HasMsiExtension() const noexcept { return reader_.record().HasMsiExtension(); }
  bool HasExeExtension() const noexcept { return reader_.record().HasExeExtension(); }
  // True when the definition named a file, folder or package that would
  // reach outside the package's folder: its files count as not found.
  bool NamesRefused() const noexcept { return reader_.record().NamesRefused(); }

  // Everything the definition said, for the code that runs the package.
  const kx::prereq::definition_record& Record() const noexcept { return reader_.record(); }
  const kx::string& GetDefinitionPath() const noexcept { return definitionPath; }
  // The system facts the conditions are judged against.
  const kx::prereq::os_facts& SystemVersion() const noexcept { return evaluator_.facts(); }

  // Measures the places a reboot is scheduled in, right before a package
  // starts.
  void Snapshot();
  // Measures again after the package ended; true, with the reason traced
  // and rebootRequired set, when it scheduled a reboot. False without an
  // earlier Snapshot.
  bool Check();
  bool RebootRequired() const noexcept { return rebootRequired; }

  // Runs the package from `location` (the folder holding it; no trailing
  // backslash needed) and judges the result. `silent`: the launcher runs
  // without user interface; then, as for a hidden definition, the silent
  // command line is used, and no Installer message box is shown. An
  // ".msi" package with msiProgress runs in-process
  // (ExecuteMsiWithProgress), anything else through the shell
  // (ExecuteGenericPrerequisite). The verdict is also kept (LastRun) and
  // rebootRequired follows it. Never throws.
  kx::prereq::run_result ExecutePrerequisite(const kx::string& location, bool silent);

  // Starts location\executeFile through the shell and waits for it and the
  // processes it started, dispatching window messages. The exit code, or 0
  // when nothing ran; `state` tells how far it got. An exit code of 1618
  // (the Installer is busy) is waited out and retried as in
  // ExecuteMsiWithProgress.
  DWORD ExecuteGenericPrerequisite(const kx::string& location, bool silent,
                                   kx::prereq::launch_state& state);

  // Installs location\executeFile in this process with progress in the
  // progress and status windows. The Installer's result; `state`
  // not_started (result 1601) when msi.dll cannot be used or the file is
  // unsafe. A busy Installer is retried, bounded by kBusyWaitLimitMs, and
  // stays 1618 when it never frees.
  UINT ExecuteMsiWithProgress(const kx::string& location, bool silent,
                              kx::prereq::launch_state& state);

  // `text` with [ProductLanguage], [SETUPEXENAME], [SETUPEXEDIR] and
  // [KXPREREQDIR] (the current dataFileLocation) replaced, or formatted by
  // formatterWindow when there is one.
  kx::string ExpandCommandLine(const kx::string& text) const;

  // The result of the last ExecutePrerequisite.
  const kx::prereq::run_result& LastRun() const noexcept { return lastRun_; }

  // Seams for tests: the Installer functions (null: the system's) and the
  // clock of the busy-Installer wait (null: the system's). Not owned.
  void SetInstallerForTesting(const kx::prereq::msi_functions* functions) noexcept {
    installer_ = functions;
  }
  void SetBusyWaitClockForTesting(const kx::prereq::busy_wait_clock* clock) noexcept {
    busyClock_ = clock;
  }

  // An edit control that mirrors the trace (null: none). Not owned.
  void SetTraceWindow(HWND window) noexcept { traceWindow = window; }

  // The handler's events; only elements do work.
  void startDocument() override {}
  void startElement(sax::text_view name, const sax::AttributeList& attributes) override;
  void endDocument() override {}
  void endElement(sax::text_view) override {}
  void ignorableWhitespace(const kx::xchar*, std::size_t, std::size_t) override {}
  void characters(const kx::xchar*, std::size_t, std::size_t) override {}

  // Read by the code that runs the package.
  HWND progressWindow;
  HWND statusWindow;
  const kx::SetupSettings& settings;
  bool* resultFlag;
  // The optional property-formatter window of an in-process Installer run.
  HWND formatterWindow = nullptr;
  // The folder the package was found or placed in.
  kx::string dataFileLocation;

 private:
  // Writes finished lines to the verbose log and mirrors the trace.
  class trace_output final : public kx::prereq::trace_sink {
   public:
    explicit trace_output(const HWND& window) : window_(window) {}
    void line(const kx::string& finished) override;
    void progress(const kx::string& so_far, bool finished) override;

   private:
    const HWND& window_;
  };

  // Runs `attempt` again while it gives 1618, within the bounded wait;
  // notes how the wait ended. The last attempt's result.
  DWORD RunWithBusyRetry(const std::function<std::uint32_t()>& attempt);

  kx::string definitionPath;
  HWND traceWindow = nullptr;
  bool rebootRequired = false;
  trace_output output_;
  kx::prereq::system_condition_evaluator evaluator_;
  kx::prereq::definition_reader reader_;
  kx::prereq::reboot_detector reboot_;
  kx::prereq::run_result lastRun_;
  const kx::prereq::msi_functions* installer_ = nullptr;
  const kx::prereq::busy_wait_clock* busyClock_ = nullptr;
  // The last busy-Installer wait ended with the Installer still busy.
  bool installerStayedBusy_ = false;
  bool busyWaitCancelled_ = false;
};
