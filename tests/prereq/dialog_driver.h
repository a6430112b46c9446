// What the prerequisite dialog tests share: a launcher callback with the
// English texts, a scripted package runner, a recorder of every status a
// list row is given, and a watcher that answers the message boxes the run
// asks while the dialog stays up.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "prereq/setup_prereq_mgr.h"

namespace kx::testing {

class DialogCallback final : public CSetupPrereqMgrCallback {
 public:
  SetupSettings& Settings() override { return settings; }
  void ReportWorkingFolder(const string&) override {}
  string RewriteCommandLine(const string& text) override { return text; }
  string GetString(UINT id) override;
  // The launcher's own boxes (2196, and the questions of a run without a
  // window): recorded and answered from `answers` (IDCANCEL when empty).
  int ShowMessage(const string& text, UINT style) override;
  void RebootAtEnd(bool) override { ++reboot_at_end; }
  HWND MainWindow() override { return main_window; }

  SetupSettings settings;
  std::vector<std::wstring> asked;
  std::deque<int> answers;
  int reboot_at_end = 0;
  HWND main_window = nullptr;
};

// Runs each package by calling the next scripted step (or answering `ran`).
class ScriptedRunner final : public prereq_package_runner {
 public:
  using Step = std::function<package_run(CSetupPreRequisite&)>;
  package_run Run(CSetupPreRequisite& p, const string& location, bool silent) override;

  std::deque<Step> steps;
  std::vector<std::wstring> ran;  // the packages' folders, in order
};

// Every text given to column 0 of a list view row (inserted or set), and
// every BCM_SETSHIELD, while the recorder lives.
class RowRecorder {
 public:
  RowRecorder();
  ~RowRecorder();
  RowRecorder(const RowRecorder&) = delete;
  RowRecorder& operator=(const RowRecorder&) = delete;

  std::map<int, std::vector<std::wstring>> rows;
  int shields = 0;

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wparam, LPARAM lparam);
  HHOOK hook_ = nullptr;
};

// Answers the message boxes of this thread that appear while it lives, in
// order, with `buttons` (then IDCANCEL), keeping their texts. Boxes owned by
// a dialog count; the prerequisite dialog itself never does.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(std::deque<int> buttons);
  ~BoxAnswerer();
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  std::vector<std::wstring> texts;

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  std::deque<int> buttons_;
  UINT_PTR timer_ = 0;
};

// The texts of the dialog's visible rows, column 0 or 1.
std::vector<std::wstring> ListColumn(HWND dialog, int column);

}  // namespace kx::testing
