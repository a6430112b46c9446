#include "ui/image/splash_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kx {
namespace {

std::vector<std::wstring> wide(const std::vector<string>& v) {
  std::vector<std::wstring> r;
  for (const string& s : v) r.emplace_back(s.begin(), s.end());
  return r;
}

TEST(SplashRules, CandidatesLanguageFolderFirst) {
  struct Case {
    const wchar_t* medium;
    std::uint16_t language;
    std::vector<std::wstring> paths;
  };
  const Case cases[] = {
      {L"d:\\m",
       0x0409,
       {L"d:\\m\\setupdir\\0409\\setup.bmp", L"d:\\m\\setupdir\\0409\\setup.gif",
        L"d:\\m\\setup.bmp", L"d:\\m\\setup.gif"}},
      {L"d:\\m\\",
       0x0C0A,  // lower-case hexadecimal digits
       {L"d:\\m\\setupdir\\0c0a\\setup.bmp", L"d:\\m\\setupdir\\0c0a\\setup.gif",
        L"d:\\m\\setup.bmp", L"d:\\m\\setup.gif"}},
      {L"x",
       0,
       {L"x\\setupdir\\0000\\setup.bmp", L"x\\setupdir\\0000\\setup.gif", L"x\\setup.bmp",
        L"x\\setup.gif"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(wide(SplashCandidates(string(c.medium), c.language)), c.paths);
}

TEST(SplashRules, Palette) {
  std::vector<std::uint32_t> system(20);
  for (std::uint32_t i = 0; i < 20; ++i) system[i] = 0x100000u + i;
  auto table = [](std::size_t n) {
    std::vector<std::uint32_t> t(n);
    for (std::size_t i = 0; i < n; ++i) t[i] = static_cast<std::uint32_t>(i);
    return t;
  };
  struct Case {
    int bits;
    std::size_t colours;
    bool halftone;
    std::size_t entries;
    std::size_t own;  // bitmap colours after the first 10 system ones
  };
  const Case cases[] = {
      {24, 0, true, 0, 0},    {32, 256, true, 0, 0},     {8, 256, false, 256, 0},
      {8, 16, false, 36, 16}, {8, 240, false, 256, 236}, {4, 16, false, 36, 16},
      {1, 2, false, 22, 2},   {8, 0, false, 20, 0},
  };
  for (const Case& c : cases) {
    const SplashPalette p = MakeSplashPalette(c.bits, table(c.colours), system);
    EXPECT_EQ(p.halftone, c.halftone) << c.bits << " " << c.colours;
    ASSERT_EQ(p.entries.size(), c.entries) << c.bits << " " << c.colours;
    if (c.halftone) continue;
    if (c.colours >= 256) {
      EXPECT_EQ(p.entries, table(256));
      continue;
    }
    for (std::size_t i = 0; i < 10; ++i) {
      EXPECT_EQ(p.entries[i], system[i]);
      EXPECT_EQ(p.entries[10 + c.own + i], system[10 + i]);
    }
    for (std::size_t i = 0; i < c.own; ++i) EXPECT_EQ(p.entries[10 + i], i);
  }
  // A short system palette reads as black where it ends.
  const SplashPalette p = MakeSplashPalette(8, table(1), std::vector<std::uint32_t>(3, 7));
  ASSERT_EQ(p.entries.size(), 21u);
  EXPECT_EQ(p.entries[2], 7u);
  EXPECT_EQ(p.entries[3], 0u);
  EXPECT_EQ(p.entries[20], 0u);
}

}  // namespace
}  // namespace kx
