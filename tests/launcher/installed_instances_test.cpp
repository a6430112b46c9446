#include "launcher/installed_instances.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "launcher/engine_host_phases.h"
#include "launcher/language_win.h"
#include "tests/testing/registry_sandbox.h"

namespace kx {
namespace {

using testing::RegistrySandbox;

const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kProduct = L"{0D3E6B1A-5C4F-4E8B-9A27-6F1C2D3E4B5A}";

void Guid(HKEY root, const std::wstring& entry, const std::wstring& value, DWORD type = REG_SZ) {
  ASSERT_EQ(RegistrySandbox::SetString(root, kUninstall + entry, L"ProductGuid", value, type),
            ERROR_SUCCESS);
}

std::vector<std::wstring> Names(const std::vector<string>& list) {
  std::vector<std::wstring> names;
  for (const string& s : list) names.push_back(s.str());
  return names;
}

TEST(InstalledInstancesTest, ReaderTakesOnlyWholeTextValues) {
  RegistrySandbox sandbox;
  Guid(HKEY_LOCAL_MACHINE, L"Plain", kProduct);
  Guid(HKEY_LOCAL_MACHINE, L"Lower", L"{0d3e6b1a-5c4f-4e8b-9a27-6f1c2d3e4b5a}");
  Guid(HKEY_LOCAL_MACHINE, L"Expand", kProduct, REG_EXPAND_SZ);
  Guid(HKEY_LOCAL_MACHINE, L"Other", L"{11111111-2222-3333-4444-555555555555}");
  ASSERT_EQ(RegistrySandbox::SetDword(HKEY_LOCAL_MACHINE, kUninstall + L"Dword", L"ProductGuid", 7),
            ERROR_SUCCESS);
  ASSERT_EQ(RegistrySandbox::SetRaw(HKEY_LOCAL_MACHINE, kUninstall + L"Binary", L"ProductGuid",
                                    REG_BINARY, kProduct.c_str(),
                                    static_cast<DWORD>((kProduct.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  // The whole GUID, but without its terminator.
  ASSERT_EQ(RegistrySandbox::SetRaw(HKEY_LOCAL_MACHINE, kUninstall + L"NoNul", L"ProductGuid",
                                    REG_SZ, kProduct.c_str(),
                                    static_cast<DWORD>(kProduct.size() * sizeof(wchar_t))),
            ERROR_SUCCESS);
  ASSERT_EQ(RegistrySandbox::CreateKey(HKEY_LOCAL_MACHINE, kUninstall + L"Bare"), ERROR_SUCCESS);

  std::map<std::wstring, std::wstring> read;
  for (const UninstallEntry& e : ReadUninstallEntries(HKEY_LOCAL_MACHINE))
    read[e.name.str()] = e.product_guid.str();
  const std::map<std::wstring, std::wstring> expected = {
      {L"Bare", L""},
      {L"Binary", L""},
      {L"Dword", L""},
      {L"Expand", kProduct},
      {L"Lower", L"{0d3e6b1a-5c4f-4e8b-9a27-6f1c2d3e4b5a}"},
      {L"NoNul", L""},
      {L"Other", L"{11111111-2222-3333-4444-555555555555}"},
      {L"Plain", kProduct}};
  EXPECT_EQ(read, expected);

  SetupSettings s;
  s.AllUsers = true;
  s.ProductGuid = kProduct.c_str();
  DetectInstalledInstances(s);
  std::vector<std::wstring> found = Names(s.Instances);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::wstring>{L"Expand", L"Lower", L"Plain"}));
  EXPECT_TRUE(s.OfferInstanceChoice);

  // Without a ProductGUID, entries without the value stay foreign.
  SetupSettings none;
  none.AllUsers = true;
  DetectInstalledInstances(none);
  EXPECT_TRUE(none.Instances.empty());
  EXPECT_TRUE(none.InstallGuid.empty());
}

TEST(InstalledInstancesTest, RootFollowsAllUsers) {
  RegistrySandbox sandbox;
  Guid(HKEY_LOCAL_MACHINE, L"{Machine}", kProduct);
  Guid(HKEY_CURRENT_USER, L"{User}", kProduct);
  const struct {
    bool all_users;
    const wchar_t* found;
  } rows[] = {{true, L"{Machine}"}, {false, L"{User}"}};
  for (const auto& r : rows) {
    SetupSettings s;
    s.AllUsers = r.all_users;
    s.ProductGuid = kProduct.c_str();
    DetectInstalledInstances(s);
    EXPECT_EQ(Names(s.Instances), std::vector<std::wstring>{r.found}) << r.all_users;
    EXPECT_EQ(s.InstallGuid.str(), r.found);
    EXPECT_EQ(InstancesRoot(s), r.all_users ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER);
  }
}

TEST(InstalledInstancesTest, MissingUninstallKeyFindsNothing) {
  RegistrySandbox sandbox;
  SetupSettings s;
  s.AllUsers = true;
  s.ProductGuid = kProduct.c_str();
  DetectInstalledInstances(s);
  EXPECT_TRUE(s.Instances.empty());
  EXPECT_FALSE(s.OfferInstanceChoice);
  EXPECT_TRUE(s.InstallGuid.empty());
}

TEST(InstalledInstancesTest, IgWithBackslashReadsNoNestedKey) {
  RegistrySandbox sandbox;
  const std::wstring nested = L"{A}\\Nested";
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kUninstall + nested, L"UninstallString",
                                       L"setup.exe -l1031"),
            ERROR_SUCCESS);
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kUninstall + nested, L"LogFile",
                                       L"C:\\Kit\\install.log"),
            ERROR_SUCCESS);
  EXPECT_TRUE(UninstallEntryPath(string(nested.c_str())).empty());
  EXPECT_EQ(UninstallEntryPath(string(L"{A}")).str(), kUninstall + L"{A}");
  SetupSettings s;
  s.AllUsers = true;
  s.ProductGuid = kProduct.c_str();
  s.InstallGuid = nested.c_str();
  EXPECT_EQ(InstalledProductLanguage(s), 0);
  EXPECT_TRUE(InstalledLogFile(s).empty());
  // The same entry named plainly is read, so the check above is not vacuous.
  s.InstallGuid = L"{A}";
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kUninstall + L"{A}", L"LogFile",
                                       L"C:\\Kit\\install.log"),
            ERROR_SUCCESS);
  EXPECT_EQ(InstalledLogFile(s).str(), L"C:\\Kit\\install.log");
}

}  // namespace
}  // namespace kx
