#include "diag/trace.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/string_win.h"
#include "diag/trace_scramble.h"
#include "tests/diag/trace_fixture.h"
#include "tests/testing/probe_support.h"
#include "tools/trace_reader/trace_decoder.h"

namespace kx::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::MatchesRegex;

std::wstring default_trace_file() {
  wchar_t desktop[MAX_PATH] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_DESKTOP, nullptr, 0, desktop), S_OK);
  return std::wstring(desktop) + L"\\setuptrace" + std::to_wstring(GetCurrentProcessId()) + L".bin";
}

bool exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST_F(TraceTest, WithoutTheKeyNothingIsWritten) {
  kx::trace_start(L"C:\\nowhere\\setup.exe");
  kx::trace(L"Cat", L"Sub", L"x=%d", 1);
  kx::trace_write(L"text");
  EXPECT_FALSE(kx::trace_enabled());
  EXPECT_EQ(kx::trace_file_path(), L"");
  EXPECT_FALSE(exists(default_trace_file()));
  EXPECT_FALSE(exists(trace_file()));
}

TEST_F(TraceTest, WithoutFileNamePathTheFileGoesOnTheDesktop) {
  for (const bool empty_value : {false, true}) {
    SCOPED_TRACE(empty_value ? "empty FileNamePath" : "no FileNamePath");
    SetSwitch(std::wstring());
    if (empty_value) {
      ASSERT_EQ(RegistrySandbox::SetString(HKEY_CURRENT_USER, L"kxlogit", L"FileNamePath", L""),
                ERROR_SUCCESS);
    }
    const std::wstring expected = default_trace_file();
    ASSERT_FALSE(exists(expected));
    kx::trace_start(L"C:\\nowhere\\setup.exe");
    EXPECT_TRUE(kx::trace_enabled());
    EXPECT_EQ(kx::trace_file_path().str(), expected);
    EXPECT_THAT(kx::narrow(kx::string(expected)), MatchesRegex(".*\\\\setuptrace\\d+\\.bin"));
    const std::vector<std::string> records = Records(expected);
    DeleteFileW(expected.c_str());
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records[0], "FormatVersion=00000112\r\n\r\n");
    RegDeleteKeyW(HKEY_CURRENT_USER, L"kxlogit");
  }
}

TEST_F(TraceTest, ANewFileStartsWithTheHeaderRecords) {
  const std::wstring probe = ProbePath();
  StartTrace(probe);
  const std::vector<std::string> records = Records();
  ASSERT_EQ(records.size(), 7u);
  EXPECT_EQ(records[0], "FormatVersion=00000112\r\n\r\n");
  // One line of notice, then an empty line.
  EXPECT_GT(records[1].size(), 4u);
  EXPECT_EQ(records[1].find_first_of("\r\n"), records[1].size() - 4);
  EXPECT_TRUE(records[1].ends_with("\r\n\r\n"));
  // Month/day/year hour:minute:second.
  EXPECT_THAT(records[2],
              MatchesRegex("TraceStarted: \\d\\d/\\d\\d/\\d\\d\\d\\d \\d\\d:\\d\\d:\\d\\d\r\n"));
  EXPECT_EQ(records[3], "SetupExe: " + kx::narrow(kx::string(probe)) + "\r\n");
  EXPECT_EQ(records[4], "SetupExeVersion: 12.0.3456.7\r\n");
  EXPECT_EQ(records[5], "\r\nTraceData:\r\n");
  EXPECT_EQ(records[6], "Category|SubCategory|Details\r\n");
}

constexpr const char* kFormatRecord = "FormatVersion=00000112\r\n\r\n";

TEST_F(TraceTest, AnExistingTraceFileIsAppendedToWithoutHeader) {
  const std::string earlier = kx::trace_format::encode_record(kFormatRecord) +
                              kx::trace_format::encode_record("earlier\r\n");
  ASSERT_TRUE(WriteBytes(trace_file(), earlier));
  StartTrace();
  kx::trace(L"Cat", L"Sub", L"n=%d", 7);
  EXPECT_THAT(Records(), ElementsAre(kFormatRecord, "earlier\r\n", "Cat|Sub|", "n=7\r\n"));
}

TEST_F(TraceTest, AnEmptyFileGetsTheHeader) {
  ASSERT_TRUE(WriteBytes(trace_file(), ""));
  StartTrace();
  kx::trace(L"Cat", L"Sub", L"n=%d", 7);
  EXPECT_THAT(EventRecords(), ElementsAre("Cat|Sub|", "n=7\r\n"));
  EXPECT_EQ(Records().front(), kFormatRecord);
}

// FileNamePath is the user's to set, while the launcher usually runs
// elevated: a file that is no trace file must come out unchanged.
TEST_F(TraceTest, AnyOtherFileIsLeftAloneAndNothingIsTraced) {
  const std::string format = kx::trace_format::encode_record(kFormatRecord);
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"text", "[boot loader]\r\ntimeout=30\r\n"},
      {"the format line unscrambled", kFormatRecord},
      {"the format record cut short", format.substr(0, format.size() - 1)},
      {"another record first", kx::trace_format::encode_record("earlier\r\n") + format},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteBytes(trace_file(), c.bytes));
    StartTrace();
    kx::trace(L"Cat", L"Sub", L"n=%d", 7);
    kx::trace_write(L"text");
    EXPECT_FALSE(kx::trace_enabled());
    EXPECT_EQ(ReadBytes(trace_file()), c.bytes);
  }
}

TEST_F(TraceTest, AFileReplacedOrRemovedAfterTheStartIsNotWritten) {
  StartTrace();
  ASSERT_TRUE(WriteBytes(trace_file(), "replaced"));
  kx::trace(L"Cat", L"Sub", L"n=%d", 7);
  EXPECT_EQ(ReadBytes(trace_file()), "replaced");
  ASSERT_TRUE(DeleteFileW(trace_file().c_str()));
  kx::trace(L"Cat", L"Sub", L"n=%d", 8);
  EXPECT_FALSE(exists(trace_file())) << "made again without its header";
}

TEST_F(TraceTest, WithoutADesktopTheDefaultFileIsNotWritten) {
  const kx::desktop_folder_fn previous = kx::set_desktop_folder([] { return kx::string(); });
  wchar_t current[MAX_PATH] = {};
  ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, current), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(dir_.path().c_str()));
  SetSwitch(std::wstring());
  kx::trace_start(L"C:\\nowhere\\setup.exe");
  kx::trace(L"Cat", L"Sub", L"n=%d", 7);
  const bool enabled = kx::trace_enabled();
  SetCurrentDirectoryW(current);
  kx::set_desktop_folder(previous);
  EXPECT_FALSE(enabled);
  WIN32_FIND_DATAW found;
  const HANDLE h = FindFirstFileW(dir_.file(L"setuptrace*").c_str(), &found);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE) << "a trace file in the current folder";
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

TEST_F(TraceTest, AFolderOfTheFilesNameTakesNothing) {
  ASSERT_TRUE(CreateDirectoryW(trace_file().c_str(), nullptr));
  StartTrace();
  kx::trace(L"Cat", L"Sub", L"n=%d", 7);
  const DWORD attributes = GetFileAttributesW(trace_file().c_str());
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_TRUE(RemoveDirectoryW(trace_file().c_str())) << "the folder was written into";
}

TEST_F(TraceTest, AnEventIsTwoRecords) {
  StartTrace();
  kx::trace(L"KXSetupInit", L"EXEProcessBegin", L"EXE=%s", L"C:\\m\\setup.exe");
  kx::trace_event(L"Cat", L"Sub", kx::string(L"made\tbefore"));
  EXPECT_THAT(EventRecords(),
              ElementsAre("KXSetupInit|EXEProcessBegin|", "EXE=C:\\m\\setup.exe\r\n", "Cat|Sub|",
                          "made\tbefore\r\n"));
}

TEST_F(TraceTest, LineBreaksInDetails) {
  StartTrace();
  // The trailing CR LF goes first; inner CRs and LFs become one "_" each.
  kx::trace(L"C", L"S", L"%s", L"a\r\nb\r\n");
  kx::trace_event(L"C", L"S", kx::string(L"a\r\nb\r\n"));
  kx::trace_event(L"C", L"S", kx::string(L"lf only\n"));
  kx::trace_event(L"C", L"S", kx::string(L"cr only\r"));
  kx::trace_event(L"C", L"S", kx::string(L"reversed\n\r"));
  kx::trace_event(L"C", L"S", kx::string(L"\r\n\r\n"));
  kx::trace_event(L"C", L"S", kx::string(L""));
  const std::vector<std::string> events = EventRecords();
  std::vector<std::string> details;
  for (size_t i = 1; i < events.size(); i += 2) details.push_back(events[i]);
  EXPECT_THAT(details, ElementsAre("a__b\r\n", "a__b\r\n", "lf only\r\n", "cr only\r\n",
                                   "reversed_\r\n", "__\r\n", "\r\n"));
}

TEST_F(TraceTest, DetailsAreCutAt16381Characters) {
  StartTrace();
  const std::wstring exact(16381, L'x');
  const std::wstring longer(20000, L'y');
  kx::trace(L"C", L"S", L"%s", exact.c_str());
  kx::trace(L"C", L"S", L"%s", longer.c_str());
  kx::trace_event(L"C", L"S", kx::string(longer));
  const std::vector<std::string> events = EventRecords();
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[1], std::string(16381, 'x') + "\r\n");
  EXPECT_EQ(events[3], std::string(16381, 'y') + "\r\n");
  EXPECT_EQ(events[5], std::string(16381, 'y') + "\r\n");
}

TEST_F(TraceTest, ARecordHoldsAtMost16384Bytes) {
  StartTrace();
  kx::trace_write(kx::string(std::wstring(16384, L'a')));
  kx::trace_write(kx::string(std::wstring(16385, L'b')));
  const std::vector<std::string> events = EventRecords();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], std::string(16384, 'a'));
  EXPECT_EQ(events[1], std::string(16384, 'b'));
}

TEST_F(TraceTest, TextIsWrittenInTheThreadsAnsiCodePage) {
  StartTrace();
  kx::trace_write(L"M\x00fcnchen \x20ac");
  const std::vector<std::string> events = EventRecords();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], kx::narrow(L"M\x00fcnchen \x20ac", CP_THREAD_ACP));
  EXPECT_EQ(events[0].size(), 9u);
}

TEST_F(TraceTest, EqualTextsAreScrambledAlike) {
  StartTrace();
  const std::string before = ReadBytes(trace_file());
  kx::trace_write(L"the same text");
  kx::trace_write(L"the same text");
  const std::string added = ReadBytes(trace_file()).substr(before.size());
  const std::string one = kx::trace_format::encode_record("the same text");
  EXPECT_EQ(added, one + one);
  EXPECT_EQ(one.substr(4).find("the same"), std::string::npos) << "written in clear";
}

TEST(TraceFormatTest, ScrambleFollowsTheFormula) {
  // Worked by hand with key 0x6B: 'A' (0x41) at 0 rotates to 0x05; 'B'+1
  // (0x43) rotates to 0x0D; 0xFF+2 wraps to 0x01, which rotates to 0x04.
  EXPECT_EQ(kx::trace_format::encode_record("AB\xFF"),
            std::string("\x03\x00\x00\x00\x6E\x66\x6F", 7));
  // The addend runs 0..70 and starts again at 71: position 70 adds 0x46
  // (rotated 0x19), position 71 adds nothing.
  const std::string zeros(72, '\0');
  const std::string record = kx::trace_format::encode_record(zeros);
  EXPECT_EQ(static_cast<unsigned char>(record[4 + 70]), 0x19 ^ 0x6B);
  EXPECT_EQ(static_cast<unsigned char>(record[4 + 71]), 0x6B);
  EXPECT_EQ(kx::trace_format::decode_record_bytes(record.substr(4)), zeros);
  // The length is little-endian.
  const std::string big = kx::trace_format::encode_record(std::string(0x1234, 'q'));
  EXPECT_EQ(big.substr(0, 4), std::string("\x34\x12\x00\x00", 4));
}

TEST_F(TraceTest, AFailingEventLeavesTheFallbackRecord) {
  StartTrace();
  kx::trace_event(L"Cat", L"Sub", std::function<kx::string()>([]() -> kx::string {
                    throw std::runtime_error("details failed");
                  }));
  kx::trace(L"Cat", L"After", L"ok");
  EXPECT_THAT(EventRecords(),
              ElementsAre("KXException|KXTracingInternal_TraceEx\r\n", "Cat|After|", "ok\r\n"));
}

TEST_F(TraceTest, TracingKeepsTheLastError) {
  StartTrace();
  SetLastError(1234);
  kx::trace(L"Cat", L"Sub", L"x");
  kx::trace_write(L"y");
  EXPECT_EQ(GetLastError(), 1234u);
}

TEST_F(TraceTest, ThreadsNeverLoseOrMixRecords) {
  StartTrace();
  constexpr int kThreads = 4;
  constexpr int kEvents = 150;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < kEvents; ++i) kx::trace(L"T", L"E", L"thread=%d event=%d", t, i);
    });
  for (std::thread& thread : threads) thread.join();
  const std::vector<std::string> events = EventRecords();
  ASSERT_EQ(events.size(), static_cast<size_t>(kThreads * kEvents * 2));
  std::vector<int> next(kThreads, 0);
  for (const std::string& e : events) {
    if (e == "T|E|") continue;
    int t = -1, i = -1;
    ASSERT_EQ(sscanf(e.c_str(), "thread=%d event=%d\r\n", &t, &i), 2) << e;
    ASSERT_GE(t, 0);
    ASSERT_LT(t, kThreads);
    EXPECT_EQ(i, next[static_cast<size_t>(t)]++) << "a record of thread " << t << " is missing";
  }
}

}  // namespace
}  // namespace kx::testing
