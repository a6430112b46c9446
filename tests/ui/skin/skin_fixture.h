// Skin packages and images for the tests, made with the same entry writer
// and scrambling the skin builder uses.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kx::testing {

using SkinFiles = std::vector<std::pair<std::string, std::string>>;

// The plain (unscrambled) bytes of a package holding `files` in order.
std::vector<std::uint8_t> PlainSkinPackage(const SkinFiles& files);

// The scrambled package of `files`, as a file holds it.
std::string SkinPackageFile(const SkinFiles& files);

// A scrambled package of raw plain bytes (hostile shapes).
std::string ScrambledBytes(const std::string& plain);

// A bottom-up 24-bit bitmap file whose pixel x, y (row 0 at the top) has
// the colour `colour(x, y)` (0x00BBGGRR, as a COLORREF).
std::string PaintedBitmap(int width, int height,
                          const std::function<std::uint32_t(int x, int y)>& colour);

// A bottom-up 24-bit bitmap file of one colour (0x00BBGGRR).
std::string SolidBitmap(int width, int height, std::uint32_t colour);

// A bitmap file whose left half is `left` and right half `right`.
std::string SplitBitmap(int width, int height, std::uint32_t left, std::uint32_t right);

}  // namespace kx::testing
