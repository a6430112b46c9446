// The services of a real run.
#include <windows.h>

#include "launcher/engine_host.h"
#include "launcher/engine_host_windows.h"
#include "launcher/failure_report.h"
#include "launcher/installed_instances.h"
#include "launcher/language.h"
#include "launcher/language_win.h"
#include "launcher/launcher_services.h"
#include "launcher/payload.h"
#include "launcher/process_entry.h"
#include "launcher/settings_file.h"
#include "launcher/setup.h"
#include "launcher/setup_settings.h"
#include "launcher/temp_media.h"
#include "launcher/web_medium.h"
#include "platform/group_member.h"

namespace kx {

namespace {

// The follow-up steps of reading the settings: the product's installed
// instances from the uninstall entries, and the run's language from the
// command line, the installed product and the system.
class RunSettingsContext final : public SystemSettingsContext {
 public:
  void DetectInstances(SetupSettings& s) override { DetectInstalledInstances(s); }
  void ResolveLanguage(SetupSettings& s) override { ResolveRunLanguage(s); }
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
    return kx::MediumLanguages(s);
  }
  string GetString(const SetupSettings& s, UINT id) override {
    return kx::GetString(s, id, resource_instance());
  }

  void ReportFailure(CSetup& setup, HRESULT code, bool suppress_dialog) override {
    ReportRunFailure(setup, code, suppress_dialog);
  }
  int ShowMessage(CSetup& setup, const string& text, UINT flags) override {
    return ShowRunMessage(setup, text, flags);
  }

  HMODULE LoadEngine(const string& path) override { return LoadLibraryW(path.c_str()); }
  void ReadWebCredentials(CSetup& setup, const string& header_path) override {
    kx::ReadWebCredentials(setup, header_path);
  }
  HRESULT RunEngine(CSetup& setup) override {
    WindowedPreparation windows(setup);
    EngineHostParts parts = DefaultEngineHostParts();
    parts.ui = &windows;
    parts.progress = &windows;
    return EngineHost(setup, parts).Run();
  }
  HRESULT ResumeEngine(CSetup& setup) override {
    return EngineHost(setup, DefaultEngineHostParts()).Resume();
  }
  long EngineResultCode(CSetup& setup) override { return kx::EngineResultCode(setup); }
  void NotifyEngineAbort(CSetup& setup) override { kx::NotifyEngineAbort(setup); }

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
