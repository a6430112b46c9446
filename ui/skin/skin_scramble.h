// The scrambling of skin packages. Each byte b at position i is stored as
// swap(NOT(b) XOR key[i mod 8]), where swap exchanges the two nibbles; the
// key is built at run time from a pass phrase and a constant of the program,
// so that neither appears in the image as the key itself.
//
// Windows-free: the launcher unscrambles, the skin builder scrambles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kx {

// The length of the scrambling key.
inline constexpr std::size_t kSkinKeyLength = 8;

// The key byte for position `i` of a package.
std::uint8_t SkinKeyByte(std::size_t i);

// Turns package bytes into plain bytes in place; `first` is the position of
// bytes[0] in the package.
void UnscrambleSkin(std::span<std::uint8_t> bytes, std::size_t first = 0);

// The inverse of UnscrambleSkin: plain bytes into package bytes in place.
void ScrambleSkin(std::span<std::uint8_t> bytes, std::size_t first = 0);

}  // namespace kx
