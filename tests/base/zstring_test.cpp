#include "base/zstring.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <string_view>

#include "tests/base/last_error_noise.h"

namespace kx {
namespace {

using zstring_i = _zstring<ztraits<1>>;
using zstring_s = _zstring<ztraits<0>>;

std::wstring text(const zstring_i& s) {
  return std::wstring(s.view());
}

TEST(ZString, NullAndEmpty) {
  const zstring_i null;
  EXPECT_TRUE(null.is_null());
  EXPECT_EQ(null.bstr(), nullptr);
  EXPECT_STREQ(null.c_str(), L"");
  EXPECT_EQ(null.size(), 0u);
  EXPECT_TRUE(null == L"");

  const zstring_i from_null(static_cast<const wchar_t*>(nullptr));
  EXPECT_TRUE(from_null.is_null());

  const zstring_i empty(L"");
  EXPECT_FALSE(empty.is_null());
  EXPECT_EQ(SysStringLen(empty.bstr()), 0u);
  EXPECT_TRUE(empty == null);

  // A copy keeps the difference; a moved-from string is null.
  EXPECT_TRUE(zstring_i(null).is_null());
  EXPECT_FALSE(zstring_i(empty).is_null());
  zstring_i moved(L"x");
  const zstring_i target(std::move(moved));
  EXPECT_TRUE(moved.is_null());
  EXPECT_EQ(text(target), L"x");
}

TEST(ZString, HoldsCountedTextInABstr) {
  const zstring_i s(L"a\0b", 3);
  EXPECT_EQ(SysStringLen(s.bstr()), 3u);
  EXPECT_EQ(s.at(2), L'b');
  EXPECT_EQ(s.c_str()[3], L'\0');
  EXPECT_THROW(s.at(3), std::out_of_range);
}

TEST(ZString, CopiesAndAppends) {
  zstring_i a(L"abc");
  zstring_i b(a);
  EXPECT_NE(a.bstr(), b.bstr());
  b += L"def";
  EXPECT_EQ(text(a), L"abc");
  EXPECT_EQ(text(b), L"abcdef");
  b += b;
  EXPECT_EQ(text(b), L"abcdefabcdef");
  b += L'!';
  EXPECT_EQ(text(b), L"abcdefabcdef!");
  zstring_i null;
  null += L"";
  EXPECT_TRUE(null.is_null());
  null += L"x";
  EXPECT_EQ(text(null), L"x");
  a = a;
  EXPECT_EQ(text(a), L"abc");
  a = L"other";
  EXPECT_EQ(text(a), L"other");
  a.clear();
  EXPECT_TRUE(a.is_null());
}

TEST(ZString, AttachAndDetach) {
  zstring_i s(L"old");
  s.attach(SysAllocString(L"new"));
  EXPECT_EQ(text(s), L"new");
  BSTR b = s.detach();
  EXPECT_TRUE(s.is_null());
  EXPECT_STREQ(b, L"new");
  SysFreeString(b);
}

// Comparisons and searches of both traits, run through both system
// functions: CompareStringW, and the Windows 9x path through CompareStringA.
class ZStringCompare : public ::testing::TestWithParam<zString::compare_api> {
 protected:
  void SetUp() override { previous_ = zString::set_compare_api(GetParam()); }
  void TearDown() override { zString::set_compare_api(previous_); }

 private:
  zString::compare_api previous_ = zString::compare_api::wide;
};

TEST_P(ZStringCompare, CaseInsensitiveAndSensitive) {
  struct Row {
    const wchar_t *a, *b;
    int insensitive, sensitive;  // sign of the comparison
  };
  const Row rows[] = {
      {L"abc", L"ABC", 0, -1}, {L"Setup.INI", L"setup.ini", 0, 1},
      {L"abc", L"abc", 0, 0},  {L"a", L"B", -1, -1},
      {L"b", L"A", 1, 1},      {L"", L"", 0, 0},
      {L"", L"a", -1, -1},     {L"ab", L"a", 1, 1},
  };
  auto sign = [](int v) { return (v > 0) - (v < 0); };
  for (const Row& r : rows) {
    EXPECT_EQ(sign(zstring_i(r.a).compare(r.b)), r.insensitive) << r.a << " vs " << r.b;
    EXPECT_EQ(sign(zstring_s(r.a).compare(r.b)), r.sensitive) << r.a << " vs " << r.b;
  }
  EXPECT_TRUE(zstring_i(L"KXSetup.dll") == zstring_i(L"kxsetup.DLL"));
  EXPECT_TRUE(zstring_s(L"KXSetup.dll") != zstring_s(L"kxsetup.DLL"));
  EXPECT_TRUE(zstring_i(L"apple") < zstring_i(L"Banana"));
}

TEST_P(ZStringCompare, Searches) {
  const zstring_i path_i(L"C:\\Media\\disk1\\DATA.cab");
  const zstring_s path_s(L"C:\\Media\\disk1\\DATA.cab");
  EXPECT_EQ(path_i.find(L"data"), 15u);
  EXPECT_EQ(path_s.find(L"data"), zstring_s::npos);
  EXPECT_EQ(path_s.find(L"DATA"), 15u);
  EXPECT_EQ(path_i.find(L'm'), 3u);
  EXPECT_EQ(path_s.find(L'm'), zstring_s::npos);
  EXPECT_EQ(path_i.find(L'\\', 3), 8u);
  EXPECT_EQ(path_i.rfind(L'\\'), 14u);
  EXPECT_EQ(path_i.rfind(L'\\', 13), 8u);
  EXPECT_EQ(path_i.rfind(L"C:"), 0u);
  EXPECT_EQ(path_i.find(L"", 5), 5u);
  EXPECT_EQ(path_i.find(L"x", 100), zstring_i::npos);
  EXPECT_EQ(path_i.find(L"C:\\Media\\disk1\\DATA.cab and more"), zstring_i::npos);
  EXPECT_TRUE(path_i.starts_with(L"c:\\media"));
  EXPECT_FALSE(path_s.starts_with(L"c:\\media"));
  EXPECT_TRUE(path_i.ends_with(L".CAB"));
  EXPECT_FALSE(path_s.ends_with(L".CAB"));
  EXPECT_EQ(zstring_i().find(L"a"), zstring_i::npos);
  EXPECT_EQ(zstring_i().rfind(L""), 0u);
}

INSTANTIATE_TEST_SUITE_P(BothApis, ZStringCompare,
                         ::testing::Values(zString::compare_api::wide, zString::compare_api::ansi));

TEST(ZStringCompareApi, NtUsesTheWideFunction) {
  EXPECT_EQ(zString::platform_compare_api(), zString::compare_api::wide);
}

TEST(ZStringCompareApi, AnsiPathComparesConvertedText) {
  if (GetACP() != 1252) GTEST_SKIP() << "needs the Western ANSI code page 1252";
  // Cyrillic letters have no place in code page 1252: both become '?' on the
  // Windows 9x path, while the wide path tells them apart.
  const zstring_s zhe(L"\x0416"), de(L"\x0414");
  const auto previous = zString::set_compare_api(zString::compare_api::ansi);
  const bool equal_as_ansi = zhe == de;
  zString::set_compare_api(zString::compare_api::wide);
  const bool equal_as_wide = zhe == de;
  zString::set_compare_api(previous);
  EXPECT_TRUE(equal_as_ansi);
  EXPECT_FALSE(equal_as_wide);
}

TEST(ZString, SubstringRecordsItsRange) {
  const zstring_s s(L"Hello, World");
  const zpath::_substr_ref part = s.substr(7, 3);
  EXPECT_EQ(std::wstring(part.view()), L"Wor");
  EXPECT_EQ(part.offset(), 7u);
  EXPECT_EQ(part.count(), 3u);
  EXPECT_EQ(std::wstring(s.substr(7).view()), L"World");
  EXPECT_EQ(s.substr(12).count(), 0u);
  EXPECT_TRUE(s.substr(12).is_null());
  EXPECT_THROW(s.substr(13), std::out_of_range);
}

TEST(ZString, NarrowText) {
  const zstring_i s(L"caf\x00e9");
  EXPECT_STREQ(s.ansi(CP_UTF8), "caf\xc3\xa9");
  EXPECT_STREQ(zstring_i().ansi(), "");
  zstring_i copy(s);
  copy += L" au lait, with a long enough tail to need more room than before";
  EXPECT_STREQ(copy.ansi(CP_UTF8),
               "caf\xc3\xa9 au lait, with a long enough tail to need more room than before");
  EXPECT_STREQ(s.ansi(CP_UTF8), "caf\xc3\xa9");
}

TEST(ZString, TheNoiseReachesUnguardedBstrs) {
  testing::LastErrorNoise noise;
  SetLastError(ERROR_INVALID_DRIVE);
  BSTR b = SysAllocStringLen(L"text", 4);
  EXPECT_EQ(GetLastError(), testing::kLastErrorNoise);
  SetLastError(ERROR_INVALID_DRIVE);
  SysFreeString(b);
  EXPECT_EQ(GetLastError(), testing::kLastErrorNoise);
}

TEST(ZString, EveryOperationKeepsTheLastError) {
  using Op = void (*)(zstring_i&);
  const struct {
    const char* what;
    Op op;
  } ops[] = {
      {"null construction", [](zstring_i&) { zstring_i s; }},
      {"from text", [](zstring_i&) { zstring_i s(L"text"); }},
      {"from counted text", [](zstring_i&) { zstring_s s(L"abc", 2); }},
      {"from view", [](zstring_i&) { zstring_i s(std::wstring_view(L"view")); }},
      {"copy", [](zstring_i& t) { zstring_i s(t); }},
      {"move", [](zstring_i& t) { zstring_i s(std::move(t)); }},
      {"copy assignment",
       [](zstring_i& t) {
         const zstring_i other(L"other");
         t = other;
       }},
      {"move assignment", [](zstring_i& t) { t = zstring_i(L"moved"); }},
      {"text assignment", [](zstring_i& t) { t = L"x"; }},
      {"clear", [](zstring_i& t) { t.clear(); }},
      {"append", [](zstring_i& t) { t.append(L"appended", 8); }},
      {"+= text", [](zstring_i& t) { t += L" more text"; }},
      {"+= string", [](zstring_i& t) { t += zstring_i(L" more"); }},
      {"+= character", [](zstring_i& t) { t += L'!'; }},
      {"compare", [](zstring_i& t) { (void)t.compare(L"TEXT"); }},
      {"find", [](zstring_i& t) { (void)t.find(L"x"); }},
      {"rfind", [](zstring_i& t) { (void)t.rfind(L'e'); }},
      {"ends_with", [](zstring_i& t) { (void)t.ends_with(L"XT"); }},
      {"substr", [](zstring_i& t) { const auto part = t.substr(1, 2); }},
      {"ansi",
       [](zstring_i& t) {
         t += L" with a tail long enough to need more room for its narrow form";
         (void)t.ansi();
       }},
      {"path parts",
       [](zstring_i&) {
         const zpath p(L"\\\\srv\\share\\dir\\f.txt");
         const auto root = p.root();
         const auto directory = p.directory();
         const auto file = p.file_name();
         const auto extension = p.extension(true);
       }},
  };
  testing::LastErrorNoise noise;
  for (const auto& o : ops) {
    zstring_i target(L"text");
    SetLastError(ERROR_INVALID_DRIVE);
    o.op(target);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DRIVE)) << o.what;
    SetLastError(ERROR_INVALID_DRIVE);
    { zstring_i doomed(std::move(target)); }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DRIVE))
        << o.what << ", then destruction";
  }
  // The BSTRs handed over are the caller's to make and free.
  BSTR spare = SysAllocString(L"attached");
  zstring_i target(L"text");
  SetLastError(ERROR_INVALID_DRIVE);
  target.attach(spare);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DRIVE)) << "attach";
  BSTR detached = target.detach();
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DRIVE)) << "detach";
  EXPECT_EQ(detached, spare);
  SysFreeString(detached);
  EXPECT_GT(noise.events(), 0);
}

struct PathRow {
  const wchar_t* path;
  int scheme;
  bool unc;
  const wchar_t *root, *host, *directory, *file, *extension, *dotted;
};

TEST(ZPath, Parts) {
  const PathRow rows[] = {
      {L"\\\\srv\\share\\dir\\f.txt", 0, true, L"\\\\srv\\share", L"\\\\srv\\share",
       L"\\\\srv\\share\\dir\\", L"f.txt", L"txt", L".txt"},
      {L"\\\\srv\\share\\f.txt", 0, true, L"\\\\srv\\share", L"\\\\srv\\share", L"\\\\srv\\share\\",
       L"f.txt", L"txt", L".txt"},
      {L"\\\\srv\\share", 0, true, L"\\\\srv\\share", L"\\\\srv\\share", L"\\\\srv\\share", L"",
       L"", L""},
      {L"\\\\srv", 0, true, L"\\\\srv", L"\\\\srv", L"\\\\srv", L"", L"", L""},
      {L"\\\\", 0, false, L"", L"", L"\\\\", L"", L"", L""},
      {L"C:\\a.b\\c", 0, false, L"C:", L"C:", L"C:\\a.b\\", L"c", L"", L""},
      {L"C:\\dir\\setup.exe", 0, false, L"C:", L"C:", L"C:\\dir\\", L"setup.exe", L"exe", L".exe"},
      {L"C:/dir/a.tar.gz", 0, false, L"C:", L"C:", L"C:/dir/", L"a.tar.gz", L"gz", L".gz"},
      {L"C:file.", 0, false, L"C:", L"C:", L"C:", L"file.", L"", L"."},
      {L"C:\\", 0, false, L"C:", L"C:", L"C:\\", L"", L"", L""},
      {L"setup.ini", 0, false, L"", L"", L"", L"setup.ini", L"ini", L".ini"},
      {L"dir\\", 0, false, L"", L"", L"dir\\", L"", L"", L""},
      {L"http://host/disk1/data.cab", 7, false, L"http://host", L"host", L"http://host/disk1/",
       L"data.cab", L"cab", L".cab"},
      {L"HTTPS://www.host.com", 8, false, L"HTTPS://www.host.com", L"www.host.com",
       L"HTTPS://www.host.com", L"", L"", L""},
      {L"https://www.host.com/", 8, false, L"https://www.host.com", L"www.host.com",
       L"https://www.host.com/", L"", L"", L""},
      {L"ftp://h/x\\y.z", 6, false, L"ftp://h", L"h", L"ftp://h/x\\", L"y.z", L"z", L".z"},
      {L"File:///C:/x.txt", 7, false, L"File://", L"", L"File:///C:/", L"x.txt", L"txt", L".txt"},
      {L"http://", 7, false, L"http://", L"", L"http://", L"", L"", L""},
      {L"", 0, false, L"", L"", L"", L"", L"", L""},
  };
  for (const PathRow& r : rows) {
    const zpath p(r.path);
    SCOPED_TRACE(::testing::Message() << "path [" << r.path << "]");
    EXPECT_EQ(p.scheme_length(), r.scheme);
    EXPECT_EQ(p.is_unc(), r.unc);
    EXPECT_EQ(std::wstring(p.root().view()), r.root);
    EXPECT_EQ(std::wstring(p.root(true).view()), r.host);
    EXPECT_EQ(std::wstring(p.directory().view()), r.directory);
    EXPECT_EQ(std::wstring(p.file_name().view()), r.file);
    EXPECT_EQ(std::wstring(p.extension().view()), r.extension);
    EXPECT_EQ(std::wstring(p.extension(true).view()), r.dotted);
    // The parts record where they lie in the path.
    const auto file = p.file_name();
    EXPECT_EQ(file.offset() + file.count(), p.size());
    EXPECT_EQ(p.directory().count() + file.count(), p.size());
  }
}

TEST(ZPath, NullPath) {
  const zpath p;
  EXPECT_EQ(p.scheme_length(), -1);
  EXPECT_FALSE(p.is_unc());
  EXPECT_TRUE(p.root().empty());
  EXPECT_TRUE(p.root(true).empty());
  EXPECT_TRUE(p.directory().empty());
  EXPECT_TRUE(p.file_name().empty());
  EXPECT_TRUE(p.extension(true).empty());
}

TEST(ZPath, PartsAreStringsOfTheFamily) {
  const zpath p(L"C:\\Dir\\Sub\\file.TXT");
  const zpath folder(p.directory());
  EXPECT_TRUE(folder == L"c:\\dir\\sub\\");
  EXPECT_EQ(std::wstring(folder.directory().view()), L"C:\\Dir\\Sub\\");
  EXPECT_TRUE(p.extension() == L"txt");
}

}  // namespace
}  // namespace kx
