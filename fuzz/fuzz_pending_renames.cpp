// Fuzzes the walk over pending file operations. The first input byte picks
// the mode:
// - even: the rest is the value's data as stored, after a two-byte snapshot
//   size; the walk must not crash, must be repeatable, and may only accept
//   data of whole characters that ends in a NUL;
// - odd: the rest describes entries (segments split at 0xFF; a segment's
//   first byte says inside or outside the temporary folder, the rest names
//   the file), written the way the system writes them, and the walk must
//   accept exactly the lists whose added entries all lie inside.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "prereq/pending_rename_walk.h"

namespace {

using kx::prereq::only_temp_operations_added;

void require(bool condition) {
  if (!condition) std::abort();
}

const std::vector<sax::text>& temp_folders() {
  static const std::vector<sax::text> folders = {KXT("C:\\Users\\A~1\\Temp\\"),
                                                 KXT("C:\\Users\\Alice\\AppData\\Local\\Temp\\")};
  return folders;
}

std::vector<std::uint8_t> bytes_of(const sax::text& text) {
  std::vector<std::uint8_t> out;
  for (const kx::xchar c : text) {
    out.push_back(std::uint8_t(c & 0xFF));
    out.push_back(std::uint8_t(c >> 8));
  }
  return out;
}

struct entry {
  bool inside;
  sax::text path;
};

// A file name that cannot step out of its folder or end early.
sax::text safe_name(const std::uint8_t* data, std::size_t size) {
  sax::text name;
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint8_t b = data[i];
    name += (b == 0 || b == '.' || b == '/') ? kx::xchar('_') : kx::xchar(b);
  }
  if (name.empty() || name.front() == kx::xchar('\\')) name.insert(0, KXT("f"));
  return name;
}

void check_oracle(const std::uint8_t* data, std::size_t size) {
  std::vector<entry> entries;
  std::size_t start = 0;
  while (start < size && entries.size() < 64) {
    std::size_t end = start;
    while (end < size && data[end] != 0xFF) ++end;
    if (end > start) {
      const bool inside = (data[start] & 1) != 0;
      const sax::text folder = inside ? temp_folders()[data[start] >> 1 & 1] : KXT("D:\\data\\");
      entries.push_back(
          {inside, KXT("\\??\\") + folder + safe_name(data + start + 1, end - start - 1)});
    }
    start = end + 1;
  }
  // The list before and after each possible append point.
  for (std::size_t kept = 0; kept <= entries.size(); ++kept) {
    sax::text before, after;
    bool added_inside = true;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      sax::text one = entries[i].path;
      one += kx::xchar(0);
      one += kx::xchar(0);
      after += one;
      if (i < kept)
        before += one;
      else
        added_inside = added_inside && entries[i].inside;
    }
    before += kx::xchar(0);
    after += kx::xchar(0);
    const std::vector<std::uint8_t> data_after = bytes_of(after);
    const std::int64_t snapshot = kept == 0 ? 0 : std::int64_t(before.size() * 2);
    if (snapshot < std::int64_t(data_after.size()) || kept == 0)
      require(only_temp_operations_added(data_after, snapshot, temp_folders()) == added_inside);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1) {
    check_oracle(data + 1, size - 1);
    return 0;
  }
  if (size < 3) return 0;
  const std::int64_t snapshot = std::int64_t(data[1] | data[2] << 8) - 16;
  const std::vector<std::uint8_t> value(data + 3, data + size);
  const bool first = only_temp_operations_added(value, snapshot, temp_folders());
  require(first == only_temp_operations_added(value, snapshot, temp_folders()));
  if (first) {
    require(value.size() % 2 == 0 && value.size() >= 2);
    require(value[value.size() - 1] == 0 && value[value.size() - 2] == 0);
  }
  return 0;
}
