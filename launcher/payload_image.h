// Where a launcher's payload starts and where it must end, read from the
// executable's own headers.
//
// Windows-free: the launcher file is untrusted input (anyone can append to
// or edit it), and this reader is fuzzed on the host.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kx::payload {

// Random-access reading of a launcher file (a Windows file or a buffer).
class byte_source {
 public:
  virtual ~byte_source() = default;
  // The total size in bytes.
  virtual std::uint64_t size() const = 0;
  // Reads up to `n` bytes at `offset` into `buffer`; returns how many were
  // read (fewer than `n` only at the end of the data or on a read failure).
  virtual std::size_t read_at(std::uint64_t offset, void* buffer, std::size_t n) = 0;
};

// A byte_source over memory that the caller keeps alive.
class buffer_source final : public byte_source {
 public:
  buffer_source(const void* data, std::size_t size) noexcept
      : data_(static_cast<const unsigned char*>(data)), size_(size) {}
  std::uint64_t size() const override { return size_; }
  std::size_t read_at(std::uint64_t offset, void* buffer, std::size_t n) override;

 private:
  const unsigned char* data_;
  std::size_t size_;
};

// A tail of this many bytes or fewer after the image is not a payload.
inline constexpr std::uint64_t kMinimumPayloadTail = 51200;

// What the headers say about the file's layout.
struct image_layout {
  std::uint64_t file_size = 0;
  // P: SizeOfHeaders + the raw sizes of all sections + the debug data that
  // lies after them. The payload starts here.
  std::uint64_t payload_offset = 0;
  // Payload data must end here: the start of the certificate table of a
  // signed file, else the file size.
  std::uint64_t payload_limit = 0;
  // The end of the last section's raw data (or SizeOfHeaders when larger),
  // and of debug data stored after it.
  std::uint64_t image_end = 0;
  // The certificate table (Authenticode signature); both 0 when unsigned.
  std::uint64_t certificate_offset = 0;
  std::uint64_t certificate_size = 0;
  // The COFF symbol table; 0 when the file has none.
  std::uint64_t symbol_table_offset = 0;
  // File offsets of header fields a medium builder rewrites: the COFF file
  // header, the optional header's CheckSum, and the security directory
  // entry (0 when the optional header has no such entry).
  std::uint32_t coff_header_offset = 0;
  std::uint32_t checksum_offset = 0;
  std::uint32_t security_entry_offset = 0;
  bool pe32plus = false;
};

// Why the headers could not be read.
enum class image_status {
  ok,
  read_failed,   // the source returned fewer bytes than it holds
  not_an_image,  // no MZ/PE signatures, or an unknown optional header
  bad_headers,   // headers that contradict the file (tables beyond its end,
                 // a certificate table that overlaps the image)
};

// Reads the layout of the executable in `source`.
image_status read_image_layout(byte_source& source, image_layout& layout);

// True when the file carries a payload: a file whose size does not fit in
// 32 bits always does; otherwise the payload region (from P up to the
// certificate table or the end of the file) must be longer than 51200
// bytes.
bool has_payload(const image_layout& layout) noexcept;

}  // namespace kx::payload
