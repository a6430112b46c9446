#include "tools/trace_reader/trace_decoder.h"

#include "diag/trace_scramble.h"

namespace kx::trace_reader {

decoded_trace decode_trace(std::string_view bytes) {
  decoded_trace out;
  std::size_t at = 0;
  while (at < bytes.size()) {
    if (bytes.size() - at < 4) {
      out.damage =
          "a record length cut short: " + std::to_string(bytes.size() - at) + " of its 4 bytes";
      out.damage_offset = at;
      return out;
    }
    std::uint32_t length = 0;
    for (int k = 3; k >= 0; --k)
      length = (length << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(k)]);
    if (length > trace_format::kMaxRecordBytes) {
      out.damage = "a record of " + std::to_string(length) + " bytes, more than the " +
                   std::to_string(trace_format::kMaxRecordBytes) + " a record holds";
      out.damage_offset = at;
      return out;
    }
    const std::size_t left = bytes.size() - at - 4;
    if (length > left) {
      out.damage = "a record of " + std::to_string(length) + " bytes with only " +
                   std::to_string(left) + " left in the file";
      out.damage_offset = at;
      return out;
    }
    out.records.push_back({at, trace_format::decode_record_bytes(bytes.substr(at + 4, length))});
    at += 4 + length;
  }
  return out;
}

std::string escape_text(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (b < 0x20 || b == 0x7F) {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace kx::trace_reader
