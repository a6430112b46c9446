#include "base/inifilex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kx {
namespace {

// The document as "[name]key=value;key=value;" per section, every value in
// angle brackets so that blanks show.
std::wstring dump(const inifilex& ini) {
  std::wstring out;
  for (const auto& [name, section] : ini.sections()) {
    out += L"[" + name.str() + L"]";
    for (const auto& [key, entry] : section.entries)
      out += key.str() + L"=<" + entry.value.str() + L">;";
  }
  return out;
}

std::wstring joined(const std::vector<string>& lines) {
  std::wstring out;
  for (const string& line : lines) out += line.str() + L"|";
  return out;
}

TEST(InifilexTest, ParsesLines) {
  struct row {
    std::wstring text;
    bool ok;
    std::wstring document;
  };
  const std::vector<row> rows = {
      // A repeated header merges; the first occurrence of a key wins.
      {L"[A]\r\nx=1\r\n[a]\r\nX=2\r\ny=3\r\n", true, L"[A]x=<1>;y=<3>;"},
      {L"[A]\nx=1\n[Sec\nz=1\n", false, L"[A]x=<1>;"},  // no ']': stops, keeps A
      {L"k=v\n[A]\n", false, L""},                      // key before any section
      {L"   \n[A]\n", false, L""},                      // so is a line of blanks
      {L"[A]\n   \n", true, L"[A]   =<>;"},             // inside: a key of blanks
      {L"[A]\nk=a=b", true, L"[A]k=<a=b>;"},
      {L"[A]\n k = v \n", true, L"[A] k =< v >;"},  // nothing is trimmed
      {L"[A]\nk=v;not a comment\n;comment\n", true, L"[A]k=<v;not a comment>;"},
      {L"[A]\n  ;x\n", true, L"[A]  ;x=<>;"},  // ';' only comments at the start
      {L"[A]\nbare\n", true, L"[A]bare=<>;"},
      {L"[A]\n=v\n", true, L"[A]=<v>;"},
      {L"[A]junk after\nk=v", true, L"[A]k=<v>;"},
      {L"[a]b]\n[]\nk=v\n", true, L"[a][]k=<v>;"},
      {L"[A]\rk=1\r\rj=2\n\nl=3\r\n\r\nm=4", true, L"[A]k=<1>;j=<2>;l=<3>;m=<4>;"},
      {L"[A]\r\n[B]\r\n", true, L"[A][B]"},
      {L"", true, L""},
      {L"\r\n\n;only comments\n", true, L""},
      {L"[A]\nk=1\nK=2\n", true, L"[A]k=<1>;"},
  };
  for (const row& r : rows) {
    inifilex ini;
    EXPECT_EQ(ini.parse(string(r.text).as_view()), r.ok) << r.text;
    EXPECT_EQ(dump(ini), r.document) << r.text;
  }
}

TEST(InifilexTest, OtherSeparatorsTakeTheWholeSeparator) {
  inifilex ini;
  ini.set_separator(L": ");
  ASSERT_TRUE(ini.parse(L"[A]\nkey: value\nk:v\n"));
  EXPECT_EQ(dump(ini), L"[A]key=<value>;k:v=<>;");
  EXPECT_EQ(joined(ini.lines()), L"[A]|key: value|k:v: |");
  // A separator that begins as it ends ("==") must not swallow the end of
  // a key that has no value.
  ini.set_separator(L"==");
  ASSERT_TRUE(ini.parse(L"[A]\nk=\nx==1\n"));
  EXPECT_EQ(dump(ini), L"[A]k==<>;x=<1>;");
  EXPECT_EQ(joined(ini.lines()), L"[A]|k=|x==1|");
  ini.set_separator(L"");
  EXPECT_EQ(ini.separator(), L"=");
}

TEST(InifilexTest, BuildsTheLinesThatSaveWrites) {
  inifilex ini;
  ASSERT_TRUE(ini.parse(L"[A]\nk=v\nbare\n=empty key\n[B]\nx=\n"));
  EXPECT_EQ(joined(ini.lines()), L"[A]|k=v|bare=|=empty key||[B]|x=|");
  inifilex bare;
  bare.set_bare_keys(true);
  ASSERT_TRUE(bare.parse(L"[A]\nk=v\nbare\n=\n"));
  EXPECT_EQ(joined(bare.lines()), L"[A]|k=v|bare|=|");
}

TEST(InifilexTest, LineBreaksInsideAValueCannotAddLines) {
  inifilex ini;
  ini.set_string(L"S", L"Info", L"first\r\nsecond\n[Evil]\rx=1\r\n");
  ini.set_string(L"S\nT", L"k\r", L"v");
  EXPECT_EQ(joined(ini.lines()), L"[S]|Info=first second [Evil] x=1 ||[S T]|k =v|");
  inifilex again;
  std::wstring text;
  for (const string& line : ini.lines()) text += line.str() + L"\r\n";
  ASSERT_TRUE(again.parse(string(text).as_view()));
  EXPECT_EQ(dump(again), L"[S]Info=<first second [Evil] x=1 >;[S T]k =<v>;");
}

// The number rules themselves are read_hex_or_decimal's (number_text_test).
TEST(InifilexTest, GetIntReadsHexOrDecimalAndFallsBackWhenEmptyOrMissing) {
  struct row {
    const wchar_t* value;
    int result;
  };
  inifilex ini;
  for (const row& r : {row{L"0x1F", 31}, row{L"-7", -7}, row{L"abc", 0}}) {
    ini.set_string(L"S", L"k", r.value);
    EXPECT_EQ(ini.get_int(L"s", L"K", -99), r.result) << r.value;
  }
  ini.set_string(L"S", L"k", L"");
  EXPECT_EQ(ini.get_int(L"S", L"k", -99), -99);
  EXPECT_EQ(ini.get_int(L"S", L"missing", 5), 5);
  EXPECT_EQ(ini.get_int(L"missing", L"k", 6), 6);
  ini.set_int(L"S", L"n", -12);
  EXPECT_EQ(ini.get_string(L"S", L"n", L""), L"-12");
}

TEST(InifilexTest, GetBoolKnowsFourTrueWords) {
  struct row {
    std::wstring value;
    bool result;
  };
  const std::vector<row> rows = {
      {L"yes", true}, {L"TRUE", true}, {L"1", true},  {L"y", true},     {L"Yes", true},
      {L"On", false}, {L"no", false},  {L"0", false}, {L"Yes ", false}, {L"2", false},
  };
  inifilex ini;
  for (const row& r : rows) {
    ini.set_string(L"S", L"b", string(r.value));
    EXPECT_EQ(ini.get_bool(L"S", L"b", !r.result), r.result) << r.value;
  }
  ini.set_string(L"S", L"b", L"");
  EXPECT_TRUE(ini.get_bool(L"S", L"b", true));
  EXPECT_FALSE(ini.get_bool(L"S", L"b", false));
  ini.set_bool(L"S", L"t", true);
  ini.set_bool(L"S", L"f", false);
  EXPECT_EQ(ini.get_string(L"S", L"t", L""), L"Yes");
  EXPECT_EQ(ini.get_string(L"S", L"f", L""), L"No");
}

TEST(InifilexTest, GettersCreateNothingAndSettersAppend) {
  inifilex ini;
  EXPECT_EQ(ini.get_string(L"S", L"k", L"dflt"), L"dflt");
  EXPECT_FALSE(ini.section_exists(L"S"));
  EXPECT_FALSE(ini.key_exists(L"S", L"k"));
  EXPECT_FALSE(ini.modified());
  ini.set_string(L"S", L"b", L"2");
  ini.set_string(L"S", L"a", L"1");
  ini.set_string(L"s", L"B", L"3");  // same key, any case: assigned in place
  EXPECT_TRUE(ini.modified());
  EXPECT_EQ(dump(ini), L"[S]b=<3>;a=<1>;");
  ini.set_string(L"S", L"e", L"");
  EXPECT_EQ(ini.get_string(L"S", L"e", L"dflt"), L"");  // an empty value exists
  ini.set_section_values(L"T", {{L"x", L"1"}, {L"y", L"2"}, {L"X", L"3"}});
  EXPECT_EQ(dump(ini), L"[S]b=<3>;a=<1>;e=<>;[T]x=<3>;y=<2>;");
  inifilex::key_values keys = {{L"pre", L"existing"}};
  ini.get_keys(L"t", keys);
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[1].first, L"x");
  EXPECT_EQ(keys[2].second, L"2");
  ini.set_modified(false);
  ini.add_section(L"s");
  EXPECT_FALSE(ini.modified());  // it existed
  ini.add_section(L"U");
  EXPECT_TRUE(ini.modified());
  inifilex::names names;
  ini.get_sections(names);
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[2], L"U");
}

TEST(InifilexTest, NumberedValues) {
  inifilex ini;
  ASSERT_TRUE(
      ini.parse(L"[P]\nPreReq1=one\nPreReq2=two\nPreReq4=four\n"
                L"[Q]\nItem0=zero\nItem1=one\nItem3=three\nFixed=f\n%s0=s\n"));
  inifilex::names values;
  ini.get_numbered_values(L"P", L"PreReq%d", values);  // gap at 0 is allowed
  EXPECT_EQ(values, (inifilex::names{L"one", L"two"}));
  values.clear();
  ini.get_numbered_values(L"q", L"item%d", values);  // stops at the first gap after 0
  EXPECT_EQ(values, (inifilex::names{L"zero", L"one"}));
  values.clear();
  ini.get_numbered_values(L"Q", L"Fixed", values);  // no conversion: one key, once
  EXPECT_EQ(values, (inifilex::names{L"f"}));
  values.clear();
  ini.get_numbered_values(L"Q", L"%s%d", values);  // %s is not read as an argument
  EXPECT_EQ(values, (inifilex::names{L"s"}));
  values.clear();
  ini.get_numbered_values(L"Missing", L"Item%d", values);
  ini.get_numbered_values(L"P", L"None%d", values);
  EXPECT_TRUE(values.empty());
}

TEST(InifilexTest, RenamesInPlace) {
  inifilex ini;
  ASSERT_TRUE(ini.parse(L"[A]\nk=1\nj=2\n[B]\n[C]\n"));
  EXPECT_TRUE(ini.rename_section(L"b", L"b"));  // same name
  EXPECT_FALSE(ini.modified());
  EXPECT_FALSE(ini.rename_section(L"A", L"c"));  // taken
  EXPECT_FALSE(ini.rename_section(L"Z", L"Y"));  // missing
  EXPECT_TRUE(ini.rename_section(L"B", L"Bee"));
  EXPECT_TRUE(ini.modified());
  EXPECT_EQ(dump(ini), L"[A]k=<1>;j=<2>;[Bee][C]");
  EXPECT_TRUE(ini.rename_key(L"A", L"K", L"k"));
  EXPECT_FALSE(ini.rename_key(L"A", L"k", L"J"));
  EXPECT_FALSE(ini.rename_key(L"A", L"x", L"y"));
  EXPECT_FALSE(ini.rename_key(L"Z", L"k", L"y"));
  EXPECT_TRUE(ini.rename_key(L"A", L"k", L"kay"));
  EXPECT_EQ(dump(ini), L"[A]kay=<1>;j=<2>;[Bee][C]");
  EXPECT_EQ(ini.get_string(L"A", L"KAY", L""), L"1");
}

TEST(InifilexTest, RenamesSectionsByPrefix) {
  inifilex ini;
  ASSERT_TRUE(ini.parse(L"[Old.A]\n[other]\n[old.B]\n[New.B]\n[A1]\n"));
  ini.rename_sections(L"OLD.", L"New.");
  // old.B would become New.B, which exists: it keeps its name.
  EXPECT_EQ(dump(ini), L"[New.A][other][old.B][New.B][A1]");
  // A new name that still begins with the old prefix is renamed once.
  ini.rename_sections(L"A", L"AB");
  EXPECT_EQ(dump(ini), L"[New.A][other][old.B][New.B][AB1]");
}

TEST(InifilexTest, DeletesAndClears) {
  inifilex ini;
  ASSERT_TRUE(ini.parse(L"[Tmp1]\nk=1\n[Keep]\nk=1\nj=2\n[tmp2]\n"));
  EXPECT_FALSE(ini.delete_key(L"Keep", L"x"));
  EXPECT_FALSE(ini.delete_key(L"None", L"k"));
  EXPECT_FALSE(ini.modified());
  EXPECT_TRUE(ini.delete_key(L"keep", L"K"));
  EXPECT_TRUE(ini.modified());
  inifilex::names found = {L"already"};
  EXPECT_EQ(ini.find_sections(found, L"TMP"), 3u);
  EXPECT_EQ(found, (inifilex::names{L"already", L"Tmp1", L"tmp2"}));
  ini.delete_sections(L"tmp");
  EXPECT_EQ(dump(ini), L"[Keep]j=<2>;");
  EXPECT_FALSE(ini.delete_section(L"tmp1"));
  EXPECT_FALSE(ini.clear_section(L"none"));
  EXPECT_TRUE(ini.clear_section(L"KEEP"));
  EXPECT_EQ(dump(ini), L"[Keep]");
  ini.set_modified(false);
  ini.clear();
  EXPECT_EQ(dump(ini), L"");
  EXPECT_FALSE(ini.modified());  // clear leaves the flag alone
  ini.set_string(L"A", L"k", L"v");
  EXPECT_TRUE(ini.delete_section(L"a"));
  EXPECT_FALSE(ini.section_exists(L"A"));
}

TEST(InifilexTest, MovesAndSorts) {
  inifilex ini;
  ASSERT_TRUE(ini.parse(L"[b]\nz=1\nY=2\nx=3\n[A]\nk=1\n[_c]\n"));
  EXPECT_TRUE(ini.move_key_after(L"B", L"z", L"x"));
  EXPECT_TRUE(ini.modified());
  EXPECT_FALSE(ini.move_key_after(L"B", L"z", L"none"));
  EXPECT_FALSE(ini.move_key_after(L"none", L"z", L"x"));
  EXPECT_EQ(dump(ini), L"[b]Y=<2>;x=<3>;z=<1>;[A]k=<1>;[_c]");
  ini.sort_sections();
  EXPECT_EQ(dump(ini), L"[_c][A]k=<1>;[b]Y=<2>;x=<3>;z=<1>;");
  ini.sort();
  EXPECT_EQ(dump(ini), L"[_c][A]k=<1>;[b]x=<3>;Y=<2>;z=<1>;");
  EXPECT_EQ(ini.get_string(L"B", L"y", L""), L"2");  // the index follows the order
  ini.set_modified(false);
  ini.sort();
  EXPECT_FALSE(ini.modified());  // nothing moved
  ini.sort_section(L"New");
  EXPECT_TRUE(ini.section_exists(L"new"));
}

TEST(InifilexTest, MergesSections) {
  inifilex source;
  ASSERT_TRUE(source.parse(L"[Main]\nk=1\nj=2\n[Extra]\nx=9\n"));
  inifilex target;
  target.set_string(L"Copy of main", L"k", L"old");
  target.merge_sections(source.sections(), L"Copy of %s");
  EXPECT_EQ(dump(target), L"[Copy of main]k=<1>;j=<2>;[Copy of Extra]x=<9>;");
  // Merging a document into itself only reads a copy of what was there.
  source.merge_sections(source.sections(), L"");
  source.merge_sections(source.sections(), L"%s.bak");
  EXPECT_EQ(dump(source),
            L"[Main]k=<1>;j=<2>;[Extra]x=<9>;[Main.bak]k=<1>;j=<2>;"
            L"[Extra.bak]x=<9>;");
}

}  // namespace
}  // namespace kx
