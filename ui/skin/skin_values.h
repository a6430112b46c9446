// The value syntax of skin.ini: colours, points, placement options and the
// counts of rectangles, images and buttons.
//
// Windows-free and pure, so that the syntax is table-tested and fuzzed.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kx {

// Placement option bits, as the image drawing uses them.
enum SkinOption : std::uint32_t {
  kSkinUpperRight = 0x1,
  kSkinUpperLeft = 0x2,
  kSkinLowerRight = 0x4,
  kSkinLowerLeft = 0x8,
  kSkinTransparent = 0x20,
  kSkinVCenter = 0x100,
  kSkinHCenter = 0x200,
  kSkinScale = 0x100000,
};
// The bits an image keeps for drawing (the centring becomes its position).
inline constexpr std::uint32_t kSkinDrawOptions = 0x10002F;
inline constexpr std::uint32_t kSkinAnchors =
    kSkinUpperRight | kSkinUpperLeft | kSkinLowerRight | kSkinLowerLeft;

// The most rectangles, images or buttons one section may have.
inline constexpr std::uint32_t kSkinMaxCount = 256;
// Positions are kept within this many dialog units of the origin, so that
// no converted coordinate reaches the drawing's centring marker.
inline constexpr int kSkinMaxCoordinate = 4096;

// A colour "R,G,B": the numbers before the first comma, between the first
// and the last comma, and after the last comma, each clamped to 0-255, as
// the COLORREF R + 256*G + 65536*B. Fewer than two commas: no colour (the
// default stays).
std::optional<std::uint32_t> ParseSkinColour(std::string_view text);

// Whether ParseSkinColour would clamp a component of `text`.
bool SkinColourClamped(std::string_view text);

struct SkinPoint {
  int x = 0;
  int y = 0;
  bool operator==(const SkinPoint&) const = default;
};

// A point "x,y" split at the first comma, each part clamped to
// +-kSkinMaxCoordinate; without a comma, no point.
std::optional<SkinPoint> ParseSkinPoint(std::string_view text);

// Placement options: comma-separated words, each matched at the start of
// its item without regard to case; unknown words are ignored.
std::uint32_t ParseSkinOptions(std::string_view text);

// The first item of `text` that ParseSkinOptions ignores; empty when every
// item is known.
std::string_view FirstUnknownSkinOption(std::string_view text);

// An integer as GetPrivateProfileIntA reads it: leading blanks, a sign,
// "0x" for hexadecimal, then digits up to the first other character,
// wrapping modulo 2^32 ("-1" reads 4294967295); no digits read 0.
std::uint32_t ProfileInt(std::string_view text);

// A count read from skin.ini.
struct SkinCount {
  enum class Problem { none, negative, capped };
  std::uint32_t value = 0;
  Problem problem = Problem::none;
};

// What a count read as `raw` (GetPrivateProfileIntA's unsigned result)
// gives: values with the top bit set are negative counts and read as 0;
// larger counts than kSkinMaxCount are cut to it.
SkinCount CheckSkinCount(std::uint32_t raw);

}  // namespace kx
