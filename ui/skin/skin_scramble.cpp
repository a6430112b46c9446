#include "ui/skin/skin_scramble.h"

namespace kx {

namespace {

// Neither half is the key; the key exists only as their combination.
constexpr char kPassPhrase[kSkinKeyLength + 1] = "KxSk1nPk";
constexpr std::uint8_t kConstant[4] = {0x5A, 0xC3, 0x19, 0x7E};

constexpr std::uint8_t swap_nibbles(std::uint8_t b) {
  return static_cast<std::uint8_t>((b << 4) | (b >> 4));
}

}  // namespace

std::uint8_t SkinKeyByte(std::size_t i) {
  const std::size_t k = i % kSkinKeyLength;
  return static_cast<std::uint8_t>(static_cast<std::uint8_t>(kPassPhrase[k]) ^ kConstant[k % 4]);
}

void UnscrambleSkin(std::span<std::uint8_t> bytes, std::size_t first) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint8_t b = static_cast<std::uint8_t>(~swap_nibbles(bytes[i]));
    bytes[i] = static_cast<std::uint8_t>(b ^ SkinKeyByte(first + i));
  }
}

void ScrambleSkin(std::span<std::uint8_t> bytes, std::size_t first) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint8_t b = static_cast<std::uint8_t>(~bytes[i] ^ SkinKeyByte(first + i));
    bytes[i] = swap_nibbles(b);
  }
}

}  // namespace kx
