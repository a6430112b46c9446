#include "launcher/language.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/setup_settings.h"

namespace kx {
namespace {

using Ids = std::vector<std::uint16_t>;

SetupSettings Medium(Ids supported, Ids exact = {}, bool all_exact = false) {
  SetupSettings s;
  s.SupportedLanguages = std::move(supported);
  s.ExactMatchLanguages = std::move(exact);
  s.AllExactMatch = all_exact;
  return s;
}

TEST(LanguageSupportedTest, MatchesExactlyOrThroughAVariantOfTheSamePrimaryLanguage) {
  struct Case {
    const char* what;
    Ids supported;
    Ids exact;
    bool all_exact;
    std::uint16_t asked;
    bool supported_result;
    std::uint16_t result;
  };
  const Case cases[] = {
      {"listed", {0x0409, 0x0407}, {}, false, 0x0407, true, 0x0407},
      {"Swiss German finds German", {0x0409, 0x0407}, {}, false, 0x0807, true, 0x0407},
      {"primary-only id finds the default variant",
       {0x0409, 0x0407},
       {},
       false,
       0x0007,
       true,
       0x0407},
      {"default variant preferred to an earlier variant",
       {0x0c07, 0x0407},
       {},
       false,
       0x0807,
       true,
       0x0407},
      {"else the first variant listed", {0x0409, 0x0c07, 0x0807}, {}, false, 0x1007, true, 0x0c07},
      {"other primary language", {0x0409}, {}, false, 0x0407, false, 0x0407},
      {"exact-only variant not taken", {0x0804}, {0x0804}, false, 0x1004, false, 0x1004},
      {"exact-only variant taken when asked exactly",
       {0x0804},
       {0x0804},
       false,
       0x0804,
       true,
       0x0804},
      {"traditional Chinese does not fall back to an exact-only 0x0404",
       {0x0404, 0x0804},
       {0x0404, 0x0804},
       false,
       0x0c04,
       false,
       0x0c04},
      {"exact-only default skipped, next variant taken",
       {0x0407, 0x0807},
       {0x0407},
       false,
       0x0c07,
       true,
       0x0807},
      {"ALL: no variant ever stands in", {0x0409, 0x0407}, {}, true, 0x0807, false, 0x0807},
      {"ALL: exact still matches", {0x0409, 0x0407}, {}, true, 0x0407, true, 0x0407},
      {"nothing listed", {}, {}, false, 0x0409, false, 0x0409},
      {"0 is no language", {0x0000, 0x0409}, {}, false, 0x0000, false, 0x0000},
  };
  for (const Case& c : cases) {
    const SetupSettings s = Medium(c.supported, c.exact, c.all_exact);
    std::uint16_t language = c.asked;
    EXPECT_EQ(LanguageSupported(s, language), c.supported_result) << c.what;
    EXPECT_EQ(language, c.result) << c.what;
  }
}

enum Source { kNone, kCommandLine, kInstalledProduct };

TEST(ResolveLanguageTest, TakesTheFirstAcceptedSourceInOrder) {
  struct Case {
    const char* what;
    Ids supported;
    std::uint16_t switch_l;
    int script_driven;
    LanguageFacts facts;  // user, system, UI, installed product
    std::uint16_t chosen;
    Source source;
  };
  const Case cases[] = {
      {"switch l 1036 with 0x040c",
       {0x0409, 0x040c},
       1036,
       4,
       {0x0409, 0x0409, 0x0409, 0x0409},
       0x040c,
       kCommandLine},
      {"switch l through a variant",
       {0x0409, 0x0407},
       0x0807,
       4,
       {0x0409, 0x0409, 0x0409, 0},
       0x0407,
       kCommandLine},
      {"unsupported switch falls through to the installed product",
       {0x0409, 0x0407},
       0x0411,
       4,
       {0x0409, 0x0409, 0x0409, 0x0407},
       0x0407,
       kInstalledProduct},
      {"installed product ignored unless script-driven",
       {0x0409, 0x0407},
       0,
       3,
       {0x0409, 0x0409, 0x0409, 0x0407},
       0x0409,
       kNone},
      {"user language", {0x0409, 0x0407}, 0, 4, {0x0807, 0x0409, 0x0409, 0}, 0x0407, kNone},
      {"system language after an unsupported user language",
       {0x0409, 0x040c},
       0,
       4,
       {0x0411, 0x040c, 0x0409, 0},
       0x040c,
       kNone},
      {"UI language last", {0x0407, 0x0410}, 0, 4, {0x0411, 0x0412, 0x0410, 0}, 0x0410, kNone},
      {"no match: the default", {0x0409}, 0, 4, {0x0807, 0x0807, 0x0807, 0}, 0x0009, kNone},
      {"nothing supported: the default",
       {},
       1033,
       4,
       {0x0409, 0x0409, 0x0409, 0x0409},
       0x0009,
       kNone},
      {"exact-only Chinese not chosen for Singapore",
       {0x0409, 0x0804},
       0,
       4,
       {0x1004, 0x1004, 0x1004, 0},
       0x0009,
       kNone},
  };
  for (const Case& c : cases) {
    SetupSettings s = Medium(c.supported, {0x0804});
    s.LanguageId = c.switch_l;
    s.ScriptDriven = c.script_driven;
    // Flags left over from an earlier resolution must not survive.
    s.LanguageFromCommandLine = s.LanguageFromInstalledProduct = true;
    ResolveLanguage(s, c.facts);
    EXPECT_EQ(s.ChosenLanguage, c.chosen) << c.what;
    EXPECT_EQ(s.LanguageFromCommandLine, c.source == kCommandLine) << c.what;
    EXPECT_EQ(s.LanguageFromInstalledProduct, c.source == kInstalledProduct) << c.what;
  }
}

TEST(ResolveLanguageTest, KeepsAnUnlistedDefaultAsItStands) {
  SetupSettings s = Medium({0x0409});
  s.DefaultLanguage = 0x0411;
  ResolveLanguage(s, {0x0407, 0x0407, 0x0407, 0});
  EXPECT_EQ(s.ChosenLanguage, 0x0411);
}

TEST(LanguageDialogWantedTest, OnlyForAnOpenChoiceInAnInteractiveRun) {
  struct Case {
    const char* what;
    bool silent, automatic, enabled, from_command_line, from_product;
    Ids supported;
    bool wanted;
  };
  const Case cases[] = {
      {"open choice", false, false, true, false, false, {0x0409, 0x0407}, true},
      {"nothing listed still asks", false, false, true, false, false, {}, true},
      {"one language", false, false, true, false, false, {0x0409}, false},
      {"not enabled", false, false, false, false, false, {0x0409, 0x0407}, false},
      {"silent", true, false, true, false, false, {0x0409, 0x0407}, false},
      {"auto", false, true, true, false, false, {0x0409, 0x0407}, false},
      {"from the command line", false, false, true, true, false, {0x0409, 0x0407}, false},
      {"from the installed product", false, false, true, false, true, {0x0409, 0x0407}, false},
  };
  for (const Case& c : cases) {
    SetupSettings s = Medium(c.supported);
    s.Silent = c.silent;
    s.Auto = c.automatic;
    s.EnableLangDlg = c.enabled;
    s.LanguageFromCommandLine = c.from_command_line;
    s.LanguageFromInstalledProduct = c.from_product;
    EXPECT_EQ(LanguageDialogWanted(s), c.wanted) << c.what;
  }
}

TEST(LanguageDialogWantedTest, SwitchLWithASupportedLanguageSkipsTheDialog) {
  SetupSettings s = Medium({0x0409, 0x040c});
  s.EnableLangDlg = true;
  s.LanguageId = 1036;
  ResolveLanguage(s, {0x0409, 0x0409, 0x0409, 0});
  EXPECT_FALSE(LanguageDialogWanted(s));
  s.LanguageId = 0;
  ResolveLanguage(s, {0x0409, 0x0409, 0x0409, 0});
  EXPECT_TRUE(LanguageDialogWanted(s));
}

TEST(LanguageFromUninstallStringTest, ReadsTheFirstLSwitch) {
  const struct {
    const wchar_t* command;
    std::uint16_t language;
  } cases[] = {
      {LR"("C:\Program Files\Kit\setup.exe" -l1036 -removeonly)", 0x040c},
      {LR"("C:\Program Files\Kit\setup.exe" /L0x040C)", 0x040c},
      {LR"(C:\Kit\setup.exe -runfromtemp -l0X0407)", 0x0407},
      {LR"(C:\Kit\setup.exe -removeonly)", 0},
      {LR"(C:\Kit\setup.exe -l)", 0},
      {LR"(C:\Kit\setup.exe -lfrench)", 0},
      // The first switch beginning with "l" is the one read.
      {LR"(C:\Kit\setup.exe -log -l1031)", 0},
      // A quoted path with "-l" inside is one token, not a switch.
      {LR"("C:\my -l1031 kit\setup.exe" -l1033)", 0x0409},
      {L"", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(LanguageFromUninstallString(c.command), c.language) << std::wstring(c.command);
}

TEST(LanguageFileTest, NamesTheFileBesideSetupIni) {
  SetupSettings s;
  EXPECT_EQ(LanguageKey(0x040c).str(), L"0x040c");
  EXPECT_EQ(LanguageKey(0xFFFF).str(), L"0xffff");
  EXPECT_EQ(LanguageKey(9).str(), L"0x0009");
  EXPECT_TRUE(LanguageFilePath(s, 0x0409).empty()) << "no setup.ini, no file";
  s.SetupIniPath = L"C:\\Temp\\kx1\\setup.ini";
  EXPECT_EQ(LanguageFilePath(s, 0x0411).str(), L"C:\\Temp\\kx1\\0x0411.ini");
  s.SetupIniPath = L"\\\\srv\\kit\\setup.ini";
  EXPECT_EQ(LanguageFilePath(s, 0x0411).str(), L"\\\\srv\\kit\\0x0411.ini");
  for (const wchar_t* relative :
       {L"setup.ini", L"Disk1\\setup.ini", L"C:setup.ini", L"\\setup.ini"}) {
    s.SetupIniPath = relative;
    EXPECT_TRUE(LanguageFilePath(s, 0x0409).empty()) << relative;
  }
}

TEST(BuiltInLanguageOrderTest, ChosenThenPrimaryThenNeutral) {
  EXPECT_EQ(BuiltInLanguageOrder(0x0411), (Ids{0x0411, 0x0400, 0}));
  EXPECT_EQ(BuiltInLanguageOrder(0x0807), (Ids{0x0807, 0x0407, 0x0400, 0}));
  EXPECT_EQ(BuiltInLanguageOrder(0x0009), (Ids{0x0009, 0x0409, 0x0400, 0}));
  EXPECT_EQ(BuiltInLanguageOrder(0), (Ids{0, 0x0400}));
}

}  // namespace
}  // namespace kx
