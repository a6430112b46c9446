// The entries of a launcher's payload: a file count, then per file its
// name, relative path, version text, decimal size text (UTF-16LE, each
// ended by one NUL) and its bytes. Every field is checked against the data
// that is really there before anyone acts on it.
//
// Windows-free: fuzzed on the host and shared with the medium builder.
#pragma once

#include <cstdint>

#include "base/payload_names.h"
#include "base/stringx.h"
#include "launcher/payload_image.h"

namespace kx::payload {

// The longest size text (fourteen decimal digits).
inline constexpr std::size_t kMaxSizeText = 14;
// The smallest entry that can pass: one-character name and path, an empty
// version, a one-digit size, their NULs, no data.
inline constexpr std::uint64_t kMinEntryBytes = 14;

// The result of reading a payload.
enum class read_status {
  ok,
  read_failed,        // the file could not be read
  not_an_image,       // the launcher's headers are missing or unknown
  bad_headers,        // the launcher's headers contradict the file
  no_payload,         // nothing lies between the image and its limit
  bad_count,          // the file count needs more data than there is
  unterminated_text,  // a text has no NUL within its length limit or the data
  bad_size,           // a size text that is not a plain decimal number
  beyond_limit,       // file data past the end of the file or into the
                      // certificate table
  unsafe_name,        // a name or path the launcher refuses to write
};

// A short English description of `status`, for messages.
const xchar* describe(read_status status);

// One entry, as read from the payload.
struct entry {
  string name;           // the stored file name ("setup.ex_")
  string relative_path;  // inside the medium ("Disk1\setup.exe")
  string version;        // "0.0.0.0" for files without a version
  std::uint64_t size = 0;
  std::uint64_t data_offset = 0;  // of the file's bytes in the launcher file
};

// Reads the entries of the payload in [begin, limit) of `source` one after
// the other. The file data is not read: a caller copies [data_offset,
// data_offset + size) itself, which the reader has checked to lie within
// the region.
class reader {
 public:
  reader(byte_source& source, std::uint64_t begin, std::uint64_t limit) noexcept
      : source_(source), offset_(begin), limit_(limit) {}

  // Reads the file count. Fails with bad_count when even the smallest
  // entries could not fit.
  read_status start();

  // The count read by start().
  std::uint32_t count() const noexcept { return count_; }
  // True once every counted entry was returned (or after a failure).
  bool done() const noexcept { return next_ >= count_ || failed_; }

  // Reads the next entry's texts and checks them; on success the reader
  // stands after the entry's data. A failure ends the reading; `problem`
  // then tells why a name was refused.
  read_status next(entry& e);

  // Where the reader stands (the offset of a failure, after one).
  std::uint64_t offset() const noexcept { return offset_; }
  // Why the last unsafe_name failure refused its entry.
  name_problem problem() const noexcept { return problem_; }

 private:
  read_status read_text(string& text, std::size_t max_chars);
  read_status fail(read_status s) {
    failed_ = true;
    return s;
  }

  byte_source& source_;
  std::uint64_t offset_;
  std::uint64_t limit_;
  std::uint32_t count_ = 0;
  std::uint32_t next_ = 0;
  bool failed_ = false;
  name_problem problem_ = name_problem::none;
};

// Finds the payload of the launcher in `source`: reads its image layout and
// checks that it carries one (has_payload). On ok, [layout.payload_offset,
// layout.payload_limit) is the region for a reader.
read_status locate(byte_source& source, image_layout& layout);

// Parses a size text: 1 to 14 decimal digits, nothing else.
bool parse_size(string::view text, std::uint64_t& size);

}  // namespace kx::payload
