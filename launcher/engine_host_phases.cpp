#include "launcher/engine_host_phases.h"

#include "launcher/installed_instances.h"
#include "launcher/setup.h"
#include "launcher/setup_settings.h"
#include "launcher/step_result.h"
#include "platform/registry.h"
#include "platform/system_library.h"

namespace kx {

namespace {

class NoWindows final : public EngineUserInterface {
 public:
  HRESULT Prepare(CSetup&, const std::function<HRESULT()>& run_prerequisites) override {
    return run_prerequisites();
  }
};

class Nothing final : public PrerequisiteManager {
 public:
  int Run(CSetup&, int, const string&, bool, ULONG* msi_handle) override {
    if (msi_handle) *msi_handle = 0;
    return 0;
  }
};

// The folder part of a path without trailing backslashes, so that "C:\a\"
// and "C:\a" compare equal.
string folder_key(string path, bool strip_name) {
  if (strip_name) {
    const size_t slash = path.find_last_of(L"\\/");
    path.resize(slash == string::npos ? 0 : slash);
  }
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

}  // namespace

EngineUserInterface& PrerequisitesOnlyInterface() {
  static NoWindows ui;
  return ui;
}

PrerequisiteManager& NoPrerequisites() {
  static Nothing manager;
  return manager;
}

string InstalledLogFile(const SetupSettings& s) {
  // An "ig" value with a backslash names no entry of its own.
  const string key = UninstallEntryPath(s.InstallGuid);
  if (key.empty()) return string();
  string log = registry_read_string(HKEY_LOCAL_MACHINE, key, L"LogFile", KEY_READ, string());
  if (log.empty())
    log = registry_read_string(HKEY_CURRENT_USER, key, L"LogFile", KEY_READ, string());
  return log;
}

bool PrerequisitesWanted(const SetupSettings& s, const string& installed_log_file) {
  if (s.InstallGuid.empty()) return true;
  // The strings compare without regard to case.
  return folder_key(installed_log_file, true) != folder_key(s.SourceFolder, false);
}

HRESULT RunPrerequisites(CSetup& setup, PrerequisiteManager& manager) {
  const SetupSettings& s = setup.Settings();
  if (!PrerequisitesWanted(s, InstalledLogFile(s))) return S_OK;
  ULONG handle = 0;
  const int result = manager.Run(setup, 1, string(), true, &handle);
  if (handle) {
    using CloseFn = UINT(WINAPI*)(ULONG);
    if (auto close = system_function<CloseFn>(L"msi.dll", "MsiCloseHandle")) close(handle);
  }
  // A prerequisite reboot ends this run too; the restart resumes it.
  return result == 0 ? S_OK : kCancelled;
}

}  // namespace kx
