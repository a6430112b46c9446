// Launcher files as anyone may have edited them: the image layout, the
// payload's entries and the name checks must hold their invariants on any
// bytes, and never let a refused or out-of-range entry through.
//
// The first byte chooses the mode: even, the rest is a whole launcher file;
// odd, the rest is a payload region on its own (so that the entry reader is
// reached without a valid image in front of it).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/payload_names.h"
#include "launcher/payload_format.h"
#include "launcher/payload_image.h"

namespace {

using namespace kx::payload;

void check(bool ok) {
  if (!ok) std::abort();
}

void read_entries(byte_source& source, std::uint64_t begin, std::uint64_t limit) {
  reader r(source, begin, limit);
  if (r.start() != read_status::ok) return;
  check(r.count() <= (limit - begin) / kMinEntryBytes);
  entry e;
  while (!r.done()) {
    const read_status s = r.next(e);
    if (s != read_status::ok) {
      check(r.done());
      check(s != read_status::unsafe_name || r.problem() != name_problem::none);
      return;
    }
    check(e.data_offset >= begin && e.data_offset <= limit && e.size <= limit - e.data_offset);
    check(r.offset() == e.data_offset + e.size);
    check(check_file_name(e.name.as_view()) == name_problem::none);
    check(check_relative_path(e.relative_path.as_view()) == name_problem::none);
    const kx::string dir = directory_part(e.relative_path.as_view());
    const kx::string file = file_name_part(e.relative_path.as_view());
    check(!file.empty() && dir.size() + file.size() == e.relative_path.size());
    check(dir.empty() || dir.back() == kx::xchar('\\'));
    check(is_compressed(e.name.as_view(), e.relative_path.as_view()) == (file != e.name));
    (void)is_deferred_cabinet(e.name.as_view(), e.relative_path.as_view());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  buffer_source source(data + 1, size - 1);
  if (data[0] & 1) {
    read_entries(source, 0, source.size());
    return 0;
  }
  image_layout layout;
  const read_status s = locate(source, layout);
  if (s == read_status::ok || s == read_status::no_payload) {
    check(layout.payload_limit <= layout.file_size);
    check(layout.certificate_offset == 0 || layout.certificate_offset >= layout.payload_offset);
    if (has_payload(layout))
      check(layout.payload_offset + kMinimumPayloadTail < layout.payload_limit);
  }
  if (s == read_status::ok) read_entries(source, layout.payload_offset, layout.payload_limit);
  return 0;
}
