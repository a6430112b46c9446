// The sample English language file that media builders start from must say
// what the built-in table says, under the same ids, or a medium built from it
// would show other texts than a medium without it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <utility>
#include <vector>

#include "base/inifilex.h"
#include "launcher/language.h"
#include "launcher/language_win.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

// The file in the source tree, reached through Wine's Z: drive.
std::wstring SampleFile() {
  return testing::BuildMachinePath(KX_SAMPLE_LANGUAGE_FILE);
}

// Every id of the built-in table, as ranges.
std::vector<UINT> TableIds() {
  const std::pair<UINT, UINT> ranges[] = {
      {1100, 1108}, {1125, 1134}, {1150, 1156}, {1158, 1158}, {1200, 1208}, {1210, 1210},
      {1604, 1604}, {1607, 1609}, {1611, 1635}, {1642, 1646}, {1648, 1669}, {1671, 1671},
      {1702, 1708}, {1710, 1715}, {1804, 1804}, {1812, 1813}, {1815, 1815}, {1822, 1822},
      {1834, 1835}, {1837, 1842}, {1854, 1854}, {1865, 1866}, {1872, 1874}, {1880, 1880},
      {1887, 1889}, {1901, 1901}, {1903, 1910}, {2001, 2012}, {2143, 2144}, {2146, 2148},
      {2151, 2153}, {2156, 2156}, {2194, 2196}};
  std::vector<UINT> ids;
  for (const auto& [first, last] : ranges)
    for (UINT id = first; id <= last; ++id) ids.push_back(id);
  return ids;
}

HMODULE Self() {
  return GetModuleHandleW(nullptr);
}

TEST(SampleLanguageFileTest, IsUtf16WithMarkAndCrlf) {
  const std::string bytes = testing::ReadBytes(SampleFile());
  ASSERT_GE(bytes.size(), 4u) << "missing: " << SampleFile();
  ASSERT_EQ(bytes.size() % 2, 0u);
  EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE"));
  const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2),
                          (bytes.size() - 2) / 2);
  for (size_t at = text.find(L'\n'); at != std::wstring::npos; at = text.find(L'\n', at + 1))
    ASSERT_TRUE(at > 0 && text[at - 1] == L'\r') << "bare line feed at character " << at;
  EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
}

TEST(SampleLanguageFileTest, HoldsExactlyTheBuiltInTexts) {
  inifilex file;
  ASSERT_TRUE(file.load(SampleFile().c_str(), L"=", false)) << file.last_error();
  inifilex::key_values entries;
  file.get_keys(LanguageKey(0x0409), entries);

  const std::vector<UINT> ids = TableIds();
  ASSERT_EQ(ids.size(), 163u);
  ASSERT_EQ(entries.size(), ids.size());
  for (size_t i = 0; i < ids.size(); ++i) {
    EXPECT_EQ(entries[i].first.str(), std::to_wstring(ids[i]));
    const string built_in = ResourceString(Self(), ids[i], 0x0409);
    EXPECT_FALSE(built_in.empty()) << ids[i];
    EXPECT_EQ(entries[i].second.str(), built_in.str()) << ids[i];
  }
}

TEST(SampleLanguageFileTest, TheBuiltInTableHasNoOtherIds) {
  const std::vector<UINT> ids = TableIds();
  for (UINT id = 1000; id < 2300; ++id) {
    const bool listed = std::find(ids.begin(), ids.end(), id) != ids.end();
    if (!listed) {
      EXPECT_TRUE(ResourceString(Self(), id, 0x0409).empty()) << id;
    }
  }
}

TEST(SampleLanguageFileTest, KeepsThePlaceholdersTheCallersFill) {
  // Callers format these texts with fixed arguments; a lost or added
  // placeholder would misplace or drop them.
  const struct {
    UINT id;
    const wchar_t* placeholders;
  } cases[] = {
      {1102, L"%1%2"}, {1152, L"%s"},    {1201, L"%lu%s"}, {1608, L"%d"}, {1623, L"%1%4%2%4%3%4"},
      {1652, L"%s"},   {1669, L"%1%2"},  {1887, L"%s"},    {2001, L"%s"}, {2004, L"%s"},
      {2005, L"%s"},   {2008, L"%ld%s"}, {2009, L""},      {2010, L""},   {2011, L"%s"},
      {2012, L"%s"},   {1815, L""},      {1622, L""},
  };
  for (const auto& c : cases) {
    const std::wstring text = ResourceString(Self(), c.id, 0x0409).str();
    std::wstring found;
    for (size_t at = text.find(L'%'); at != std::wstring::npos; at = text.find(L'%', at + 1)) {
      size_t end = at + 1;
      while (end < text.size() && (text[end] == L'l' || iswdigit(text[end]))) ++end;
      if (end < text.size() && (text[end] == L's' || text[end] == L'd' || text[end] == L'u')) ++end;
      found += text.substr(at, end - at);
    }
    EXPECT_EQ(found, c.placeholders) << c.id << ": " << text;
  }
}

TEST(SampleLanguageFileTest, NamesTheCommonLanguages) {
  inifilex file;
  ASSERT_TRUE(file.load(SampleFile().c_str(), L"=", false));
  EXPECT_EQ(file.get_string(L"Languages", L"0x0409", L"").str(), L"English");
  EXPECT_EQ(file.get_string(L"Languages", L"0x0407", L"").str(), L"German");
  EXPECT_EQ(file.get_string(L"Languages", L"0x040c", L"").str(), L"French");
  EXPECT_EQ(file.get_string(L"Languages", L"0x0411", L"").str(), L"Japanese");
  inifilex::key_values names;
  file.get_keys(L"Languages", names);
  EXPECT_GE(names.size(), 30u);
  for (const auto& [key, name] : names) {
    const std::uint16_t id = static_cast<std::uint16_t>(std::wcstoul(key.c_str() + 2, nullptr, 16));
    EXPECT_EQ(key.str(), LanguageKey(id).str()) << "keys are written 0x%04x";
    EXPECT_FALSE(name.empty()) << key.str();
  }
}

}  // namespace
}  // namespace kx
