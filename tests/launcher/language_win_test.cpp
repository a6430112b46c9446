#include "launcher/language_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "launcher/setup_settings.h"
#include "platform/system_language.h"
#include "tests/testing/registry_sandbox.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

// --- The run's language against the registry and the system -------------

using testing::RegistrySandbox;
using testing::ScopedTempDir;

const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const wchar_t kProduct[] = L"{6B29FC40-CA47-1067-B31D-00DD010662DA}";
const wchar_t kInstance[] = L"{0F8FAD5B-D9CB-469F-A165-70867728950E}";

// Plants an uninstall entry with the given command in the sandboxed root.
void PlantEntry(HKEY root, const std::wstring& name, const std::wstring& command) {
  ASSERT_EQ(RegistrySandbox::SetString(root, kUninstall + name, L"UninstallString", command),
            ERROR_SUCCESS);
}

SetupSettings Product(bool all_users) {
  SetupSettings s;
  s.ProductGuid = kProduct;
  s.AllUsers = all_users;
  return s;
}

TEST(UninstallKeyPathTest, InstallGuidFirstThenProductGuid) {
  SetupSettings s;
  EXPECT_TRUE(UninstallKeyPath(s).empty());
  s.ProductGuid = kProduct;
  EXPECT_EQ(UninstallKeyPath(s).str(), kUninstall + kProduct);
  s.InstallGuid = kInstance;
  EXPECT_EQ(UninstallKeyPath(s).str(), kUninstall + kInstance);
}

TEST(InstalledProductLanguageTest, ReadsTheLSwitchOfTheRealUninstallEntry) {
  RegistrySandbox sandbox;
  PlantEntry(HKEY_LOCAL_MACHINE, kProduct, LR"("C:\Kit\setup.exe" -l0x040c -removeonly)");
  PlantEntry(HKEY_CURRENT_USER, kProduct, LR"("C:\Kit\setup.exe" /l1031)");
  EXPECT_EQ(InstalledProductLanguage(Product(true)), 0x040c);
  EXPECT_EQ(InstalledProductLanguage(Product(false)), 0x0407);
}

TEST(InstalledProductLanguageTest, TheChosenInstanceDecides) {
  RegistrySandbox sandbox;
  PlantEntry(HKEY_LOCAL_MACHINE, kProduct, LR"(C:\Kit\setup.exe -l1031)");
  PlantEntry(HKEY_LOCAL_MACHINE, kInstance, LR"(C:\Kit\setup.exe -l1041)");
  SetupSettings s = Product(true);
  s.InstallGuid = kInstance;
  EXPECT_EQ(InstalledProductLanguage(s), 0x0411);
}

TEST(InstalledProductLanguageTest, NothingToReadGivesZero) {
  RegistrySandbox sandbox;
  SetupSettings none = Product(true);
  EXPECT_EQ(InstalledProductLanguage(none), 0) << "no entry";

  PlantEntry(HKEY_LOCAL_MACHINE, kProduct, LR"(C:\Kit\setup.exe -removeonly)");
  EXPECT_EQ(InstalledProductLanguage(none), 0) << "no l switch";

  PlantEntry(HKEY_LOCAL_MACHINE, kProduct, L"");
  EXPECT_EQ(InstalledProductLanguage(none), 0) << "empty command";

  // A command stored as a number is not text to search.
  ASSERT_EQ(RegistrySandbox::SetDword(HKEY_LOCAL_MACHINE, kUninstall + kProduct, L"UninstallString",
                                      1031),
            ERROR_SUCCESS);
  EXPECT_EQ(InstalledProductLanguage(none), 0) << "not a string";

  // Without any GUID the uninstall key itself must not be read.
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kUninstall, L"UninstallString",
                                       L"x.exe -l1031"),
            ERROR_SUCCESS);
  SetupSettings nameless;
  nameless.AllUsers = true;
  EXPECT_EQ(InstalledProductLanguage(nameless), 0);
}

TEST(CurrentLanguageFactsTest, AsksTheInstalledProductOnlyForScriptDrivenMedia) {
  RegistrySandbox sandbox;
  PlantEntry(HKEY_CURRENT_USER, kProduct, LR"(C:\Kit\setup.exe -l1036)");
  SetupSettings s = Product(false);
  EXPECT_EQ(CurrentLanguageFacts(s).installed_product, 0x040c);
  s.ScriptDriven = 3;
  EXPECT_EQ(CurrentLanguageFacts(s).installed_product, 0);

  // The system's languages come from Windows as they are.
  const LanguageFacts facts = CurrentLanguageFacts(s);
  EXPECT_EQ(facts.user_default, GetUserDefaultLangID());
  EXPECT_EQ(facts.system_default, GetSystemDefaultLangID());
  EXPECT_EQ(facts.ui_language, system_ui_language());
}

// The whole resolution against this system and a planted earlier
// installation: the earlier installation's French wins over the system's
// languages, and the "l" switch wins over both.
TEST(ResolveRunLanguageTest, InstalledProductThenCommandLine) {
  RegistrySandbox sandbox;
  PlantEntry(HKEY_LOCAL_MACHINE, kProduct, LR"("C:\Kit\setup.exe" -l1036)");
  SetupSettings s = Product(true);
  s.SupportedLanguages = {0x0409, 0x0407, 0x040c};
  s.DefaultLanguage = 0x0409;

  ResolveRunLanguage(s);
  EXPECT_EQ(s.ChosenLanguage, 0x040c);
  EXPECT_TRUE(s.LanguageFromInstalledProduct);
  EXPECT_FALSE(s.LanguageFromCommandLine);

  s.LanguageId = 0x0407;
  ResolveRunLanguage(s);
  EXPECT_EQ(s.ChosenLanguage, 0x0407);
  EXPECT_TRUE(s.LanguageFromCommandLine);
  EXPECT_FALSE(s.LanguageFromInstalledProduct);
}

// --- Texts by id -----------------------------------------------------------

// This test program carries the launcher's English table and a German one
// holding only these two texts (language_win_test.rc).
constexpr UINT kCancel = 1822;     // German "Abbrechen"
constexpr UINT kErrorCode = 2002;  // German "Fehlercode:"
constexpr UINT kOk = 1813;         // English only, in the same block as kCancel

HMODULE Self() {
  return GetModuleHandleW(nullptr);
}

// Writes a language file as media carry it: UTF-16LE, byte-order mark, CRLF.
void WriteLanguageFile(const std::wstring& path, const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (const std::wstring& line : lines) text += line + L"\r\n";
  std::string bytes = "\xFF\xFE";
  bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  ASSERT_TRUE(testing::WriteBytes(path, bytes));
}

SetupSettings RunIn(const ScopedTempDir& dir, std::uint16_t language) {
  SetupSettings s;
  s.SetupIniPath = dir.file(L"setup.ini").c_str();
  s.ChosenLanguage = language;
  return s;
}

TEST(ResourceStringTest, ReadsOneLanguageOfTheTable) {
  EXPECT_EQ(ResourceString(Self(), kCancel, 0x0409).str(), L"Cancel");
  EXPECT_EQ(ResourceString(Self(), kCancel, 0x0407).str(), L"Abbrechen");
  EXPECT_TRUE(ResourceString(Self(), kOk, 0x0407).empty()) << "the German block lacks it";
  EXPECT_TRUE(ResourceString(Self(), kCancel, 0x0411).empty()) << "no Japanese table";
  EXPECT_TRUE(ResourceString(Self(), 1109, 0x0409).empty()) << "no such id";
  EXPECT_TRUE(ResourceString(Self(), 0x10000 + kCancel, 0x0409).empty()) << "beyond 16 bits";
  // The neutral languages let the loader choose: here the user's English.
  EXPECT_EQ(ResourceString(Self(), kOk, 0).str(), L"&OK");
}

TEST(BuiltInStringTest, FallsBackThroughThePrimaryAndNeutralLanguages) {
  const struct {
    std::uint16_t chosen;
    UINT id;
    const wchar_t* text;
  } cases[] = {
      {0x0407, kCancel, L"Abbrechen"},
      {0x0407, kOk, L"&OK"},                 // German table without it: neutral
      {0x0807, kErrorCode, L"Fehlercode:"},  // Swiss German finds German
      {0x0007, kCancel, L"Abbrechen"},
      {0x0411, kCancel, L"Cancel"},  // no Japanese table: neutral
      {0x0409, 2010,
       L"Another instance of this setup is already running. Please wait for the other instance to "
       L"finish and then try again."},
      {0x0409, 1109, L""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(BuiltInString(Self(), c.id, c.chosen).str(), c.text)
        << std::hex << c.chosen << " " << std::dec << c.id;
}

TEST(GetStringTest, TheMediumsFileComesFirstAndTheTableFillsItsGaps) {
  ScopedTempDir dir;
  WriteLanguageFile(dir.file(L"0x040c.ini"),
                    {L"[0x040c]", L"1822=Annuler", L"1813=", L"2004=Une erreur (%s) est survenue.",
                     L"[Languages]", L"0x040c=Français"});
  const SetupSettings s = RunIn(dir, 0x040c);
  EXPECT_EQ(GetString(s, kCancel, Self()).str(), L"Annuler");
  EXPECT_EQ(GetString(s, 2004, Self()).str(), L"Une erreur (%s) est survenue.");
  EXPECT_EQ(GetString(s, kOk, Self()).str(), L"&OK") << "empty value";
  EXPECT_EQ(GetString(s, kErrorCode, Self()).str(), L"Error Code:") << "missing key";
  EXPECT_TRUE(GetString(s, 1109, Self()).empty()) << "in neither";
}

TEST(GetStringTest, OnlyTheSectionOfTheChosenLanguageCounts) {
  ScopedTempDir dir;
  // A file copied under another language's name keeps its old section.
  WriteLanguageFile(dir.file(L"0x0407.ini"), {L"[0x0409]", L"1822=Wrong section"});
  EXPECT_EQ(GetString(RunIn(dir, 0x0407), kCancel, Self()).str(), L"Abbrechen");
}

TEST(GetStringTest, AMissingFileFallsBackToTheBuiltInTable) {
  ScopedTempDir dir;
  EXPECT_EQ(GetString(RunIn(dir, 0x0411), kCancel, Self()).str(), L"Cancel");
  EXPECT_EQ(GetString(RunIn(dir, 0x0407), kCancel, Self()).str(), L"Abbrechen");
}

TEST(GetStringTest, ADamagedFileServesWhatPrecedesTheDamage) {
  ScopedTempDir dir;
  WriteLanguageFile(dir.file(L"0x040c.ini"),
                    {L"[0x040c]", L"1822=Annuler", L"[broken", L"1813=Jamais lu"});
  const SetupSettings s = RunIn(dir, 0x040c);
  EXPECT_EQ(GetString(s, kCancel, Self()).str(), L"Annuler");
  EXPECT_EQ(GetString(s, kOk, Self()).str(), L"&OK");
}

TEST(GetStringTest, NothingIsReadFromTheCurrentFolder) {
  ScopedTempDir dir;
  WriteLanguageFile(dir.file(L"0x040c.ini"), {L"[0x040c]", L"1822=Annuler"});
  ASSERT_TRUE(CreateDirectoryW(dir.file(L"Disk1").c_str(), nullptr));
  WriteLanguageFile(dir.file(L"Disk1\\0x040c.ini"), {L"[0x040c]", L"1822=Annuler"});
  const std::wstring drive_relative = dir.path().substr(0, 2) + L"setup.ini";
  wchar_t previous[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(dir.path().c_str()));
  // No setup.ini path yet, or relative ones: each would be resolved against
  // the current folder.
  for (const std::wstring& ini : {std::wstring(), std::wstring(L"setup.ini"),
                                  std::wstring(L"Disk1\\setup.ini"), drive_relative}) {
    SetupSettings s;
    s.SetupIniPath = ini.c_str();
    s.ChosenLanguage = 0x040c;
    EXPECT_EQ(GetString(s, kCancel, Self()).str(), L"Cancel") << ini;
  }
  SetCurrentDirectoryW(previous);
  EXPECT_EQ(GetString(RunIn(dir, 0x040c), kCancel, Self()).str(), L"Annuler") << "a full path";
}

}  // namespace
}  // namespace kx
