// Reading a setup trace file: the records back as the text the launcher
// wrote. Portable: built into the trace reader for Windows and other hosts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kx::trace_reader {

// One record: where it starts in the file and its text (in the ANSI code
// page of the thread that wrote it).
struct record {
  std::uint64_t offset = 0;
  std::string text;
};

// A file's records, in file order, up to the first damage.
struct decoded_trace {
  std::vector<record> records;
  // Empty for a sound file; otherwise what is wrong at `damage_offset`: a
  // length cut short, a record longer than the data left, or a length
  // larger than any record the writer makes.
  std::string damage;
  std::uint64_t damage_offset = 0;
};

// Decodes the whole contents of a trace file.
decoded_trace decode_trace(std::string_view bytes);

// `text` on one line: backslash, CR, LF, tab and other bytes below 0x20 or
// equal to 0x7F written as \\, \r, \n, \t and \xHH; everything else as is.
std::string escape_text(std::string_view text);

}  // namespace kx::trace_reader
