#include "platform/system_language.h"

#include <gtest/gtest.h>

#include "tests/testing/registry_sandbox.h"

namespace kx {
namespace {

using testing::RegistrySandbox;

constexpr wchar_t kResourceLocale[] = L".Default\\Control Panel\\desktop\\ResourceLocale";
constexpr wchar_t kInternational[] = L".DEFAULT\\Control Panel\\International";

LANGID WINAPI german() {
  return 0x0407;
}

TEST(SystemLanguageTest, ParsesLocaleTexts) {
  const struct {
    const wchar_t* text;
    LANGID language;
  } cases[] = {
      {L"00000407", 0x0407},
      {L"409", 0x0409},
      {L"0x0411", 0x0411},
      {L"00010407", 0x0407},
      {L" 0000040c ", 0x040C},
      {L"", 0},
      {L"zz", 0},
      {L"0407x", 0},
      {L"-407", 0},
      {L"000000000407", 0},
      {L"00000000", 0},
      {L"0x", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(language_from_locale_text(c.text), c.language) << std::hex << c.language;
  EXPECT_EQ(language_from_locale_text(nullptr), 0);
}

TEST(SystemLanguageTest, AsksKernel32WhenItHasTheFunction) {
  EXPECT_EQ(system_ui_language_from(&german), 0x0407);
  EXPECT_EQ(system_ui_language(), GetSystemDefaultUILanguage());
}

TEST(SystemLanguageTest, WithoutTheFunctionReadsTheDefaultUsersLocale) {
  RegistrySandbox sandbox(RegistrySandbox::kUsers);
  // Nothing stored: English (United States).
  EXPECT_EQ(system_ui_language_from(nullptr), 0x0409);

  ASSERT_EQ(RegistrySandbox::SetString(HKEY_USERS, kInternational, L"Locale", L"00000411"), 0);
  EXPECT_EQ(system_ui_language_from(nullptr), 0x0411);

  // ResourceLocale comes first.
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_USERS, kResourceLocale, L"", L"0000040C"), 0);
  EXPECT_EQ(system_ui_language_from(nullptr), 0x040C);

  // An unreadable ResourceLocale falls through to Locale.
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_USERS, kResourceLocale, L"", L"not hex"), 0);
  EXPECT_EQ(system_ui_language_from(nullptr), 0x0411);
  ASSERT_EQ(RegistrySandbox::SetDword(HKEY_USERS, kResourceLocale, L"", 0x0407), 0);
  EXPECT_EQ(system_ui_language_from(nullptr), 0x0411);

  ASSERT_EQ(RegistrySandbox::SetString(HKEY_USERS, kInternational, L"Locale", L""), 0);
  EXPECT_EQ(system_ui_language_from(nullptr), 0x0409);
}

}  // namespace
}  // namespace kx
