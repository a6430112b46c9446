// The prerequisite dialog: decides whether the run may go on with the
// rights it has, shows the list of requirements with their states while
// the run loop installs them, and carries the download and package
// progress. Silent runs, hook mode and hidden-only selections run the same
// loop without a window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>

#include "base/stringx.h"
#include "platform/unique_handle.h"
#include "prereq/prereq_download_progress.h"
#include "prereq/prereq_run_loop.h"
#include "prereq/prereq_run_view.h"
#include "prereq/setup_prereq_mgr.h"
#include "ui/progress_calculator.h"

namespace kx {

// What the manager hands the dialog for one phase.
struct prereq_show_request {
  // 0 starts at once, 1 waits for Install and asks nothing about rights,
  // 2 starts at once unless the run needs elevation.
  int prompt_mode = 1;
  string features;
  // No selected prerequisite is visible.
  bool hidden_only = false;
  // A selected definition lacks `Lua`, and the run lacks the rights for it
  // (needs_elevation); the rights are tested again on Retry.
  bool needs_rights = false;
  bool needs_elevation = false;
  bool register_restart = false;
};

class KxPreReqDlg final : public ProgressCalculator,
                          private prereq::run_view,
                          private prereq::download_progress {
 public:
  // Where a skin would dress this window (the dialog works without one).
  static constexpr const wchar_t* kSkinSection = L"PrereqDialog";

  // All must outlive the dialog; `selection` is the manager's.
  KxPreReqDlg(CSetupPrereqMgrCallback& callback, prereq_package_runner& runner,
              prereq::resume_state& state, const std::map<int, prereq_selection_entry>& selection);
  ~KxPreReqDlg() override;
  KxPreReqDlg(const KxPreReqDlg&) = delete;
  KxPreReqDlg& operator=(const KxPreReqDlg&) = delete;

  // Runs the phase: 0 done, 6 told not to execute (the engine's
  // EXECUTEMODE=None, on every path), 7 stop for a reboot, 9 failure or
  // cancel. Silent, hook-mode and hidden-only runs have no window; a run
  // that lacks rights and may not ask for them ends with 9 (or, with
  // visible prerequisites, asks 2196 first: Retry tests the rights again).
  int Show(const prereq_show_request& request);

  // Starts (true) or ends the progress without an end that shows while a
  // package runs: a marquee on Windows XP and later, a bar that fills and
  // starts over from a thread of its own before. Nothing without a window.
  void StartStopProgress(bool start);

  // The dialog window while it is shown (for tests); else null.
  HWND Window() const noexcept { return window_; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static DWORD WINAPI AnimationThread(void* parameter);
  void OnInit();
  void OnInstall();
  void OnCancel();
  int RunLoop(bool with_view);
  // Answers the window messages that arrived meanwhile (downloads run on
  // this thread).
  void PumpMessages();
  void StopAnimation();
  void SetItemText(int id, const string& text);

  // prereq::run_view
  void row_status(int index, UINT status) override;
  void status_text(const string& text) override;
  void package_running(const string& name, bool running, bool own_progress) override;
  int message(const string& text, UINT style) override;
  HWND progress_window() override;
  HWND status_window() override;
  prereq::download_progress* downloads() override { return this; }

  // prereq::download_progress
  void begin(const string& file_name, std::uint64_t total) override;
  bool progress(std::uint64_t done, std::uint64_t total) override;
  void end() override;

  CSetupPrereqMgrCallback& callback_;
  prereq::run_loop_context context_;
  const std::map<int, prereq_selection_entry>& selection_;
  prereq_show_request request_;
  HWND window_ = nullptr;
  bool created_ = false;
  int result_ = 9;
  bool busy_ = false;      // the run loop is running
  bool transfer_ = false;  // a download is running
  bool execute_mode_none_ = false;
  int current_ = -1;  // setup.ini index of the prerequisite in hand
  string current_name_;
  std::uint32_t download_start_ = 0;
  std::uint32_t last_text_ = 0;
  // The progress without an end: the saved bar style of the marquee, or
  // the thread that animates the bar on older systems.
  LONG_PTR saved_style_ = 0;
  bool style_saved_ = false;
  unique_handle animation_;
  volatile LONG stop_animation_ = 0;
};

}  // namespace kx
