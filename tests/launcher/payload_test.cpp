#include "launcher/payload.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "base/file.h"
#include "tests/launcher/payload_fixture.h"
#include "tests/testing/scoped_temp_dir.h"
#include "tools/medium_builder/szdd.h"

namespace kx {
namespace {

using testing::AppendCertificate;
using testing::BuildImage;
using testing::EncodeEntry;
using testing::EncodePayload;
using testing::FakeEntry;
using testing::FakeImage;
using testing::ReadBytes;
using testing::ScopedTempDir;
using testing::WriteBytes;

FakeEntry entry(std::u16string name, std::u16string path, std::string data) {
  FakeEntry e;
  e.name = std::move(name);
  e.path = std::move(path);
  e.data = std::move(data);
  return e;
}

bool exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> plain(const std::vector<string>& list) {
  std::vector<std::wstring> out;
  for (const string& s : list) out.push_back(s.str());
  return out;
}

std::string pattern(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i)
    s[i] = static_cast<char>((i * 131 + seed * 7 + i / 977) & 0xFF);
  return s;
}

// Retries of the target's creation wait 500 ms each; the tests need not.
class NoRetryWait : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = file_lite::set_retry_wait([](DWORD) {});
  }
  void TearDown() override { file_lite::set_retry_wait(previous_); }
  file_lite::retry_wait_fn previous_ = nullptr;
  ScopedTempDir dir_;
  std::wstring launcher_ = dir_.file(L"setup.exe");
  std::wstring dest_ = dir_.file(L"out");

  void write_launcher(const std::vector<FakeEntry>& entries) {
    ASSERT_TRUE(WriteBytes(launcher_, BuildImage(FakeImage{}) + EncodePayload(entries)));
  }
  int extract(std::vector<string>* files = nullptr, std::vector<string>* folders = nullptr,
              bool all = false) {
    return ExtractOverlay(string(launcher_), string(dest_ + L"\\"), files, folders, all);
  }
};

using ExtractOverlayTest = NoRetryWait;

TEST(HasPayloadTest, ReadsTheFileOnDisk) {
  ScopedTempDir dir;
  const std::string image = BuildImage(FakeImage{});
  struct Case {
    const wchar_t* name;
    std::string bytes;
    bool expected;
  };
  const Case cases[] = {
      {L"bare.exe", image, false},
      {L"tail50k.exe", image + std::string(51200, 'x'), false},
      {L"payload.exe", image + std::string(51201, 'x'), true},
      {L"text.exe", std::string(100000, 't'), false},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteBytes(dir.file(c.name), c.bytes));
    EXPECT_EQ(HasPayload(string(dir.file(c.name))), c.expected) << c.name;
  }
  EXPECT_FALSE(HasPayload(L"missing.exe"));
}

TEST_F(ExtractOverlayTest, UnpacksEntriesAndRecordsWhatItCreated) {
  const std::string big = pattern(3 * 0x4000 + 17, 1);
  write_launcher({entry(u"setup.ini", u"Disk1\\setup.ini", "[Startup]\r\n"),
                  entry(u"data1.cab", u"Disk1\\data1.cab", "cab one"),
                  entry(u"data2.cab", u"Disk1\\data2.cab", "cab two"),
                  entry(u"data2.cab", u"Disk1\\sub\\data2.cab", "nested cab"),
                  entry(u"big.bin", u"Disk1\\sub\\deep\\big.bin", big),
                  entry(u"empty.txt", u"Disk1\\empty.txt", ""),
                  entry(u"top.txt", u"top.txt", "top")});
  ASSERT_TRUE(CreateDirectoryW(dest_.c_str(), nullptr));
  std::vector<string> files, folders;
  ASSERT_EQ(extract(&files, &folders), overlay_ok);

  EXPECT_EQ(ReadBytes(dest_ + L"\\Disk1\\setup.ini"), "[Startup]\r\n");
  EXPECT_EQ(ReadBytes(dest_ + L"\\Disk1\\data1.cab"), "cab one");
  EXPECT_FALSE(exists(dest_ + L"\\Disk1\\data2.cab"));
  EXPECT_EQ(ReadBytes(dest_ + L"\\Disk1\\sub\\data2.cab"), "nested cab");
  EXPECT_EQ(ReadBytes(dest_ + L"\\Disk1\\sub\\deep\\big.bin"), big);
  EXPECT_TRUE(exists(dest_ + L"\\Disk1\\empty.txt"));
  EXPECT_EQ(ReadBytes(dest_ + L"\\top.txt"), "top");

  const std::wstring d = dest_ + L"\\";
  EXPECT_EQ(plain(files),
            (std::vector<std::wstring>{
                d, d + L"Disk1\\setup.ini", d + L"Disk1\\data1.cab", d + L"Disk1\\sub\\data2.cab",
                d + L"Disk1\\sub\\deep\\big.bin", d + L"Disk1\\empty.txt", d + L"top.txt"}));
  EXPECT_EQ(plain(folders), (std::vector<std::wstring>{d + L"Disk1\\", d + L"Disk1\\sub\\",
                                                       d + L"Disk1\\sub\\deep\\"}));
}

TEST_F(ExtractOverlayTest, ExtractAllKeepsTheDeferredCabinetsAndCreatesTheDestination) {
  write_launcher({entry(u"data2.cab", u"Disk1\\data2.cab", "cab two"),
                  entry(u"data3.cab", u"Disk1\\data3.cab", "cab three")});
  ASSERT_EQ(extract(nullptr, nullptr, true), overlay_ok);
  EXPECT_EQ(ReadBytes(dest_ + L"\\Disk1\\data2.cab"), "cab two");
  EXPECT_EQ(ReadBytes(dest_ + L"\\Disk1\\data3.cab"), "cab three");
}

TEST_F(ExtractOverlayTest, ExpandsCompressedEntriesUnderThePathsName) {
  const std::string text = pattern(70000, 3) + std::string(5000, 'a') + "the end";
  const std::vector<std::uint8_t> plain_bytes(text.begin(), text.end());
  const std::vector<std::uint8_t> packed = medium::szdd_compress(plain_bytes, 't');
  write_launcher(
      {entry(u"readme.tx_", u"Disk1\\readme.txt", std::string(packed.begin(), packed.end())),
       // Stored under another name without being compressed:
       // LZ32 copies such a file through.
       entry(u"other.dat", u"Disk1\\other.bin", "plain")});
  std::vector<string> files;
  ASSERT_EQ(extract(&files), overlay_ok);
  EXPECT_EQ(ReadBytes(dest_ + L"\\Disk1\\readme.txt"), text);
  EXPECT_FALSE(exists(dest_ + L"\\Disk1\\readme.tx_"));
  EXPECT_EQ(ReadBytes(dest_ + L"\\Disk1\\other.bin"), "plain");
  EXPECT_FALSE(exists(dest_ + L"\\Disk1\\other.dat"));
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[1].str(), dest_ + L"\\Disk1\\readme.txt");
}

// LZ32 cannot open a path of 128 characters or more. Such an entry must end
// the unpacking: left under its stored name, the file would be missing
// under its real one and the run would fail later without a word.
TEST_F(ExtractOverlayTest, ACompressedEntryThatCannotBeExpandedEndsTheUnpacking) {
  const std::vector<std::uint8_t> bytes = {'M', 'Z', 1, 2, 3, 3, 3, 3, 3, 3, 3, 3};
  const std::vector<std::uint8_t> packed = medium::szdd_compress(bytes, 'e');
  const std::vector<std::uint8_t> empty = medium::szdd_compress({}, 't');
  write_launcher(
      {entry(u"first.txt", u"Disk1\\first.txt", "first"),
       entry(u"setup.ex_", u"Disk1\\setup.exe", std::string(packed.begin(), packed.end())),
       entry(u"empty.tx_", u"Disk1\\empty.txt", std::string(empty.begin(), empty.end())),
       entry(u"after.txt", u"Disk1\\after.txt", "after")});
  const std::wstring deep = dest_ + L"\\" + std::wstring(130, L'd');

  struct Case {
    std::wstring destination;
    int result;
  };
  for (const Case& c : {Case{dest_, overlay_ok}, Case{deep, overlay_expand_failed}}) {
    testing::RemoveTree(dest_);
    const std::wstring d = c.destination + L"\\Disk1\\";
    std::vector<string> files;
    string failed;
    EXPECT_EQ(
        ExtractOverlay(string(launcher_), string(c.destination), &files, nullptr, false, &failed),
        c.result)
        << d;
    EXPECT_EQ(ReadBytes(d + L"first.txt"), "first") << d;
    EXPECT_FALSE(exists(d + L"setup.ex_")) << d;
    EXPECT_FALSE(exists(d + L"empty.tx_")) << d;
    if (c.result == overlay_ok) {
      EXPECT_EQ(ReadBytes(d + L"setup.exe"), std::string(bytes.begin(), bytes.end()));
      EXPECT_TRUE(exists(d + L"empty.txt")) << "an empty file expands to an empty file";
      EXPECT_EQ(ReadBytes(d + L"after.txt"), "after");
      EXPECT_TRUE(failed.empty());
    } else {
      EXPECT_FALSE(exists(d + L"setup.exe"));
      EXPECT_FALSE(exists(d + L"after.txt")) << "the unpacking stopped there";
      EXPECT_EQ(failed.str(), d + L"setup.exe");
      EXPECT_EQ(plain(files), (std::vector<std::wstring>{c.destination, d + L"first.txt"}));
    }
  }
}

// A refused entry ends the unpacking; nothing reaches a place outside the
// destination and what was unpacked before stays.
TEST_F(ExtractOverlayTest, UnsafeEntriesAreRefused) {
  // One of each kind; payload_names_test.cpp has the whole table.
  const std::u16string paths[] = {
      u"Disk1\\..\\..\\evil.txt", u"Disk1/../../evil.txt", u"\\evil.txt", u"Z:\\evil.txt",
      u"Disk1\\evil.txt:stream",  u"Disk1\\con.txt"};
  for (const std::u16string& path : paths) {
    const std::wstring shown(path.begin(), path.end());
    testing::RemoveTree(dest_);
    write_launcher({entry(u"good.txt", u"Disk1\\good.txt", "good"),
                    entry(u"evil.txt", path, "evil"),
                    entry(u"after.txt", u"Disk1\\after.txt", "after")});
    EXPECT_EQ(extract(), overlay_unsafe_entry) << shown;
    EXPECT_EQ(ReadBytes(dest_ + L"\\Disk1\\good.txt"), "good") << shown;
    EXPECT_FALSE(exists(dest_ + L"\\Disk1\\after.txt")) << shown;
    EXPECT_FALSE(exists(dir_.file(L"evil.txt"))) << shown;
    EXPECT_FALSE(exists(dest_ + L"\\evil.txt")) << shown;
  }
  // A stored name with a separator is refused the same way.
  write_launcher({entry(u"..\\evil.txt", u"Disk1\\evil.txt", "evil")});
  EXPECT_EQ(extract(), overlay_unsafe_entry);
  EXPECT_FALSE(exists(dest_ + L"\\evil.txt"));
}

TEST_F(ExtractOverlayTest, BrokenPayloadsFailWithoutShortFiles) {
  FakeEntry too_big = entry(u"b.bin", u"Disk1\\b.bin", "bbbb");
  too_big.size_text = u"999999";
  FakeEntry not_a_number = entry(u"b.bin", u"Disk1\\b.bin", "bbbb");
  not_a_number.size_text = u"4x";
  const std::string good = EncodeEntry(entry(u"a.bin", u"Disk1\\a.bin", "aaaa"));
  struct Case {
    const char* what;
    std::string payload;
  };
  auto count = [](std::uint32_t n) { return std::string(reinterpret_cast<const char*>(&n), 4); };
  const Case cases[] = {
      {"size beyond the file", count(2) + good + EncodeEntry(too_big)},
      {"size not a number", count(2) + good + EncodeEntry(not_a_number) + std::string(60000, 'z')},
      {"count larger than the data", count(70000) + good + std::string(60000, '\0')},
      {"unterminated text", count(2) + good + std::string(60000, 'q')},
  };
  for (const Case& c : cases) {
    testing::RemoveTree(dest_);
    ASSERT_TRUE(WriteBytes(launcher_, BuildImage(FakeImage{}) + c.payload));
    EXPECT_EQ(extract(), overlay_corrupt) << c.what;
    EXPECT_FALSE(exists(dest_ + L"\\Disk1\\b.bin")) << c.what;
  }
  // What came before a broken entry is kept.
  ASSERT_TRUE(
      WriteBytes(launcher_, BuildImage(FakeImage{}) + count(2) + good + EncodeEntry(too_big)));
  testing::RemoveTree(dest_);
  EXPECT_EQ(extract(), overlay_corrupt);
  EXPECT_EQ(ReadBytes(dest_ + L"\\Disk1\\a.bin"), "aaaa");
}

TEST_F(ExtractOverlayTest, SignedLauncherEndsItsPayloadAtTheCertificateTable) {
  FakeImage image;
  std::string file = BuildImage(image) + EncodePayload({entry(u"a.txt", u"Disk1\\a.txt", "a")});
  AppendCertificate(file, image, 0x600);
  ASSERT_TRUE(WriteBytes(launcher_, file));
  EXPECT_TRUE(HasPayload(string(launcher_)));
  ASSERT_EQ(extract(), overlay_ok);
  EXPECT_EQ(ReadBytes(dest_ + L"\\Disk1\\a.txt"), "a");

  // Data that would run into the signature is not payload.
  std::string cut = BuildImage(image) + std::string("\x01\x00\x00\x00", 4) +
                    EncodeEntry(entry(u"b.txt", u"Disk1\\b.txt", std::string(60000, 'b')));
  cut.resize(cut.size() - 10);
  AppendCertificate(cut, image, 0x600);
  ASSERT_TRUE(WriteBytes(launcher_, cut));
  testing::RemoveTree(dest_);
  EXPECT_EQ(extract(), overlay_corrupt);
  EXPECT_FALSE(exists(dest_ + L"\\Disk1\\b.txt"));
}

TEST_F(ExtractOverlayTest, LauncherAndTargetFailures) {
  EXPECT_EQ(
      ExtractOverlay(string(dir_.file(L"missing.exe")), string(dest_), nullptr, nullptr, false),
      overlay_open_failed);
  ASSERT_TRUE(WriteBytes(launcher_, "not an executable at all"));
  EXPECT_EQ(extract(), overlay_corrupt);

  // A folder where the file should go: the file cannot be created.
  write_launcher({entry(u"a.txt", u"Disk1\\a.txt", "a")});
  ASSERT_TRUE(CreateDirectoryW(dest_.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((dest_ + L"\\Disk1").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((dest_ + L"\\Disk1\\a.txt").c_str(), nullptr));
  EXPECT_EQ(extract(), overlay_create_failed);
}

TEST(ExtractOverlayLocked, ALockedTargetIsWrittenByALaterAttempt) {
  ScopedTempDir dir;
  const std::wstring launcher = dir.file(L"setup.exe");
  ASSERT_TRUE(WriteBytes(
      launcher, BuildImage(FakeImage{}) + EncodePayload({entry(u"a.txt", u"a.txt", "new")})));
  const std::wstring target = dir.file(L"out\\a.txt");
  ASSERT_TRUE(CreateDirectoryW(dir.file(L"out").c_str(), nullptr));
  HANDLE lock = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  std::thread release([lock] {
    Sleep(700);
    CloseHandle(lock);
  });
  const int result =
      ExtractOverlay(string(launcher), string(dir.file(L"out")), nullptr, nullptr, false);
  release.join();
  EXPECT_EQ(result, overlay_ok);
  EXPECT_EQ(ReadBytes(target), "new");
}

}  // namespace
}  // namespace kx
