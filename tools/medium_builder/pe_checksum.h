// The PE image checksum (the optional header's CheckSum), computed while
// the file is written.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kx::medium {

// Sums 16-bit little-endian words with end-around carry over every byte fed
// to it (the CheckSum field itself must be fed as zeros); value() adds the
// length.
class pe_checksum {
 public:
  void add(const std::uint8_t* data, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      if (odd_) {
        sum_ += static_cast<std::uint32_t>(data[i]) << 8;
        sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
      } else {
        sum_ += data[i];
      }
      odd_ = !odd_;
    }
    length_ += n;
  }
  std::uint32_t value() const {
    std::uint64_t s = sum_;
    s = (s & 0xFFFF) + (s >> 16);
    s = (s & 0xFFFF) + (s >> 16);
    return static_cast<std::uint32_t>(s + length_);
  }

 private:
  std::uint64_t sum_ = 0;
  std::uint64_t length_ = 0;
  bool odd_ = false;
};

}  // namespace kx::medium
