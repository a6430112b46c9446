#include "tools/medium_builder/file_source.h"

#include "tools/medium_builder/medium_writer.h"

namespace kx::medium {

file_source::file_source(const std::filesystem::path& path) : in_(path, std::ios::binary) {
  if (!in_) return;
  in_.seekg(0, std::ios::end);
  const std::streamoff end = in_.tellg();
  size_ = end > 0 ? static_cast<std::uint64_t>(end) : 0;
}

std::size_t file_source::read_at(std::uint64_t offset, void* buffer, std::size_t n) {
  if (!in_.is_open() || offset >= size_) return 0;
  in_.clear();
  in_.seekg(static_cast<std::streamoff>(offset));
  in_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(n));
  return static_cast<std::size_t>(in_.gcount());
}

std::vector<std::uint8_t> read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw medium_error("cannot open " + path.string());
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  if (in.bad()) throw medium_error("cannot read " + path.string());
  return bytes;
}

}  // namespace kx::medium
