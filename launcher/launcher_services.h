// What the run asks of the rest of the launcher: one narrow interface per
// step, so the run's order, abort points and exit codes can be tested with
// fakes, and later subsystems slot in without touching the run.
#pragma once

#include <windows.h>

#include <vector>

#include "base/stringx.h"

namespace kx {

struct SetupSettings;
class CSetup;

class LauncherServices {
 public:
  virtual ~LauncherServices() = default;

  // True on a system without user security, or when Administrators or Power
  // Users is enabled in the user's token.
  virtual bool PrivilegedUser() = 0;

  // The medium: the default temporary folder (ends with a backslash),
  // whether `launcher` carries a payload, unpacking it (appends
  // " -package:<launcher>" to `command_line`), copying one medium file into
  // the temporary folder, and starting the temporary copy (its exit code).
  virtual string DefaultTempFolder(const SetupSettings& s) = 0;
  virtual bool HasPayload(const string& launcher) = 0;
  virtual HRESULT ExtractPayload(CSetup& setup, string& command_line) = 0;
  virtual HRESULT CopyDisk1FileToTemp(CSetup& setup, const string& name) = 0;
  virtual int RelaunchFromTemp(CSetup& setup, const string& arguments) = 0;

  // Reads setup.ini at `ini_path` together with the command line; false when
  // the file cannot be read (the run goes on with its defaults).
  virtual bool ReadSettings(SetupSettings& s, const string& command_line,
                            const string& ini_path) = 0;

  // The languages whose string files travel with the medium, and one text
  // of the run's language by id (empty when there is none).
  virtual std::vector<LANGID> MediumLanguages(const SetupSettings& s) = 0;
  virtual string GetString(const SetupSettings& s, UINT id) = 0;

  // Reports a failure: error dialog (unless suppressed, then a message
  // box), the silent result file, the trace event.
  virtual void ReportFailure(CSetup& setup, HRESULT code, bool suppress_dialog) = 0;
  // A message box (MB_* flags); silent runs answer with the default.
  virtual int ShowMessage(CSetup& setup, const string& text, UINT flags) = 0;

  // The engine: load the DLL (null when it cannot be loaded), read the web
  // medium's credentials, run or resume it, ask the cabinet for its result,
  // and tell it about an abort.
  virtual HMODULE LoadEngine(const string& path) = 0;
  virtual void ReadWebCredentials(CSetup& setup, const string& header_path) = 0;
  virtual HRESULT RunEngine(CSetup& setup) = 0;
  virtual HRESULT ResumeEngine(CSetup& setup) = 0;
  virtual long EngineResultCode(CSetup& setup) = 0;
  virtual void NotifyEngineAbort(CSetup& setup) = 0;

  // The single-instance lock: true when taken (kept until ReleaseInstance).
  virtual bool TakeInstance(const string& name) = 0;
  virtual void ReleaseInstance() = 0;

  // The start delay's sleep.
  virtual void Sleep(DWORD ms) = 0;

  // The prerequisite phase of an elevated copy ("runprerequisites"): the
  // medium's prerequisites for `features`, started at once, without the
  // restart entry (the launcher that started the copy wrote it). Returns the
  // manager's result: 0 go on, 2 stop, 7 reboot
  // (launcher/setup_prereq_callback.cpp).
  virtual int RunPrerequisitePhase(CSetup& setup, const string& features);
};

// The services of a real run: the medium, settings, languages, report and
// engine steps that exist, and first implementations that succeed without
// doing anything for the subsystems still to come.
LauncherServices& DefaultLauncherServices();

}  // namespace kx
