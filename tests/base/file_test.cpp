#include "base/file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

using testing::ReadBytes;
using testing::ScopedTempDir;
using testing::WriteBytes;

DWORD open_read(file& f, const std::wstring& path) {
  return f.open(string(path), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
}

TEST(FileTest, DetectsTheEncodingAtOpenAndReadsWithoutTheMark) {
  struct row {
    std::string bytes;
    int code_page;
    bool bom;
    std::wstring text;
  };
  const std::vector<row> rows = {
      {std::string("\xFF\xFE"
                   "a\0=\0",
                   6),
       1200, true, L"a="},
      {std::string("\xFE\xFF\0a\0=", 6), 1201, true, L"a="},
      {"\xEF\xBB\xBF"
       "a\xC3\xA4",
       65001, true, L"a\u00e4"},
      {"a\xE4", 0, false, L"a\u00e4"},
      {"\xFF", 0, false, L"\u00ff"},
      {"\xEF\xBB\xBF", 65001, true, L""},
      {"", 0, false, L""},
  };
  ScopedTempDir dir;
  for (const row& r : rows) {
    const std::wstring path = dir.file(L"t.txt");
    ASSERT_TRUE(WriteBytes(path, r.bytes));
    file f;
    ASSERT_EQ(open_read(f, path), 0u);
    EXPECT_EQ(f.code_page(), r.code_page) << ::testing::PrintToString(r.bytes);
    EXPECT_EQ(f.has_bom(), r.bom);
    string text(L"stale");
    EXPECT_EQ(f.read_text(text), 0u);
    EXPECT_EQ(text.str(), r.text) << ::testing::PrintToString(r.bytes);
    // Reading again starts again from the beginning.
    EXPECT_EQ(f.read_text(text), 0u);
    EXPECT_EQ(text.str(), r.text);
  }
}

TEST(FileTest, AnImposedCodePageYieldsOnlyToAMark) {
  ScopedTempDir dir;
  const std::wstring plain = dir.file(L"plain.txt"), marked = dir.file(L"marked.txt");
  ASSERT_TRUE(WriteBytes(plain, std::string("a\0b\0", 4)));
  ASSERT_TRUE(WriteBytes(marked, "\xEF\xBB\xBFz"));
  file f;
  ASSERT_EQ(open_read(f, plain), 0u);
  f.set_code_page(1200);
  string text;
  ASSERT_EQ(f.read_text(text), 0u);
  EXPECT_EQ(text, L"ab");
  file g;
  ASSERT_EQ(open_read(g, marked), 0u);
  g.set_code_page(1200);
  EXPECT_EQ(g.code_page(), 65001);
  ASSERT_EQ(g.read_text(text), 0u);
  EXPECT_EQ(text, L"z");
}

TEST(FileTest, CopiesShareTheHandleAndTheLastOneClosesIt) {
  ScopedTempDir dir;
  const std::wstring path = dir.file(L"shared.txt");
  ASSERT_TRUE(WriteBytes(path, "abc"));
  file* first = new file;
  ASSERT_EQ(open_read(*first, path), 0u);
  file second(*first);
  file third;
  third = second;
  EXPECT_EQ(second.handle(), first->handle());
  delete first;
  string text;
  ASSERT_EQ(third.read_text(text), 0u);
  EXPECT_EQ(text, L"abc");
  second.close();
  EXPECT_FALSE(DeleteFileW(path.c_str()));  // the third copy still holds it
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  third = third;
  third.close();
  EXPECT_FALSE(third.is_open());
  EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST(FileTest, CreateTextReplacesTheFileAndWritesLines) {
  ScopedTempDir dir;
  const std::wstring path = dir.file(L"out.ini");
  ASSERT_TRUE(WriteBytes(path, std::string(100, 'x')));
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
  struct row {
    int code_page;
    bool mark;
    std::string bytes;
  };
  const std::vector<row> rows = {
      {1200, true,
       std::string("\xFF\xFE"
                   "a\0\r\0\n\0\xE4\0\r\0\n\0",
                   14)},
      {1201, false, std::string("\0a\0\r\0\n\0\xE4\0\r\0\n", 12)},
      {65001, true,
       "\xEF\xBB\xBF"
       "a\r\n\xC3\xA4\r\n"},
      {0, true, "a\r\n\xE4\r\n"},
  };
  for (const row& r : rows) {
    file f;
    ASSERT_EQ(f.create_text(string(path)), 0u);
    f.set_code_page(r.code_page);
    ASSERT_EQ(f.write_lines({L"a", L"\u00e4"}, r.mark), 0u);
    f.close();
    EXPECT_EQ(ReadBytes(path), r.bytes) << r.code_page;
  }
  // Deleted first, not truncated: another name of the old file keeps the
  // old content.
  const std::wstring link = dir.file(L"link.ini");
  ASSERT_TRUE(CreateHardLinkW(link.c_str(), path.c_str(), nullptr));
  file f;
  ASSERT_EQ(f.create_text(string(path)), 0u);
  ASSERT_EQ(f.write_lines({L"new"}, false), 0u);
  f.close();
  EXPECT_EQ(ReadBytes(path), "new\r\n");
  EXPECT_EQ(ReadBytes(link), "a\r\n\xE4\r\n");
  EXPECT_EQ(f.create_text(string(dir.file(L"missing\\x.ini"))),
            static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(f.write_lines({L"a"}, false), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(FileTest, OpenFailuresReturnTheWin32Error) {
  ScopedTempDir dir;
  file f;
  EXPECT_EQ(open_read(f, dir.file(L"missing.txt")), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(f.is_open());
  string text;
  EXPECT_EQ(f.read_text(text), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  // A NUL inside a path must not cut it short to another, existing file.
  const std::wstring kept = dir.file(L"kept.ini");
  ASSERT_TRUE(WriteBytes(kept, "keep"));
  const string cut(kept + std::wstring(1, L'\0') + L"tail");
  EXPECT_EQ(open_read(f, cut.str()), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_EQ(f.create_text(cut), static_cast<DWORD>(ERROR_INVALID_NAME));
  file_lite lite;
  EXPECT_FALSE(lite.open_write(cut, CREATE_ALWAYS));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_FALSE(lite.open_read(cut));
  EXPECT_EQ(ReadBytes(kept), "keep");
}

TEST(FileTest, RefusesTextBeyondTheLimit) {
  ScopedTempDir dir;
  const std::wstring path = dir.file(L"huge.txt");
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = static_cast<LONGLONG>(kMaxTextBytes) + 1;
  ASSERT_TRUE(SetFilePointerEx(h, size, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(h));
  CloseHandle(h);
  file f;
  ASSERT_EQ(open_read(f, path), 0u);
  string text;
  EXPECT_EQ(f.read_text(text), static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
  EXPECT_TRUE(text.empty());
}

TEST(FileLiteTest, WritesSeeksAndReads) {
  ScopedTempDir dir;
  const string path(dir.file(L"data.bin"));
  file_lite out;
  ASSERT_TRUE(out.open_write(path, CREATE_ALWAYS));
  EXPECT_EQ(out.write("0123456789", 10), 10);
  EXPECT_EQ(out.read(nullptr, 0), -1);  // a write handle cannot read
  out.close();
  EXPECT_FALSE(out.is_open());
  file_lite in;
  ASSERT_TRUE(in.open_read(path));
  char buf[8] = {};
  ASSERT_TRUE(in.seek(6));
  EXPECT_EQ(in.read(buf, sizeof buf), 4);
  EXPECT_EQ(std::string(buf, 4), "6789");
  EXPECT_EQ(in.read(buf, sizeof buf), 0);  // the end
  EXPECT_EQ(in.write("x", 1), -1);         // a read handle cannot write
  EXPECT_FALSE(in.open_read(string(dir.file(L"missing.bin"))));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(in.is_open());
  EXPECT_FALSE(in.seek(0));
}

int waits = 0;
void count_wait(DWORD milliseconds) {
  EXPECT_EQ(milliseconds, 500u);
  ++waits;
}

TEST(FileLiteTest, OnlyAFileHeldElsewhereIsTriedFourTimes) {
  ScopedTempDir dir;
  ASSERT_TRUE(WriteBytes(dir.file(L"exists.bin"), "x"));
  // A folder cannot be opened for writing: access is denied.
  ASSERT_TRUE(CreateDirectoryW(dir.file(L"folder").c_str(), nullptr));
  const HANDLE held = CreateFileW(dir.file(L"held.bin").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  struct Case {
    const wchar_t* name;
    DWORD disposition;
    bool opened;
    DWORD error;
    int waits;
  };
  const Case cases[] = {
      {L"missing\\x.bin", CREATE_ALWAYS, false, ERROR_PATH_NOT_FOUND, 0},
      {L"exists.bin", CREATE_NEW, false, ERROR_FILE_EXISTS, 0},
      {L"folder", CREATE_ALWAYS, false, ERROR_ACCESS_DENIED, 0},
      {L"held.bin", CREATE_ALWAYS, false, ERROR_SHARING_VIOLATION, 3},
      {L"x.bin", CREATE_ALWAYS, true, ERROR_SUCCESS, 0},
  };
  const auto previous = file_lite::set_retry_wait(&count_wait);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    waits = 0;
    file_lite f;
    EXPECT_EQ(f.open_write(string(dir.file(c.name)), c.disposition), c.opened);
    if (!c.opened) {
      EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(waits, c.waits);
  }
  file_lite::set_retry_wait(previous);
  CloseHandle(held);
}

// Another handle holds the file without sharing it, for `hold_ms`.
class Locker {
 public:
  Locker(const std::wstring& path, DWORD hold_ms) {
    handle_ = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    thread_ = std::thread([this, hold_ms] {
      Sleep(hold_ms);
      CloseHandle(handle_);
    });
  }
  ~Locker() { thread_.join(); }
  bool locked() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
  std::thread thread_;
};

TEST(FileLiteTest, WritesAFileWhoseLockEndsSoon) {
  ScopedTempDir dir;
  const std::wstring path = dir.file(L"busy.bin");
  Locker lock(path, 1000);
  ASSERT_TRUE(lock.locked());
  const auto start = std::chrono::steady_clock::now();
  file_lite f;
  ASSERT_TRUE(f.open_write(string(path), CREATE_ALWAYS));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(900));
  EXPECT_LT(waited, std::chrono::milliseconds(1900));
  EXPECT_EQ(f.write("ok", 2), 2);
}

TEST(FileLiteTest, GivesUpOnAFileThatStaysLocked) {
  ScopedTempDir dir;
  const std::wstring path = dir.file(L"locked.bin");
  Locker lock(path, 3000);
  ASSERT_TRUE(lock.locked());
  const auto start = std::chrono::steady_clock::now();
  file_lite f;
  EXPECT_FALSE(f.open_write(string(path), CREATE_ALWAYS));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(1400));
  EXPECT_LT(waited, std::chrono::milliseconds(2900));
}

}  // namespace
}  // namespace kx
