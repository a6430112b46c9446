// The services of a real run. The medium, language, report and engine steps
// whose subsystems are still to come succeed here without doing anything, so
// that the run walks every step in order from the start.
#include <windows.h>

#include "launcher/launcher_services.h"
#include "launcher/payload.h"
#include "launcher/process_entry.h"
#include "launcher/settings_file.h"
#include "launcher/setup.h"
#include "launcher/setup_settings.h"
#include "launcher/temp_media.h"
#include "platform/group_member.h"
#include "platform/pending_operations.h"

namespace kx {

namespace {

// The follow-up steps of reading the settings until the instance and
// language subsystems arrive: no installed instances, and the medium's
// default language unless the command line asked for one.
class RunSettingsContext final : public SystemSettingsContext {
 public:
  void DetectInstances(SetupSettings&) override {}
  void ResolveLanguage(SetupSettings& s) override {
    s.LanguageFromCommandLine = s.LanguageId != 0;
    s.ChosenLanguage = s.LanguageFromCommandLine ? s.LanguageId : s.DefaultLanguage;
    s.LanguageFromInstalledProduct = false;
  }
};

class RealServices final : public LauncherServices {
 public:
  // Windows 9x counts as privileged: group_member answers true there.
  bool PrivilegedUser() override { return group_member(true, true) || group_member(false, true); }

  string DefaultTempFolder(const SetupSettings&) override { return kx::DefaultTempFolder(); }
  bool HasPayload(const string& launcher) override { return kx::HasPayload(launcher); }
  HRESULT ExtractPayload(CSetup& setup, string& command_line) override {
    return kx::ExtractPayload(setup, command_line);
  }
  HRESULT CopyDisk1FileToTemp(CSetup& setup, const string& name) override {
    return kx::CopyDisk1FileToTemp(setup, name);
  }
  int RelaunchFromTemp(CSetup& setup, const string& arguments) override {
    return kx::RelaunchFromTemp(setup, arguments);
  }

  bool ReadSettings(SetupSettings& s, const string& command_line, const string& ini_path) override {
    RunSettingsContext context;
    return s.ReadSettings(command_line, ini_path, context);
  }

  std::vector<LANGID> MediumLanguages(const SetupSettings& s) override {
    return s.SupportedLanguages;
  }
  string GetString(const SetupSettings&, UINT id) override {
    const wchar_t* text = nullptr;
    const int n = LoadStringW(resource_instance(), id, reinterpret_cast<LPWSTR>(&text), 0);
    return n > 0 ? string(text, static_cast<size_t>(n)) : string();
  }

  void ReportFailure(CSetup&, HRESULT, bool) override {}
  int ShowMessage(CSetup& setup, const string& text, UINT flags) override {
    const SetupSettings& s = setup.Settings();
    if (s.Silent || s.Auto) return IDOK;
    return MessageBoxW(setup.OwnerWindow, text.c_str(), s.ProductName.c_str(), flags);
  }

  HMODULE LoadEngine(const string& path) override { return LoadLibraryW(path.c_str()); }
  void ReadWebCredentials(CSetup&, const string&) override {}
  HRESULT RunEngine(CSetup&) override { return S_OK; }
  // After a restart the operations left for files that were in use come
  // first; the engine's own resume steps follow once it is hosted.
  HRESULT ResumeEngine(CSetup& setup) override {
    KX_CHECK_STEP(setup, run_pending_operations(), 372);
    return S_OK;
  }
  long EngineResultCode(CSetup&) override { return 0; }
  void NotifyEngineAbort(CSetup&) override {}

  bool TakeInstance(const string& name) override {
    ReleaseInstance();
    mutex_ = CreateMutexW(nullptr, FALSE, name.empty() ? nullptr : name.c_str());
    if (!mutex_) return true;  // without a lock the run still goes on
    if (WaitForSingleObject(mutex_, 0) == WAIT_TIMEOUT) {
      ReleaseInstance();
      return false;
    }
    return true;
  }
  void ReleaseInstance() override {
    if (mutex_) CloseHandle(mutex_);
    mutex_ = nullptr;
  }

  void Sleep(DWORD ms) override { ::Sleep(ms); }

 private:
  HANDLE mutex_ = nullptr;
};

}  // namespace

LauncherServices& DefaultLauncherServices() {
  static RealServices services;
  return services;
}

}  // namespace kx
