#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <imagehlp.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "launcher/lz_expand.h"
#include "launcher/payload.h"
#include "launcher/payload_format.h"
#include "platform/version_info.h"
#include "tests/launcher/payload_fixture.h"
#include "tests/testing/probe_support.h"
#include "tests/testing/scoped_temp_dir.h"
#include "tools/medium_builder/file_source.h"
#include "tools/medium_builder/medium_writer.h"
#include "tools/medium_builder/pe_version.h"
#include "tools/medium_builder/szdd.h"

namespace kx::medium {
namespace {

namespace fs = std::filesystem;
using kx::testing::ReadBytes;
using kx::testing::ScopedTempDir;
using kx::testing::WriteBytes;

std::vector<std::uint8_t> bytes_of(const std::string& s) {
  return std::vector<std::uint8_t>(s.begin(), s.end());
}

std::string pseudo_random(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  unsigned x = seed * 2654435761u + 1;
  for (char& c : s) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

// Inputs that exercise literals, long and overlapping matches, matches
// reaching back a whole window, and the initial blank-filled window.
std::vector<std::string> compression_inputs() {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i % 97) + " of the readme\r\n";
  std::string window_edge = pseudo_random(4095, 9);
  window_edge += window_edge + window_edge.substr(0, 100);
  return {"a",
          "   leading blanks",
          std::string(100000, 'z'),
          "abcabcabcabcabcabcabcabcabcabcabc",
          text,
          pseudo_random(70000, 5),
          window_edge};
}

TEST(Szdd, ExpandsToTheOriginalWithLz32AndTheBuildersDecoder) {
  ScopedTempDir dir;
  for (const std::string& input : compression_inputs()) {
    const std::vector<std::uint8_t> packed = szdd_compress(bytes_of(input), 't');
    std::vector<std::uint8_t> back;
    ASSERT_TRUE(szdd_expand(packed, back)) << input.size();
    EXPECT_EQ(back, bytes_of(input)) << input.size();

    const std::wstring from = dir.file(L"x.tx_"), to = dir.file(L"x.txt");
    ASSERT_TRUE(WriteBytes(from, std::string(packed.begin(), packed.end())));
    EXPECT_EQ(lz_expand_file(string(from), string(to)), static_cast<long>(input.size()));
    EXPECT_EQ(ReadBytes(to), input) << input.size();
  }
  const std::vector<std::uint8_t> repeated = szdd_compress(bytes_of(std::string(100000, 'z')), 'z');
  EXPECT_LT(repeated.size(), 100000u / 8);
}

TEST(Szdd, DamagedFilesAreNotExpanded) {
  std::vector<std::uint8_t> packed = szdd_compress(bytes_of(pseudo_random(5000, 2)), 'x');
  std::vector<std::uint8_t> out;
  std::vector<std::uint8_t> cut(packed.begin(), packed.end() - 10);
  EXPECT_FALSE(szdd_expand(cut, out));
  packed[0] = 'X';
  EXPECT_FALSE(szdd_expand(packed, out));
}

TEST(MediumNames, CompressedNames) {
  EXPECT_EQ(compressed_name(u"setup.exe"), u"setup.ex_");
  EXPECT_EQ(compressed_name(u"readme.html"), u"readme.htm_");
  EXPECT_EQ(compressed_name(u"a.cf"), u"a.cf_");
  EXPECT_EQ(compressed_name(u"README"), u"README._");
  EXPECT_EQ(payload_path(fs::path(L"Disk1") / L"sub" / L"a.txt"), u"Disk1\\sub\\a.txt");
}

TEST(PeVersion, ReadsTheFixedFileVersion) {
  const std::wstring probe = kx::testing::ProbePath();
  version_info expected;
  ASSERT_TRUE(expected.load(string(probe)));
  const VS_FIXEDFILEINFO& f = expected.fixed();
  const std::string text = std::to_string(HIWORD(f.dwFileVersionMS)) + "." +
                           std::to_string(LOWORD(f.dwFileVersionMS)) + "." +
                           std::to_string(HIWORD(f.dwFileVersionLS)) + "." +
                           std::to_string(LOWORD(f.dwFileVersionLS));
  file_source source{fs::path(probe)};
  EXPECT_EQ(file_version_text(source), text);
  EXPECT_NE(text, "0.0.0.0");

  const std::string image = kx::testing::BuildImage(kx::testing::FakeImage{});
  kx::payload::buffer_source no_resources(image.data(), image.size());
  EXPECT_EQ(file_version_text(no_resources), "0.0.0.0");
  const std::string text_file = "plain text";
  kx::payload::buffer_source not_pe(text_file.data(), text_file.size());
  EXPECT_EQ(file_version_text(not_pe), "0.0.0.0");
}

TEST(PrepareLauncher, CutsSignatureAndSymbolsAndClearsTheirHeaders) {
  kx::testing::FakeImage image;
  image.symbol_table_size = 18 * 10;
  const std::string with_symbols = kx::testing::BuildImage(image);
  const prepared_launcher p = prepare_launcher(bytes_of(with_symbols));
  const std::uint32_t end = kx::testing::SectionsEnd(image);
  ASSERT_EQ(p.image.size(), end);
  EXPECT_TRUE(p.had_symbols);
  EXPECT_FALSE(p.had_signature);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(p.image[0x80 + 4 + 8 + i], 0) << i;
  EXPECT_EQ(p.medium_copy, p.image);

  kx::testing::FakeImage plain;
  std::string signed_file = kx::testing::BuildImage(plain);
  kx::testing::AppendCertificate(signed_file, plain, 0x300);
  const prepared_launcher s = prepare_launcher(bytes_of(signed_file));
  EXPECT_TRUE(s.had_signature);
  EXPECT_FALSE(s.had_other_data);
  ASSERT_EQ(s.image.size(), kx::testing::SectionsEnd(plain));
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(s.image[kx::testing::SecurityEntryOffset(plain) + i], 0) << i;
  // The medium keeps the signed launcher as it is.
  EXPECT_EQ(s.medium_copy, bytes_of(signed_file));

  std::string with_old_payload = kx::testing::BuildImage(plain) + std::string(70000, 'p');
  EXPECT_TRUE(prepare_launcher(bytes_of(with_old_payload)).had_other_data);
}

TEST(PrepareLauncher, RefusesFilesTheLauncherWouldMisread) {
  EXPECT_THROW(prepare_launcher(bytes_of("not an executable")), medium_error);
  kx::testing::FakeImage image;
  std::string gap = kx::testing::BuildImage(image);
  // Move the second section's raw data 0x200 further: the sum of raw sizes
  // no longer ends where the image does.
  const std::size_t second = 0x80 + 24 + 224 + 40 + 20;
  gap[second + 1] = static_cast<char>(gap[second + 1] + 2);
  gap.append(0x200, '\0');
  EXPECT_THROW(prepare_launcher(bytes_of(gap)), medium_error);
}

class BuildMedium : public ::testing::Test {
 protected:
  ScopedTempDir dir_;
  fs::path root_{dir_.path()};
  fs::path medium_ = root_ / L"medium";
  fs::path launcher_ = root_ / L"launcher.exe";
  fs::path output_ = root_ / L"setup.exe";

  void SetUp() override {
    fs::create_directories(medium_ / L"Disk1" / L"sub");
    put(L"Disk1\\setup.ini", "[Startup]\r\nProductName=Test\r\n");
    put(L"Disk1\\data1.cab", pseudo_random(40000, 1));
    put(L"Disk1\\data2.cab", pseudo_random(30000, 2));
    put(L"Disk1\\sub\\Readme.txt", std::string(20000, 'r'));
    kx::testing::FakeImage image;
    image.symbol_table_size = 18 * 4;
    image.checksum = 0x1234;
    ASSERT_TRUE(WriteBytes(launcher_.wstring(), kx::testing::BuildImage(image)));
  }
  void put(const std::wstring& rel, const std::string& bytes) {
    ASSERT_TRUE(WriteBytes((medium_ / rel).wstring(), bytes));
  }
  build_options options() {
    build_options o;
    o.launcher = launcher_;
    o.medium = medium_;
    o.output = output_;
    return o;
  }
};

TEST_F(BuildMedium, TheLauncherUnpacksWhatTheBuilderWrote) {
  build_options o = options();
  o.compress = {u"disk1/sub/readme.txt"};
  std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;
  o.progress = [&](std::uint64_t done, std::uint64_t total) { progress.emplace_back(done, total); };
  const build_result r = build_medium(o);

  ASSERT_EQ(r.entries.size(), 5u);
  EXPECT_TRUE(r.launcher_copy_added);
  const std::u16string order[] = {u"Disk1\\data1.cab", u"Disk1\\data2.cab", u"Disk1\\setup.ini",
                                  u"Disk1\\sub\\Readme.txt", u"Disk1\\setup.exe"};
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(r.entries[i].relative_path, order[i]) << i;
  EXPECT_EQ(r.entries[3].name, u"Readme.tx_");
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back().first, progress.back().second);

  const string out(output_.wstring().c_str());
  EXPECT_TRUE(HasPayload(out));
  const fs::path unpacked = root_ / L"unpacked";
  ASSERT_EQ(ExtractOverlay(out, string(unpacked.wstring().c_str()), nullptr, nullptr, true),
            overlay_ok);
  for (const wchar_t* rel :
       {L"Disk1\\setup.ini", L"Disk1\\data1.cab", L"Disk1\\data2.cab", L"Disk1\\sub\\Readme.txt"})
    EXPECT_EQ(ReadBytes((unpacked / rel).wstring()), ReadBytes((medium_ / rel).wstring())) << rel;
  // The unpacked launcher is the prepared image: no payload of its own.
  const std::string copy = ReadBytes((unpacked / L"Disk1\\setup.exe").wstring());
  EXPECT_EQ(copy.size(), r.payload_offset);
  EXPECT_FALSE(HasPayload(string((unpacked / L"Disk1\\setup.exe").wstring().c_str())));

  // The checksum the launcher carried was computed again for the new file.
  DWORD header = 0, computed = 0;
  ASSERT_EQ(MapFileAndCheckSumW(output_.wstring().c_str(), &header, &computed),
            static_cast<DWORD>(CHECKSUM_SUCCESS));
  EXPECT_EQ(header, computed);
  EXPECT_NE(header, 0u);
}

TEST_F(BuildMedium, OrderFileGivesTheEntriesAndTheirOrder) {
  const fs::path order = root_ / L"order.txt";
  ASSERT_TRUE(WriteBytes(order.wstring(),
                         "# the medium\r\nDisk1\\setup.ini\r\n\r\n  Disk1/data1.cab  \r\n"));
  build_options o = options();
  o.order_file = order;
  o.add_launcher_copy = false;
  const build_result r = build_medium(o);
  ASSERT_EQ(r.entries.size(), 2u);
  EXPECT_EQ(r.entries[0].relative_path, u"Disk1\\setup.ini");
  EXPECT_EQ(r.entries[1].relative_path, u"Disk1\\data1.cab");
  EXPECT_TRUE(HasPayload(string(output_.wstring().c_str())));
}

TEST_F(BuildMedium, RefusesWhatTheLauncherWouldRefuseAndLeavesNoOutput) {
  const char* orders[] = {"..\\outside.txt\r\n",
                          "Disk1\\..\\..\\x\r\n",
                          "C:\\Windows\\x.dll\r\n",
                          "\\\\server\\share\\x\r\n",
                          "Disk1\\nul.txt\r\n",
                          "Disk1\\x.txt:stream\r\n",
                          "Disk1\\setup.ini\r\nDISK1\\SETUP.INI\r\n",
                          "Disk1\\missing.txt\r\n"};
  for (const char* text : orders) {
    const fs::path order = root_ / L"order.txt";
    ASSERT_TRUE(WriteBytes(order.wstring(), text));
    build_options o = options();
    o.order_file = order;
    EXPECT_THROW(build_medium(o), medium_error) << text;
    EXPECT_FALSE(fs::exists(output_)) << text;
  }
  build_options o = options();
  o.compress = {u"Disk1\\nothere.txt"};
  EXPECT_THROW(build_medium(o), medium_error);
  put(L"Disk1\\already.ex_", "x");
  o.compress = {u"Disk1\\already.ex_"};
  EXPECT_THROW(build_medium(o), medium_error);

  o = options();
  o.output = medium_ / L"setup.exe";
  EXPECT_THROW(build_medium(o), medium_error);
  o.output = launcher_;
  EXPECT_THROW(build_medium(o), medium_error);
}

TEST_F(BuildMedium, SmallPayloadsArePaddedPastTheFiftyKilobyteRule) {
  build_options o = options();
  o.medium = root_ / L"small";
  fs::create_directories(o.medium / L"Disk1");
  ASSERT_TRUE(WriteBytes((o.medium / L"Disk1\\setup.ini").wstring(), "tiny"));
  o.add_launcher_copy = false;
  const build_result r = build_medium(o);
  EXPECT_TRUE(r.padded);
  EXPECT_EQ(r.output_size, r.payload_offset + kx::payload::kMinimumPayloadTail + 1);
  EXPECT_TRUE(HasPayload(string(output_.wstring().c_str())));
}

TEST_F(BuildMedium, AMediumLauncherWithAPayloadIsRefused) {
  put(L"Disk1\\setup.exe",
      kx::testing::BuildImage(kx::testing::FakeImage{}) + std::string(60000, 'p'));
  EXPECT_THROW(build_medium(options()), medium_error);
}

}  // namespace
}  // namespace kx::medium
