#include "prereq/msi_arguments.h"

#include <gtest/gtest.h>

namespace {

using kx::prereq::parse_msi_arguments;

struct ArgumentCase {
  const wchar_t* arguments;
  std::uint32_t level;
  std::uint32_t mode;
  std::uint32_t attributes;
  const wchar_t* file;
  const wchar_t* remaining;
};

class MsiArgumentsTable : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(MsiArgumentsTable, TakesOutTheSwitches) {
  const ArgumentCase& c = GetParam();
  const kx::prereq::msi_arguments a = parse_msi_arguments(kx::string(c.arguments));
  EXPECT_EQ(a.uiLevel, c.level);
  EXPECT_EQ(a.logMode, c.mode);
  EXPECT_EQ(a.logAttributes, c.attributes);
  EXPECT_EQ(a.logFile.str(), c.file);
  EXPECT_EQ(a.remaining.str(), c.remaining);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, MsiArgumentsTable,
    ::testing::Values(
        ArgumentCase{L"", 2, 0, 0, L"", L""}, ArgumentCase{L"P=1", 2, 0, 0, L"", L"P=1"},
        ArgumentCase{L"/qb! /l*v log.txt P=1", 3 | 0x20, 0xFDF | 0x1000, 0, L"log.txt", L" P=1"},
        ArgumentCase{L"/passive", 35, 0, 0, L"", L" REBOOTPROMPT=S"},
        ArgumentCase{L"/qn+", 2 | 0x80, 0, 0, L"", L""}, ArgumentCase{L"/QUIET", 2, 0, 0, L"", L""},
        ArgumentCase{L"/q", 2, 0, 0, L"", L""}, ArgumentCase{L"/qf", 5, 0, 0, L"", L""},
        ArgumentCase{L"/qr-", 4 | 0x40, 0, 0, L"", L""}, ArgumentCase{L"/qx", 2, 0, 0, L"", L""},
        ArgumentCase{L"/log f", 2, 0xFDF, 0, L"f", L""},
        ArgumentCase{L"/L!+ie x.log", 2, 0x12, 3, L"x.log", L""},
        ArgumentCase{L"/lamopruwxcq \"m.log\"", 2, 0x2F8D, 0, L"m.log", L""},
        ArgumentCase{L"/l*v \"C:\\a b\\m.log\" X=2", 2, 0x1FDF, 0, L"C:\\a b\\m.log", L" X=2"},
        ArgumentCase{L"/l*v", 2, 0, 0, L"", L"/l*v"},
        ArgumentCase{L"/l*v \"\"", 2, 0, 0, L"", L"/l*v \"\""},
        // msiexec's restart switches are not properties: passed on, the
        // Installer refuses the whole command line (1639).
        ArgumentCase{L"/q /norestart", 2, 0, 0, L"", L" REBOOT=ReallySuppress"},
        ArgumentCase{L"/ForceRestart A=1", 2, 0, 0, L"", L" A=1 REBOOT=Force"},
        ArgumentCase{L"/promptrestart", 2, 0, 0, L"", L" REBOOTPROMPT=\"\""},
        ArgumentCase{L"/passive /norestart", 35, 0, 0, L"",
                     L" REBOOTPROMPT=S REBOOT=ReallySuppress"},
        // Only whole words at the start or after a blank, outside quotes.
        ArgumentCase{L"DIR=\"C:\\x /qb\" A=/qb", 2, 0, 0, L"", L"DIR=\"C:\\x /qb\" A=/qb"},
        ArgumentCase{L"X=\"a  b\"  /qb  Y=1", 3, 0, 0, L"", L"X=\"a  b\" Y=1"},
        ArgumentCase{L"/x /norestartnow", 2, 0, 0, L"", L"/x /norestartnow"}));

}  // namespace
