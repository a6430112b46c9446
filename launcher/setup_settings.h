// The settings of one run: switches, setup.ini values, folders, language and
// installed-instance fields. Filled by the command-line readers, the settings
// file, the language resolution and the instance detection; read everywhere.
//
// Windows-free, so that the command-line readers that fill it build for the
// host fuzzers as well.
#pragma once

#include <cstdint>
#include <vector>

#include "base/stringx.h"
#include "base/xchar.h"

namespace kx {

class SettingsContext;

// Where the Report button of the error dialog points when setup.ini names no
// address of its own: a printf-style format taking the launcher's error code
// (%d), the HRESULT (0x%x) and the error text (%s).
inline constexpr const xchar* kDefaultErrorReportUrl =
    KXT("https://support.kestrix.example/kxsetup/ProErrorCentral.asp")
        KXT("?ErrorCode=%d : 0x%x&ErrorInfo=%s");

// The launcher's file name inside the medium when setup.ini names none.
inline constexpr const xchar* kDefaultLauncherName = KXT("setup.exe");

struct SetupSettings {
  // --- Files and folders of the run -------------------------------------

  // The running file's full path.
  string LauncherPath;
  // The medium: the directory of LauncherPath, or the folder or address
  // given by "media_path:" / "installfromweb:" ("file://" addresses are
  // turned into paths).
  string SourceFolder;
  // The private temporary folder; ends with a backslash once set.
  string TempFolder;
  // The launcher the user started, as named by "KX_OriginalLauncher:" in a
  // relaunched copy.
  string FirstLauncher;
  // The setup.ini that was read (kept even when it could not be loaded).
  string SetupIniPath;
  // The engine DLL the run loads.
  string EngineDllPath;
  // The engine's argument text: a blank followed by what the launcher left
  // of setup.ini's "cmdline" value and of the real command line, in that
  // order; empty when nothing was left.
  string CommandLineArguments;
  // What the launcher left of setup.ini's "cmdline" value alone.
  string IniCommandLineArguments;

  // --- Switches ---------------------------------------------------------

  bool Reboot = false;                     // "reboot"
  bool Silent = false;                     // "s"
  bool Auto = false;                       // "auto"
  bool NoEngine = false;                   // "no_engine"
  bool HideProgress = false;               // "hide_progress"
  bool HideSplash = false;                 // "hide_splash"
  bool HideUsd = false;                    // "hide_usd"
  bool Package = false;                    // "package:"
  bool NoDeleter = false;                  // "no_deleter"
  bool NoSelfDeleter = false;              // "no_selfdeleter"
  bool RunFromTemp = false;                // "runfromtemp"
  bool CloneWait = false;                  // "clone_wait", and the relaunch path
  bool InstallFromWeb = false;             // "installfromweb:" or a URL medium
  bool TempDisk1Given = false;             // "tempdisk1folder:"
  bool ExtractAll = false;                 // "extract_all:"
  bool ShowErrDlg = false;                 // "show_err_dlg"
  bool ShowErrMsg = false;                 // "show_err_msg"
  bool ShowErrMsgInvalidIdentity = false;  // "show_err_msg_invalid_identity"
  // "runprerequisites": this launcher is the elevated copy that runs only
  // the prerequisite phase for the features given with the switch.
  bool RunPrerequisitesOnly = false;
  string PrerequisiteFeatures;
  // "debuglog": the debug log the launcher that started this one keeps.
  string DebugLogPath;
  // Seconds to wait before anything else ("delayedstart:").
  int DelayStart = 0;
  // The language asked for with "l"; 0 when none was given.
  std::uint16_t LanguageId = 0;
  // The instance to maintain ("ig", setup.ini "InstallGUID", or the
  // instance detection).
  string InstallGuid;
  // Where the silent result file goes ("f2").
  string ResultFilePath;

  // --- setup.ini [Startup] ----------------------------------------------

  // 4 for a script-driven medium.
  int ScriptDriven = 4;
  string ProductName;
  // ProductGUID (script-driven) or ProductCode; also names the
  // single-instance lock.
  string ProductGuid;
  int MediaFormat = 0;
  int LogMode = 1;
  // Seconds the splash picture stays up.
  int SplashTime = 5;
  // Per-machine (HKEY_LOCAL_MACHINE) rather than per-user uninstall
  // information. The reader sets the system's default before reading.
  bool AllUsers = false;
  bool SmallProgress = false;
  bool ShowPasswordDialog = false;
  bool CheckMD5 = true;
  string CompanyName;
  string CompanyUrl;
  string SkinName;
  // Format of the error-report address (see kDefaultErrorReportUrl).
  string ErrorReportUrl = kDefaultErrorReportUrl;
  string LauncherName = kDefaultLauncherName;
  // Custom exit codes, each -1 when not set; only read when CustomRetCode is.
  bool CustomRetCode = false;
  int CustomRetCodeOnSuccess = -1;
  int CustomRetCodeOnFail = -1;
  int CustomRetCodeOnAbort = -1;

  // --- Language ---------------------------------------------------------

  // setup.ini [Languages] "Default".
  std::uint16_t DefaultLanguage = 9;
  // setup.ini [Startup] "EnableLangDlg".
  bool EnableLangDlg = false;
  // setup.ini [Languages] "Supported", in file order, without repeats.
  std::vector<std::uint16_t> SupportedLanguages;
  // setup.ini [Languages] "RequireExactLangMatch"; "ALL" sets AllExactMatch.
  std::vector<std::uint16_t> ExactMatchLanguages;
  bool AllExactMatch = false;
  // setup.ini [Languages] "RTLLangs".
  std::vector<std::uint16_t> RtlLanguages;
  // The language of the run, and where it came from.
  std::uint16_t ChosenLanguage = 0;
  bool LanguageFromCommandLine = false;
  bool LanguageFromInstalledProduct = false;

  // --- Installed instances ----------------------------------------------

  // Install GUIDs (uninstall subkey names) of the product's instances, in
  // registry order.
  std::vector<string> Instances;
  // The user is to choose the instance.
  bool OfferInstanceChoice = false;
  // LogMode 4 without bit 1 of MediaFormat: every instance counts.
  bool InstanceModeAll = false;

  // --- Operations -------------------------------------------------------
  // The command-line ones live in launcher/command_line.cpp, the settings
  // file ones in launcher/settings_file.cpp.

  // Reads the internal switches from the raw command line before anything
  // else: sets LauncherPath, SourceFolder, TempFolder, DelayStart,
  // FirstLauncher and the flags of the relaunch and medium switches.
  void ReadInternalSwitches(const string& launcher_path, const string& command_line);

  // Applies the launcher's switches of `text` (the "cmdline" value or the
  // real command line) on top of the current values; returns the text with
  // the launcher-only switches taken out.
  string ParseSwitches(const string& text);

  // Loads setup.ini at `path` and reads [Startup], the "cmdline" value and
  // the language part. False when the file cannot be loaded: then only
  // SetupIniPath has changed.
  bool ReadSetupIni(const string& path, SettingsContext& context);

  // ReadSetupIni, then the switches of `command_line` (what is left of them
  // and of the "cmdline" value becomes CommandLineArguments), the instance
  // detection and the language resolution. False, with nothing but SetupIniPath changed, when
  // setup.ini cannot be loaded.
  bool ReadSettings(const string& command_line, const string& ini_path, SettingsContext& context);
};

}  // namespace kx
