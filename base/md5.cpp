#include "base/md5.h"

#include <cstring>

namespace kx {

namespace {

inline std::uint32_t rotl(std::uint32_t x, int s) noexcept {
  return (x << s) | (x >> (32 - s));
}

// Little-endian words whatever the host; compilers make one load of it.
inline std::uint32_t load_le(const std::uint8_t* p) noexcept {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

inline void store_le(std::uint8_t* p, std::uint32_t v) noexcept {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
  p[2] = std::uint8_t(v >> 16);
  p[3] = std::uint8_t(v >> 24);
}

// The four auxiliary functions in forms with fewer operations on the
// critical path than RFC 1321's, with the same values: F and G select bits,
// so the selection can be written with one xor and one and.
inline std::uint32_t f(std::uint32_t x, std::uint32_t y, std::uint32_t z) noexcept {
  return z ^ (x & (y ^ z));
}
inline std::uint32_t g(std::uint32_t x, std::uint32_t y, std::uint32_t z) noexcept {
  return y ^ (z & (x ^ y));
}
inline std::uint32_t h(std::uint32_t x, std::uint32_t y, std::uint32_t z) noexcept {
  return x ^ y ^ z;
}
inline std::uint32_t i(std::uint32_t x, std::uint32_t y, std::uint32_t z) noexcept {
  return y ^ (x | ~z);
}

// One step: the word and the constant are added before the function's
// value, as they do not depend on the previous step.
#define KX_MD5_STEP(fn, a, b, c, d, x, t, s) \
  a += (x) + (t);                            \
  a += fn(b, c, d);                          \
  a = rotl(a, s) + (b)

}  // namespace

void md5::reset() noexcept {
  state_[0] = 0x67452301;
  state_[1] = 0xefcdab89;
  state_[2] = 0x98badcfe;
  state_[3] = 0x10325476;
  length_ = 0;
  buffered_ = 0;
}

void md5::compress(const std::uint8_t* p, std::size_t blocks) noexcept {
  std::uint32_t a0 = state_[0], b0 = state_[1], c0 = state_[2], d0 = state_[3];
  for (; blocks; --blocks, p += 64) {
    std::uint32_t x[16];
    for (int k = 0; k < 16; ++k) x[k] = load_le(p + 4 * k);
    std::uint32_t a = a0, b = b0, c = c0, d = d0;

    KX_MD5_STEP(f, a, b, c, d, x[0], 0xd76aa478, 7);
    KX_MD5_STEP(f, d, a, b, c, x[1], 0xe8c7b756, 12);
    KX_MD5_STEP(f, c, d, a, b, x[2], 0x242070db, 17);
    KX_MD5_STEP(f, b, c, d, a, x[3], 0xc1bdceee, 22);
    KX_MD5_STEP(f, a, b, c, d, x[4], 0xf57c0faf, 7);
    KX_MD5_STEP(f, d, a, b, c, x[5], 0x4787c62a, 12);
    KX_MD5_STEP(f, c, d, a, b, x[6], 0xa8304613, 17);
    KX_MD5_STEP(f, b, c, d, a, x[7], 0xfd469501, 22);
    KX_MD5_STEP(f, a, b, c, d, x[8], 0x698098d8, 7);
    KX_MD5_STEP(f, d, a, b, c, x[9], 0x8b44f7af, 12);
    KX_MD5_STEP(f, c, d, a, b, x[10], 0xffff5bb1, 17);
    KX_MD5_STEP(f, b, c, d, a, x[11], 0x895cd7be, 22);
    KX_MD5_STEP(f, a, b, c, d, x[12], 0x6b901122, 7);
    KX_MD5_STEP(f, d, a, b, c, x[13], 0xfd987193, 12);
    KX_MD5_STEP(f, c, d, a, b, x[14], 0xa679438e, 17);
    KX_MD5_STEP(f, b, c, d, a, x[15], 0x49b40821, 22);

    KX_MD5_STEP(g, a, b, c, d, x[1], 0xf61e2562, 5);
    KX_MD5_STEP(g, d, a, b, c, x[6], 0xc040b340, 9);
    KX_MD5_STEP(g, c, d, a, b, x[11], 0x265e5a51, 14);
    KX_MD5_STEP(g, b, c, d, a, x[0], 0xe9b6c7aa, 20);
    KX_MD5_STEP(g, a, b, c, d, x[5], 0xd62f105d, 5);
    KX_MD5_STEP(g, d, a, b, c, x[10], 0x02441453, 9);
    KX_MD5_STEP(g, c, d, a, b, x[15], 0xd8a1e681, 14);
    KX_MD5_STEP(g, b, c, d, a, x[4], 0xe7d3fbc8, 20);
    KX_MD5_STEP(g, a, b, c, d, x[9], 0x21e1cde6, 5);
    KX_MD5_STEP(g, d, a, b, c, x[14], 0xc33707d6, 9);
    KX_MD5_STEP(g, c, d, a, b, x[3], 0xf4d50d87, 14);
    KX_MD5_STEP(g, b, c, d, a, x[8], 0x455a14ed, 20);
    KX_MD5_STEP(g, a, b, c, d, x[13], 0xa9e3e905, 5);
    KX_MD5_STEP(g, d, a, b, c, x[2], 0xfcefa3f8, 9);
    KX_MD5_STEP(g, c, d, a, b, x[7], 0x676f02d9, 14);
    KX_MD5_STEP(g, b, c, d, a, x[12], 0x8d2a4c8a, 20);

    KX_MD5_STEP(h, a, b, c, d, x[5], 0xfffa3942, 4);
    KX_MD5_STEP(h, d, a, b, c, x[8], 0x8771f681, 11);
    KX_MD5_STEP(h, c, d, a, b, x[11], 0x6d9d6122, 16);
    KX_MD5_STEP(h, b, c, d, a, x[14], 0xfde5380c, 23);
    KX_MD5_STEP(h, a, b, c, d, x[1], 0xa4beea44, 4);
    KX_MD5_STEP(h, d, a, b, c, x[4], 0x4bdecfa9, 11);
    KX_MD5_STEP(h, c, d, a, b, x[7], 0xf6bb4b60, 16);
    KX_MD5_STEP(h, b, c, d, a, x[10], 0xbebfbc70, 23);
    KX_MD5_STEP(h, a, b, c, d, x[13], 0x289b7ec6, 4);
    KX_MD5_STEP(h, d, a, b, c, x[0], 0xeaa127fa, 11);
    KX_MD5_STEP(h, c, d, a, b, x[3], 0xd4ef3085, 16);
    KX_MD5_STEP(h, b, c, d, a, x[6], 0x04881d05, 23);
    KX_MD5_STEP(h, a, b, c, d, x[9], 0xd9d4d039, 4);
    KX_MD5_STEP(h, d, a, b, c, x[12], 0xe6db99e5, 11);
    KX_MD5_STEP(h, c, d, a, b, x[15], 0x1fa27cf8, 16);
    KX_MD5_STEP(h, b, c, d, a, x[2], 0xc4ac5665, 23);

    KX_MD5_STEP(i, a, b, c, d, x[0], 0xf4292244, 6);
    KX_MD5_STEP(i, d, a, b, c, x[7], 0x432aff97, 10);
    KX_MD5_STEP(i, c, d, a, b, x[14], 0xab9423a7, 15);
    KX_MD5_STEP(i, b, c, d, a, x[5], 0xfc93a039, 21);
    KX_MD5_STEP(i, a, b, c, d, x[12], 0x655b59c3, 6);
    KX_MD5_STEP(i, d, a, b, c, x[3], 0x8f0ccc92, 10);
    KX_MD5_STEP(i, c, d, a, b, x[10], 0xffeff47d, 15);
    KX_MD5_STEP(i, b, c, d, a, x[1], 0x85845dd1, 21);
    KX_MD5_STEP(i, a, b, c, d, x[8], 0x6fa87e4f, 6);
    KX_MD5_STEP(i, d, a, b, c, x[15], 0xfe2ce6e0, 10);
    KX_MD5_STEP(i, c, d, a, b, x[6], 0xa3014314, 15);
    KX_MD5_STEP(i, b, c, d, a, x[13], 0x4e0811a1, 21);
    KX_MD5_STEP(i, a, b, c, d, x[4], 0xf7537e82, 6);
    KX_MD5_STEP(i, d, a, b, c, x[11], 0xbd3af235, 10);
    KX_MD5_STEP(i, c, d, a, b, x[2], 0x2ad7d2bb, 15);
    KX_MD5_STEP(i, b, c, d, a, x[9], 0xeb86d391, 21);

    a0 += a;
    b0 += b;
    c0 += c;
    d0 += d;
  }
  state_[0] = a0;
  state_[1] = b0;
  state_[2] = c0;
  state_[3] = d0;
}

#undef KX_MD5_STEP

void md5::update(const void* data, std::size_t size) noexcept {
  if (size == 0) return;
  const auto* p = static_cast<const std::uint8_t*>(data);
  length_ += size;
  if (buffered_) {
    const std::size_t take = size < 64 - buffered_ ? size : 64 - buffered_;
    std::memcpy(buffer_ + buffered_, p, take);
    buffered_ += take;
    p += take;
    size -= take;
    if (buffered_ < 64) return;
    compress(buffer_, 1);
    buffered_ = 0;
  }
  // Whole blocks are hashed where they lie, without a copy.
  if (size >= 64) {
    compress(p, size / 64);
    p += size & ~std::size_t(63);
    size &= 63;
  }
  if (size) {
    std::memcpy(buffer_, p, size);
    buffered_ = size;
  }
}

md5::digest md5::final() noexcept {
  // A 1 bit, zeros up to 56 bytes into a block, then the length in bits.
  const std::uint64_t bits = length_ * 8;
  std::uint8_t pad[72] = {0x80};
  const std::size_t pad_bytes = buffered_ < 56 ? 56 - buffered_ : 120 - buffered_;
  for (int k = 0; k < 8; ++k) pad[pad_bytes + k] = std::uint8_t(bits >> (8 * k));
  update(pad, pad_bytes + 8);
  digest out;
  for (int k = 0; k < 4; ++k) store_le(out.data() + 4 * k, state_[k]);
  reset();
  return out;
}

md5::digest md5_of(const void* data, std::size_t size) noexcept {
  md5 m;
  m.update(data, size);
  return m.final();
}

string hex_digits(const std::uint8_t* bytes, std::size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  string out;
  out.reserve(count * 2);
  for (std::size_t k = 0; k < count; ++k) {
    out += xchar(kDigits[bytes[k] >> 4]);
    out += xchar(kDigits[bytes[k] & 15]);
  }
  return out;
}

}  // namespace kx
