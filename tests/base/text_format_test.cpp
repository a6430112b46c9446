#include "base/text_format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace kx {
namespace {

TEST(FormatTextTest, FormatsLikePrintfWhenTextAndArgumentsAgree) {
  const string product = L"Widget";
  EXPECT_EQ(FormatText(L"%s - Kestrix Wizard", {product}).str(), L"Widget - Kestrix Wizard");
  EXPECT_EQ(FormatText(L"Setup needs %lu KB free disk space in %s.", {1024UL, L"C:\\"}).str(),
            L"Setup needs 1024 KB free disk space in C:\\.");
  EXPECT_EQ(FormatText(L"%ld : 0x%x", {-5001L, 0x80070005UL}).str(), L"-5001 : 0x80070005");
  EXPECT_EQ(FormatText(L"100%% of %d", {3}).str(), L"100% of 3");
  EXPECT_EQ(FormatText(L"no placeholders", {}).str(), L"no placeholders");
}

// Every number conversion against the C library's own printf, for the
// flags, widths and precisions a translator may write.
TEST(FormatTextTest, NumbersMatchTheCLibrary) {
  const char* patterns[] = {"%d",    "%5d",  "%-5d|",  "%05d",  "%+d",   "% d",  "%.3d",
                            "%8.3d", "%.0d", "%x",     "%X",    "%#x",   "%#X",  "%o",
                            "%#o",   "%u",   "%-#8x|", "%+05d", "%+.4i", "%008d"};
  const int values[] = {0, 7, -7, 255, -2147483647 - 1, 2147483647, 4096};
  for (const char* p : patterns) {
    for (int v : values) {
      char expected[256];
      std::snprintf(expected, sizeof expected, p, v);
      const std::wstring pattern(p, p + std::char_traits<char>::length(p));
      const std::string e(expected);
      EXPECT_EQ(FormatText(pattern.c_str(), {v}).str(), std::wstring(e.begin(), e.end()))
          << p << " " << v;
    }
  }
}

TEST(FormatTextTest, AlternateOctalZeroFollowsTheCStandard) {
  // msvcrt writes nothing here; the standard keeps the zero the '#' asks for.
  EXPECT_EQ(FormatText(L"[%#.0o]", {0}).str(), L"[0]");
  EXPECT_EQ(FormatText(L"[%.0o]", {0}).str(), L"[]");
}

TEST(FormatTextTest, ReadsNumbersAtTheWidthTheyWerePassedWith) {
  // An HRESULT passed as a signed long shows its bits with %x and %u.
  EXPECT_EQ(FormatText(L"%x %u", {-2147024891L, -1}).str(), L"80070005 4294967295");
  // A 32-bit argument read by %lld stays the argument, not wider garbage.
  EXPECT_EQ(FormatText(L"%lld", {-1}).str(), L"-1");
  EXPECT_EQ(FormatText(L"%llu", {0xFFFFFFFFFFFFFFFFULL}).str(), L"18446744073709551615");
  EXPECT_EQ(FormatText(L"%d", {0x80000000U}).str(), L"-2147483648");
  EXPECT_EQ(FormatText(L"%hd %hu", {65537, -1}).str(), L"1 65535");
}

TEST(FormatTextTest, TextsTakeWidthAndPrecision) {
  EXPECT_EQ(FormatText(L"[%8s]", {L"abc"}).str(), L"[     abc]");
  EXPECT_EQ(FormatText(L"[%-8s]", {L"abc"}).str(), L"[abc     ]");
  EXPECT_EQ(FormatText(L"[%.2s]", {L"abc"}).str(), L"[ab]");
  EXPECT_EQ(FormatText(L"[%ls|%ws]", {L"a", L"b"}).str(), L"[a|b]");
  EXPECT_EQ(FormatText(L"[%s]", {static_cast<const wchar_t*>(nullptr)}).str(), L"[]");
}

// Texts from a medium's language file, mistranslated or hostile: nothing
// is read that the caller did not pass, and nothing is read as the wrong
// type.
TEST(FormatTextTest, HostileTextsStayLiteral) {
  const struct {
    const wchar_t* pattern;
    const wchar_t* result;
  } cases[] = {
      // A text placeholder where the caller passes a number, and back.
      {L"%s KB needed on %s", L"%s KB needed on C:"},
      {L"%ld KB needed on %ld", L"5 KB needed on %ld"},
      // More placeholders than arguments.
      {L"%ld KB on %s, %s and %d", L"5 KB on C:, %s and %d"},
      // Conversions that would write memory, read pointers or floats, or
      // take widths from the arguments.
      {L"%n%hn%p%f%e%c", L"%n%hn%p%f%e%c"},
      {L"%*d|%.*s", L"%*d|%.*s"},
      // Fields too wide to be meant, a bare '%' at the end, odd modifiers.
      {L"%101d|%.101s|%", L"%101d|%.101s|%"},
      {L"%hs %lls %wd %I64d", L"%hs %lls %wd %I64d"},
      // A trailing incomplete conversion.
      {L"%5", L"%5"},
      {L"%-", L"%-"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatText(c.pattern, {5L, L"C:"}).str(), c.result) << c.pattern;
}

TEST(FormatTextTest, AMismatchKeepsTheLaterPlaceholdersOnTheirArguments) {
  // The translator wrote %d for the drive: the number after it still finds
  // its own argument.
  EXPECT_EQ(FormatText(L"%s: %d, %d", {L"Widget", L"C:", 7}).str(), L"Widget: %d, 7");
}

TEST(FormatTextTest, ArgumentTextsAreNotFormattedAgain) {
  EXPECT_EQ(FormatText(L"%s and %d", {L"50%s %n", 3}).str(), L"50%s %n and 3");
}

TEST(FormatChosenTest, TheChooserPicksTheEncoderWrapsAndModifiersMayBeIgnored) {
  const TextArg wide(70000);
  const TextArg text(L"a b");
  // Texts only, each put in brackets; numbers stay as written.
  const auto texts_only = [&](ConversionKind kind) {
    return kind == ConversionKind::text ? &text : nullptr;
  };
  const auto bracket = [](string::view v) { return string(KXT("[")) + string(v) + KXT("]"); };
  EXPECT_EQ(FormatChosen(L"%d %5s %%", texts_only, bracket).str(), L"%d [  a b] %");
  // The other kind than the conversion asks for leaves it as written too.
  EXPECT_EQ(FormatChosen(L"%s", [&](ConversionKind) { return &wide; }).str(), L"%s");

  const auto number = [&](ConversionKind) { return &wide; };
  struct Row {
    const wchar_t* pattern;
    const wchar_t* printf_rules;
    const wchar_t* ignored;
  } rows[] = {
      {L"%hd", L"4464", L"70000"},  {L"%lld", L"70000", L"70000"}, {L"%hhd", L"%hhd", L"70000"},
      {L"%lhx", L"%lhx", L"11170"}, {L"%wd", L"%wd", L"%wd"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(FormatChosen(r.pattern, number).str(), r.printf_rules) << r.pattern;
    EXPECT_EQ(FormatChosen(r.pattern, number, nullptr, LengthModifiers::ignored).str(), r.ignored)
        << r.pattern;
  }
  EXPECT_EQ(FormatChosen(L"%hs|%ws", texts_only, nullptr, LengthModifiers::ignored).str(),
            L"a b|%ws");
}

TEST(InsertTextsTest, FillsNumberedPlaces) {
  const string::view product = L"Widget", prerequisite = L".NET";
  EXPECT_EQ(InsertTexts(L"%1 optionally uses %2. Would you like to install it now?",
                        {product, prerequisite})
                .str(),
            L"Widget optionally uses .NET. Would you like to install it now?");
  EXPECT_EQ(
      InsertTexts(L"%1 %4 of %2 %4 downloaded at %3 %4/sec", {L"12", L"40", L"1.5", L"MB"}).str(),
      L"12 MB of 40 MB downloaded at 1.5 MB/sec");
  // Translations may reorder the places.
  EXPECT_EQ(InsertTexts(L"%2 <- %1", {L"a", L"b"}).str(), L"b <- a");
}

TEST(InsertTextsTest, HostileTextsStayLiteral) {
  const struct {
    const wchar_t* pattern;
    const wchar_t* result;
  } cases[] = {
      {L"%3 and %9", L"%3 and %9"},  // places beyond the texts given
      {L"%0 %a %s %d %n", L"%0 %a %s %d %n"},
      {L"100%% %", L"100% %"},
      {L"%12", L"x2"},  // one digit names the place
      {L"%", L"%"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(InsertTexts(c.pattern, {L"x", L"y"}).str(), c.result) << c.pattern;
  // An inserted text is not searched for places again.
  EXPECT_EQ(InsertTexts(L"%1 / %2", {L"%2%1", L"b"}).str(), L"%2%1 / b");
}

}  // namespace
}  // namespace kx
