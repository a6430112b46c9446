#include "prereq/pending_rename_walk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kx::prereq {
namespace {

using bytes = std::vector<std::uint8_t>;

// The value's bytes for `text` (NULs written as \0 in the literal).
bytes value(const sax::text& text) {
  bytes out;
  for (const kx::xchar c : text) {
    out.push_back(std::uint8_t(c & 0xFF));
    out.push_back(std::uint8_t(c >> 8));
  }
  return out;
}

sax::text z(const kx::xchar* text) {
  return sax::text(text) + kx::xchar(0);
}

// One deletion or rename: source, NUL, destination, NUL.
sax::text entry(const kx::xchar* source, const kx::xchar* destination = KXT("")) {
  return z(source) + z(destination);
}

const std::vector<sax::text> kTemp = {KXT("C:\\Users\\ROOT~1\\Temp\\"),
                                      KXT("C:\\Users\\root\\AppData\\Local\\Temp\\")};

constexpr const kx::xchar* kInTemp = KXT("\\??\\C:\\Users\\root\\AppData\\Local\\Temp\\a.tmp");
constexpr const kx::xchar* kInTemp2 = KXT("\\??\\C:\\Users\\root\\AppData\\Local\\Temp\\b.tmp");
constexpr const kx::xchar* kOutside = KXT("\\??\\C:\\windows\\system32\\x.dll");

bool walk(const sax::text& text, std::int64_t snapshot = 0) {
  const bytes data = value(text);
  return only_temp_operations_added(data, snapshot, kTemp);
}

TEST(PendingRenameWalk, WellFormedLists) {
  const sax::text end(1, kx::xchar(0));
  const struct {
    const char* what;
    sax::text list;
    bool only_temp;
  } rows[] = {
      {"one deletion in temp", entry(kInTemp) + end, true},
      {"two deletions in temp", entry(kInTemp) + entry(kInTemp2) + end, true},
      {"case differs", entry(KXT("\\??\\c:\\USERS\\Root\\appdata\\LOCAL\\temp\\A.TMP")) + end,
       true},
      {"short form", entry(KXT("\\??\\C:\\Users\\ROOT~1\\Temp\\x")) + end, true},
      {"outside", entry(kOutside) + end, false},
      {"temp then outside", entry(kInTemp) + entry(kOutside) + end, false},
      {"parent component",
       entry(KXT("\\??\\C:\\Users\\root\\AppData\\Local\\Temp\\..\\..\\x.dll")) + end, false},
      {"parent at the end", entry(KXT("\\??\\C:\\Users\\ROOT~1\\Temp\\sub\\..")) + end, false},
      {"slash parent", entry(KXT("\\??\\C:\\Users\\ROOT~1\\Temp\\a/../../x")) + end, false},
      {"dots in a name", entry(KXT("\\??\\C:\\Users\\ROOT~1\\Temp\\a..b")) + end, true},
      {"no nt prefix", entry(KXT("C:\\Users\\ROOT~1\\Temp\\x")) + end, false},
      {"the folder itself", entry(KXT("\\??\\C:\\Users\\ROOT~1\\Temp\\")) + end, false},
      {"a sibling folder", entry(KXT("\\??\\C:\\Users\\ROOT~1\\Temporary\\x")) + end, false},
      {"rename inside temp", entry(kInTemp, KXT("!\\??\\C:\\Users\\ROOT~1\\Temp\\y")) + end, true},
      {"rename without replace", entry(kInTemp, kInTemp2) + end, true},
      {"rename out of temp", entry(kInTemp, KXT("!\\??\\C:\\windows\\x.dll")) + end, false},
      {"rename into temp", entry(kOutside, kInTemp) + end, false},
      {"empty list", end, true},
      {"padding after the end", entry(kInTemp) + end + end + end, true},
  };
  for (const auto& r : rows) EXPECT_EQ(walk(r.list), r.only_temp) << r.what;
}

TEST(PendingRenameWalk, OnlyTheAddedPartCounts) {
  const sax::text end(1, kx::xchar(0));
  const sax::text before = entry(kOutside) + end;
  // The system appends over the old list's final NUL.
  const sax::text after = entry(kOutside) + entry(kInTemp) + end;
  const std::int64_t snapshot = std::int64_t(before.size() * 2);
  EXPECT_TRUE(walk(after, snapshot));
  EXPECT_FALSE(walk(after, 0));
  // A snapshot at least as large as the data: everything counts.
  EXPECT_FALSE(walk(after, std::int64_t(after.size() * 2)));
  EXPECT_FALSE(walk(after, std::int64_t(after.size() * 2) + 10));
  // Malformed snapshots never start before the data.
  EXPECT_FALSE(walk(after, 1));
  EXPECT_FALSE(walk(after, -5));
  EXPECT_TRUE(walk(entry(kInTemp) + end, 1));
  // An outside entry after the temp one is still seen.
  EXPECT_FALSE(walk(entry(kOutside) + entry(kInTemp) + entry(kOutside) + end, snapshot));
  // A value rewritten so that the snapshot points into the middle of a pair:
  // the pair reaching into the added part is judged.
  const sax::text rewritten = entry(KXT("\\??\\C:\\a")) + entry(kOutside) + end;
  EXPECT_FALSE(walk(rewritten, 8));
}

TEST(PendingRenameWalk, MalformedDataMeansReboot) {
  const sax::text end(1, kx::xchar(0));
  const bytes good = value(entry(kInTemp) + end);
  ASSERT_TRUE(only_temp_operations_added(good, 0, kTemp));

  const bytes one_byte = {0};
  EXPECT_FALSE(only_temp_operations_added(one_byte, 0, kTemp));
  EXPECT_FALSE(only_temp_operations_added(bytes{}, 0, kTemp));
  bytes odd = good;
  odd.push_back(0);
  EXPECT_FALSE(only_temp_operations_added(odd, 0, kTemp));
  bytes three(good.begin(), good.begin() + 3);
  EXPECT_FALSE(only_temp_operations_added(three, 0, kTemp));

  const struct {
    const char* what;
    sax::text list;
  } rows[] = {
      {"no final NUL", entry(kInTemp)},
      {"no NUL at all", sax::text(kInTemp)},
      {"destination without its NUL", z(kInTemp) + KXT("\\??\\C:\\x")},
      {"source only", z(kInTemp)},
      {"text after the end", entry(kInTemp) + end + KXT("x")},
      {"entry after the end", entry(kInTemp) + end + entry(kInTemp2) + end},
  };
  for (const auto& r : rows) EXPECT_FALSE(walk(r.list)) << r.what;

  // Every cut of a good list either parses as a shorter good one or fails;
  // none reads past its end (the sanitizer build checks the reads).
  for (std::size_t n = 0; n < good.size(); ++n) {
    const bytes cut(good.begin(), good.begin() + std::ptrdiff_t(n));
    EXPECT_FALSE(only_temp_operations_added(cut, 0, kTemp)) << n;
  }
}

TEST(PendingRenameWalk, TemporaryFolders) {
  EXPECT_TRUE(path_inside_folders(KXT("C:\\Users\\ROOT~1\\Temp\\x"), kTemp));
  EXPECT_TRUE(path_inside_folders(KXT("c:\\users\\root~1\\temp\\x"), kTemp));
  EXPECT_FALSE(path_inside_folders(KXT("C:\\Users\\ROOT~1\\Temp"), kTemp));
  EXPECT_FALSE(path_inside_folders(KXT("C:\\Users\\ROOT~1\\Temp\\..\\x"), kTemp));
  // Folders without their trailing backslash, or none at all, hold nothing.
  EXPECT_FALSE(path_inside_folders(KXT("C:\\Temp\\x"), {KXT("C:\\Temp")}));
  EXPECT_FALSE(path_inside_folders(KXT("C:\\Tempest\\x"), {KXT("C:\\Temp")}));
  EXPECT_FALSE(path_inside_folders(KXT("C:\\Temp\\x"), {}));
  const bytes data = value(entry(kInTemp) + sax::text(1, kx::xchar(0)));
  EXPECT_FALSE(only_temp_operations_added(data, 0, {}));
}

}  // namespace
}  // namespace kx::prereq
