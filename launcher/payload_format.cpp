#include "launcher/payload_format.h"

#include <algorithm>

namespace kx::payload {

const xchar* describe(read_status status) {
  switch (status) {
    case read_status::ok:
      return KXT("ok");
    case read_status::read_failed:
      return KXT("the launcher file could not be read");
    case read_status::not_an_image:
      return KXT("the launcher is not a Windows executable");
    case read_status::bad_headers:
      return KXT("the launcher's headers do not match the file");
    case read_status::no_payload:
      return KXT("the launcher carries no payload");
    case read_status::bad_count:
      return KXT("the payload's file count is larger than its data can hold");
    case read_status::unterminated_text:
      return KXT("a payload text is not terminated within its limit");
    case read_status::bad_size:
      return KXT("a payload size is not a decimal number");
    case read_status::beyond_limit:
      return KXT("a payload file runs past the end of the payload");
    case read_status::unsafe_name:
      return KXT("a payload entry has an unsafe name");
  }
  return KXT("unknown");
}

bool parse_size(string::view text, std::uint64_t& size) {
  if (text.empty() || text.size() > kMaxSizeText) return false;
  std::uint64_t value = 0;
  for (xchar c : text) {
    if (c < xchar('0') || c > xchar('9')) return false;
    value = value * 10 + static_cast<std::uint64_t>(c - xchar('0'));
  }
  size = value;
  return true;
}

read_status locate(byte_source& source, image_layout& layout) {
  switch (read_image_layout(source, layout)) {
    case image_status::ok:
      break;
    case image_status::read_failed:
      return read_status::read_failed;
    case image_status::not_an_image:
      return read_status::not_an_image;
    case image_status::bad_headers:
      return read_status::bad_headers;
  }
  if (layout.payload_offset >= layout.payload_limit) return read_status::no_payload;
  return read_status::ok;
}

read_status reader::start() {
  if (offset_ > limit_ || limit_ - offset_ < 4) return fail(read_status::bad_count);
  unsigned char bytes[4];
  if (source_.read_at(offset_, bytes, 4) != 4) return fail(read_status::read_failed);
  count_ = static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
  offset_ += 4;
  if (count_ > (limit_ - offset_) / kMinEntryBytes) return fail(read_status::bad_count);
  return read_status::ok;
}

// Reads UTF-16LE characters up to a NUL: at most `max_chars` before it and
// never past the limit.
read_status reader::read_text(string& text, std::size_t max_chars) {
  unsigned char bytes[(kMaxEntryText + 1) * 2];
  const std::uint64_t room = (limit_ - offset_) / 2;
  const std::size_t chars = static_cast<std::size_t>(std::min<std::uint64_t>(max_chars + 1, room));
  const std::size_t got = source_.read_at(offset_, bytes, chars * 2);
  if (got != chars * 2) return read_status::read_failed;
  xchar chars_read[kMaxEntryText + 1];
  for (std::size_t i = 0; i < chars; ++i) {
    chars_read[i] = static_cast<xchar>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    if (chars_read[i] == 0) {
      text.assign(chars_read, i);
      offset_ += (i + 1) * 2;
      return read_status::ok;
    }
  }
  return read_status::unterminated_text;
}

read_status reader::next(entry& e) {
  if (done()) return fail(read_status::bad_count);
  e = entry{};
  read_status s;
  if ((s = read_text(e.name, kMaxEntryText)) != read_status::ok ||
      (s = read_text(e.relative_path, kMaxEntryText)) != read_status::ok ||
      (s = read_text(e.version, kMaxEntryText)) != read_status::ok)
    return fail(s);
  string size_text;
  if ((s = read_text(size_text, kMaxSizeText)) != read_status::ok) return fail(s);
  if (!parse_size(size_text.as_view(), e.size)) return fail(read_status::bad_size);
  if (e.size > limit_ - offset_) return fail(read_status::beyond_limit);

  problem_ = check_file_name(e.name.as_view());
  if (problem_ == name_problem::none) problem_ = check_relative_path(e.relative_path.as_view());
  if (problem_ != name_problem::none) return fail(read_status::unsafe_name);

  e.data_offset = offset_;
  offset_ += e.size;
  ++next_;
  return read_status::ok;
}

}  // namespace kx::payload
