#include "launcher/payload_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/payload_image.h"
#include "tests/launcher/payload_fixture.h"

namespace kx::payload {
namespace {

using testing::AppendCertificate;
using testing::BuildImage;
using testing::EncodeEntry;
using testing::EncodePayload;
using testing::FakeEntry;
using testing::FakeImage;
using testing::SectionsEnd;

image_status layout_of(const std::string& file, image_layout& layout) {
  buffer_source source(file.data(), file.size());
  return read_image_layout(source, layout);
}

TEST(PayloadImage, OffsetIsHeadersPlusRawSizesForBothFormats) {
  for (bool plus : {false, true}) {
    FakeImage image;
    image.pe32plus = plus;
    image.section_raw_sizes = {0x200, 0x600, 0x200};
    const std::string file = BuildImage(image) + std::string(60000, 'P');
    image_layout layout;
    ASSERT_EQ(layout_of(file, layout), image_status::ok) << plus;
    EXPECT_EQ(layout.pe32plus, plus);
    EXPECT_EQ(layout.payload_offset, 0x400u + 0x200 + 0x600 + 0x200);
    EXPECT_EQ(layout.image_end, layout.payload_offset);
    EXPECT_EQ(layout.payload_limit, file.size());
    EXPECT_EQ(layout.certificate_offset, 0u);
  }
}

TEST(PayloadImage, DebugDataAfterTheSectionsBelongsToTheImage) {
  FakeImage image;
  const std::uint32_t end = SectionsEnd(image);
  // One entry inside the sections (not counted), two stored after them.
  image.debug = {{0x400, 0x40}, {end, 0x80}, {end + 0x80, 0x20}};
  const std::string file = BuildImage(image) + std::string(60000, 'P');
  image_layout layout;
  ASSERT_EQ(layout_of(file, layout), image_status::ok);
  EXPECT_EQ(layout.payload_offset, end + 0x80u + 0x20u);
  EXPECT_EQ(layout.image_end, layout.payload_offset);
}

TEST(PayloadImage, CertificateTableEndsThePayloadAndIsNotCounted) {
  FakeImage image;
  std::string file = BuildImage(image) + std::string(60001, 'P');
  const std::uint32_t cert = AppendCertificate(file, image, 0x900);
  image_layout layout;
  ASSERT_EQ(layout_of(file, layout), image_status::ok);
  EXPECT_EQ(layout.payload_offset, SectionsEnd(image));
  EXPECT_EQ(layout.payload_limit, cert);
  EXPECT_EQ(layout.certificate_offset, cert);
  EXPECT_EQ(layout.certificate_size, 0x900u);
  EXPECT_TRUE(has_payload(layout));
}

TEST(PayloadImage, SymbolTableIsReportedButNotCounted) {
  FakeImage image;
  image.symbol_table_size = 18 * 100;
  const std::string file = BuildImage(image);
  image_layout layout;
  ASSERT_EQ(layout_of(file, layout), image_status::ok);
  EXPECT_EQ(layout.payload_offset, SectionsEnd(image));
  EXPECT_EQ(layout.symbol_table_offset, SectionsEnd(image));
}

// The payload region must be longer than 51200 bytes; with a signature,
// the region ends at the certificate table, not at the end of the file.
TEST(PayloadImage, FiftyKilobyteRule) {
  struct Case {
    std::uint32_t tail;
    std::uint32_t certificate;  // 0: unsigned
    bool expected;
  };
  const Case cases[] = {
      {0, 0, false},         {51200, 0, false},       {51201, 0, true},
      {200000, 0, true},     {51200, 0x10000, false}, {40000, 0x10000, false},
      {51208, 0x2000, true}, {51199, 0x10000, false},
  };
  for (const Case& c : cases) {
    FakeImage image;
    std::string file = BuildImage(image) + std::string(c.tail, 'P');
    if (c.certificate) AppendCertificate(file, image, c.certificate);
    image_layout layout;
    ASSERT_EQ(layout_of(file, layout), image_status::ok);
    EXPECT_EQ(has_payload(layout), c.expected) << c.tail << " " << c.certificate;
  }
  image_layout huge;
  huge.file_size = 0x100000000ull;
  EXPECT_TRUE(has_payload(huge));
}

TEST(PayloadImage, DamagedHeadersAreRefused) {
  FakeImage image;
  const std::string good = BuildImage(image) + std::string(60000, 'P');
  struct Case {
    const char* what;
    std::size_t at;
    std::string bytes;
    image_status expected;
  };
  const std::size_t opt = 0x80 + 24;
  const Case cases[] = {
      {"no MZ", 0, "XY", image_status::not_an_image},
      {"PE offset beyond the file", 0x3c, std::string("\xff\xff\xff\x7f", 4),
       image_status::not_an_image},
      {"no PE signature", 0x80, "NE", image_status::not_an_image},
      {"unknown optional header", opt, std::string("\x07\x01", 2), image_status::not_an_image},
      {"optional header too small", 0x80 + 4 + 16, std::string("\x10\x00", 2),
       image_status::not_an_image},
      {"section table beyond the file", 0x80 + 4 + 2, std::string("\xff\xff", 2),
       image_status::bad_headers},
      {"certificate table inside the image", testing::SecurityEntryOffset(image),
       std::string("\x00\x02\x00\x00\x10\x00\x00\x00", 8), image_status::bad_headers},
      {"certificate table beyond the file", testing::SecurityEntryOffset(image),
       std::string("\x00\x00\x00\x70\x10\x00\x00\x00", 8), image_status::bad_headers},
  };
  for (const Case& c : cases) {
    std::string file = good;
    file.replace(c.at, c.bytes.size(), c.bytes);
    image_layout layout;
    EXPECT_EQ(layout_of(file, layout), c.expected) << c.what;
  }
  image_layout layout;
  EXPECT_EQ(layout_of(std::string("MZ"), layout), image_status::not_an_image);
  EXPECT_EQ(layout_of(good.substr(0, 0x100), layout), image_status::bad_headers);
}

TEST(PayloadImage, HostileDebugDirectoryIsBounded) {
  FakeImage image;
  image.debug = {{0x400, 0x40}};
  std::string file = BuildImage(image) + std::string(60000, 'P');
  const std::size_t size_field = 0x80 + 24 + 96 + 6 * 8 + 4;
  file.replace(size_field, 4, std::string("\x00\x00\x10\x00", 4));  // 1 MiB of entries
  image_layout layout;
  EXPECT_EQ(layout_of(file, layout), image_status::bad_headers);
}

// A short reader over a bare payload region.
struct Region {
  std::string bytes;
  buffer_source source{nullptr, 0};
  explicit Region(std::string b) : bytes(std::move(b)), source(bytes.data(), bytes.size()) {}
};

FakeEntry entry(std::u16string name, std::u16string path, std::string data) {
  FakeEntry e;
  e.name = std::move(name);
  e.path = std::move(path);
  e.data = std::move(data);
  return e;
}

TEST(PayloadReader, ReadsEntriesAndTheirDataOffsets) {
  FakeEntry engine = entry(u"KXSetup.dll", u"Disk1\\KXSetup.dll", "engine bytes");
  engine.version = u"26.0.0.717";
  const std::vector<FakeEntry> entries = {entry(u"setup.ini", u"Disk1\\setup.ini", "[Startup]"),
                                          engine, entry(u"empty.txt", u"Disk1\\sub\\empty.txt", ""),
                                          entry(u"setup.ex_", u"Disk1\\setup.exe", "SZDD")};
  Region r(EncodePayload(entries, 0));
  reader rd(r.source, 0, r.bytes.size());
  ASSERT_EQ(rd.start(), read_status::ok);
  ASSERT_EQ(rd.count(), 4u);
  std::uint64_t offset = 4;
  for (const FakeEntry& expected : entries) {
    ASSERT_FALSE(rd.done());
    payload::entry e;
    ASSERT_EQ(rd.next(e), read_status::ok);
    EXPECT_EQ(e.name.str(), std::wstring(expected.name.begin(), expected.name.end()));
    EXPECT_EQ(e.relative_path.str(), std::wstring(expected.path.begin(), expected.path.end()));
    EXPECT_EQ(e.version.str(), std::wstring(expected.version.begin(), expected.version.end()));
    EXPECT_EQ(e.size, expected.data.size());
    offset += EncodeEntry(expected).size();
    EXPECT_EQ(e.data_offset + e.size, offset);
    EXPECT_EQ(r.bytes.substr(e.data_offset, e.size), expected.data);
  }
  EXPECT_TRUE(rd.done());
}

TEST(PayloadReader, EmptyPayloadHasNoEntries) {
  Region r(EncodePayload({}, 0));
  reader rd(r.source, 0, r.bytes.size());
  ASSERT_EQ(rd.start(), read_status::ok);
  EXPECT_TRUE(rd.done());
}

TEST(PayloadReader, HostileEntriesStopTheReading) {
  const std::string good = EncodeEntry(entry(u"a.txt", u"Disk1\\a.txt", "AAAA"));
  auto with_size = [](std::u16string size_text, std::string data) {
    FakeEntry e = entry(u"b.txt", u"Disk1\\b.txt", std::move(data));
    e.size_text = std::move(size_text);
    return EncodeEntry(e);
  };
  auto count = [](std::uint32_t n) {
    std::string b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
    return b;
  };
  const std::u16string long_text(300, u'x');
  struct Case {
    const char* what;
    std::string region;
    read_status first;   // from start()
    read_status second;  // from the second next(), after the good entry
  };
  const Case cases[] = {
      {"size not a number", count(2) + good + with_size(u"12a", "123"), read_status::ok,
       read_status::bad_size},
      {"negative size", count(2) + good + with_size(u"-3", "abc"), read_status::ok,
       read_status::bad_size},
      {"blank in size", count(2) + good + with_size(u" 3", "abc"), read_status::ok,
       read_status::bad_size},
      {"hex size", count(2) + good + with_size(u"0x3", "abc"), read_status::ok,
       read_status::bad_size},
      {"size longer than 14 digits", count(2) + good + with_size(u"000000000000003", "abc"),
       read_status::ok, read_status::unterminated_text},
      {"size beyond the data", count(2) + good + with_size(u"1000", "abc"), read_status::ok,
       read_status::beyond_limit},
      {"size of 14 nines", count(2) + good + with_size(u"99999999999999", "abc"), read_status::ok,
       read_status::beyond_limit},
      {"name without NUL", count(2) + good + std::string(520, 'x') + std::string(2, '\0'),
       read_status::ok, read_status::unterminated_text},
      {"data ends inside a text", count(2) + good + testing::Utf16z(u"b.txt").substr(0, 5),
       read_status::ok, read_status::unterminated_text},
      {"count beyond what the data can hold", count(1000) + good, read_status::bad_count,
       read_status::bad_count},
      {"count one too many", count(2) + good, read_status::ok, read_status::unterminated_text},
      {"too short for a count", std::string(3, '\0'), read_status::bad_count,
       read_status::bad_count},
      {"absolute path", count(2) + good + EncodeEntry(entry(u"x", u"\\Windows\\x", "x")),
       read_status::ok, read_status::unsafe_name},
      {"climbing path", count(2) + good + EncodeEntry(entry(u"x", u"Disk1\\..\\..\\x", "x")),
       read_status::ok, read_status::unsafe_name},
      {"separator in name", count(2) + good + EncodeEntry(entry(u"..\\x", u"Disk1\\x", "x")),
       read_status::ok, read_status::unsafe_name},
      {"device name", count(2) + good + EncodeEntry(entry(u"nul.txt", u"Disk1\\nul.txt", "x")),
       read_status::ok, read_status::unsafe_name},
      {"long path", count(2) + good + EncodeEntry(entry(u"x", long_text, "x")), read_status::ok,
       read_status::unterminated_text},
  };
  for (const Case& c : cases) {
    Region r(c.region);
    reader rd(r.source, 0, r.bytes.size());
    const read_status started = rd.start();
    EXPECT_EQ(started, c.first) << c.what;
    if (started != read_status::ok) continue;
    payload::entry e;
    ASSERT_EQ(rd.next(e), read_status::ok) << c.what;
    EXPECT_EQ(rd.next(e), c.second) << c.what;
    EXPECT_TRUE(rd.done()) << c.what;
  }
}

TEST(PayloadReader, DataRunningIntoTheCertificateTableIsRefused) {
  FakeImage image;
  const std::string entry_bytes =
      EncodeEntry(entry(u"a.bin", u"Disk1\\a.bin", std::string(60000, 'a')));
  std::string file = BuildImage(image) + std::string("\x01\x00\x00\x00", 4) + entry_bytes;
  // Cut the last 100 data bytes: the signature's table now starts where
  // the entry's data should still go on.
  file.resize(file.size() - 100);
  AppendCertificate(file, image, 0x800);
  buffer_source source(file.data(), file.size());
  image_layout layout;
  ASSERT_EQ(locate(source, layout), read_status::ok);
  reader rd(source, layout.payload_offset, layout.payload_limit);
  ASSERT_EQ(rd.start(), read_status::ok);
  payload::entry e;
  EXPECT_EQ(rd.next(e), read_status::beyond_limit);
}

TEST(PayloadReader, LocateNeedsAnImageWithRoomAfterIt) {
  FakeImage image;
  const std::string bare = BuildImage(image);
  buffer_source source(bare.data(), bare.size());
  image_layout layout;
  EXPECT_EQ(locate(source, layout), read_status::no_payload);
  const std::string text = "just some text, not an executable";
  buffer_source other(text.data(), text.size());
  EXPECT_EQ(locate(other, layout), read_status::not_an_image);
}

TEST(PayloadReader, SizeTexts) {
  struct Case {
    std::u16string text;
    bool ok;
    std::uint64_t value;
  };
  const Case cases[] = {
      {u"0", true, 0},     {u"17", true, 17},
      {u"0017", true, 17}, {u"99999999999999", true, 99999999999999ull},
      {u"", false, 0},     {u"999999999999999", false, 0},
      {u"1e3", false, 0},  {u"+5", false, 0},
      {u"5 ", false, 0},   {u"\x0663", false, 0},
  };
  for (const Case& c : cases) {
    std::uint64_t v = 12345;
    const string text(reinterpret_cast<const xchar*>(c.text.data()), c.text.size());
    EXPECT_EQ(parse_size(text.as_view(), v), c.ok) << text.size();
    if (c.ok) {
      EXPECT_EQ(v, c.value);
    }
  }
}

}  // namespace
}  // namespace kx::payload
