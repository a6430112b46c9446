// The rules that keep a removal inside the product's folder, whatever its
// record says, and the removal switch in the argument text.
#include "engine/install_record.h"

#include <gtest/gtest.h>

namespace kxe {
namespace {

constexpr wchar_t kDir[] = L"C:\\Program Files\\Demo";

TEST(InstallRecordTest, OnlyEntriesBelowTheInstallFolderGiveAPath) {
  const struct {
    const wchar_t* entry;
    const wchar_t* path;  // "" = refused
  } cases[] = {
      {L"readme.txt", L"C:\\Program Files\\Demo\\readme.txt"},
      {L"bin\\app.exe", L"C:\\Program Files\\Demo\\bin\\app.exe"},
      {L"_Setup\\{0D3E}\\setup.exe", L"C:\\Program Files\\Demo\\_Setup\\{0D3E}\\setup.exe"},
      {L"", L""},
      {L"..", L""},
      {L".", L""},
      {L"..\\outside.txt", L""},
      {L"bin\\..\\..\\outside.txt", L""},
      {L"bin\\.\\app.exe", L""},
      {L"\\Windows\\system.ini", L""},
      {L"\\\\server\\share\\x", L""},
      {L"C:\\Windows\\win.ini", L""},
      {L"C:win.ini", L""},
      {L"bin/../../outside.txt", L""},
      {L"bin\\", L""},
      {L"bin\\\\app.exe", L""},
      {L"app.exe:stream", L""},
      {L"*.exe", L""},
      {L"bin\\CON", L""},
      {L"nul.txt", L""},
      {L"trailing.", L""},
      {L"trailing ", L""},
      {L"line\nbreak", L""},
      {L"\\\\?\\C:\\x", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(PathBelow(kDir, c.entry), c.path) << c.entry;
  EXPECT_EQ(PathBelow(kDir, std::wstring(201, L'a')), L"") << "too long";
}

TEST(InstallRecordTest, TheInstallFolderMustBeAbsoluteAndPlain) {
  const struct {
    const wchar_t* dir;
    bool usable;
  } cases[] = {
      {L"C:\\Program Files\\Demo", true},
      {L"\\\\server\\share\\Demo", true},
      {L"", false},
      {L"Demo", false},
      {L"C:Demo", false},
      {L"C:\\Program Files\\Demo\\", false},
      {L"C:\\Program Files\\..\\Windows", false},
      {L"C:\\Demo\\.", false},
      {L"\\\\?\\C:\\Demo", false},
      {L"\\\\.\\C:\\Demo", false},
      {L"C:\\Demo\\*", false},
      {L"C:\\Demo:stream", false},
      {L"C:\\Demo/sub", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(!PathBelow(c.dir, L"readme.txt").empty(), c.usable) << c.dir;
  }
}

TEST(InstallRecordTest, TheMaintenanceFolderNeedsAGuidThatIsOneFolderName) {
  EXPECT_EQ(MaintenanceFolder(kDir, L"{0D3E6B1A-5C4F}"),
            L"C:\\Program Files\\Demo\\_Setup\\{0D3E6B1A-5C4F}");
  for (const wchar_t* guid : {L"", L"..", L"a\\b", L"a/b", L"C:x", L"CON", L"dot.", L"a*"})
    EXPECT_EQ(MaintenanceFolder(kDir, guid), L"") << guid;
  EXPECT_EQ(MaintenanceFolder(L"relative", L"{G}"), L"");
}

TEST(InstallRecordTest, RecordsSurviveTheirTextAndHostileLinesAreRefused) {
  InstallRecord record;
  record.root_created = true;
  record.files = {L"readme.txt", L"bin\\app.exe"};
  record.folders = {L"bin"};
  const InstallRecord back = ParseRecord(FormatRecord(record));
  EXPECT_TRUE(back.root_created);
  EXPECT_EQ(back.files, record.files);
  EXPECT_EQ(back.folders, record.folders);

  std::vector<std::wstring> refused;
  const InstallRecord hostile = ParseRecord(
      L"file=..\\..\\Windows\\win.ini\r\nfile=C:\\boot.ini\nfolder=\\\r\nfolder=..\r\n"
      L"file=\r\nunknown=1\r\nFILE=readme.txt\r\n; a comment\r\n\r\nfile=ok.txt\r\n"
      L"root=yes\r\nfolder=bin\r",
      &refused);
  EXPECT_EQ(hostile.files, std::vector<std::wstring>{L"ok.txt"});
  EXPECT_EQ(hostile.folders, std::vector<std::wstring>{L"bin"});
  EXPECT_FALSE(hostile.root_created) << "only root=created counts";
  EXPECT_EQ(refused, (std::vector<std::wstring>{
                         L"file=..\\..\\Windows\\win.ini", L"file=C:\\boot.ini", L"folder=\\",
                         L"folder=..", L"file=", L"unknown=1", L"FILE=readme.txt", L"root=yes"}));
  EXPECT_TRUE(ParseRecord(L"").files.empty());
}

TEST(InstallRecordTest, TheRemovalSwitchIsAWholeTokenOutsideQuotes) {
  const struct {
    const wchar_t* text;
    bool found;
  } cases[] = {
      {L"-uninstall", true},
      {L"/UNINSTALL", true},
      {L"-s -uninstall -sel_lang0409", true},
      {L"  -uninstall  ", true},
      {L"-s -sel_lang0409", false},
      {L"", false},
      {L"uninstall", false},
      {L"-uninstallx", false},
      {L"-uninstal", false},
      {L"--uninstall", false},
      {L"/v\"REMOVE=ALL -uninstall\"", false},
      {L"/v\" -uninstall \"", false},
      {L"-package:\"C:\\a b\\-uninstall\" -s", false},
  };
  for (const auto& c : cases) EXPECT_EQ(HasSwitch(c.text, kRemovalSwitch), c.found) << c.text;
}

}  // namespace
}  // namespace kxe
