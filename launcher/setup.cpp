#include "launcher/setup.h"

#include <new>

#include "base/exceptions.h"
#include "base/path.h"
#include "base/string_win.h"
#include "diag/error_info.h"
#include "launcher/command_line.h"
#include "launcher/web_medium.h"

namespace kx {

namespace {

constexpr UINT kStringAdminInstalled = 2009;
// The check site that the report names for a failure no step checked.
constexpr int kSiteUnexpected = 100;
constexpr UINT kStringAnotherInstance = 2010;
constexpr const wchar_t* kAnotherInstanceFallback =
    L"Another instance of this setup is already running. Please wait for the other instance to "
    L"finish and then try again.";

bool contains_i(const string& text, const wchar_t* what) {
  return text.find(what) != string::npos;
}

}  // namespace

void CSetup::CheckStep(HRESULT hr, int site, const char* file, int line) {
  if (hr == S_OK) return;
  const StepFailure failure{hr, site, file, line};
  if (RunFailure.code == S_OK) RunFailure = failure;
  throw StepAbort(failure);
}

int CSetup::Run(HINSTANCE instance, const string& launcher_path, const string& command_line) {
  HRESULT code;
  try {
    Instance = instance;
    PrivilegedUser = services_.PrivilegedUser();
    settings_.ReadInternalSwitches(launcher_path, command_line);
    return RunSteps(command_line);
  } catch (const StepAbort& abort) {
    code = abort.code();
  } catch (...) {
    code = UnexpectedFailure();
  }
  try {
    return AbortHandler(code);
  } catch (...) {
    // The failure's own handling gave out (memory, most likely): the exit
    // code still tells, and the process entry still cleans up.
    if (ErrorCode == 0) ErrorCode = kErrorGeneral;
    return FailureExitCode();
  }
}

HRESULT CSetup::UnexpectedFailure() noexcept {
  HRESULT code = E_UNEXPECTED;
  try {
    string text;
    try {
      throw;
    } catch (const win32_exception& e) {
      if (e.code() != 0) code = HRESULT_FROM_WIN32(e.code());
      text = e.message();
    } catch (const std::bad_alloc& e) {
      code = E_OUTOFMEMORY;
      text = from_bytes(e.what(), -1, CP_UTF8);
    } catch (const std::exception& e) {
      text = from_bytes(e.what(), -1, CP_UTF8);
    } catch (...) {
      // Nothing known about it beyond the failure itself.
    }
    SetComErrorDescription(text);
  } catch (...) {
    // No room even for the text: the failure is reported without it.
  }
  if (RunFailure.code == S_OK) RunFailure = StepFailure{code, kSiteUnexpected, __FILE__, __LINE__};
  return code;
}

int CSetup::RunSteps(string command_line) {
  SetupSettings& s = settings_;
  // Before the first web access: a web medium's setup.ini is read below.
  set_web_policy(WebPolicyOf(s));
  if (s.DelayStart > 0) services_.Sleep(static_cast<DWORD>(s.DelayStart) * 1000);

  // Only a folder the run made is the run's to remove: one named by
  // "tempdisk1folder:" or "extract_all:" belongs to whoever named it.
  const bool own_folder = s.TempFolder.empty();
  if (own_folder) s.TempFolder = services_.DefaultTempFolder(s);
  if (!s.TempFolder.empty() && s.TempFolder.back() != L'\\') s.TempFolder += L'\\';
  if (own_folder) cleanup_.add_folder(s.TempFolder);
  if (s.TempDisk1Given) cleanup_.SelfDelete = true;

  if (s.RunPrerequisitesOnly) return PrerequisitePhasePath(command_line);

  if (services_.HasPayload(s.LauncherPath)) {
    KX_CHECK_STEP(*this, services_.ExtractPayload(*this, command_line), 120);
    if (s.ExtractAll) {
      cleanup_.KeepFiles = true;
      return 0;
    }
  }

  KX_CHECK_STEP(*this, services_.CopyDisk1FileToTemp(*this, L"setup.ini"), 149);
  const string ini = path_join(s.NoEngine ? s.SourceFolder : s.TempFolder, L"setup.ini");
  services_.ReadSettings(s, command_line, ini);

  if (s.NoDeleter) cleanup_.KeepFiles = true;
  if (s.NoSelfDeleter) cleanup_.SelfDelete = false;

  if (s.ShowErrDlg) {
    ErrorCode = kErrorGeneral;
    KX_CHECK_STEP(*this, E_UNEXPECTED, 175);
  }
  if (s.ShowErrMsg) {
    ErrorCode = kErrorGeneral;
    services_.ReportFailure(*this, E_UNEXPECTED, true);
    return 0;
  }

  if (services_.HasPayload(s.LauncherPath) || s.TempDisk1Given) return InstallPath();

  // The relaunch path: the copy in the temporary folder does the work.
  if (s.RunFromTemp) cleanup_.KeepFiles = true;
  cleanup_.SelfDelete = false;
  s.CloneWait = !s.RunFromTemp || s.CloneWait;
  if (!s.RunFromTemp && !contains_i(command_line, L"no_selfdeleter"))
    command_line += L" -no_selfdeleter -KX_temp";
  // This process has waited already; the copy would wait a second time.
  command_line = WithoutSwitch(command_line, L"delayedstart:");
  return services_.RelaunchFromTemp(*this, command_line);
}

int CSetup::InstallPath() {
  SetupSettings& s = settings_;
  CopyLanguageFiles();
  if (!TakeSingleInstance()) return 0;

  const bool engine_in_temp = s.InstallFromWeb || s.TempDisk1Given;
  if (s.NoEngine) {
    s.EngineDllPath = path_join(path_directory(s.LauncherPath), L"KXSetup.dll");
  } else {
    s.EngineDllPath = path_join(engine_in_temp ? s.TempFolder : s.SourceFolder, L"KXSetup.dll");
  }
  if (engine_in_temp) {
    // A medium without its engine fails here rather than at the load: it is
    // still the engine that cannot be loaded, and a general failure code
    // would send the person to the wrong cause.
    const HRESULT copied = services_.CopyDisk1FileToTemp(*this, L"KXSetup.dll");
    if (copied != S_OK) ErrorCode = kErrorEngineDll;
    KX_CHECK_STEP(*this, copied, 239);
  }
  LoadEngineModule();

  services_.ReadWebCredentials(*this, MediumFilePath(s.SourceFolder, L"data1.hdr"));

  if (s.Reboot)
    KX_CHECK_STEP(*this, services_.ResumeEngine(*this), 249);
  else
    KX_CHECK_STEP(*this, services_.RunEngine(*this), 251);

  if (instance_taken_) services_.ReleaseInstance();
  instance_taken_ = false;

  const long result = services_.EngineResultCode(*this);
  if (result == 0 && s.CustomRetCode && s.CustomRetCodeOnSuccess != -1)
    return s.CustomRetCodeOnSuccess;
  return static_cast<int>(result);
}

int CSetup::PrerequisitePhasePath(const string& command_line) {
  SetupSettings& s = settings_;
  // The launcher that started this copy holds the single-instance lock and
  // loads the engine; this one reads the medium it was pointed at, runs the
  // phase and reports through its exit code.
  KX_CHECK_STEP(*this, services_.CopyDisk1FileToTemp(*this, L"setup.ini"), 149);
  services_.ReadSettings(s, command_line, path_join(s.TempFolder, L"setup.ini"));
  if (s.NoDeleter) cleanup_.KeepFiles = true;
  CopyLanguageFiles();
  return services_.RunPrerequisitePhase(*this, s.PrerequisiteFeatures);
}

void CSetup::CopyLanguageFiles() {
  for (LANGID id : services_.MediumLanguages(settings_)) {
    const string name = format(L"0x%04lx.ini", static_cast<unsigned long>(id));
    KX_CHECK_STEP(*this, services_.CopyDisk1FileToTemp(*this, name), 212);
  }
}

bool CSetup::TakeSingleInstance() {
  if (services_.TakeInstance(settings_.ProductGuid)) {
    instance_taken_ = true;
    return true;
  }
  string text = services_.GetString(settings_, kStringAnotherInstance);
  if (text.empty()) text = kAnotherInstanceFallback;
  services_.ShowMessage(*this, text, MB_OK | MB_ICONINFORMATION);
  return false;
}

void CSetup::LoadEngineModule() {
  HMODULE module = services_.LoadEngine(settings_.EngineDllPath);
  if (module && module != EngineModule) {
    if (EngineModule) FreeLibrary(EngineModule);
    EngineModule = module;
  }
  if (!EngineModule) {
    ErrorCode = kErrorEngineDll;
    KX_CHECK_STEP(*this, static_cast<HRESULT>(kErrorEngineDll), 243);
  }
}

int CSetup::AbortHandler(HRESULT code) {
  const SetupSettings& s = settings_;
  if (code == kAdminInstalled) {
    // Nothing was installed: the exit code and a silent run's setup.log
    // must tell the deployment script so.
    if (ErrorCode == 0) ErrorCode = static_cast<int>(kAdminInstalled);
    services_.ShowMessage(*this, services_.GetString(s, kStringAdminInstalled),
                          MB_OK | MB_ICONERROR);
    if (s.Silent || s.Auto) services_.ReportFailure(*this, code, true);
  } else if (code != kCancelled) {
    services_.ReportFailure(*this, code, false);
    if (ErrorCode == 0) ErrorCode = kErrorGeneral;
  }
  services_.NotifyEngineAbort(*this);
  if (instance_taken_) services_.ReleaseInstance();
  instance_taken_ = false;

  if (code == kCancelled)
    return s.CustomRetCode && s.CustomRetCodeOnAbort != -1 ? s.CustomRetCodeOnAbort
                                                           : static_cast<int>(kCancelled);
  return FailureExitCode();
}

int CSetup::FailureExitCode() const noexcept {
  const SetupSettings& s = settings_;
  return s.CustomRetCode && s.CustomRetCodeOnFail != -1 ? s.CustomRetCodeOnFail : ErrorCode;
}

}  // namespace kx
