#include "launcher/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/setup_settings.h"

namespace kx {
namespace {

std::vector<std::wstring> TokensOf(const wchar_t* text) {
  CommandLine line{string(text)};
  std::vector<std::wstring> out;
  for (const string& t : line.Tokens()) out.push_back(t.str());
  return out;
}

TEST(CommandLineTest, SplitsAtBlanksOutsideQuotes) {
  struct Case {
    const wchar_t* text;
    std::vector<std::wstring> tokens;
  };
  const Case cases[] = {
      {L"", {}},
      {L"    ", {}},
      {L"/s", {L"/s"}},
      {L"  /s   /v\"/qn\"  ", {L"/s", L"/v\"/qn\""}},
      {L"\"C:\\Program Files\\x\\setup.exe\" /s", {L"\"C:\\Program Files\\x\\setup.exe\"", L"/s"}},
      {L"/v\"INSTALLDIR=C:\\a b\" /qn", {L"/v\"INSTALLDIR=C:\\a b\"", L"/qn"}},
      {L"x\"y z\"w v", {L"x\"y z\"w", L"v"}},
      {L"a\"\"b c", {L"a\"\"b", L"c"}},
      // Tabs and line feeds are ordinary characters.
      {L"a\tb\nc d", {L"a\tb\nc", L"d"}},
      // An unclosed quote runs to the end of the text.
      {L"/v\"open quote /s", {L"/v\"open quote /s"}},
  };
  for (const Case& c : cases) EXPECT_EQ(TokensOf(c.text), c.tokens) << c.text;
}

TEST(CommandLineTest, RemainingTextJoinsWithOneBlankAndTrims) {
  CommandLine untouched(string(L"  /s   /x  "));
  EXPECT_EQ(untouched.RemainingText().str(), L"  /s   /x  ");  // not split yet: as given

  struct Case {
    const wchar_t* text;
    const wchar_t* remaining;
  };
  const Case cases[] = {
      {L"", L""},      {L"  /s   /x  ", L"/s /x"}, {L"\t/s /x\n", L"/s /x"},
      {L"\t \n", L""}, {L"/s\r", L"/s\r"},  // only blanks, tabs and line feeds are trimmed
  };
  for (const Case& c : cases) {
    CommandLine line{string(c.text)};
    EXPECT_FALSE(line.FindSwitch(L"nothing-matches-this"));
    EXPECT_EQ(line.RemainingText().str(), c.remaining) << c.text;
  }
}

TEST(CommandLineTest, FindSwitchMatchesNamesAsPrefixesOrExactly) {
  struct Case {
    const wchar_t* text;
    const wchar_t* name;
    SwitchMatch match;
    bool found;
    const wchar_t* value;
  };
  const SwitchMatch P = SwitchMatch::prefix, E = SwitchMatch::exact;
  const Case cases[] = {
      {L"/l1031", L"l", P, true, L"1031"},
      {L"-L0x0407", L"l", P, true, L"0x0407"},
      {L"/l", L"l", P, true, L""},
      {L"l1031", L"l", P, false, L""},
      {L"\"/s\"", L"s", P, false, L""},
      {L"--s", L"s", P, false, L""},
      {L"/re", L"reboot", P, false, L""},
      {L"/rebootnow", L"reboot", P, true, L"now"},
      {L"/REBOOT", L"reboot", E, true, L""},
      {L"/hide_progressX", L"hide_progress", E, false, L""},
      // An exact lookup passes over a longer switch and goes on.
      {L"/hide_progressX -Hide_Progress", L"hide_progress", E, true, L""},
      {L"/show_err_msg_invalid_identity", L"show_err_msg", E, false, L""},
      {L"/show_err_msg_invalid_identity", L"show_err_msg", P, true, L"_invalid_identity"},
      // The first accepted token wins.
      {L"/f2a /f2b", L"f2", P, true, L"a"},
      {L"-media_path:\"C:\\a b\"", L"media_path:", P, true, L"\"C:\\a b\""},
  };
  for (const Case& c : cases) {
    CommandLine line{string(c.text)};
    string value = L"untouched";
    EXPECT_EQ(line.FindSwitch(c.name, &value, c.match), c.found) << c.text << " " << c.name;
    EXPECT_EQ(value.str(), c.found ? c.value : L"untouched") << c.text << " " << c.name;
  }
}

TEST(CommandLineTest, ConsumedTokensLeaveTheTextButStillMatch) {
  CommandLine line(string(L"/a /b /c"));
  EXPECT_TRUE(line.FindSwitch(L"b", nullptr, SwitchMatch::exact, SwitchUse::consume));
  EXPECT_EQ(line.RemainingText().str(), L"/a /c");
  // Still a candidate, and a later lookup that keeps it does not bring it back.
  EXPECT_TRUE(line.FindSwitch(L"b", nullptr, SwitchMatch::exact, SwitchUse::keep));
  EXPECT_EQ(line.RemainingText().str(), L"/a /c");
  EXPECT_TRUE(line.FindSwitch(L"a", nullptr, SwitchMatch::prefix, SwitchUse::consume));
  EXPECT_TRUE(line.FindSwitch(L"c", nullptr, SwitchMatch::prefix, SwitchUse::consume));
  EXPECT_EQ(line.RemainingText().str(), L"");
}

TEST(CommandLineTest, WithoutSwitchCutsOnlyThatSwitch) {
  struct Case {
    const wchar_t* text;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"/s -delayedstart:30 /v\"/qn\"", L"/s /v\"/qn\""},
      {L"-delayedstart:30 /s", L"/s"},
      {L"  -delayedstart:30   /s", L"  /s"},
      {L"/s   /DELAYEDSTART:5", L"/s"},
      {L"-delayedstart:1 -delayedstart:2", L""},
      {L"/s -delayedstart:3 /x -delayedstart:4 /y", L"/s /x /y"},
      // Everything else keeps its spacing and quotes.
      {L"\"C:\\a b\\setup.exe\"  /s  -delayedstart:3  /v\"A=1 B=2\" ",
       L"\"C:\\a b\\setup.exe\"  /s  /v\"A=1 B=2\" "},
      // Only whole switches: a quoted blank, a value or a mere mention does not
      // count.
      {L"/v\"x -delayedstart:3\" /s", L"/v\"x -delayedstart:3\" /s"},
      {L"-media_path:\"C:\\delayedstart:3\"", L"-media_path:\"C:\\delayedstart:3\""},
      {L"delayedstart:3 /s", L"delayedstart:3 /s"},
      {L"", L""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WithoutSwitch(string(c.text), L"delayedstart:").str(), c.expected) << c.text;
  EXPECT_EQ(WithoutSwitch(string(L"/s /sx"), L"s", SwitchMatch::exact).str(), L"/sx");
}

// The number rules themselves are read_hex_or_decimal's (number_text_test);
// a language id is that number cut to 16 bits.
TEST(CommandLineTest, ParsesLanguageIds) {
  struct Case {
    const wchar_t* text;
    std::uint16_t id;
  };
  const Case cases[] = {
      {L"1031", 1031},          {L"0x0407", 0x0407},  {L"", 0}, {L"65537", 1}, {L"-1", 0xFFFF},
      {L"0xFFFFFFFFF", 0xFFFF}, {L"-99999999999", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseLanguageId(c.text), c.id) << c.text;
}

TEST(SwitchParserTest, LeavesEngineSwitchesInTheText) {
  struct Case {
    const wchar_t* text;
    const wchar_t* remaining;
  };
  const Case cases[] = {
      {L"", L""},
      {L"/s /v\"/qn\"", L"/s /v\"/qn\""},
      {L"\"C:\\a b\\file.txt\" /s", L"\"C:\\a b\\file.txt\" /s"},
      {L"/l1031 /v\"/qn\"", L"/v\"/qn\""},
      {L"/hide_progressX", L"/hide_progressX"},
      {L"/rebootnow /package:\"C:\\m\\setup.exe\" /f2C:\\r.log",
       L"/rebootnow /package:\"C:\\m\\setup.exe\" /f2C:\\r.log"},
      {L"/auto -no_engine /ig{1-2} /hide_usd /hide_splash /hide_progress", L"/auto -no_engine"},
      {L"/no_deleter /no_selfdeleter /clone_wait /show_err_dlg /show_err_msg "
       L"/show_err_msg_invalid_identity /x",
       L"/x"},
      {L"/s -no_selfdeleter -KX_temp -media_path:\"C:\\m\" -tempdisk1folder:\"C:\\T\\r\" "
       L"-KX_OriginalLauncher:\"C:\\m\\setup.exe\" -runfromtemp -delayedstart:3 "
       L"-extract_all:C:\\o -installfromweb:http://h/d",
       L"/s"},
      // Only the first "l" is the launcher's; a second one goes on.
      {L"/l1031 /L1036", L"/L1036"},
  };
  for (const Case& c : cases) {
    SetupSettings s;
    EXPECT_EQ(s.ParseSwitches(c.text).str(), c.remaining) << c.text;
  }
}

TEST(SwitchParserTest, SetsEachFlagFromItsSwitch) {
  struct Case {
    const wchar_t* text;
    bool SetupSettings::*flag;
  };
  const Case cases[] = {
      {L"/no_engine", &SetupSettings::NoEngine},
      {L"/S", &SetupSettings::Silent},
      {L"-auto", &SetupSettings::Auto},
      {L"/hide_progress", &SetupSettings::HideProgress},
      {L"/hide_splash", &SetupSettings::HideSplash},
      {L"/hide_usd", &SetupSettings::HideUsd},
      {L"/rebootnow", &SetupSettings::Reboot},
      {L"-package:x", &SetupSettings::Package},
      {L"/no_deleter", &SetupSettings::NoDeleter},
      {L"/no_selfdeleter", &SetupSettings::NoSelfDeleter},
      {L"/clone_wait", &SetupSettings::CloneWait},
      {L"/show_err_dlg", &SetupSettings::ShowErrDlg},
      {L"/show_err_msg", &SetupSettings::ShowErrMsg},
      {L"/show_err_msg_invalid_identity", &SetupSettings::ShowErrMsgInvalidIdentity},
  };
  const SetupSettings defaults;
  for (const Case& c : cases) {
    SetupSettings s;
    s.ParseSwitches(c.text);
    EXPECT_TRUE(s.*c.flag) << c.text;
    // No other flag moved.
    for (const Case& other : cases) {
      if (other.flag != c.flag) {
        EXPECT_EQ(s.*other.flag, defaults.*other.flag) << c.text;
      }
    }
  }
}

TEST(SwitchParserTest, ReadsValues) {
  SetupSettings s;
  s.ParseSwitches(L"-L0x0407 /ig\"{A-B}\" /f2\"C:\\res ult.log\"");
  EXPECT_EQ(s.LanguageId, 1031);
  EXPECT_EQ(s.InstallGuid.str(), L"{A-B}");
  EXPECT_EQ(s.ResultFilePath.str(), L"C:\\res ult.log");

  SetupSettings t;
  t.ParseSwitches(L"/l1031");
  EXPECT_EQ(t.LanguageId, 1031);
  t.ParseSwitches(L"/l");  // given without a number: not given
  EXPECT_EQ(t.LanguageId, 0);
}

TEST(SwitchParserTest, LaterTextsAddToEarlierOnes) {
  SetupSettings s;
  EXPECT_EQ(s.ParseSwitches(L"/l1031 /hide_splash /v\"/qn\"").str(), L"/v\"/qn\"");
  s.ParseSwitches(L"/s");
  EXPECT_TRUE(s.HideSplash);
  EXPECT_TRUE(s.Silent);
  EXPECT_EQ(s.LanguageId, 1031);
  s.ParseSwitches(L"/l1036");
  EXPECT_EQ(s.LanguageId, 1036);
}

TEST(InternalSwitchesTest, DefaultsComeFromTheLauncherPath) {
  SetupSettings s;
  s.ReadInternalSwitches(L"C:\\media\\setup.exe", L"/sx /autox");
  EXPECT_EQ(s.LauncherPath.str(), L"C:\\media\\setup.exe");
  EXPECT_EQ(s.SourceFolder.str(), L"C:\\media");
  EXPECT_TRUE(s.TempFolder.empty());
  EXPECT_EQ(s.DelayStart, 0);
  EXPECT_FALSE(s.Silent);
  EXPECT_FALSE(s.Auto);
  EXPECT_FALSE(s.InstallFromWeb);
  EXPECT_FALSE(s.TempDisk1Given);
}

TEST(InternalSwitchesTest, ReadsFoldersAndFlags) {
  struct Case {
    const wchar_t* text;
    const wchar_t* source;
    const wchar_t* temp;
    bool web;
  };
  const Case cases[] = {
      {L"-tempdisk1folder:\"C:\\Temp\\x y\"", L"C:\\media", L"C:\\Temp\\x y\\", false},
      {L"-tempdisk1folder:C:\\T\\", L"C:\\media", L"C:\\T\\", false},
      {L"-tempdisk1folder:C:\\T -extract_all:\"C:\\out\"", L"C:\\media", L"C:\\out\\", false},
      {L"-media_path:\"C:\\m\"", L"C:\\m", L"", false},
      {L"-media_path:\"\"", L"C:\\media", L"", false},
      {L"-installfromweb:http://host/disk1", L"http://host/disk1", L"", true},
      {L"-installfromweb:", L"C:\\media", L"", false},
      {L"-media_path:HTTPS://host/m", L"HTTPS://host/m", L"", true},
      {L"-media_path:ftp://host/m", L"ftp://host/m", L"", true},
      {L"-media_path:http://", L"http://", L"", false},  // a bare scheme is no address
      {L"-media_path:file:///C|/Media%20Files/Disk1/", L"C:\\Media Files\\Disk1", L"", true},
      {L"-media_path:file://server/share/dir", L"\\\\server\\share\\dir", L"", true},
      {L"-media_path:file://", L"file://", L"", false},
  };
  for (const Case& c : cases) {
    SetupSettings s;
    s.ReadInternalSwitches(L"C:\\media\\setup.exe", c.text);
    EXPECT_EQ(s.SourceFolder.str(), c.source) << c.text;
    EXPECT_EQ(s.TempFolder.str(), c.temp) << c.text;
    EXPECT_EQ(s.InstallFromWeb, c.web) << c.text;
  }

  SetupSettings s;
  s.ReadInternalSwitches(L"C:\\t\\setup.exe",
                         L"/s -auto /NO_ENGINE -runfromtemp -delayedstart:3 -extract_all:C:\\o "
                         L"-KX_OriginalLauncher:\"C:\\m\\setup.exe\"");
  EXPECT_TRUE(s.Silent && s.Auto && s.NoEngine && s.RunFromTemp && s.ExtractAll);
  EXPECT_FALSE(s.TempDisk1Given);
  EXPECT_EQ(s.DelayStart, 3);
  EXPECT_EQ(s.FirstLauncher.str(), L"C:\\m\\setup.exe");
}

// An empty folder must not become "\" (the root of the current drive),
// which the clean-up would then empty.
TEST(InternalSwitchesTest, EmptyTemporaryFolderKeepsTheDefault) {
  for (const wchar_t* text : {L"-tempdisk1folder:", L"-tempdisk1folder:\"\"", L"-extract_all:"}) {
    SetupSettings s;
    s.ReadInternalSwitches(L"C:\\media\\setup.exe", text);
    EXPECT_TRUE(s.TempFolder.empty()) << text;
    EXPECT_TRUE(s.TempDisk1Given || s.ExtractAll) << text;
  }
}

TEST(RelaunchRewriterTest, NamesTheFirstLauncherAgain) {
  struct Case {
    const wchar_t* text;
    const wchar_t* own;
    const wchar_t* expected;
  };
  const std::wstring copy =
      L" -media_path:\"C:\\media\" -tempdisk1folder:\"C:\\Temp\\r\" "
      L"-KX_OriginalLauncher:\"C:\\media\\setup.exe\"";
  const std::wstring quoted = L"\"C:\\Temp\\r\\setup.exe\" /s -no_selfdeleter -KX_temp" + copy;
  const std::wstring packaged =
      L"\"C:\\Temp\\r\\setup.exe\" /s -package:\"D:\\dl\\prod.exe\" "
      L"-no_selfdeleter -KX_temp" +
      copy;
  const Case cases[] = {
      // Not a relaunched copy: unchanged, blanks included.
      {L"  \"C:\\a\\setup.exe\"  /s ", L"C:\\a\\setup.exe", L"  \"C:\\a\\setup.exe\"  /s "},
      {quoted.c_str(), L"C:\\Temp\\r\\setup.exe", L"\"C:\\media\\setup.exe\" /s"},
      {quoted.c_str(), L"c:\\temp\\R\\SETUP.EXE", L"\"C:\\media\\setup.exe\" /s"},
      {packaged.c_str(), L"C:\\Temp\\r\\setup.exe", L"\"D:\\dl\\prod.exe\" /s"},
      {L"C:\\T\\setup.exe /s -KX_temp -runfromtemp -KX_OriginalLauncher:C:\\m\\setup.exe",
       L"C:\\T\\setup.exe", L"\"C:\\m\\setup.exe\" /s"},
      // Own path not in the text, or no first launcher known: only the
      // relaunch switches go.
      {L"other.exe /s -KX_temp -KX_OriginalLauncher:C:\\m\\setup.exe", L"C:\\T\\setup.exe",
       L"other.exe /s"},
      {L"C:\\T\\setup.exe /s -KX_temp", L"C:\\T\\setup.exe", L"C:\\T\\setup.exe /s"},
      {L"C:\\T\\setup.exe /s -KX_temp -KX_OriginalLauncher:C:\\m\\setup.exe", L"",
       L"C:\\T\\setup.exe /s"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RewriteRelaunchCommandLine(c.text, c.own).str(), c.expected) << c.text;
}

}  // namespace
}  // namespace kx
