// What the prerequisite phase asks of the launcher: its settings, its texts,
// its clean-up list and a handful of questions. The launcher's main object
// implements it; the answers given inline are the ones this launcher always
// gives, so only what needs the launcher's state is left to it.
#pragma once

#include <windows.h>

#include "base/inifilex.h"
#include "base/path.h"
#include "base/stringx.h"
#include "launcher/setup_settings.h"

namespace kx {

class CSetupPrereqMgrCallback {
 public:
  virtual ~CSetupPrereqMgrCallback() = default;

  // The run's settings (silent flags, product, folders, language).
  virtual SetupSettings& Settings() = 0;

  // 0 for a normal install; this launcher never runs an administrative one.
  virtual int GetInstallMode() { return 0; }
  // Records a folder the phase created, so the run's clean-up removes it.
  virtual void ReportWorkingFolder(const string& path) = 0;
  // A value for the engine (15: prerequisites are bound to features; 17: a
  // feature list saved across a reboot). This launcher keeps none.
  virtual void SetValue(int, const string&, int) {}
  // Text 7 is the engine's command line; 14 (administrative target), 16
  // (hook window title) and 18 (restart command) are empty here.
  virtual string GetText(int id) { return id == 7 ? Settings().CommandLineArguments : string(); }
  // The index of the last prerequisite started before a reboot; -1 for none.
  virtual void SetResumeIndex(int n) { resume_index_ = n; }
  virtual int GetResumeIndex() { return resume_index_; }
  // Flags 14 (administrative target) and 16 (hook mode): never set here.
  virtual bool QueryFlag(int) { return false; }
  // The medium is always complete on disk: nothing to extract.
  virtual bool ExtractMediumEntry(const string&, const string&) { return true; }
  // This launcher shows no initialization dialog; true means go on.
  virtual bool ShowInitializationDialog() { return true; }
  // A value of the medium's setup.ini.
  virtual string ReadSetupString(const string& section, const string& key, const string& fallback) {
    return read_ini_string(Settings().SetupIniPath, section, key, fallback);
  }
  // Arguments for an elevated copy of the launcher; none here.
  virtual string RelaunchArguments() { return string(); }
  // The launcher's relaunch rewriter: a command line that names the launcher
  // the user started rather than its temporary copy.
  virtual string RewriteCommandLine(const string& text) = 0;
  // The debug log's path; empty when none is kept.
  virtual string DebugLogPath() { return string(); }
  // Told that a prerequisite wants a reboot once setup has finished.
  virtual void RebootAtEnd(bool) {}
  // Package files never travel as medium entries here.
  virtual bool MediumHoldsEntry(const string&) { return false; }
  // A text of the launcher's string table in the run's language.
  virtual string GetString(UINT id) = 0;
  // A message box of the run (MB_* style); silent runs answer with the
  // box's default.
  virtual int ShowMessage(const string& text, UINT style) = 0;
  // The launcher's main window, or null.
  virtual HWND MainWindow() { return nullptr; }
  // The folder below the run's private temporary folder that prerequisite
  // files are placed in; empty when no temporary folder is set.
  virtual string PrerequisiteFolder() {
    const string& temp = Settings().TempFolder;
    return temp.empty() ? string() : path_join(temp, KXT("KXPrereq"));
  }

 private:
  int resume_index_ = -1;
};

}  // namespace kx
