// Files for the builder: whole reads and random access for the PE readers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "launcher/payload_image.h"

namespace kx::medium {

// A byte_source over a file on disk. size() is 0 when it cannot be opened.
class file_source final : public kx::payload::byte_source {
 public:
  explicit file_source(const std::filesystem::path& path);
  bool is_open() const { return in_.is_open(); }
  std::uint64_t size() const override { return size_; }
  std::size_t read_at(std::uint64_t offset, void* buffer, std::size_t n) override;

 private:
  std::ifstream in_;
  std::uint64_t size_ = 0;
};

// The whole file; throws medium_error when it cannot be read.
std::vector<std::uint8_t> read_file(const std::filesystem::path& path);

}  // namespace kx::medium
