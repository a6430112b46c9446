#include <gtest/gtest.h>

#include "launcher/engine_host_text.h"
#include "launcher/setup_settings.h"

namespace kx {
namespace {

TEST(EngineHostTextTest, ArgumentTextAddsTheLanguageAndTheWebSwitch) {
  SetupSettings s;
  s.CommandLineArguments = L" /s -package:\"C:\\m\\setup.exe\"";
  s.ChosenLanguage = 0x0409;
  EXPECT_EQ(EngineArgumentText(s).str(), L" /s -package:\"C:\\m\\setup.exe\" -sel_lang0409");
  s.ChosenLanguage = 0x0c0a;
  s.InstallFromWeb = true;
  EXPECT_EQ(EngineArgumentText(s).str(),
            L" /s -package:\"C:\\m\\setup.exe\" -sel_lang0c0a -internet");
  s.CommandLineArguments.clear();
  s.InstallFromWeb = false;
  s.ChosenLanguage = 7;
  EXPECT_EQ(EngineArgumentText(s).str(), L" -sel_lang0007");
}

TEST(EngineHostTextTest, PlatformFlagsFollowTheNativeArchitecture) {
  EXPECT_EQ(EnginePlatformFlags(PROCESSOR_ARCHITECTURE_INTEL), 0x1000);
  EXPECT_EQ(EnginePlatformFlags(PROCESSOR_ARCHITECTURE_AMD64), 0x800);
  EXPECT_EQ(EnginePlatformFlags(PROCESSOR_ARCHITECTURE_IA64), 0x400);
  EXPECT_EQ(EnginePlatformFlags(PROCESSOR_ARCHITECTURE_ARM64), 0x800);
  EXPECT_EQ(EnginePlatformFlags(PROCESSOR_ARCHITECTURE_ARM), 0x1000);
}

TEST(EngineHostTextTest, FoldersLoseTheirTrailingBackslashButRootsKeepIt) {
  EXPECT_EQ(FolderWithoutBackslash(L"C:\\Temp\\run\\").str(), L"C:\\Temp\\run");
  EXPECT_EQ(FolderWithoutBackslash(L"C:\\Temp\\run\\\\").str(), L"C:\\Temp\\run");
  EXPECT_EQ(FolderWithoutBackslash(L"C:\\Temp").str(), L"C:\\Temp");
  EXPECT_EQ(FolderWithoutBackslash(L"C:\\").str(), L"C:\\");
  EXPECT_EQ(FolderWithoutBackslash(L"").str(), L"");
}

TEST(EngineHostTextTest, VolumesOfDrivesAndShares) {
  EXPECT_EQ(VolumeRoot(L"C:\\Program Files\\Demo").str(), L"C:\\");
  EXPECT_EQ(VolumeRoot(L"d:").str(), L"d:\\");
  EXPECT_EQ(VolumeRoot(L"\\\\server\\share\\folder").str(), L"\\\\server\\share\\");
  EXPECT_EQ(VolumeRoot(L"\\\\server\\share").str(), L"\\\\server\\share\\");
  EXPECT_EQ(VolumeRoot(L"\\\\server").str(), L"");
  EXPECT_EQ(VolumeRoot(L"\\\\\\share").str(), L"");
  EXPECT_EQ(VolumeRoot(L"relative\\folder").str(), L"");
  EXPECT_EQ(VolumeRoot(L"").str(), L"");
  EXPECT_EQ(DriveName(L"C:\\").str(), L"C:");
  EXPECT_EQ(DriveName(L"\\\\server\\share\\").str(), L"\\\\server\\share");
}

TEST(EngineHostTextTest, ShortfallCountsWholeKilobytes) {
  EXPECT_EQ(ShortfallKb(10 * 1024, 20 * 1024), 0u);
  EXPECT_EQ(ShortfallKb(20 * 1024, 20 * 1024), 0u);
  EXPECT_EQ(ShortfallKb(20 * 1024 + 1023, 20 * 1024), 0u) << "a part of a KB is not counted";
  EXPECT_EQ(ShortfallKb(30 * 1024, 20 * 1024 + 1023), 10u);
  EXPECT_EQ(ShortfallKb(1ull << 60, 0), 1ull << 50);
}

TEST(EngineHostTextTest, DiskSpaceMessageFillsItsTwoPlaces) {
  const string message =
      L"There is not enough space to initialize the setup.  Please free up at least %ld KB on "
      L"your %s drive before you run the setup.";
  EXPECT_EQ(FillDiskSpaceMessage(message, 1234, L"C:").str(),
            L"There is not enough space to initialize the setup.  Please free up at least 1234 KB "
            L"on your C: drive before you run the setup.");
  // More than 32 bits of kilobytes are written whole.
  EXPECT_EQ(FillDiskSpaceMessage(L"%ld KB", 1ull << 50, L"C:").str(), L"1125899906842624 KB");
}

TEST(EngineHostTextTest, DiskSpaceMessageTakesHostileTemplatesLiterally) {
  EXPECT_EQ(FillDiskSpaceMessage(L"%s needs %ld KB", 5, L"D:").str(), L"D: needs 5 KB");
  EXPECT_EQ(FillDiskSpaceMessage(L"%n%x%d %ls 100%%", 5, L"D:").str(), L"%n%x%d %ls 100%");
  EXPECT_EQ(FillDiskSpaceMessage(L"%ld %ld %s %s %", 5, L"D:").str(), L"5 5 D: D: %");
  EXPECT_EQ(FillDiskSpaceMessage(L"", 5, L"D:").str(), L"");
}

}  // namespace
}  // namespace kx
