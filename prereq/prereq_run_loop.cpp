#include "prereq/prereq_run_loop.h"

#include "base/path.h"
#include "base/payload_names.h"
#include "base/text_format.h"
#include "diag/verbose_log.h"
#include "platform/files.h"
#include "platform/reboot.h"
#include "prereq/alt_prq_url.h"
#include "prereq/prereq_elevation.h"
#include "prereq/prereq_resume_state.h"
#include "prereq/prereq_run_view.h"
#include "prereq/setup_prerequisite.h"
#include "resources/resource_ids.h"

namespace kx::prereq {

namespace {

// The verbose log names the prerequisite dialog as the source of the run.
constexpr const char* kSource = "KxPreReqDlg.cpp";

bool exists(const string& path) {
  return get_file_attributes(path) != INVALID_FILE_ATTRIBUTES;
}

// The command that starts setup again at logon: text 18, or this process's
// command line rewritten to name the launcher the user started.
string restart_entry(CSetupPrereqMgrCallback& callback) {
  const string given = callback.GetText(18);
  if (!given.empty()) return given;
  const string rewritten = callback.RewriteCommandLine(string(GetCommandLineW()));
  return restart_command(rewritten, path_file_name(callback.Settings().LauncherPath));
}

// The view of a run without a window: its questions go to the launcher's
// message boxes, and nothing else is shown.
class windowless_view final : public run_view {
 public:
  explicit windowless_view(CSetupPrereqMgrCallback& callback) : callback_(callback) {}
  void row_status(int, UINT) override {}
  void status_text(const string&) override {}
  void package_running(const string&, bool, bool) override {}
  int message(const string& text, UINT style) override {
    return callback_.ShowMessage(text, style);
  }
  HWND progress_window() override { return nullptr; }
  HWND status_window() override { return nullptr; }
  download_progress* downloads() override { return nullptr; }

 private:
  CSetupPrereqMgrCallback& callback_;
};

string module_path() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) return string(path.substr(0, n).c_str());
    path.resize(path.size() * 2);
  }
}

class loop {
 public:
  loop(run_loop_context& c, run_view& view, const std::map<int, prereq_selection_entry>& selection)
      : c_(c), s_(c.callback.Settings()), view_(view), selection_(selection) {}

  int run() {
    if (c_.needs_elevation) return elevate();
    for (const auto& [index, entry] : selection_) {
      if (!entry.selected) continue;
      const int result = one(index, entry);
      if (result >= 0) return result;
    }
    return c_.cancelled ? 9 : 0;
  }

 private:
  // A Yes/No question: silent runs answer No without asking, so an
  // unattended run neither restarts nor goes on after a failure unasked.
  bool yes(const string& text) {
    if (s_.Silent) return false;
    return view_.message(text, MB_YESNO | MB_ICONQUESTION) == IDYES;
  }
  void tell(UINT id, const string& name) {
    view_.message(FormatFirst(c_.callback.GetString(id), name), MB_OK | MB_ICONERROR);
  }
  void restart() {
    if (reboot())
      process_verbose_log().log(kSource, __LINE__, L"Restart request failed, error %d",
                                static_cast<int>(GetLastError()));
  }
  void all_rows(UINT status) {
    for (const auto& [index, entry] : selection_)
      if (entry.selected) view_.row_status(index, status);
  }
  string first_name() const {
    for (const auto& [index, entry] : selection_)
      if (entry.selected) return display_name(entry);
    return string();
  }

  // The selection needs rights this process lacks: an elevated copy of the
  // launcher runs the phase instead, and its exit code tells how it went.
  int elevate() {
    if (s_.RunPrerequisitesOnly) {
      // This is that copy: asking again could only start the same copy.
      process_verbose_log().log(kSource, __LINE__,
                                L"Prerequisites require, but did not receive, elevation. "
                                L"Exiting setup.");
      all_rows(IDS_PREREQ_FAILED);
      return 9;
    }
    c_.state.save_index(-1);
    if (c_.register_restart) resume_state::register_restart(restart_entry(c_.callback));
    const string arguments = elevated_arguments(c_.callback.RelaunchArguments(), c_.features,
                                                c_.callback.DebugLogPath());
    process_verbose_log().log(
        kSource, __LINE__, L"Prerequisites need elevation; launching elevated with arguments: %s",
        arguments.c_str());
    const elevated_run ran =
        run_elevated(module_path(), arguments, c_.callback.MainWindow(), s_.Silent);
    if (!ran.started) {
      all_rows(IDS_PREREQ_FAILED);
      if (ran.error == ERROR_CANCELLED) {
        process_verbose_log().log(kSource, __LINE__, L"The elevation prompt was refused");
        c_.cancelled = true;
        return 9;
      }
      process_verbose_log().log(kSource, __LINE__, L"The elevated launcher did not start, error %d",
                                static_cast<int>(ran.error));
      tell(IDS_PREREQ_FAILED_EXIT, first_name());
      return 9;
    }
    process_verbose_log().log(kSource, __LINE__, L"The elevated launcher returned %d",
                              static_cast<int>(ran.exit_code));
    const int result = elevated_result(ran.exit_code);
    all_rows(result == 9 ? IDS_PREREQ_FAILED : IDS_PREREQ_SUCCEEDED);
    return result;
  }

  // Runs one prerequisite; -1 to go on with the next, else the loop's end.
  int one(int index, const prereq_selection_entry& entry) {
    const string name = display_name(entry);
    view_.row_status(index, IDS_PREREQ_INSTALLING);
    CSetupPreRequisite p(view_.progress_window(), view_.status_window(), s_, &c_.cancelled);
    p.Load(entry.path, false, string());
    if (p.IsOptional() && !s_.Silent && !entry.hidden) {
      const string question = InsertTexts(c_.callback.GetString(IDS_PREREQ_OPTIONAL),
                                          {s_.ProductName.as_view(), name.as_view()});
      if (!yes(question)) {
        view_.row_status(index, IDS_PREREQ_SKIPPED);
        return -1;
      }
    }
    c_.state.save_index(index);
    if (c_.register_restart) resume_state::register_restart(restart_entry(c_.callback));
    // A package that comes back after every restart (its reboot cannot
    // complete it) must not keep the machine rebooting.
    if (c_.state.note_attempt(index) > kMaxResumeAttempts) {
      process_verbose_log().log(kSource, __LINE__,
                                L"Prerequisite '%s' was started %d times in a row; giving up",
                                name.c_str(), kMaxResumeAttempts);
      view_.row_status(index, IDS_PREREQ_FAILED);
      tell(IDS_PREREQ_FAILED_EXIT, name);
      return 9;
    }
    // Downloaded files stay locked against change until the package has run.
    held_files verified;
    const string folder =
        prepare_package_folder(c_.callback, p, index, view_.downloads(), &verified);
    if (c_.cancelled) return 9;
    if (folder.empty()) {
      view_.row_status(index, IDS_PREREQ_FAILED);
      tell(IDS_PREREQ_FILES_MISSING, name);
      return 9;
    }
    view_.row_status(index, IDS_PREREQ_INSTALLING);
    view_.status_text(FormatFirst(c_.callback.GetString(IDS_PREREQ_INSTALLING_NAME), name));
    view_.package_running(name, true, p.IsMsiProgress());
    const package_run ran = c_.runner.Run(p, folder, s_.Silent);
    view_.package_running(name, false, p.IsMsiProgress());
    const package_outcome outcome = ran.outcome;
    if (outcome == package_outcome::stopped || c_.cancelled) return 9;
    if (outcome == package_outcome::skipped) {
      view_.row_status(index, IDS_PREREQ_SKIPPED);
      return -1;
    }
    switch (reboot_reaction_for(p.Record().rebootBehavior, ran.rebootRequired)) {
      case reboot_reaction::stop:
        return 7;
      case reboot_reaction::ask_and_stop:
        if (yes(FormatFirst(c_.callback.GetString(IDS_PREREQ_REBOOT), s_.ProductName))) restart();
        return 7;
      case reboot_reaction::restart_stop:
        restart();
        return 7;
      case reboot_reaction::at_end:
        c_.callback.RebootAtEnd(true);
        break;
      case reboot_reaction::go_on:
        break;
    }
    return judge(p, index, entry, name, outcome);
  }

  int judge(CSetupPreRequisite& p, int index, const prereq_selection_entry& entry,
            const string& name, package_outcome outcome) {
    if (outcome == package_outcome::ran) {
      p.Load(entry.path, true, string());
      if (!p.Record().hasConditions || !p.Record().conditionsHold) {
        view_.row_status(index, IDS_PREREQ_SUCCEEDED);
        return -1;
      }
      process_verbose_log().log(kSource, __LINE__, L"The prerequisite appears to have failed...");
    } else {
      process_verbose_log().log(kSource, __LINE__, L"Prerequisite '%s' failed to run",
                                name.c_str());
    }
    const std::uint32_t behavior = p.Record().failureBehavior;
    // A package that never ran is not shown as done, whatever its rule.
    const bool failed = behavior == 1 || behavior == 2 || outcome != package_outcome::ran;
    view_.row_status(index, failed ? IDS_PREREQ_FAILED : IDS_PREREQ_SUCCEEDED);
    switch (behavior) {
      case 1:
        return yes(FormatFirst(c_.callback.GetString(IDS_PREREQ_FAILED_CONTINUE), name)) ? -1 : 9;
      case 2:
        tell(IDS_PREREQ_FAILED_EXIT, name);
        return 9;
      default:
        return -1;
    }
  }

  run_loop_context& c_;
  const SetupSettings& s_;
  run_view& view_;
  const std::map<int, prereq_selection_entry>& selection_;
};

}  // namespace

string display_name(const prereq_selection_entry& entry) {
  string name = path_file_name(entry.path);
  const auto dot = name.rfind(KXT('.'));
  if (dot != string::npos && dot > 0) name.resize(dot);
  return name;
}

reboot_reaction reboot_reaction_for(std::uint32_t behavior, bool reboot_required) noexcept {
  if (!reboot_required)
    return behavior & (8 | 16) ? reboot_reaction::ask_and_stop : reboot_reaction::go_on;
  switch (behavior) {
    case 1:
      return reboot_reaction::stop;
    case 2:
    case 8:
      return reboot_reaction::ask_and_stop;
    case 16:
      return reboot_reaction::restart_stop;
    case 32:
      return reboot_reaction::at_end;
    default:
      return reboot_reaction::go_on;
  }
}

string prepare_package_folder(CSetupPrereqMgrCallback& callback, CSetupPreRequisite& prerequisite,
                              int index, download_progress* progress, held_files* hold) {
  const SetupSettings& s = callback.Settings();
  if (prerequisite.NamesRefused()) {
    process_verbose_log().log(kSource, __LINE__,
                              L"Prerequisite %d names a file outside its folder; not run", index);
    return string();
  }
  // An empty id keeps a folder of its own all the same.
  string id = prerequisite.GetId();
  if (id.empty()) id = FormatText(KXT("prq%d"), {index});
  const string base = callback.PrerequisiteFolder();
  if (base.empty()) return string();
  const string target = path_join(base, id);
  if (prerequisite.GetFileCount() == 0) return target;
  const string first = payload::file_name_part(prerequisite.GetLocalFile(0).as_view());
  // Only a medium on disk can hold the package beside its definition: a
  // web medium's folder is an address, which must never reach the shell.
  if (!s.InstallFromWeb && !is_url(s.SourceFolder.as_view())) {
    const string on_medium =
        path_join(path_join(s.SourceFolder, KXT("KXSetupPrerequisites")), prerequisite.GetId());
    if (!prerequisite.GetId().empty() && exists(path_join(on_medium, first))) return on_medium;
  }
  if (!create_folder_tree(target)) return string();
  callback.ReportWorkingFolder(base);
  callback.ReportWorkingFolder(target);
  const bool* cancel = prerequisite.resultFlag;
  bool replacement_tried = false;
  for (std::size_t i = 0; i < prerequisite.GetFileCount(); ++i) {
    const string name = payload::file_name_part(prerequisite.GetLocalFile(i).as_view());
    const string entry = FormatText(KXT("%s.%s"), {prerequisite.GetId(), name});
    if (callback.MediumHoldsEntry(entry) && callback.ExtractMediumEntry(entry, target) &&
        exists(path_join(target, name)))
      continue;
    if (i == 0 && !replacement_tried) {
      replacement_tried = true;
      const replacement r = apply_alt_prq_url(prerequisite, target, progress, cancel);
      if (r == replacement::cancelled) return string();
      // The replacement brings its own files: start again with its first.
      if (r == replacement::replaced) {
        --i;
        continue;
      }
    }
    download_request request;
    request.url = prerequisite.GetUrl(i);
    request.folder = target;
    request.file_name = name;
    request.check_sum = prerequisite.GetCheckSum(i);
    request.file_size = prerequisite.Record().files[i].fileSize;
    if (download_verified(request, progress, cancel, hold).outcome != download_outcome::verified) {
      process_verbose_log().log(kSource, __LINE__,
                                L"The files of prerequisite '%s' are not available",
                                prerequisite.GetId().c_str());
      return string();
    }
  }
  return target;
}

int run_prerequisites(run_loop_context& context,
                      const std::map<int, prereq_selection_entry>& selection) {
  windowless_view windowless(context.callback);
  run_view& view = context.view ? *context.view : windowless;
  return loop(context, view, selection).run();
}

}  // namespace kx::prereq
