#include "diag/verbose_log.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "base/path.h"
#include "base/string_win.h"
#include "platform/error_record.h"
#include "tests/testing/registry_sandbox.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::MatchesRegex;

// One line as it must look, with any date and time of the pictures.
// (GoogleTest's simple regular expressions on Windows: no classes, no
// alternatives.)
constexpr const char* kDateTime = "\\d\\d?-\\d\\d?-\\d\\d\\d\\d\\[\\d\\d:\\d\\d:\\d\\d .M\\]";

// The log's text after its first two bytes (the mark, or what was there
// before), cut into lines (each keeps its CR LF).
std::vector<std::string> Lines(const std::string& bytes) {
  const size_t skip = 2;
  if (bytes.size() < skip) return {};
  std::wstring text((bytes.size() - skip) / 2, L'\0');
  memcpy(text.data(), bytes.data() + skip, text.size() * 2);
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find(L"\r\n", at);
    end = end == std::wstring::npos ? text.size() : end + 2;
    lines.push_back(narrow(string(text.substr(at, end - at))));
    at = end;
  }
  return lines;
}

// A scratch registry for HKEY_CURRENT_USER and a scratch folder named by
// VerboseLogPath, so each case starts with no log and no switch.
class VerboseLogTest : public ::testing::Test {
 protected:
  VerboseLogTest() : sandbox_(RegistrySandbox::kCurrentUser) {}

  void SetFolder(const std::wstring& folder) {
    ASSERT_EQ(
        RegistrySandbox::SetString(HKEY_CURRENT_USER, kVerboseLogKey, L"VerboseLogPath", folder),
        ERROR_SUCCESS);
  }
  void SwitchOn() {
    ASSERT_EQ(RegistrySandbox::SetDword(HKEY_CURRENT_USER, kVerboseLogKey, L"DoVerboseLogging", 1),
              ERROR_SUCCESS);
  }
  std::wstring log_file() const { return dir_.file(L"Kestrix.log"); }

  RegistrySandbox sandbox_;
  ScopedTempDir dir_;
};

TEST(VerboseLogFormat, LineHasTwoBlanksAroundTheDashesAndEndsInCrLf) {
  EXPECT_EQ(verbose_log_line(L"1-5-2026", L"09:07:03 AM", L"Checking setup prerequisite 'x'",
                             L"Setup\\KxPreReqDlg.cpp", 132)
                .str(),
            L"1-5-2026[09:07:03 AM]: Checking setup prerequisite 'x'  --  File: "
            L"Setup\\KxPreReqDlg.cpp, Line: 132\r\n");
  // The message is text, not a format.
  EXPECT_EQ(verbose_log_line(L"d", L"t", L"100% %s %d", L"a\\b", -1).str(),
            L"d[t]: 100% %s %d  --  File: a\\b, Line: -1\r\n");
}

TEST(VerboseLogFormat, DateAndTimePictures) {
  struct Case {
    WORD year, month, day, hour, minute, second;
    const wchar_t* date;
    const wchar_t* time;
  } cases[] = {
      {2026, 1, 5, 9, 7, 3, L"1-5-2026", L"09:07:03 AM"},
      {2026, 12, 31, 23, 59, 59, L"12-31-2026", L"11:59:59 PM"},
      {2027, 10, 9, 0, 0, 0, L"10-9-2027", L"12:00:00 AM"},
      {2026, 7, 4, 12, 30, 0, L"7-4-2026", L"12:30:00 PM"},
  };
  for (const Case& c : cases) {
    SYSTEMTIME t{};
    t.wYear = c.year;
    t.wMonth = c.month;
    t.wDay = c.day;
    t.wHour = c.hour;
    t.wMinute = c.minute;
    t.wSecond = c.second;
    EXPECT_EQ(verbose_log_date(t).str(), c.date);
    EXPECT_EQ(verbose_log_time(t).str(), c.time);
  }
}

TEST(VerboseLogFormat, FilePathRule) {
  struct Case {
    const wchar_t* configured;
    const wchar_t* program;
    const wchar_t* expected;
  } cases[] = {
      {L"C:\\logs", L"D:\\prog", L"C:\\logs\\Kestrix.log"},
      {L"C:\\logs\\", L"D:\\prog", L"C:\\logs\\Kestrix.log"},
      {L"C:\\", L"D:\\prog", L"C:\\Kestrix.log"},
      {L"\\\\srv\\share", L"D:\\prog", L"\\\\srv\\share\\Kestrix.log"},
      {L"", L"D:\\prog", L"D:\\prog\\Kestrix.log"},
      {L"", L"", L""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(verbose_log_file_path(c.configured, c.program).str(), c.expected) << c.configured;
}

TEST_F(VerboseLogTest, OnlyTheDwordOneSwitchesLoggingOn) {
  SetFolder(dir_.path());
  const DWORD one = 1, two = 2, zero = 0;
  const unsigned long long one64 = 1;
  struct Case {
    const char* name;
    std::optional<DWORD> type;
    const void* data;
    DWORD size;
    bool on;
  } cases[] = {
      {"REG_DWORD 1", REG_DWORD, &one, 4, true},
      {"REG_DWORD 2", REG_DWORD, &two, 4, false},
      {"REG_DWORD 0", REG_DWORD, &zero, 4, false},
      {"REG_SZ \"1\"", REG_SZ, L"1", 4, false},
      {"REG_BINARY 01 00 00 00", REG_BINARY, &one, 4, false},
      {"REG_QWORD 1", REG_QWORD, &one64, 8, false},
      {"missing", std::nullopt, nullptr, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kVerboseLogKey, L"DoVerboseLogging");
    if (c.type) {
      ASSERT_EQ(RegistrySandbox::SetRaw(HKEY_CURRENT_USER, kVerboseLogKey, L"DoVerboseLogging",
                                        *c.type, c.data, c.size),
                ERROR_SUCCESS);
    }
    verbose_logger logger;
    logger.write_entry(L"entry", L"a\\b.cpp", 1);
    EXPECT_EQ(logger.enabled(), c.on);
    EXPECT_EQ(GetFileAttributesW(log_file().c_str()) != INVALID_FILE_ATTRIBUTES, c.on);
    DeleteFileW(log_file().c_str());
  }
}

TEST_F(VerboseLogTest, NewFileGetsTheMarkOnceAndEveryRunAppends) {
  SwitchOn();
  SetFolder(dir_.path() + L"\\");
  {
    verbose_logger first_run;
    first_run.write_entry(L"Checking setup prerequisite 'a'",
                          L"..\\..\\Shared\\Setup\\KxPreReqDlg.cpp", 132);
    first_run.write_entry(L"second", L"SetupPrereqMgr.cpp", 7);
  }
  verbose_logger second_run;
  second_run.write_entry(L"third", L"x/y/z.cpp", 9);

  const std::string bytes = ReadBytes(log_file());
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  const std::vector<std::string> lines = Lines(bytes);
  const std::string dt = kDateTime;
  EXPECT_THAT(
      lines, ElementsAre(MatchesRegex(dt + ": Checking setup prerequisite 'a'  --  File: "
                                           "Setup\\\\KxPreReqDlg\\.cpp, Line: 132\r\n"),
                         MatchesRegex(dt + ": second  --  File: SetupPrereqMgr\\.cpp, Line: 7\r\n"),
                         MatchesRegex(dt + ": third  --  File: y\\\\z\\.cpp, Line: 9\r\n")));
}

TEST_F(VerboseLogTest, AddressPasswordsNeverReachTheFile) {
  SwitchOn();
  SetFolder(dir_.path() + L"\\");
  {
    verbose_logger run;
    run.write_entry(L"DownloadFiles: https://alice:s3cret@h/pkg.exe", L"KxPreReqDlg.cpp", 1408);
  }
  const std::string bytes = ReadBytes(log_file());
  EXPECT_THAT(Lines(bytes), ElementsAre(MatchesRegex(std::string(kDateTime) +
                                                     ": DownloadFiles: https://alice:\\*\\*\\*@h/"
                                                     "pkg\\.exe  --  File: KxPreReqDlg\\.cpp, "
                                                     "Line: 1408\r\n")));
}

TEST_F(VerboseLogTest, ExistingFileWithoutMarkIsAppendedToAsItIs) {
  SwitchOn();
  SetFolder(dir_.path());
  ASSERT_TRUE(WriteBytes(log_file(), "ab"));
  verbose_logger logger;
  logger.write_entry(L"m", L"f.cpp", 3);
  const std::string bytes = ReadBytes(log_file());
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "ab");
  EXPECT_THAT(Lines(bytes), ElementsAre(MatchesRegex(std::string(kDateTime) +
                                                     ": m  --  File: f\\.cpp, Line: 3\r\n")));
}

TEST_F(VerboseLogTest, TheSwitchIsReadOncePerLogger) {
  SetFolder(dir_.path());
  verbose_logger off;
  EXPECT_TRUE(off.enabled());  // undecided
  off.write_entry(L"lost", L"f.cpp", 1);
  EXPECT_FALSE(off.enabled());
  SwitchOn();
  off.write_entry(L"still lost", L"f.cpp", 2);
  EXPECT_FALSE(off.enabled());
  EXPECT_EQ(GetFileAttributesW(log_file().c_str()), INVALID_FILE_ATTRIBUTES);

  verbose_logger on;
  on.write_entry(L"kept", L"f.cpp", 3);
  ASSERT_EQ(RegistrySandbox::SetDword(HKEY_CURRENT_USER, kVerboseLogKey, L"DoVerboseLogging", 0),
            ERROR_SUCCESS);
  on.write_entry(L"kept too", L"f.cpp", 4);
  EXPECT_TRUE(on.enabled());
  EXPECT_EQ(Lines(ReadBytes(log_file())).size(), 2u);
}

TEST_F(VerboseLogTest, EmptyOrOverlongFolderValueWritesBesideTheProgram) {
  SwitchOn();
  wchar_t program[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
  const std::wstring beside = path_join(path_directory(program), L"Kestrix.log").str();
  // 259 characters fit the folder value's room with its NUL; 260 do not.
  const std::wstring overlong = dir_.path() + L"\\" + std::wstring(300, L'x');
  for (const std::wstring& folder : {std::wstring(), overlong}) {
    SCOPED_TRACE(folder.size());
    SetFolder(folder);
    ASSERT_EQ(GetFileAttributesW(beside.c_str()), INVALID_FILE_ATTRIBUTES)
        << "a Kestrix.log left beside the test program";
    verbose_logger logger;
    logger.write_entry(L"here", L"f.cpp", 5);
    const std::string bytes = ReadBytes(beside);
    DeleteFileW(beside.c_str());
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(Lines(bytes).size(), 1u);
  }
}

TEST_F(VerboseLogTest, AnExpandableFolderValueIsUsedAsStored) {
  SwitchOn();
  const std::wstring literal = dir_.file(L"%KX_VERBOSE_NOWHERE%");
  ASSERT_TRUE(CreateDirectoryW(literal.c_str(), nullptr));
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_CURRENT_USER, kVerboseLogKey, L"VerboseLogPath",
                                       literal, REG_EXPAND_SZ),
            ERROR_SUCCESS);
  verbose_logger logger;
  logger.write_entry(L"literal", L"f.cpp", 6);
  EXPECT_EQ(Lines(ReadBytes(literal + L"\\Kestrix.log")).size(), 1u);
}

TEST_F(VerboseLogTest, AnUnwritableFileLosesTheEntryAndChangesNothingForTheCaller) {
  SwitchOn();
  SetFolder(dir_.path());
  // Another writer holds the file without sharing.
  const HANDLE held = CreateFileW(log_file().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  record_error(ERROR_DISK_FULL, L"C:\\target\\file.bin");
  SetLastError(ERROR_HANDLE_EOF);
  verbose_logger logger;
  logger.write_entry(L"lost", L"f.cpp", 1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HANDLE_EOF));
  EXPECT_EQ(last_error_record().code, static_cast<unsigned long>(ERROR_DISK_FULL));
  EXPECT_EQ(last_error_record().path.str(), L"C:\\target\\file.bin");
  CloseHandle(held);
  EXPECT_EQ(ReadBytes(log_file()), "");
  // The next entry, once the file is free again, is written with its mark.
  logger.write_entry(L"kept", L"f.cpp", 2);
  EXPECT_EQ(ReadBytes(log_file()).substr(0, 2), "\xFF\xFE");
}

TEST_F(VerboseLogTest, TheMacroNamesTheCallingLineAndFormats) {
  SwitchOn();
  SetFolder(dir_.path());
  verbose_logger logger;
  const int line = __LINE__ + 1;
  KX_VERBOSE_LOG_TO(logger, L"Prerequisite process exited with return code %d (%s)", 3010,
                    L"reboot");
  const std::vector<std::string> lines = Lines(ReadBytes(log_file()));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_THAT(lines[0], MatchesRegex(std::string(kDateTime) +
                                     ": Prerequisite process exited with return code 3010 "
                                     "\\(reboot\\)  --  File: diag\\\\verbose_log_test\\.cpp, "
                                     "Line: " +
                                     std::to_string(line) + "\r\n"));
}

TEST_F(VerboseLogTest, TheProcessLogIsSharedByTheWholeProgram) {
  SwitchOn();
  SetFolder(dir_.path());
  KX_VERBOSE_LOG(L"one");
  EXPECT_TRUE(verbose_log_enabled());
  EXPECT_TRUE(process_verbose_log().enabled());
  process_verbose_log().write_entry(L"two", L"f.cpp", 1);
  EXPECT_EQ(Lines(ReadBytes(log_file())).size(), 2u);
}

TEST_F(VerboseLogTest, WhenOffTheMacroNoLongerEvaluatesItsArguments) {
  SetFolder(dir_.path());
  verbose_logger logger;
  int evaluated = 0;
  // The first call decides the switch, so its arguments are still made.
  KX_VERBOSE_LOG_TO(logger, L"%d", ++evaluated);
  EXPECT_FALSE(logger.enabled());
  KX_VERBOSE_LOG_TO(logger, L"%d", ++evaluated);
  logger.log(__FILE__, __LINE__, L"%d", 5);
  EXPECT_EQ(evaluated, 1);
  EXPECT_EQ(GetFileAttributesW(log_file().c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace kx::testing
