#include "tests/ui/skin/skin_fixture.h"

#include <span>

#include "ui/skin/skin_package.h"
#include "ui/skin/skin_scramble.h"

namespace kx::testing {

namespace {

void put32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void put16(std::string& s, std::uint16_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8);
}

}  // namespace

std::vector<std::uint8_t> PlainSkinPackage(const SkinFiles& files) {
  std::vector<std::uint8_t> plain;
  for (const auto& [name, data] : files) {
    AppendSkinEntry(plain, name,
                    std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
  }
  return plain;
}

std::string SkinPackageFile(const SkinFiles& files) {
  std::vector<std::uint8_t> bytes = PlainSkinPackage(files);
  ScrambleSkin(bytes);
  return std::string(bytes.begin(), bytes.end());
}

std::string ScrambledBytes(const std::string& plain) {
  std::vector<std::uint8_t> bytes(plain.begin(), plain.end());
  ScrambleSkin(bytes);
  return std::string(bytes.begin(), bytes.end());
}

std::string PaintedBitmap(int width, int height,
                          const std::function<std::uint32_t(int x, int y)>& colour) {
  const int stride = (width * 3 + 3) & ~3;
  std::string s = "BM";
  put32(s, 54 + static_cast<std::uint32_t>(stride * height));
  put32(s, 0);
  put32(s, 54);
  put32(s, 40);
  put32(s, static_cast<std::uint32_t>(width));
  put32(s, static_cast<std::uint32_t>(height));
  put16(s, 1);
  put16(s, 24);
  for (int i = 0; i < 6; ++i) put32(s, 0);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t c = colour(x, y);
      s += static_cast<char>((c >> 16) & 0xFF);
      s += static_cast<char>((c >> 8) & 0xFF);
      s += static_cast<char>(c & 0xFF);
    }
    s.append(static_cast<std::size_t>(stride - width * 3), '\0');
  }
  return s;
}

std::string SplitBitmap(int width, int height, std::uint32_t left, std::uint32_t right) {
  return PaintedBitmap(width, height, [=](int x, int) { return x < width / 2 ? left : right; });
}

std::string SolidBitmap(int width, int height, std::uint32_t colour) {
  return PaintedBitmap(width, height, [=](int, int) { return colour; });
}

}  // namespace kx::testing
