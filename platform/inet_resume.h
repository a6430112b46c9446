// The rules that make a resumed download splice the right bytes.
//
// A download that was cut goes on with "Range: bytes=<offset>-". Servers
// answer that with 206 (the rest), with 200 (the whole file again, Range
// ignored) or with 416 (nothing is left); the answer is checked before a
// byte of it is used, so a file is never assembled from two starts.
// Windows-free: the header texts come from the server.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

// A Content-Length value: digits only, at most 2^63. False otherwise.
bool parse_content_length(std::wstring_view text, std::uint64_t& value) noexcept;

// A Content-Range value: "bytes first-last/total" (total may be "*") or
// "bytes */total" for an unsatisfiable range.
struct content_range {
  bool unsatisfied = false;  // "bytes */total"
  std::uint64_t first = 0;
  std::uint64_t last = 0;
  bool total_known = false;
  std::uint64_t total = 0;
};
bool parse_content_range(std::wstring_view text, content_range& out) noexcept;

// The header line asking for the bytes from `offset` on:
// "Range: bytes=<offset>-\r\n" (64-bit).
std::wstring range_header(std::uint64_t offset);

// One answer as far as resuming is concerned.
struct resume_response {
  std::uint64_t offset = 0;  // what was asked for (0: no Range sent)
  unsigned status = 200;
  bool has_length = false;  // Content-Length present and valid
  std::uint64_t length = 0;
  bool has_range = false;  // Content-Range present and valid
  content_range range;
  bool has_total = false;  // the file's size is known from an earlier answer
  std::uint64_t total = 0;
};

// What to do with it.
struct resume_plan {
  enum kind_type { read, end, fail } kind = fail;
  std::uint64_t skip = 0;  // bytes of the body to drop before the wanted ones
  bool has_end = false;    // the body's end, as a file position, is known
  std::uint64_t end_position = 0;
  std::uint32_t error = 0;  // for fail
};

// 2xx without Range: read, end at Content-Length. With Range: 206 must start
// at the offset and agree with the known size; 200 is read from 0 and the
// offset bytes are skipped; 416 whose total is at most the offset is the
// end. Anything else fails with 12152 (the server's answer does not fit),
// or with the status's error for 416 and non-2xx codes.
resume_plan plan_resume(const resume_response& response) noexcept;

}  // namespace kx
