#include "base/payload_names.h"

#include <gtest/gtest.h>

namespace kx::payload {
namespace {

TEST(PayloadNames, RelativePaths) {
  struct Case {
    const wchar_t* path;
    name_problem expected;
  };
  const std::wstring long_part(260, L'a');
  const Case cases[] = {
      {L"Disk1\\setup.ini", name_problem::none},
      {L"Disk1/setup.ini", name_problem::none},
      {L"setup.ini", name_problem::none},
      {L"Disk1\\sub dir\\my file.txt", name_problem::none},
      {L"Disk1\\.hidden", name_problem::none},
      {L"Disk1\\a..b", name_problem::none},
      {L"Disk1\\\x00e9t\x00e9.txt", name_problem::none},
      {L"Disk1\\COM10", name_problem::none},
      {L"Disk1\\console.txt", name_problem::none},
      {L"", name_problem::empty},
      {L"Disk1\\", name_problem::empty},
      {L"Disk1\\\\x", name_problem::empty},
      {L"\\Windows\\x.dll", name_problem::absolute},
      {L"/etc/passwd", name_problem::absolute},
      {L"\\\\server\\share\\x", name_problem::absolute},
      {L"C:\\x", name_problem::drive_or_stream},
      {L"C:x", name_problem::drive_or_stream},
      {L"Disk1\\x.txt:evil", name_problem::drive_or_stream},
      {L"Disk1\\x.txt::$DATA", name_problem::drive_or_stream},
      {L"..\\x", name_problem::parent_reference},
      {L"Disk1\\..\\..\\x", name_problem::parent_reference},
      {L"Disk1/../x", name_problem::parent_reference},
      {L"Disk1\\.\\x", name_problem::parent_reference},
      {L"Disk1\\..", name_problem::parent_reference},
      {L"Disk1\\x?.txt", name_problem::bad_character},
      {L"Disk1\\x*", name_problem::bad_character},
      {L"Disk1\\a\x0001"
       L"b",
       name_problem::bad_character},
      {L"Disk1\\a|b", name_problem::bad_character},
      {L"Disk1\\a\"b", name_problem::bad_character},
      {L"Disk1\\x.", name_problem::trailing_dot_or_blank},
      {L"Disk1 \\x", name_problem::trailing_dot_or_blank},
      {L"Disk1\\...", name_problem::trailing_dot_or_blank},
      {L"Disk1\\CON", name_problem::device_name},
      {L"Disk1\\nul.txt", name_problem::device_name},
      {L"Disk1\\Aux.tar.gz", name_problem::device_name},
      {L"PRN\\x", name_problem::device_name},
      {L"Disk1\\com1", name_problem::device_name},
      {L"Disk1\\LPT9.log", name_problem::device_name},
      {L"Disk1\\COM\x00b9", name_problem::device_name},
      {L"Disk1\\CONOUT$", name_problem::device_name},
      {L"Disk1\\nul .txt", name_problem::device_name},
  };
  for (const Case& c : cases)
    EXPECT_EQ(check_relative_path(string(c.path).as_view()), c.expected) << c.path;
  EXPECT_EQ(check_relative_path((string(L"Disk1\\") + long_part.c_str()).as_view()),
            name_problem::too_long);
}

TEST(PayloadNames, StoredFileNames) {
  EXPECT_EQ(check_file_name(KXT("setup.ex_")), name_problem::none);
  EXPECT_EQ(check_file_name(KXT("a\\b")), name_problem::separator_in_name);
  EXPECT_EQ(check_file_name(KXT("a/b")), name_problem::separator_in_name);
  EXPECT_EQ(check_file_name(KXT("..")), name_problem::parent_reference);
  EXPECT_EQ(check_file_name(KXT("")), name_problem::empty);
  EXPECT_EQ(check_file_name(KXT("x:y")), name_problem::drive_or_stream);
  EXPECT_EQ(check_file_name(KXT("clock$")), name_problem::none);
}

TEST(PayloadNames, PathParts) {
  struct Case {
    const wchar_t* path;
    const wchar_t* directory;
    const wchar_t* file;
  };
  const Case cases[] = {
      {L"Disk1\\setup.ini", L"Disk1\\", L"setup.ini"},
      {L"Disk1/sub/a.txt", L"Disk1\\sub\\", L"a.txt"},
      {L"a.txt", L"", L"a.txt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(directory_part(string(c.path).as_view()).str(), c.directory);
    EXPECT_EQ(file_name_part(string(c.path).as_view()).str(), c.file);
  }
}

TEST(PayloadNames, CabinetsLeftToTheEngine) {
  struct Case {
    const wchar_t* name;
    const wchar_t* path;
    bool deferred;
  };
  const Case cases[] = {
      {L"data2.cab", L"Disk1\\data2.cab", true},
      {L"DATA3.CAB", L"Disk1\\DATA3.CAB", true},
      {L"data.cab", L"Disk1\\data.cab", true},
      {L"data1.cab", L"Disk1\\data1.cab", false},
      {L"Data1.Cab", L"Disk1\\Data1.Cab", false},
      {L"data2.cab", L"data2.cab", false},
      {L"data2.cab", L"Disk1\\sub\\data2.cab", false},
      {L"mydata2.cab", L"Disk1\\mydata2.cab", false},
      {L"data2.cabx", L"Disk1\\data2.cabx", false},
      {L"data1.hdr", L"Disk1\\data1.hdr", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(is_deferred_cabinet(string(c.name).as_view(), string(c.path).as_view()), c.deferred)
        << c.name << " " << c.path;
}

TEST(PayloadNames, CompressedWhenTheStoredNameDiffers) {
  EXPECT_TRUE(is_compressed(KXT("setup.ex_"), KXT("Disk1\\setup.exe")));
  EXPECT_FALSE(is_compressed(KXT("setup.exe"), KXT("Disk1\\setup.exe")));
  EXPECT_FALSE(is_compressed(KXT("SETUP.EXE"), KXT("Disk1\\setup.exe")));
}

}  // namespace
}  // namespace kx::payload
