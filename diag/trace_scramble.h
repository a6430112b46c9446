// The trace file's record format, shared by the writer in the launcher and
// the trace reader (built for Windows and for other hosts alike, so this
// header needs nothing but the standard library).
//
// A trace file is a plain run of records: a 4-byte little-endian length and
// that many scrambled bytes of text. The scramble only keeps the text from
// being read at a glance; it protects nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kx::trace_format {

// The most text bytes one record holds; longer text is cut to this.
inline constexpr std::size_t kMaxRecordBytes = 16384;

// The one-byte key of the scramble. Files written with one key read as
// noise with another, so writer and reader must agree on it.
inline constexpr std::uint8_t kScrambleKey = 0x6B;

// Byte `b` at position `i` of its record: add i mod 71, rotate left by two
// bits, exclusive-or with the key.
constexpr std::uint8_t scramble_byte(std::uint8_t b, std::size_t i) noexcept {
  const auto sum = static_cast<std::uint8_t>(b + i % 71);
  const auto rotated = static_cast<std::uint8_t>((sum << 2) | (sum >> 6));
  return static_cast<std::uint8_t>(rotated ^ kScrambleKey);
}

// The inverse of scramble_byte for the same position.
constexpr std::uint8_t unscramble_byte(std::uint8_t b, std::size_t i) noexcept {
  const auto unkeyed = static_cast<std::uint8_t>(b ^ kScrambleKey);
  const auto rotated = static_cast<std::uint8_t>((unkeyed >> 2) | (unkeyed << 6));
  return static_cast<std::uint8_t>(rotated - i % 71);
}

// One whole record for `text`: the length and the scrambled bytes, the text
// first cut to kMaxRecordBytes. Positions restart at 0 in every record.
inline std::string encode_record(std::string_view text) {
  const std::size_t n = text.size() < kMaxRecordBytes ? text.size() : kMaxRecordBytes;
  std::string out(4 + n, '\0');
  for (std::size_t k = 0; k < 4; ++k) out[k] = static_cast<char>((n >> (8 * k)) & 0xFF);
  for (std::size_t i = 0; i < n; ++i)
    out[4 + i] = static_cast<char>(scramble_byte(static_cast<std::uint8_t>(text[i]), i));
  return out;
}

// The text of one record's scrambled bytes.
inline std::string decode_record_bytes(std::string_view scrambled) {
  std::string out(scrambled.size(), '\0');
  for (std::size_t i = 0; i < scrambled.size(); ++i)
    out[i] = static_cast<char>(unscramble_byte(static_cast<std::uint8_t>(scrambled[i]), i));
  return out;
}

}  // namespace kx::trace_format
