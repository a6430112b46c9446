#include "launcher/setup.h"

#include "base/string_win.h"

namespace kx {

namespace {

constexpr UINT kStringAdminInstalled = 2009;
constexpr UINT kStringAnotherInstance = 2010;
constexpr const wchar_t* kAnotherInstanceFallback =
    L"Another instance of this setup is already running. Please wait for the other instance to "
    L"finish and then try again.";

bool contains_i(const string& text, const wchar_t* what) {
  return text.find(what) != string::npos;
}

string folder_file(const string& folder, const wchar_t* name) {
  string path = folder;
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path + name;
}

}  // namespace

void CSetup::CheckStep(HRESULT hr, int site, const char* file, int line) {
  if (hr == S_OK) return;
  const StepFailure failure{hr, site, file, line};
  if (RunFailure.code == S_OK) RunFailure = failure;
  throw StepAbort(failure);
}

int CSetup::Run(HINSTANCE instance, const string& launcher_path, const string& command_line) {
  try {
    Instance = instance;
    PrivilegedUser = services_.PrivilegedUser();
    settings_.ReadInternalSwitches(launcher_path, command_line);
    return RunSteps(command_line);
  } catch (const StepAbort& abort) {
    return AbortHandler(abort.code());
  }
}

int CSetup::RunSteps(string command_line) {
  SetupSettings& s = settings_;
  if (s.DelayStart > 0) services_.Sleep(static_cast<DWORD>(s.DelayStart) * 1000);

  if (s.TempFolder.empty()) s.TempFolder = services_.DefaultTempFolder(s);
  if (!s.TempFolder.empty() && s.TempFolder.back() != L'\\') s.TempFolder += L'\\';
  cleanup_.add_folder(s.TempFolder);
  if (s.TempDisk1Given) cleanup_.SelfDelete = true;

  if (services_.HasPayload(s.LauncherPath)) {
    KX_CHECK_STEP(*this, services_.ExtractPayload(*this, command_line), 120);
    if (s.ExtractAll) {
      cleanup_.KeepFiles = true;
      return 0;
    }
  }

  KX_CHECK_STEP(*this, services_.CopyDisk1FileToTemp(*this, L"setup.ini"), 149);
  const string ini = folder_file(s.NoEngine ? s.SourceFolder : s.TempFolder, L"setup.ini");
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
  return services_.RelaunchFromTemp(*this, command_line);
}

int CSetup::InstallPath() {
  SetupSettings& s = settings_;
  CopyLanguageFiles();
  if (!TakeSingleInstance()) return 0;

  const bool engine_in_temp = s.InstallFromWeb || s.TempDisk1Given;
  if (s.NoEngine) {
    string own = s.LauncherPath;
    const size_t slash = own.rfind(L'\\');
    own.resize(slash == string::npos ? 0 : slash + 1);
    s.EngineDllPath = folder_file(own, L"KXSetup.dll");
  } else {
    s.EngineDllPath = folder_file(engine_in_temp ? s.TempFolder : s.SourceFolder, L"KXSetup.dll");
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

  services_.ReadWebCredentials(*this, folder_file(s.SourceFolder, L"data1.hdr"));

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
    services_.ShowMessage(*this, services_.GetString(s, kStringAdminInstalled),
                          MB_OK | MB_ICONERROR);
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
  return s.CustomRetCode && s.CustomRetCodeOnFail != -1 ? s.CustomRetCodeOnFail : ErrorCode;
}

}  // namespace kx
