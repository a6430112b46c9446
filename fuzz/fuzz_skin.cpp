// Fuzzes the Windows-free parts of the skin engine. The input as a package
// file: unscramble it, walk its entries and check what the walk promises
// (entries inside the data, names within the cap, the description among
// them, every bitmap entry's checked rows inside the entry). The input as
// skin.ini text: read it as the builder does and check that every record
// stays within the caps whatever the counts say. The input as values: the
// colour, point, option and lookup syntax.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/skin_builder/skin_ini_text.h"
#include "ui/skin/skin_bitmap.h"
#include "ui/skin/skin_lookup.h"
#include "ui/skin/skin_package.h"
#include "ui/skin/skin_scramble.h"
#include "ui/skin/skin_values.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

bool inside(std::span<const std::uint8_t> part, std::span<const std::uint8_t> whole) {
  return part.empty() ||
         (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

void check_package(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> plain(data, data + size);
  kx::UnscrambleSkin(plain);
  for (const auto& bytes : {plain, std::vector<std::uint8_t>(data, data + size)}) {
    const kx::SkinPackage p = kx::ReadSkinPackage(bytes);
    if (!p.ok()) {
      require(p.entries.empty());
      continue;
    }
    require(p.Find(kx::kSkinIniName) != nullptr);
    require(p.entries.size() <= kx::kSkinMaxEntries);
    for (const kx::SkinEntry& e : p.entries) {
      require(!e.name.empty() && e.name.size() <= kx::kSkinMaxName);
      require(inside(e.data, bytes));
      const kx::SkinBitmapCheck c = kx::CheckSkinBitmap(e.data);
      if (!c.ok()) continue;
      require(inside(c.bitmap.pixels, e.data) && inside(c.bitmap.colours, e.data));
      const std::uint64_t rows =
          c.bitmap.height < 0 ? -std::int64_t{c.bitmap.height} : c.bitmap.height;
      require(c.bitmap.pixels.size() == c.bitmap.stride * rows);
    }
  }
  std::vector<std::uint8_t> again = plain;
  kx::ScrambleSkin(again);
  require(std::equal(again.begin(), again.end(), data));
}

void check_description(std::string_view text) {
  kx::skinbuild::SkinIniText ini(text);
  const kx::SkinDescription d = kx::ReadSkinDescription(ini);
  require(d.records.size() <= kx::kSkinMaxRecords);
  for (const kx::SkinRecord& r : d.records) {
    require(r.rects.size() <= kx::kSkinMaxCount);
    require(r.images.size() <= kx::kSkinMaxCount);
    require(r.buttons.size() <= kx::kSkinMaxCount);
    for (const kx::SkinRect& rect : r.rects) {
      if (rect.colour) require(*rect.colour <= 0xFFFFFF);
      require(rect.from.x >= -kx::kSkinMaxCoordinate && rect.from.x <= kx::kSkinMaxCoordinate);
    }
  }
}

void check_values(std::string_view text) {
  if (const auto c = kx::ParseSkinColour(text)) require(*c <= 0xFFFFFF);
  if (const auto p = kx::ParseSkinPoint(text)) {
    require(p->x >= -kx::kSkinMaxCoordinate && p->x <= kx::kSkinMaxCoordinate);
    require(p->y >= -kx::kSkinMaxCoordinate && p->y <= kx::kSkinMaxCoordinate);
  }
  const std::uint32_t options = kx::ParseSkinOptions(text);
  require((options & ~(kx::kSkinDrawOptions | kx::kSkinVCenter | kx::kSkinHCenter)) == 0);
  require(kx::CheckSkinCount(kx::ProfileInt(text)).value <= kx::kSkinMaxCount);
  const std::vector<std::string> chain = kx::SkinLookupChain(text.substr(0, 64));
  require(!chain.empty() && chain.size() <= 5 && kx::SkinNamesEqual(chain.back(), "ALL"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  check_package(data, size);
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  check_description(text.substr(0, 4096));
  check_values(text.substr(0, 256));
  return 0;
}
