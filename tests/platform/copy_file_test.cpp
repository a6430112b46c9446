#include "platform/copy_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/file.h"
#include "base/web_source.h"
#include "platform/error_record.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

struct Event {
  int event;
  std::wstring text;
  std::uint64_t number;
  bool operator==(const Event&) const = default;
};

// Records every event and answers from a script: the n-th time `event`
// arrives (counting from 1) the answer is `answer`; otherwise 1.
struct Recorder {
  struct Rule {
    int event, nth, answer;
  };
  std::vector<Event> events;
  std::vector<Rule> rules;

  static int Callback(void* context, int event, const wchar_t* text, DWORD low, DWORD high) {
    auto* self = static_cast<Recorder*>(context);
    self->events.push_back({event, text, (std::uint64_t(high) << 32) | low});
    int seen = 0;
    for (const Event& e : self->events) seen += e.event == event;
    for (const Rule& r : self->rules)
      if (r.event == event && r.nth == seen) return r.answer;
    return copy_continue;
  }
  std::vector<int> Kinds() const {
    std::vector<int> kinds;
    for (const Event& e : events) kinds.push_back(e.event);
    return kinds;
  }
};

class CopyFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // 100000 bytes in chunks of 0x8000: 32768, 65536, 98304, 100000.
    for (int i = 0; i < 100000; ++i) data_ += static_cast<char>(i * 7 + i / 256);
    ASSERT_TRUE(WriteBytes(source_.str(), data_));
    previous_ = set_copy_callback(Recorder::Callback, &recorder_);
  }
  void TearDown() override {
    set_copy_callback(previous_.function, previous_.context);
    set_copy_size_wanted(false);
  }

  testing::ScopedTempDir dir_;
  std::string data_;
  string source_{dir_.file(L"source.bin")};
  string target_{dir_.file(L"out\\sub\\target.bin")};
  Recorder recorder_;
  copy_callback_registration previous_;
};

TEST_F(CopyFileTest, ReportsEveryStepInOrder) {
  set_copy_size_wanted(true);
  std::uint64_t copied = 0;
  ASSERT_TRUE(copy_file(source_, target_, false, kCopyBufferBytes, &copied));
  EXPECT_EQ(copied, 100000u);
  EXPECT_EQ(ReadBytes(target_.str()), data_);
  const std::vector<Event> expected = {
      {copy_source, source_.str(), 0}, {copy_target, target_.str(), 0}, {copy_size, L"", 100000},
      {copy_started, L"", 0},          {copy_progress, L"", 32768},     {copy_progress, L"", 65536},
      {copy_progress, L"", 98304},     {copy_progress, L"", 100000},    {copy_done, L"", 100000}};
  EXPECT_EQ(recorder_.events, expected);
}

TEST_F(CopyFileTest, SizeOnlyWhenWantedAndChunksOfTheBufferSize) {
  ASSERT_TRUE(copy_file(source_, target_, false, 60000));
  EXPECT_EQ(recorder_.Kinds(), (std::vector<int>{6, 5, 0, 4, 4, 1}));
  EXPECT_EQ(recorder_.events[3].number, 60000u);
  EXPECT_EQ(ReadBytes(target_.str()), data_);
}

TEST_F(CopyFileTest, EmptySourceGivesAnEmptyTargetWithoutProgress) {
  ASSERT_TRUE(WriteBytes(source_.str(), ""));
  ASSERT_TRUE(copy_file(source_, target_, false));
  EXPECT_EQ(recorder_.Kinds(), (std::vector<int>{6, 5, 0, 1}));
  EXPECT_EQ(GetFileAttributesW(target_.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(CopyFileTest, StopAtTheStartEndsWithoutATarget) {
  recorder_.rules = {{copy_started, 1, copy_stop}};
  EXPECT_FALSE(copy_file(source_, target_, false));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANCELLED));
  EXPECT_EQ(recorder_.Kinds(), (std::vector<int>{6, 5, 0}));
  EXPECT_EQ(GetFileAttributesW(target_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CopyFileTest, CancelDuringTheDataRemovesThePartialTarget) {
  // An older target is replaced, so a cancelled copy leaves none at all.
  ASSERT_TRUE(CreateDirectoryW(dir_.file(L"out").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(dir_.file(L"out\\sub").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(target_.str(), "an older target"));
  recorder_.rules = {{copy_progress, 2, copy_stop}};
  std::uint64_t copied = 0;
  EXPECT_FALSE(copy_file(source_, target_, false, kCopyBufferBytes, &copied));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANCELLED));
  EXPECT_EQ(copied, 65536u);
  EXPECT_EQ(recorder_.Kinds(), (std::vector<int>{6, 5, 0, 4, 4, 3}));
  EXPECT_EQ(recorder_.events.back().number, 65536u);
  EXPECT_EQ(GetFileAttributesW(target_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CopyFileTest, RepeatAnswerCopiesAgainFromTheStart) {
  recorder_.rules = {
      {copy_progress, 1, copy_stop}, {copy_cancelled, 1, copy_repeat}, {copy_done, 1, copy_repeat}};
  ASSERT_TRUE(copy_file(source_, target_, false));
  EXPECT_EQ(recorder_.Kinds(), (std::vector<int>{6, 5, 0, 4, 3,              // cancelled
                                                 6, 5, 0, 4, 4, 4, 4, 1,     // repeated
                                                 6, 5, 0, 4, 4, 4, 4, 1}));  // repeated again
  EXPECT_EQ(ReadBytes(target_.str()), data_);
}

TEST_F(CopyFileTest, KeepsFileTimesWhenAsked) {
  FILETIME created{0x11111111, 0x01C00000}, accessed{0x22222222, 0x01C10000},
      written{0x33333333, 0x01C20000};
  HANDLE h = CreateFileW(source_.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(h, &created, &accessed, &written));
  CloseHandle(h);

  WIN32_FILE_ATTRIBUTE_DATA kept{}, fresh{};
  ASSERT_TRUE(copy_file(source_, target_, true));
  ASSERT_TRUE(GetFileAttributesExW(target_.c_str(), GetFileExInfoStandard, &kept));
  // Wine cannot set creation times on a Linux file system; Windows does.
  WIN32_FILE_ATTRIBUTE_DATA source{};
  ASSERT_TRUE(GetFileAttributesExW(source_.c_str(), GetFileExInfoStandard, &source));
  if (CompareFileTime(&source.ftCreationTime, &created) == 0) {
    EXPECT_EQ(CompareFileTime(&kept.ftCreationTime, &created), 0);
  }
  EXPECT_EQ(CompareFileTime(&kept.ftLastWriteTime, &written), 0);
  EXPECT_EQ(CompareFileTime(&kept.ftLastAccessTime, &accessed), 0);

  const string other(dir_.file(L"fresh.bin"));
  ASSERT_TRUE(copy_file(source_, other, false));
  ASSERT_TRUE(GetFileAttributesExW(other.c_str(), GetFileExInfoStandard, &fresh));
  EXPECT_GT(CompareFileTime(&fresh.ftLastWriteTime, &written), 0);
}

TEST_F(CopyFileTest, WorksWithoutACallback) {
  set_copy_callback(nullptr, nullptr);
  ASSERT_TRUE(copy_file(source_, target_, false));
  EXPECT_EQ(ReadBytes(target_.str()), data_);
  EXPECT_TRUE(recorder_.events.empty());
}

TEST_F(CopyFileTest, MissingSourceFailsWithTheErrorRecord) {
  const string missing(dir_.file(L"missing.bin"));
  record_error(0);
  EXPECT_FALSE(copy_file(missing, target_, false));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(last_error_record().code, static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(last_error_record().path, missing);
  EXPECT_EQ(recorder_.Kinds(), (std::vector<int>{6, 5}));
  EXPECT_EQ(GetFileAttributesW(target_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CopyFileTest, TargetThatCannotBeWrittenIsRecordedAndLeftAlone) {
  // The target exists as a folder: it can neither be opened nor replaced.
  const auto no_wait = file_lite::set_retry_wait([](DWORD) {});
  ASSERT_TRUE(CreateDirectoryW(dir_.file(L"out").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(dir_.file(L"out\\sub").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(target_.c_str(), nullptr));
  record_error(0);
  EXPECT_FALSE(copy_file(source_, target_, false));
  file_lite::set_retry_wait(no_wait);
  EXPECT_NE(last_error_record().code, 0u);
  EXPECT_EQ(last_error_record().path, target_);
  EXPECT_EQ(recorder_.Kinds(), (std::vector<int>{6, 5}));
  EXPECT_NE(GetFileAttributesW(target_.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(CopyFileTest, FolderThatCannotBeMadeEndsTheCopyFirst) {
  ASSERT_TRUE(WriteBytes(dir_.file(L"out"), "a file where a folder should be"));
  record_error(0);
  EXPECT_FALSE(copy_file(source_, target_, false));
  EXPECT_EQ(last_error_record().path.str(), dir_.file(L"out"));
  EXPECT_TRUE(recorder_.events.empty());
}

// A web source serving 70000 bytes, so web copies are tested without a
// network.
class FakeWebSource : public web_source {
 public:
  static std::string content;
  DWORD open(const string&, DWORD) override { return 0; }
  DWORD seek(std::uint64_t offset) override {
    at_ = static_cast<size_t>(offset);
    return 0;
  }
  DWORD read(void* buffer, DWORD count, DWORD& got) override {
    got = static_cast<DWORD>(std::min<size_t>(count, content.size() - at_));
    std::memcpy(buffer, content.data() + at_, got);
    at_ += got;
    return 0;
  }

 private:
  size_t at_ = 0;
};
std::string FakeWebSource::content;

std::unique_ptr<web_source> MakeFake(const web_source_options&, DWORD&) {
  return std::make_unique<FakeWebSource>();
}

TEST_F(CopyFileTest, CopiesFromAWebAddressWithoutSizeOrTimes) {
  FakeWebSource::content = data_.substr(0, 70000);
  set_web_source_factory(MakeFake);
  set_copy_size_wanted(true);
  const string url(L"http://example.test/media/file.bin");
  const bool copied = copy_file(url, target_, true);
  set_web_source_factory(nullptr);
  ASSERT_TRUE(copied);
  EXPECT_EQ(ReadBytes(target_.str()), FakeWebSource::content);
  EXPECT_EQ(recorder_.Kinds(), (std::vector<int>{6, 5, 0, 4, 4, 4, 1}));
  EXPECT_EQ(recorder_.events[0].text, url.str());
}

}  // namespace
}  // namespace kx
