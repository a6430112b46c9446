// The INI model against real files: encodings kept from load to save, the
// save flags, and failures.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/inifilex.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

using testing::ScopedTempDir;

// The test folder's file `name`, as the INI model takes paths.
string in(const ScopedTempDir& dir, const wchar_t* name) {
  return string(dir.file(name));
}
bool WriteBytes(const string& path, const std::string& bytes) {
  return testing::WriteBytes(path.str(), bytes);
}
std::string ReadBytes(const string& path) {
  return testing::ReadBytes(path.str());
}

std::string utf16le(const std::wstring& text) {
  std::string out;
  for (const wchar_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

std::string utf16be(const std::wstring& text) {
  std::string out;
  for (const wchar_t c : text) {
    out.push_back(static_cast<char>(c >> 8));
    out.push_back(static_cast<char>(c & 0xFF));
  }
  return out;
}

const std::string kLeMark = "\xFF\xFE", kBeMark = "\xFE\xFF", kUtf8Mark = "\xEF\xBB\xBF";

TEST(InifilexIoTest, Utf16LeWithMarkIsWrittenBackTheSame) {
  ScopedTempDir dir;
  const string path = in(dir, L"setup.ini");
  ASSERT_TRUE(WriteBytes(path, kLeMark + utf16le(L"[Startup]\r\nProduct=Caf\u00e9 \u4e2d\r\n")));
  inifilex ini;
  ASSERT_TRUE(ini.load(path, L"=", false));
  EXPECT_EQ(ini.code_page(), 1200);
  EXPECT_TRUE(ini.bom());
  EXPECT_EQ(ini.get_string(L"startup", L"product", L""), L"Caf\u00e9 \u4e2d");
  ini.set_string(L"Startup", L"Added", L"\u05e9");
  EXPECT_TRUE(ini.modified());
  ASSERT_TRUE(ini.save(0, 0, false));
  EXPECT_FALSE(ini.modified());
  EXPECT_EQ(ReadBytes(path),
            kLeMark + utf16le(L"[Startup]\r\nProduct=Caf\u00e9 \u4e2d\r\nAdded=\u05e9\r\n"));
}

TEST(InifilexIoTest, AnsiStaysAnsi) {
  ScopedTempDir dir;
  const string path = in(dir, L"ansi.ini");
  ASSERT_TRUE(WriteBytes(path, "[A]\nname=M\xFCller\n"));  // 1252, the prefix's ANSI code page
  inifilex ini;
  ASSERT_TRUE(ini.load(path, L"=", false));
  EXPECT_EQ(ini.code_page(), 0);
  EXPECT_FALSE(ini.bom());
  EXPECT_EQ(ini.get_string(L"A", L"name", L""), L"M\u00fcller");
  ASSERT_TRUE(ini.save_as(path, 0, 0, true));  // the mark flag is not used without flag 4
  EXPECT_EQ(ReadBytes(path), "[A]\r\nname=M\xFCller\r\n");
}

TEST(InifilexIoTest, Utf16BeAndUtf8MarksAreReadAndKept) {
  ScopedTempDir dir;
  const string be = in(dir, L"be.ini"), u8 = in(dir, L"u8.ini");
  ASSERT_TRUE(WriteBytes(be, kBeMark + utf16be(L"[B]\r\nk=\u20ac\r\n")));
  ASSERT_TRUE(WriteBytes(u8, kUtf8Mark + "[U]\nk=\xE2\x82\xAC"));
  inifilex a, b;
  ASSERT_TRUE(a.load(be, L"=", false));
  EXPECT_EQ(a.code_page(), 1201);
  EXPECT_EQ(a.get_string(L"B", L"k", L""), L"\u20ac");
  ASSERT_TRUE(a.save(0, 0, false));
  EXPECT_EQ(ReadBytes(be), kBeMark + utf16be(L"[B]\r\nk=\u20ac\r\n"));
  ASSERT_TRUE(b.load(u8, L"=", false));
  EXPECT_EQ(b.code_page(), 65001);
  EXPECT_EQ(b.get_string(L"U", L"k", L""), L"\u20ac");
  ASSERT_TRUE(b.save(0, 0, false));
  EXPECT_EQ(ReadBytes(u8), kUtf8Mark + "[U]\r\nk=\xE2\x82\xAC\r\n");
}

TEST(InifilexIoTest, AnImposedCodePageYieldsToAMark) {
  ScopedTempDir dir;
  const string plain = in(dir, L"plain.ini"), marked = in(dir, L"marked.ini");
  ASSERT_TRUE(WriteBytes(plain, "[A]\nk=\xC3\xA4\n"));
  ASSERT_TRUE(WriteBytes(marked, kLeMark + utf16le(L"[A]\nk=\u00e4\n")));
  inifilex a;
  a.set_code_page(65001);
  ASSERT_TRUE(a.load(plain, L"=", false));
  EXPECT_EQ(a.get_string(L"A", L"k", L""), L"\u00e4");
  EXPECT_EQ(a.code_page(), 65001);
  EXPECT_FALSE(a.bom());
  inifilex b;
  b.set_code_page(65001);
  ASSERT_TRUE(b.load(marked, L"=", false));
  EXPECT_EQ(b.get_string(L"A", L"k", L""), L"\u00e4");
  EXPECT_EQ(b.code_page(), 1200);
  EXPECT_TRUE(b.bom());
}

TEST(InifilexIoTest, SaveFlags) {
  ScopedTempDir dir;
  inifilex ini;
  ini.set_string(L"b", L"z", L"1");
  ini.set_string(L"b", L"y", L"2");
  ini.set_string(L"A", L"k", L"3");
  // 1: sections sorted, keys in their order; a new file is ANSI.
  const string sorted = in(dir, L"sorted.ini");
  ASSERT_TRUE(ini.save_as(sorted, inifilex::sort_before_save, 0, false));
  EXPECT_EQ(ReadBytes(sorted), "[A]\r\nk=3\r\n\r\n[b]\r\nz=1\r\ny=2\r\n");
  EXPECT_EQ(ini.file_name(), sorted);
  // 4: the given encoding is stored and used.
  const string wide = in(dir, L"wide.ini");
  ASSERT_TRUE(ini.save_as(wide, inifilex::use_encoding, 1200, true));
  EXPECT_EQ(ini.code_page(), 1200);
  EXPECT_TRUE(ini.bom());
  EXPECT_EQ(ReadBytes(wide), kLeMark + utf16le(L"[A]\r\nk=3\r\n\r\n[b]\r\nz=1\r\ny=2\r\n"));
  ASSERT_TRUE(ini.save_as(wide, inifilex::use_encoding, 65001, false));
  EXPECT_EQ(ReadBytes(wide), "[A]\r\nk=3\r\n\r\n[b]\r\nz=1\r\ny=2\r\n");
  // 2: an empty document writes nothing, and leaves an existing file alone.
  inifilex empty;
  const string none = in(dir, L"none.ini");
  EXPECT_TRUE(empty.save_as(none, inifilex::skip_if_empty, 0, false));
  EXPECT_EQ(GetFileAttributesW(none.str().c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(empty.save_as(sorted, inifilex::skip_if_empty, 0, false));
  EXPECT_EQ(ReadBytes(sorted), "[A]\r\nk=3\r\n\r\n[b]\r\nz=1\r\ny=2\r\n");
  // Without it, an empty document makes an empty file.
  EXPECT_TRUE(empty.save_as(none, 0, 0, false));
  EXPECT_EQ(GetFileAttributesW(none.str().c_str()) != INVALID_FILE_ATTRIBUTES, true);
  EXPECT_EQ(ReadBytes(none), "");
}

// A document whose section sorting tries to save again while it saves.
class ReentrantIni : public inifilex {
 public:
  void sort_sections() override {
    inner_result = save_as(inner_path, 0, 0, false);
    inner_error = last_error();
    inifilex::sort_sections();
  }
  string inner_path;
  bool inner_result = true;
  unsigned long inner_error = 0;
};

TEST(InifilexIoTest, ASaveCannotStartAnotherSave) {
  ScopedTempDir dir;
  ReentrantIni ini;
  ini.set_string(L"b", L"k", L"1");
  ini.set_string(L"a", L"k", L"2");
  ini.inner_path = in(dir, L"inner.ini");
  ASSERT_TRUE(ini.save_as(in(dir, L"outer.ini"), inifilex::sort_before_save, 0, false));
  EXPECT_FALSE(ini.inner_result);
  EXPECT_EQ(ini.inner_error, static_cast<unsigned long>(ERROR_BUSY));
  EXPECT_EQ(GetFileAttributesW(ini.inner_path.str().c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ReadBytes(in(dir, L"outer.ini")), "[a]\r\nk=2\r\n\r\n[b]\r\nk=1\r\n");
  // Once it is over, saving works again.
  EXPECT_TRUE(ini.save_as(in(dir, L"again.ini"), 0, 0, false));
}

TEST(InifilexIoTest, BareKeysAreSavedAlone) {
  ScopedTempDir dir;
  const string path = in(dir, L"bare.ini");
  ASSERT_TRUE(WriteBytes(path, "[A]\nflag\nk=v\n"));
  inifilex bare, plain;
  ASSERT_TRUE(bare.load(path, L"=", true));
  ASSERT_TRUE(plain.load(path, L"=", false));
  ASSERT_TRUE(bare.save(0, 0, false));
  EXPECT_EQ(ReadBytes(path), "[A]\r\nflag\r\nk=v\r\n");
  ASSERT_TRUE(plain.save(0, 0, false));
  EXPECT_EQ(ReadBytes(path), "[A]\r\nflag=\r\nk=v\r\n");
}

TEST(InifilexIoTest, FailuresKeepTheirError) {
  ScopedTempDir dir;
  inifilex ini;
  ini.set_string(L"A", L"k", L"v");
  ini.set_modified(true);
  const string unwritable = in(dir, L"no such folder\\x.ini");
  EXPECT_FALSE(ini.save_as(unwritable, 0, 0, false));
  EXPECT_EQ(ini.last_error(), static_cast<unsigned long>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(ini.failed_path(), unwritable);
  EXPECT_TRUE(ini.modified());
  // A folder cannot be replaced by a file.
  EXPECT_FALSE(ini.save_as(string(dir.path()), 0, 0, false));
  EXPECT_NE(ini.last_error(), 0u);
  EXPECT_EQ(ini.failed_path().str(), dir.path());
  EXPECT_TRUE(ini.section_exists(L"A"));
  // An empty name writes nothing.
  inifilex unnamed;
  EXPECT_FALSE(unnamed.save(0, 0, false));
  EXPECT_EQ(unnamed.last_error(), static_cast<unsigned long>(ERROR_INVALID_NAME));
  // A successful save clears the error.
  EXPECT_TRUE(ini.save_as(in(dir, L"ok.ini"), 0, 0, false));
  EXPECT_EQ(ini.last_error(), 0u);
}

// The names in `dir`, sorted.
std::vector<std::wstring> names_in(const ScopedTempDir& dir) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const HANDLE h = FindFirstFileW(dir.file(L"*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(h, &found));
  FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(InifilexIoTest, AFailedSaveLeavesTheOldFileAsItWas) {
  ScopedTempDir dir;
  const string path = in(dir, L"setup.log");
  ASSERT_TRUE(WriteBytes(path, "[ResponseResult]\r\nResultCode=0\r\n"));
  inifilex ini;
  ini.set_string(L"ResponseResult", L"ResultCode", L"-5001");
  // A code page the system cannot write fails after the file was made.
  EXPECT_FALSE(ini.save_as(path, inifilex::use_encoding, 12345, false));
  EXPECT_NE(ini.last_error(), 0u);
  EXPECT_EQ(ini.failed_path(), path);
  EXPECT_EQ(ReadBytes(path), "[ResponseResult]\r\nResultCode=0\r\n");
  EXPECT_EQ(names_in(dir), std::vector<std::wstring>{L"setup.log"});
}

TEST(InifilexIoTest, ASaveReplacesTheFileAndLeavesNothingBeside) {
  ScopedTempDir dir;
  const string path = in(dir, L"setup.log");
  ASSERT_TRUE(WriteBytes(path, "old"));
  // Left by a save that was cut off: passed over, not overwritten.
  ASSERT_TRUE(WriteBytes(path + L".~kx0", "leftover"));
  inifilex ini;
  ini.set_string(L"A", L"k", L"v");
  ASSERT_TRUE(ini.save_as(path, 0, 0, false));
  EXPECT_EQ(ReadBytes(path), "[A]\r\nk=v\r\n");
  EXPECT_EQ(ReadBytes(path + L".~kx0"), "leftover");
  EXPECT_EQ(names_in(dir), (std::vector<std::wstring>{L"setup.log", L"setup.log.~kx0"}));
}

TEST(InifilexIoTest, LoadFailures) {
  ScopedTempDir dir;
  inifilex ini;
  ini.set_string(L"Old", L"k", L"v");
  EXPECT_FALSE(ini.load(in(dir, L"missing.ini"), L"=", false));
  EXPECT_EQ(ini.last_error(), static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(ini.section_exists(L"Old"));  // the document was replaced
  const string bad = in(dir, L"bad.ini");
  ASSERT_TRUE(WriteBytes(bad, "[Good]\r\nk=1\r\n[Broken\r\nj=2\r\n"));
  EXPECT_FALSE(ini.load(bad, L"=", false));
  EXPECT_EQ(ini.last_error(), static_cast<unsigned long>(ERROR_INVALID_DATA));
  EXPECT_EQ(ini.get_int(L"Good", L"k", 0), 1);
  EXPECT_EQ(ini.file_name(), bad);
}

TEST(InifilexIoTest, ReadOneValue) {
  ScopedTempDir dir;
  const string good = in(dir, L"0x0409.ini"), bad = in(dir, L"bad.ini");
  ASSERT_TRUE(WriteBytes(good, kLeMark + utf16le(L"[0x0409]\r\n1001=Next\r\nSize=0x20\r\n")));
  ASSERT_TRUE(WriteBytes(bad, "[0x0409]\r\nSize=9\r\n[unclosed\r\n"));
  EXPECT_EQ(read_ini_string(good, L"0x0409", L"1001", L"?"), L"Next");
  EXPECT_EQ(read_ini_string(good, L"0x0409", L"1002", L"?"), L"?");
  EXPECT_EQ(read_ini_int(good, L"0x0409", L"size", 0), 32);
  EXPECT_EQ(read_ini_int(in(dir, L"none.ini"), L"0x0409", L"size", 7), 7);
  EXPECT_EQ(read_ini_int(bad, L"0x0409", L"size", 7), 7);  // a failed load gives the default
}

}  // namespace
}  // namespace kx
