// The entries of an unscrambled skin package: until the data ends, each
// entry is a NUL-terminated ANSI name, its size as NUL-terminated decimal
// digits, and exactly that many bytes. The entry "skin.ini" (any case) is
// the description; every other entry is an image kept under its name.
//
// The package comes from the medium, which anyone can replace: every field
// is bounded by the bytes that remain, and a package that breaks any rule
// is refused as a whole.
//
// Windows-free: the launcher reads packages, the skin builder writes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

// The longest entry name (the image names of skin.ini are as long).
inline constexpr std::size_t kSkinMaxName = 260;
// The most digits a size may have, and the largest size.
inline constexpr std::size_t kSkinMaxSizeDigits = 9;
inline constexpr std::uint64_t kSkinMaxEntryBytes = 16u << 20;
// The most entries a package may hold, and the largest package.
inline constexpr std::size_t kSkinMaxEntries = 1024;
inline constexpr std::uint64_t kSkinMaxPackageBytes = 64u << 20;

// The name of the description entry.
inline constexpr std::string_view kSkinIniName = "skin.ini";

// Why a package was refused.
enum class SkinPackageProblem {
  none,
  name_unterminated,  // the data ends inside a name
  name_empty,
  name_too_long,
  size_unterminated,  // the data ends inside a size
  size_not_decimal,   // empty, or a character other than 0-9
  size_too_large,     // more digits or bytes than the caps allow
  data_truncated,     // fewer bytes remain than the size says
  too_many_entries,
  no_description,  // no "skin.ini" entry
  too_large,       // the package itself is beyond kSkinMaxPackageBytes
};

// One entry; `data` points into the bytes that were read.
struct SkinEntry {
  std::string name;
  std::span<const std::uint8_t> data;
};

struct SkinPackage {
  SkinPackageProblem problem = SkinPackageProblem::none;
  // Where the refused field starts.
  std::size_t offset = 0;
  // The first entry of every name (names compared without regard to case),
  // in package order; the description is among them.
  std::vector<SkinEntry> entries;
  // Names met again after their first entry; those entries are ignored.
  std::vector<std::string> duplicates;

  bool ok() const { return problem == SkinPackageProblem::none; }
  // The entry named `name` (any case), or null.
  const SkinEntry* Find(std::string_view name) const;
};

// Walks the plain bytes of a package. On a problem, `entries` is empty.
SkinPackage ReadSkinPackage(std::span<const std::uint8_t> plain);

// A short English description of `problem`, for the builder's messages.
const char* DescribeSkinPackageProblem(SkinPackageProblem problem);

// Appends one entry to plain package bytes.
void AppendSkinEntry(std::vector<std::uint8_t>& plain, std::string_view name,
                     std::span<const std::uint8_t> data);

// ASCII case-insensitive equality, as entry and section names compare.
bool SkinNamesEqual(std::string_view a, std::string_view b);

}  // namespace kx
