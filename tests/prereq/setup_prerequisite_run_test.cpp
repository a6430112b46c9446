#include "prereq/setup_prerequisite_run.h"

#include <gtest/gtest.h>

namespace {

using kx::prereq::launch_state;
using kx::prereq::package_kind;
using kx::prereq::run_verdict;

constexpr auto exe = package_kind::exe;
constexpr auto msi = package_kind::msi;
constexpr auto ran = launch_state::started;

struct JudgeCase {
  package_kind kind;
  std::uint32_t code;
  const wchar_t* list;
  bool optional;
  bool hasConditions;
  launch_state state;
  run_verdict verdict;
  bool byConditions;
  bool cancelled;
};

class ExitCodeTable : public ::testing::TestWithParam<JudgeCase> {};

TEST_P(ExitCodeTable, Judges) {
  const JudgeCase& c = GetParam();
  kx::prereq::exit_code_facts f;
  f.kind = c.kind;
  f.code = c.code;
  f.rebootReturnCodes = c.list;
  f.optional = c.optional;
  f.hasConditions = c.hasConditions;
  const kx::prereq::run_result r = kx::prereq::judge_exit_code(f, c.state);
  EXPECT_EQ(r.verdict, c.verdict);
  EXPECT_EQ(r.exitCode, c.code);
  EXPECT_EQ(r.rebootRequired, c.verdict == run_verdict::reboot_needed);
  EXPECT_EQ(r.judgeByConditions, c.byConditions);
  EXPECT_EQ(r.userCancelled, c.cancelled);
  EXPECT_EQ(r.ok(), c.verdict != run_verdict::failed);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ExitCodeTable,
    ::testing::Values(
        JudgeCase{exe, 3010, L"1641,3010", false, false, ran, run_verdict::reboot_needed, false,
                  false},
        JudgeCase{exe, 3010, L"", false, false, ran, run_verdict::installed, false, false},
        JudgeCase{exe, 3010, L"", false, true, ran, run_verdict::installed, true, false},
        JudgeCase{msi, 3010, L"", false, false, ran, run_verdict::reboot_needed, false, false},
        JudgeCase{msi, 1641, L"5", false, false, ran, run_verdict::reboot_needed, false, false},
        JudgeCase{msi, 1602, L"", true, false, ran, run_verdict::cancelled_optional, false, true},
        JudgeCase{msi, 1602, L"", false, true, ran, run_verdict::failed, false, true},
        JudgeCase{exe, 1602, L"", false, false, ran, run_verdict::installed, false, false},
        JudgeCase{msi, 1603, L"", false, false, ran, run_verdict::failed, false, false},
        JudgeCase{msi, 1603, L"", false, true, ran, run_verdict::installed, true, false},
        JudgeCase{msi, 1619, L"", true, false, ran, run_verdict::failed, false, false},
        JudgeCase{msi, 1639, L"", false, false, ran, run_verdict::failed, false, false},
        JudgeCase{msi, 1638, L"", false, false, ran, run_verdict::installed, false, false},
        JudgeCase{msi, 1618, L"", false, true, ran, run_verdict::failed, false, false},
        JudgeCase{exe, 0xC0000005, L"", false, false, ran, run_verdict::installed, false, false},
        JudgeCase{exe, 0xFFFFFFFF, L"-1", false, false, ran, run_verdict::reboot_needed, false,
                  false},
        JudgeCase{exe, 0x80070BC2, L" 3010, -2147021886", false, false, ran,
                  run_verdict::reboot_needed, false, false},
        JudgeCase{exe, 0, L"1641,3010,", false, false, ran, run_verdict::installed, false, false},
        JudgeCase{exe, 0, L"", false, false, launch_state::not_started, run_verdict::failed, false,
                  false},
        JudgeCase{msi, 0, L"", true, true, launch_state::not_started, run_verdict::failed, false,
                  false},
        JudgeCase{exe, 0, L"", false, true, launch_state::nothing_to_run, run_verdict::installed,
                  true, false}));

TEST(ExitCodeJudgement, AStillBusyInstallerFailsWhateverTheKind) {
  kx::prereq::exit_code_facts f;
  f.code = 1618;
  f.installerStayedBusy = true;
  f.hasConditions = true;
  const kx::prereq::run_result r = kx::prereq::judge_exit_code(f, ran);
  EXPECT_EQ(r.verdict, run_verdict::failed);
  EXPECT_TRUE(r.installerBusy);
}

TEST(ExitCodeJudgement, AScheduledRebootNeedsOneWithoutAListedCode) {
  kx::prereq::exit_code_facts f;
  f.rebootScheduled = true;
  EXPECT_EQ(kx::prereq::judge_exit_code(f, ran).verdict, run_verdict::reboot_needed);
}

TEST(ExitCodeJudgement, RebootTextsFollowTheBehaviour) {
  const std::pair<std::uint32_t, const wchar_t*> table[] = {
      {1, L"Exit Code Match -- Exiting Now"},    {2, L"Exit Code Match -- Rebooting Now"},
      {4, L"Exit Code Match -- Reboot Ignored"}, {8, L"Exit Code Match -- Rebooting Now"},
      {16, L"Exit Code Match -- Rebooting Now"}, {32, L"Exit Code Match -- Rebooting Later"},
      {0, L"Exit Code Match -- Rebooting Now"},  {7, L"Exit Code Match -- Rebooting Now"}};
  for (const auto& [behavior, text] : table)
    EXPECT_STREQ(kx::prereq::reboot_match_text(behavior), text) << behavior;
}

TEST(CommandLineExpansion, ReplacesEveryTokenOnceIgnoringCase) {
  kx::prereq::expansion_values v;
  v.productLanguage = 1033;
  v.setupExeName = L"setup.exe";
  v.setupExeDir = L"D:\\media";
  v.prereqDir = L"C:\\t\\[KXPREREQDIR]";
  const std::pair<const wchar_t*, const wchar_t*> table[] = {
      {L"", L""},
      {L"/q", L"/q"},
      {L"/l [productlanguage] [SetupExeName] \"[SETUPEXEDIR]\\x\" [kxprereqdir]\\a.log",
       L"/l 1033 setup.exe \"D:\\media\\x\" C:\\t\\[KXPREREQDIR]\\a.log"},
      {L"[KXPREREQDIR][KXPREREQDIR]", L"C:\\t\\[KXPREREQDIR]C:\\t\\[KXPREREQDIR]"},
      {L"%s %n [ProductLanguage", L"%s %n [ProductLanguage"},
      {L"[[ProductLanguage]]", L"[1033]"}};
  for (const auto& [text, expected] : table)
    EXPECT_EQ(kx::prereq::expand_command_line(kx::string(text), v).str(), expected) << text;
}

}  // namespace
