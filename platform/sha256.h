// SHA-256 through the system's own cryptography: BCrypt where it exists
// (Vista and later), else the CryptoAPI's AES provider (XP SP3). Both are
// loaded on first use from the system folder; nothing is imported.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace kx {

// One streaming SHA-256 computation.
class sha256 {
 public:
  static constexpr std::size_t kDigestBytes = 32;
  using digest = std::array<std::uint8_t, kDigestBytes>;

  // Starts a computation; when neither provider can be used, ok() is false
  // and error() tells why.
  sha256() noexcept;
  ~sha256();
  sha256(const sha256&) = delete;
  sha256& operator=(const sha256&) = delete;

  bool ok() const noexcept { return error_ == 0; }
  DWORD error() const noexcept { return error_; }

  // Adds `size` bytes. False (and ok() false from then on) when the
  // provider fails.
  bool update(const void* data, std::size_t size) noexcept;

  // The digest of everything added; false when the provider failed. The
  // object cannot be used afterwards.
  bool final(digest& out) noexcept;

 private:
  void close() noexcept;

  DWORD error_ = 0;
  // BCrypt: the algorithm and hash handles; CryptoAPI: the provider and hash.
  void* algorithm_ = nullptr;
  void* hash_ = nullptr;
  ULONG_PTR provider_ = 0;
  ULONG_PTR crypt_hash_ = 0;
  bool finished_ = false;
};

}  // namespace kx
