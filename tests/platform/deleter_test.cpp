#include "platform/deleter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>
#include <utility>
#include <vector>

#include "platform/unique_handle.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;
using testing::ScopedTempDir;
using testing::WriteBytes;

string ks(const std::wstring& text) {
  return string(text);
}

bool exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Opens `path` so that nobody may delete it while the handle lives.
unique_handle hold(const std::wstring& path) {
  return unique_handle(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
}

// Hooks that record what the deleter reports and count its pauses without
// waiting.
struct recorded_run {
  std::vector<std::pair<std::wstring, bool>> removing;
  std::vector<DWORD> pauses;
  std::vector<std::wstring> self_deletes;
  std::function<void(int pause)> on_pause;

  deleter_hooks hooks() {
    deleter_hooks h;
    h.removing = [this](const string& path, bool folder) {
      removing.emplace_back(path.str(), folder);
    };
    h.pause = [this](DWORD ms) {
      pauses.push_back(ms);
      if (on_pause) on_pause(static_cast<int>(pauses.size()));
    };
    // Each self-delete is noted with its folder and the entries removed
    // before it.
    h.self_delete = [this](const string& temp) {
      self_deletes.push_back(temp.str() + L" after " + std::to_wstring(removing.size()));
      return true;
    };
    return h;
  }
};

TEST(DeleterTest, FilesInOrderThenFoldersInnerFirst) {
  ScopedTempDir dir;
  const std::wstring a = dir.file(L"A");
  const std::wstring b = a + L"\\B";
  ASSERT_TRUE(CreateDirectoryW(a.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(b.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(b + L"\\one.txt", "1"));
  ASSERT_TRUE(WriteBytes(a + L"\\two.txt", "2"));

  CleanupList list;
  list.add_file(ks(b + L"\\one.txt"));
  list.add_file(ks(a + L"\\two.txt"));
  list.add_folder(ks(a));
  list.add_folder(ks(b));
  list.SelfDelete = true;
  recorded_run run;
  run_deleter(list, ks(a), run.hooks());

  EXPECT_THAT(run.removing,
              ElementsAre(Pair(b + L"\\one.txt", false), Pair(a + L"\\two.txt", false),
                          Pair(b, true), Pair(a, true)));
  EXPECT_FALSE(exists(a));
  EXPECT_TRUE(run.pauses.empty()) << "B went first, so A was empty at the first attempt";
  EXPECT_TRUE(list.files.empty());
  EXPECT_TRUE(list.folders.empty());
  EXPECT_THAT(run.self_deletes, ElementsAre(a + L" after 4"));
}

TEST(DeleterTest, MissingEntriesAreReportedAndSkipped) {
  ScopedTempDir dir;
  CleanupList list;
  list.add_file(ks(dir.file(L"gone.txt")));
  list.add_folder(ks(dir.file(L"gone")));
  // A file where a folder was recorded is no folder to remove.
  ASSERT_TRUE(WriteBytes(dir.file(L"file"), "x"));
  list.add_folder(ks(dir.file(L"file")));
  recorded_run run;
  run_deleter(list, string(), run.hooks());
  EXPECT_EQ(run.removing.size(), 3u);
  EXPECT_TRUE(run.pauses.empty());
  EXPECT_TRUE(exists(dir.file(L"file")));
}

// The unpacking records its destination folder among the files: no attempt
// is wasted on it there, and it goes with the folders once it is empty.
TEST(DeleterTest, AFolderRecordedAsAFileWaitsForTheFolders) {
  ScopedTempDir dir;
  const std::wstring folder = dir.file(L"temp");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(folder + L"\\setup.ini", "ini"));
  CleanupList list;
  list.add_folder(ks(folder));
  list.add_file(ks(folder + L"\\"));
  list.add_file(ks(folder + L"\\setup.ini"));
  recorded_run run;
  run_deleter(list, string(), run.hooks());
  EXPECT_TRUE(run.pauses.empty());
  EXPECT_THAT(run.removing, ElementsAre(Pair(folder + L"\\", false),
                                        Pair(folder + L"\\setup.ini", false), Pair(folder, true)));
  EXPECT_FALSE(exists(folder));
}

TEST(DeleterTest, AHeldFileIsTriedAgainUntilReleased) {
  ScopedTempDir dir;
  const std::wstring file = dir.file(L"held.txt");
  ASSERT_TRUE(WriteBytes(file, "held"));
  unique_handle handle = hold(file);
  ASSERT_TRUE(handle);
  CleanupList list;
  list.add_file(ks(file));
  recorded_run run;
  run.on_pause = [&](int pause) {
    if (pause == 5) handle.reset();
  };
  run_deleter(list, string(), run.hooks());
  EXPECT_FALSE(exists(file));
  EXPECT_THAT(run.pauses, ElementsAre(100u, 100u, 100u, 100u, 100u));
}

TEST(DeleterTest, GivesUpAfter101Attempts) {
  ScopedTempDir dir;
  const std::wstring file = dir.file(L"held.txt");
  const std::wstring folder = dir.file(L"full");
  ASSERT_TRUE(WriteBytes(file, "held"));
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(folder + L"\\kept.txt", "kept"));
  unique_handle handle = hold(file);
  ASSERT_TRUE(handle);
  CleanupList list;
  list.add_file(ks(file));
  list.add_folder(ks(folder));
  recorded_run run;
  run_deleter(list, string(), run.hooks());
  // 101 attempts each, with a pause between two attempts.
  EXPECT_EQ(run.pauses.size(), 200u);
  EXPECT_TRUE(exists(file));
  EXPECT_TRUE(exists(folder + L"\\kept.txt"));
}

TEST(DeleterTest, TheFolderOfTheRunningProgramGetsOneAttempt) {
  ScopedTempDir dir;
  const std::wstring folder = dir.file(L"run");
  const std::wstring other = dir.file(L"other");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(other.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(folder + L"\\setup.exe", "running"));
  ASSERT_TRUE(WriteBytes(other + L"\\kept.txt", "kept"));
  CleanupList list;
  list.add_folder(ks(folder));
  list.add_folder(ks(other));
  recorded_run run;
  deleter_hooks hooks = run.hooks();
  // Case and a sibling whose name extends the folder's do not confuse it.
  hooks.running_program = ks(folder + L"\\SETUP.EXE");
  run_deleter(list, string(), hooks);
  EXPECT_EQ(run.pauses.size(), 100u) << "only the other folder waits";

  CleanupList sibling;
  sibling.add_folder(ks(folder));
  recorded_run second;
  hooks = second.hooks();
  hooks.running_program = ks(folder + L"x\\setup.exe");
  run_deleter(sibling, string(), hooks);
  EXPECT_EQ(second.pauses.size(), 100u);
}

TEST(DeleterTest, KeepFilesLeavesEverything) {
  ScopedTempDir dir;
  const std::wstring folder = dir.file(L"temp");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(folder + L"\\setup.ini", "ini"));
  CleanupList list;
  list.add_folder(ks(folder));
  list.add_file(ks(folder + L"\\setup.ini"));
  list.KeepFiles = true;
  list.SelfDelete = true;
  recorded_run run;
  run_deleter(list, ks(folder), run.hooks());
  EXPECT_TRUE(exists(folder + L"\\setup.ini"));
  EXPECT_TRUE(run.removing.empty());
  EXPECT_TRUE(run.self_deletes.empty());
}

// The real pause: a file held by another thread for three seconds goes on
// one of the later attempts.
TEST(DeleterTest, AFileHeldForThreeSecondsIsDeletedLater) {
  ScopedTempDir dir;
  const std::wstring file = dir.file(L"held.bin");
  ASSERT_TRUE(WriteBytes(file, "held for a while"));
  HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(opened, nullptr);
  unique_handle opened_owner(opened);
  std::thread holder([&] {
    unique_handle handle = hold(file);
    SetEvent(opened);
    Sleep(3000);
  });
  WaitForSingleObject(opened, INFINITE);

  CleanupList list;
  list.add_file(ks(file));
  int pauses = 0;
  deleter_hooks hooks;
  hooks.pause = [&](DWORD ms) {
    ++pauses;
    Sleep(ms);
  };
  run_deleter(list, string(), hooks);
  holder.join();
  EXPECT_FALSE(exists(file));
  EXPECT_GT(pauses, 0) << "the first attempt should have met the held file";
  EXPECT_LT(pauses, 100) << "given up rather than deleted";
}

}  // namespace
}  // namespace kx
