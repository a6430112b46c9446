#include "platform/version_info.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "tests/testing/probe_support.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

// kx_probe.exe carries the resource: translations 0407/1200 then 0409/1252,
// with different texts in the two blocks.
TEST(VersionInfoTest, ReadsFixedInformationAndTranslations) {
  version_info info;
  ASSERT_TRUE(info.load(string(testing::ProbePath())));
  EXPECT_TRUE(info.loaded());
  EXPECT_EQ(info.fixed().dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(info.fixed().dwFileVersionMS, 0x000C0000u);
  EXPECT_EQ(info.fixed().dwFileVersionLS, (3456u << 16) | 7u);
  EXPECT_EQ(info.fixed().dwProductVersionMS, 0x000C0000u);
  ASSERT_EQ(info.translations().size(), 2u);
  EXPECT_EQ(info.translations()[0].language, 0x0407);
  EXPECT_EQ(info.translations()[0].code_page, 1200);
  EXPECT_EQ(info.translations()[1].language, 0x0409);
  EXPECT_EQ(info.translations()[1].code_page, 1252);
}

TEST(VersionInfoTest, StringLookupOrder) {
  version_info info;
  ASSERT_TRUE(info.load(string(testing::ProbePath())));
  // Both blocks have it: the first translation wins.
  EXPECT_EQ(info.string(L"Comments").str(), L"M\u00fcnchen");
  // Only the second block has it.
  EXPECT_EQ(info.string(L"KXInternalVersion"), L"12.0.3456.7-probe");
  EXPECT_EQ(info.string(L"kxinternalversion"), L"12.0.3456.7-probe");
  // A full path is tried first.
  EXPECT_EQ(info.string(L"\\StringFileInfo\\040904E4\\Comments"), L"test probe");
  EXPECT_EQ(info.string(L"\\StringFileInfo\\040904E4\\EmptyValue"), L"");
  EXPECT_EQ(info.string(L"EmptyValue"), L"");
  EXPECT_EQ(info.string(L"NoSuchValue"), L"");
}

TEST(VersionInfoTest, FilesWithoutAResource) {
  testing::ScopedTempDir dir;
  const std::wstring text = dir.file(L"plain.txt");
  ASSERT_TRUE(testing::WriteBytes(text, "no resource here"));

  version_info info;
  ASSERT_TRUE(info.load(string(testing::ProbePath())));
  EXPECT_FALSE(info.load(string(text)));
  EXPECT_FALSE(info.loaded());
  EXPECT_TRUE(info.translations().empty());
  EXPECT_EQ(info.fixed().dwFileVersionMS, 0u);
  EXPECT_EQ(info.string(L"KXInternalVersion"), L"");
  EXPECT_FALSE(info.load(string(dir.file(L"missing.dll"))));

  EXPECT_EQ(file_internal_version(string(testing::ProbePath())), L"12.0.3456.7-probe");
  EXPECT_EQ(file_internal_version(string(text)), L"");
  EXPECT_EQ(file_internal_version(string(dir.file(L"missing.dll"))), L"");
}

}  // namespace
}  // namespace kx
