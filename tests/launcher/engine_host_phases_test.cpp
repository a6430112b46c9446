#include <gtest/gtest.h>

#include <memory>

#include "launcher/engine_host_phases.h"
#include "launcher/step_result.h"
#include "tests/launcher/engine_host_fixture.h"
#include "tests/testing/registry_sandbox.h"

namespace kx {
namespace {

using testing::QuietServices;
using testing::RegistrySandbox;

constexpr const wchar_t* kGuid = L"{7D0C2E4B-1A5F-4E39-8B6D-0F2A9C3E5B71}";

class CountingManager : public PrerequisiteManager {
 public:
  int runs = 0;
  int result = 0;
  ULONG handle = 0;
  int prompt_mode = -1;
  bool register_restart = false;

  int Run(CSetup&, int mode, const string& features, bool restart, ULONG* msi_handle) override {
    ++runs;
    prompt_mode = mode;
    register_restart = restart;
    EXPECT_TRUE(features.empty());
    *msi_handle = handle;
    return result;
  }
};

void WriteLogFile(HKEY root, const std::wstring& log) {
  const std::wstring key =
      std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kGuid;
  ASSERT_EQ(RegSetKeyValueW(root, key.c_str(), L"LogFile", REG_SZ, log.c_str(),
                            static_cast<DWORD>((log.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

TEST(EngineHostPhasesTest, PrerequisitesRunUnlessTheMediumIsTheInstalledCopy) {
  SetupSettings s;
  s.SourceFolder = L"C:\\Cache\\Product\\";
  EXPECT_TRUE(PrerequisitesWanted(s, L"C:\\Cache\\Product\\install.log")) << "no install GUID";
  s.InstallGuid = kGuid;
  EXPECT_FALSE(PrerequisitesWanted(s, L"c:\\cache\\PRODUCT\\install.log"));
  EXPECT_FALSE(PrerequisitesWanted(s, L"C:\\Cache\\Product\\\\install.log"));
  EXPECT_TRUE(PrerequisitesWanted(s, L"C:\\Cache\\Other\\install.log"));
  EXPECT_TRUE(PrerequisitesWanted(s, L"C:\\Cache\\Product\\sub\\install.log"));
  EXPECT_TRUE(PrerequisitesWanted(s, L"")) << "not installed";
  s.SourceFolder = L"C:\\Cache\\Product";
  EXPECT_FALSE(PrerequisitesWanted(s, L"C:\\Cache\\Product\\install.log"));
}

TEST(EngineHostPhasesTest, TheLogFileComesFromTheMachineEntryFirst) {
  RegistrySandbox sandbox;
  SetupSettings s;
  EXPECT_EQ(InstalledLogFile(s).str(), L"") << "no install GUID, nothing to read";
  s.InstallGuid = kGuid;
  EXPECT_EQ(InstalledLogFile(s).str(), L"");
  WriteLogFile(HKEY_CURRENT_USER, L"C:\\User\\install.log");
  EXPECT_EQ(InstalledLogFile(s).str(), L"C:\\User\\install.log");
  WriteLogFile(HKEY_LOCAL_MACHINE, L"C:\\Machine\\install.log");
  EXPECT_EQ(InstalledLogFile(s).str(), L"C:\\Machine\\install.log");
}

TEST(EngineHostPhasesTest, RunPrerequisitesAsksTheManagerOnlyWhenWanted) {
  RegistrySandbox sandbox;
  QuietServices services;
  auto setup = testing::MakeSilentSetup(services);
  CountingManager manager;
  EXPECT_EQ(RunPrerequisites(*setup, manager), S_OK);
  EXPECT_EQ(manager.runs, 1);
  EXPECT_EQ(manager.prompt_mode, 1);
  EXPECT_TRUE(manager.register_restart);

  setup->Settings().InstallGuid = kGuid;
  WriteLogFile(HKEY_CURRENT_USER, setup->Settings().SourceFolder.str() + L"install.log");
  EXPECT_EQ(RunPrerequisites(*setup, manager), S_OK);
  EXPECT_EQ(manager.runs, 1) << "the installed product's own medium skips them";
}

TEST(EngineHostPhasesTest, AStopOrARebootEndsTheRunAsCancelled) {
  QuietServices services;
  auto setup = testing::MakeSilentSetup(services);
  CountingManager manager;
  manager.result = 2;
  EXPECT_EQ(RunPrerequisites(*setup, manager), kCancelled);
  manager.result = 7;
  EXPECT_EQ(RunPrerequisites(*setup, manager), kCancelled);
  manager.result = 0;
  EXPECT_EQ(RunPrerequisites(*setup, manager), S_OK);
  EXPECT_EQ(RunPrerequisites(*setup, NoPrerequisites()), S_OK);
}

TEST(EngineHostPhasesTest, TheInterfaceWithoutWindowsRunsOnlyThePrerequisites) {
  QuietServices services;
  auto setup = testing::MakeSilentSetup(services);
  int calls = 0;
  HRESULT answer = S_OK;
  const auto prerequisites = [&] {
    ++calls;
    return answer;
  };
  EXPECT_EQ(PrerequisitesOnlyInterface().Prepare(*setup, prerequisites), S_OK);
  answer = kCancelled;
  EXPECT_EQ(PrerequisitesOnlyInterface().Prepare(*setup, prerequisites), kCancelled);
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace kx
