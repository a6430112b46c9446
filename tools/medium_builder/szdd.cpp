#include "tools/medium_builder/szdd.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kx::medium {

namespace {

constexpr std::uint8_t kMagic[8] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
constexpr std::size_t kHeaderSize = 14;
constexpr std::size_t kWindow = 4096;
// The decoder starts writing its ring buffer here, after a prefill of
// blanks; positions in references are ring positions.
constexpr std::size_t kStart = kWindow - 16;
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 18;
constexpr std::size_t kMaxDistance = kWindow - 1;
constexpr std::size_t kHashBits = 14;
// Enough for good matches on typical files while keeping the builder fast
// on large ones.
constexpr int kMaxChain = 64;

std::size_t hash3(const std::uint8_t* p) {
  return ((p[0] << 10) ^ (p[1] << 5) ^ p[2]) & ((1u << kHashBits) - 1);
}

// Collects items in groups of eight behind one flag byte (bit set: literal).
class group_writer {
 public:
  explicit group_writer(std::vector<std::uint8_t>& out) : out_(out) {}
  void literal(std::uint8_t b) {
    begin_item(true);
    out_.push_back(b);
  }
  void reference(std::size_t ring_pos, std::size_t length) {
    begin_item(false);
    out_.push_back(static_cast<std::uint8_t>(ring_pos & 0xFF));
    out_.push_back(static_cast<std::uint8_t>(((ring_pos >> 4) & 0xF0) | (length - kMinMatch)));
  }

 private:
  void begin_item(bool literal) {
    if (bit_ == 8) {
      flag_at_ = out_.size();
      out_.push_back(0);
      bit_ = 0;
    }
    if (literal) out_[flag_at_] |= static_cast<std::uint8_t>(1u << bit_);
    ++bit_;
  }
  std::vector<std::uint8_t>& out_;
  std::size_t flag_at_ = 0;
  int bit_ = 8;
};

}  // namespace

std::vector<std::uint8_t> szdd_compress(const std::vector<std::uint8_t>& data, char missing_char) {
  std::vector<std::uint8_t> out(kMagic, kMagic + sizeof kMagic);
  out.push_back('A');
  out.push_back(static_cast<std::uint8_t>(missing_char));
  const std::uint32_t size = static_cast<std::uint32_t>(data.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(size >> (8 * i)));

  group_writer w(out);
  std::vector<std::int64_t> head(std::size_t{1} << kHashBits, -1);
  // Chains only reach back one window, so the links live in a ring.
  std::vector<std::int64_t> prev(kWindow, -1);
  const std::size_t n = data.size();
  auto insert = [&](std::size_t i) {
    if (i + kMinMatch > n) return;
    const std::size_t h = hash3(&data[i]);
    prev[i % kWindow] = head[h];
    head[h] = static_cast<std::int64_t>(i);
  };

  std::size_t i = 0;
  while (i < n) {
    std::size_t best_len = 0, best_at = 0;
    if (i + kMinMatch <= n) {
      const std::size_t limit = std::min(kMaxMatch, n - i);
      int chain = kMaxChain;
      for (std::int64_t c = head[hash3(&data[i])]; c >= 0 && chain-- > 0;
           c = prev[static_cast<std::size_t>(c) % kWindow]) {
        const std::size_t at = static_cast<std::size_t>(c);
        if (i - at > kMaxDistance) break;
        std::size_t len = 0;
        while (len < limit && data[at + len] == data[i + len]) ++len;
        if (len > best_len) {
          best_len = len;
          best_at = at;
          if (len == limit) break;
        }
      }
    }
    if (best_len >= kMinMatch) {
      w.reference((kStart + best_at) % kWindow, best_len);
      for (std::size_t k = 0; k < best_len; ++k) insert(i + k);
      i += best_len;
    } else {
      w.literal(data[i]);
      insert(i);
      ++i;
    }
  }
  return out;
}

bool szdd_expand(const std::vector<std::uint8_t>& file, std::vector<std::uint8_t>& data) {
  if (file.size() < kHeaderSize || std::memcmp(file.data(), kMagic, sizeof kMagic) != 0 ||
      file[8] != 'A')
    return false;
  const std::uint32_t size = static_cast<std::uint32_t>(file[10]) | (file[11] << 8) |
                             (file[12] << 16) | (static_cast<std::uint32_t>(file[13]) << 24);
  std::array<std::uint8_t, kWindow> ring;
  ring.fill(' ');
  std::size_t cur = kStart;
  data.clear();
  std::size_t at = kHeaderSize;
  unsigned flags = 0;
  while (data.size() < size) {
    if ((flags & 0x100) == 0) {
      if (at >= file.size()) return false;
      flags = file[at++] | 0xFF00u;
    }
    if (flags & 1) {
      if (at >= file.size()) return false;
      const std::uint8_t b = file[at++];
      data.push_back(b);
      ring[cur] = b;
      cur = (cur + 1) % kWindow;
    } else {
      if (at + 2 > file.size()) return false;
      std::size_t pos = file[at] | ((file[at + 1] & 0xF0) << 4);
      const std::size_t len = (file[at + 1] & 0x0F) + kMinMatch;
      at += 2;
      for (std::size_t k = 0; k < len && data.size() < size; ++k) {
        const std::uint8_t b = ring[pos];
        pos = (pos + 1) % kWindow;
        data.push_back(b);
        ring[cur] = b;
        cur = (cur + 1) % kWindow;
      }
    }
    flags >>= 1;
  }
  return at == file.size();
}

}  // namespace kx::medium
