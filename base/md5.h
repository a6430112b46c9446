// The MD5 message digest (RFC 1321), the program's own, for the checksums of
// downloaded prerequisite files.
//
// Windows-free, so the host fuzzers and benchmarks use the same code.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/stringx.h"

namespace kx {

// A streaming MD5 computation: any number of update calls, then final.
class md5 {
 public:
  static constexpr std::size_t kDigestBytes = 16;
  using digest = std::array<std::uint8_t, kDigestBytes>;

  md5() noexcept { reset(); }

  // Starts a new message.
  void reset() noexcept;

  // Adds `size` bytes at `data` (may be null when `size` is 0) to the
  // message. Input of any length, in pieces of any size, gives the digest
  // of the whole; memory use does not grow with it.
  void update(const void* data, std::size_t size) noexcept;

  // Pads the message and returns its digest. The object then starts a new
  // message, as after reset.
  digest final() noexcept;

 private:
  // Runs the compression function over `blocks` whole 64-byte blocks.
  void compress(const std::uint8_t* data, std::size_t blocks) noexcept;

  std::uint32_t state_[4];
  std::uint64_t length_;  // bytes hashed so far
  std::uint8_t buffer_[64];
  std::size_t buffered_;  // bytes waiting in buffer_
};

// The digest of `size` bytes at `data` in one call.
md5::digest md5_of(const void* data, std::size_t size) noexcept;

// `bytes` as upper-case hexadecimal, two digits a byte ("%02X" each).
string hex_digits(const std::uint8_t* bytes, std::size_t count);

}  // namespace kx
