// Running a loaded prerequisite's package and judging what it returned.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <exception>

#include "base/path.h"
#include "base/payload_names.h"
#include "diag/verbose_log.h"
#include "platform/path_test.h"
#include "platform/process_launch.h"
#include "prereq/msi_arguments.h"
#include "prereq/msi_progress.h"
#include "prereq/setup_prerequisite.h"

namespace {

constexpr UINT kInstallServiceFailure = 1601;  // ERROR_INSTALL_SERVICE_FAILURE
constexpr std::uint32_t kUserExit = 1602;
constexpr std::uint32_t kRebootInitiated = 1641;
constexpr std::uint32_t kRebootRequired = 3010;
// The formatter window's commands: define the property named by its text
// as the text set next, and format its text.
constexpr WPARAM kFormatterDefine = 8;
constexpr WPARAM kFormatterFormat = 7;

// Makes a folder the current directory for a scope.
class current_directory_scope {
 public:
  explicit current_directory_scope(const kx::string& folder) {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size > 0) {
      saved_.resize(size);
      const DWORD got = GetCurrentDirectoryW(size, saved_.data());
      saved_.resize(got < size ? got : 0);
    }
    if (!folder.empty()) SetCurrentDirectoryW(folder.c_str());
  }
  ~current_directory_scope() {
    if (!saved_.empty()) SetCurrentDirectoryW(saved_.c_str());
  }
  current_directory_scope(const current_directory_scope&) = delete;
  current_directory_scope& operator=(const current_directory_scope&) = delete;

 private:
  kx::string saved_;
};

kx::string without_trailing_backslash(kx::string folder) {
  while (folder.size() > 1 && folder.back() == L'\\' && folder[folder.size() - 2] != L':')
    folder.pop_back();
  return folder;
}

kx::string window_text(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return kx::string();
  kx::string text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(got, 0)));
  return text;
}

// Hands a whole line to the definition's trace.
void trace_whole_line(kx::prereq::trace_line& trace, const kx::string& text) {
  trace.append(std::basic_string_view<wchar_t>(text.data(), text.size()));
  trace.finish();
}

bool is_rtl_language(const kx::SetupSettings& settings) {
  const auto& rtl = settings.RtlLanguages;
  return std::find(rtl.begin(), rtl.end(), settings.ChosenLanguage) != rtl.end();
}

}  // namespace

kx::string CSetupPreRequisite::ExpandCommandLine(const kx::string& text) const {
  if (text.empty()) return text;
  const kx::string location = without_trailing_backslash(dataFileLocation);
  if (formatterWindow) {
    SetWindowTextW(formatterWindow, L"KXPREREQDIR");
    SetWindowTextW(formatterWindow, location.c_str());
    SendMessageW(formatterWindow, WM_COMMAND, kFormatterDefine, 0);
    SetWindowTextW(formatterWindow, text.c_str());
    SendMessageW(formatterWindow, WM_COMMAND, kFormatterFormat, 0);
    return window_text(formatterWindow);
  }
  kx::prereq::expansion_values values;
  values.productLanguage = settings.ChosenLanguage;
  kx::string program = settings.LauncherPath;
  if (program.empty()) {
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    program = own;
  }
  values.setupExeName = kx::path_file_name(program);
  values.setupExeDir = without_trailing_backslash(settings.SourceFolder);
  values.prereqDir = location;
  return kx::prereq::expand_command_line(text, values);
}

kx::prereq::run_result CSetupPreRequisite::ExecutePrerequisite(const kx::string& location,
                                                               bool silent) {
  lastRun_ = kx::prereq::run_result{};
  installerStayedBusy_ = false;
  busyWaitCancelled_ = false;
  dataFileLocation = location;
  KX_VERBOSE_LOG(L"CSetupPrerequisite::ExecutePrerequisite");
  kx::prereq::trace_line& trace = reader_.trace();
  trace_whole_line(trace, kx::string(L"Data File Location: ") + location);
  KX_VERBOSE_LOG(L"Attempting to execute prerequisite: %s", location.c_str());

  // A definition read from the web has no file to look for.
  if (!kx::is_url(definitionPath.as_view()) && !kx::path_test(definitionPath, kx::path_is_file)) {
    KX_VERBOSE_LOG(L"Prerequisite definition %s no longer exists, nothing run",
                   definitionPath.c_str());
    lastRun_.verdict = kx::prereq::run_verdict::not_run;
    return lastRun_;
  }

  const kx::prereq::definition_record& record = reader_.record();
  const bool msi = record.HasMsiExtension();
  kx::prereq::launch_state state = kx::prereq::launch_state::not_started;
  DWORD code = 0;
  try {
    if (record.msiProgress && msi)
      code = ExecuteMsiWithProgress(location, silent, state);
    else
      code = ExecuteGenericPrerequisite(location, silent, state);
  } catch (...) {
    KX_VERBOSE_LOG(L"Exception caught while launching or running prerequisite");
    state = kx::prereq::launch_state::not_started;
    code = 0;
  }
  wchar_t line[48];
  wsprintfW(line, L"Return Code from EXE: %d", static_cast<int>(code));
  trace.append(line);
  trace.finish();

  kx::prereq::exit_code_facts facts;
  facts.kind = msi ? kx::prereq::package_kind::msi : kx::prereq::package_kind::exe;
  facts.code = code;
  facts.rebootReturnCodes = record.rebootReturnCodes;
  facts.optional = record.optional;
  facts.hasConditions = record.hasConditions;
  facts.installerStayedBusy = installerStayedBusy_;
  rebootRequired = false;
  if (!msi && state == kx::prereq::launch_state::started && Check()) {
    trace.append(L"Reboot Required");
    trace.finish();
    facts.rebootScheduled = true;
  }
  const bool listed = record.rebootReturnCodes.empty()
                          ? msi && (code == kRebootInitiated || code == kRebootRequired)
                          : kx::prereq::is_reboot_return_code(record.rebootReturnCodes, code);
  if (state == kx::prereq::launch_state::started && listed) {
    trace.append(kx::prereq::reboot_match_text(record.rebootBehavior));
    trace.finish();
  }
  if (traceWindow) SendMessageW(traceWindow, WM_VSCROLL, SB_BOTTOM, 0);
  if (msi && state == kx::prereq::launch_state::started) {
    if (code == kRebootInitiated || code == kRebootRequired) {
      trace.append(L"MSI Returned ERROR_SUCCESS_REBOOT_INITIATED");
      trace.finish();
    } else if (code == kUserExit) {
      trace.append(L"MSI Returned ERROR_INSTALL_USEREXIT");
      trace.finish();
    }
  }
  lastRun_ = kx::prereq::judge_exit_code(facts, state);
  lastRun_.userCancelled = lastRun_.userCancelled || busyWaitCancelled_;
  rebootRequired = lastRun_.rebootRequired;
  return lastRun_;
}

DWORD CSetupPreRequisite::ExecuteGenericPrerequisite(const kx::string& location, bool silent,
                                                     kx::prereq::launch_state& state) {
  KX_VERBOSE_LOG(L"CSetupPreRequisite::ExecuteGenericPrerequisite");
  state = kx::prereq::launch_state::not_started;
  const current_directory_scope directory(location);
  const kx::prereq::definition_record& record = reader_.record();
  if (record.executeFile.empty()) {
    // Joined to nothing, the folder itself would be opened in Explorer.
    KX_VERBOSE_LOG(L"The prerequisite names no file to execute; nothing run");
    state = kx::prereq::launch_state::nothing_to_run;
    return 0;
  }
  if (record.executeFileRefused || kx::payload::check_relative_path(record.executeFile.as_view()) !=
                                       kx::payload::name_problem::none) {
    KX_VERBOSE_LOG(L"Refused to execute %s: it is not a path inside the package folder",
                   record.executeFile.c_str());
    return 0;
  }
  try {
    const kx::string file = kx::path_join(location, record.executeFile);
    const kx::string verb = record.HasMsiExtension() || record.HasExeExtension() ? L"open" : L"";
    const int show = record.forceSilent == L"1" ? SW_HIDE : SW_SHOWNORMAL;
    const kx::string arguments =
        ExpandCommandLine(silent || record.hidden ? record.silentCommandLine : record.commandLine);
    trace_whole_line(reader_.trace(),
                     kx::string(L"Launching: ") + file + L" [" + verb + L"] " + arguments);
    Snapshot();
    KX_VERBOSE_LOG(L"Creating new process for prerequisite, launching command line %s [%s] %s",
                   file.c_str(), verb.c_str(), arguments.c_str());
    bool launched = true;
    const auto attempt = [&]() -> std::uint32_t {
      const int r =
          kx::launch(file, arguments, verb, location, kx::wait_children | kx::launch_shell,
                     INFINITE, show, SEE_MASK_FLAG_NO_UI | SEE_MASK_NOZONECHECKS);
      if (r == kx::launch_not_started) {
        const DWORD error = GetLastError();
        KX_VERBOSE_LOG(L"Could not launch prerequisite, last error: %d, ShellExecute: %d",
                       static_cast<int>(error), static_cast<int>(error));
        launched = false;
        return 0;
      }
      const kx::launched_process& last = kx::last_launch();
      if (!last.handle) {
        KX_VERBOSE_LOG(L"No process created by successful prerequisite launch");
        return 0;
      }
      KX_VERBOSE_LOG(L"Prerequisite process exited with return code %d",
                     static_cast<int>(last.exit_code));
      return last.exit_code;
    };
    const DWORD code = RunWithBusyRetry(attempt);
    state = launched ? kx::prereq::launch_state::started : kx::prereq::launch_state::not_started;
    return code;
  } catch (...) {
    KX_VERBOSE_LOG(L"Exception caught while launching or running prerequisite");
    state = kx::prereq::launch_state::not_started;
    return 0;
  }
}

UINT CSetupPreRequisite::ExecuteMsiWithProgress(const kx::string& location, bool silent,
                                                kx::prereq::launch_state& state) {
  KX_VERBOSE_LOG(L"CSetupPreRequisite::ExecuteMsiWithProgress");
  state = kx::prereq::launch_state::not_started;
  const current_directory_scope directory(location);
  const kx::prereq::definition_record& record = reader_.record();
  if (record.executeFileRefused || kx::payload::check_relative_path(record.executeFile.as_view()) !=
                                       kx::payload::name_problem::none) {
    KX_VERBOSE_LOG(L"Refused to install %s: it is not a path inside the package folder",
                   record.executeFile.c_str());
    return 0;
  }
  const kx::prereq::msi_functions* msi =
      installer_ ? installer_ : kx::prereq::system_msi_functions();
  if (!msi || !msi->complete()) {
    KX_VERBOSE_LOG(L"The Windows Installer functions could not be loaded");
    return kInstallServiceFailure;
  }
  const CAutoMsiProgress progress(*msi, progressWindow, statusWindow, resultFlag,
                                  is_rtl_language(settings), silent);
  const kx::string arguments =
      ExpandCommandLine(silent || record.hidden ? record.silentCommandLine : record.commandLine);
  KX_VERBOSE_LOG(L"Launching MSI prerequisite %s, command line %s", record.executeFile.c_str(),
                 arguments.c_str());
  const kx::prereq::msi_arguments parsed = kx::prereq::parse_msi_arguments(arguments);
  const kx::string package = kx::path_join(location, record.executeFile);
  msi->setInternalUI(static_cast<INSTALLUILEVEL>(parsed.uiLevel), nullptr);
  msi->enableLog(parsed.logMode, parsed.logFile.empty() ? nullptr : parsed.logFile.c_str(),
                 parsed.logAttributes);
  state = kx::prereq::launch_state::started;
  const auto attempt = [&]() -> std::uint32_t {
    const UINT code = msi->installProduct(package.c_str(), parsed.remaining.c_str());
    KX_VERBOSE_LOG(L"Windows Installer returned %d for %s", static_cast<int>(code),
                   package.c_str());
    return code;
  };
  return RunWithBusyRetry(attempt);
}

DWORD CSetupPreRequisite::RunWithBusyRetry(const std::function<std::uint32_t()>& attempt) {
  const kx::prereq::busy_wait_clock clock =
      busyClock_ ? *busyClock_ : kx::prereq::system_busy_wait_clock(resultFlag);
  const kx::prereq::busy_retry_result result =
      kx::prereq::run_with_busy_retry(attempt, clock, [](unsigned retry, std::uint32_t pause) {
        KX_VERBOSE_LOG(L"Another installation is in progress (1618); retry %u in %u ms", retry,
                       pause);
      });
  if (result.gaveUp)
    KX_VERBOSE_LOG(L"Windows Installer still busy after %u attempts; giving up", result.attempts);
  if (result.cancelled) KX_VERBOSE_LOG(L"Waiting for the Windows Installer was cancelled");
  installerStayedBusy_ = result.gaveUp || result.cancelled;
  busyWaitCancelled_ = result.cancelled;
  return result.code;
}
