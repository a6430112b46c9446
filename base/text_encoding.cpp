#include "base/text_encoding.h"

#include <cstdint>

namespace kx {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Appends one code point as UTF-16.
void append_utf16(std::basic_string<xchar, char_traitsi>& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<xchar>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<xchar>(0xD800 + (c >> 10)));
    out.push_back(static_cast<xchar>(0xDC00 + (c & 0x3FF)));
  }
}

// Decodes UTF-8: overlong forms, surrogates, values above U+10FFFF and cut
// sequences are malformed; each maximal malformed part becomes one U+FFFD.
void decode_utf8(const std::uint8_t* p, std::size_t n, string& out) {
  std::basic_string<xchar, char_traitsi> text;
  text.reserve(n);
  std::size_t i = 0;
  while (i < n) {
    const std::uint8_t b = p[i];
    if (b < 0x80) {
      text.push_back(static_cast<xchar>(b));
      ++i;
      continue;
    }
    std::size_t need;
    char32_t c;
    std::uint8_t lo = 0x80, hi = 0xBF;  // the allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1, c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2, c = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3, c = b & 0x07;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      append_utf16(text, kReplacement);
      ++i;
      continue;
    }
    std::size_t j = 1;
    for (; j <= need && i + j < n; ++j) {
      const std::uint8_t t = p[i + j];
      if (j == 1 ? (t < lo || t > hi) : (t < 0x80 || t > 0xBF)) break;
      c = (c << 6) | (t & 0x3F);
    }
    if (j <= need) {
      append_utf16(text, kReplacement);
      i += j;
      continue;
    }
    append_utf16(text, c);
    i += need + 1;
  }
  out = string(std::move(text));
}

void encode_utf8(string::view text, std::string& out) {
  out.reserve(out.size() + text.size() * 3);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = static_cast<char16_t>(text[i]);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() &&
        static_cast<char16_t>(text[i + 1]) >= 0xDC00 &&
        static_cast<char16_t>(text[i + 1]) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(text[i + 1]) - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
}

}  // namespace

detected_encoding detect_encoding(const void* bytes, std::size_t size) noexcept {
  const auto* p = static_cast<const std::uint8_t*>(bytes);
  if (p && size >= 2 && p[0] == 0xFF && p[1] == 0xFE) return {kCodePageUtf16Le, 2};
  if (p && size >= 2 && p[0] == 0xFE && p[1] == 0xFF) return {kCodePageUtf16Be, 2};
  if (p && size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return {kCodePageUtf8, 3};
  return {};
}

std::size_t mark_length(int code_page) noexcept {
  switch (code_page) {
    case kCodePageUtf16Le:
    case kCodePageUtf16Be:
      return 2;
    case kCodePageUtf8:
      return 3;
    default:
      return 0;
  }
}

bool is_unicode_code_page(int code_page) noexcept {
  return mark_length(code_page) != 0;
}

unsigned long decode_text(const void* bytes, std::size_t size, int code_page, string& out) {
  keep_last_error keep;
  out.clear();
  const auto* p = static_cast<const std::uint8_t*>(bytes);
  if (!p || size == 0) return 0;
  if (code_page == kCodePageUtf16Le || code_page == kCodePageUtf16Be) {
    const bool big_endian = code_page == kCodePageUtf16Be;
    std::basic_string<xchar, char_traitsi> text(size / 2, xchar(0));
    for (std::size_t i = 0; i < text.size(); ++i) {
      const unsigned first = p[2 * i], second = p[2 * i + 1];
      text[i] = static_cast<xchar>(big_endian ? (first << 8 | second) : (second << 8 | first));
    }
    out = string(std::move(text));
    return 0;
  }
  if (code_page == kCodePageUtf8) {
    decode_utf8(p, size, out);
    return 0;
  }
  return detail::platform_decode(reinterpret_cast<const char*>(p), size, code_page, out);
}

unsigned long encode_text(string::view text, int code_page, bool with_mark, std::string& out) {
  keep_last_error keep;
  out.clear();
  if (code_page == kCodePageUtf16Le || code_page == kCodePageUtf16Be) {
    const bool big_endian = code_page == kCodePageUtf16Be;
    out.reserve((text.size() + 1) * 2);
    const auto put = [&out, big_endian](unsigned unit) {
      const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
      out.push_back(big_endian ? high : low);
      out.push_back(big_endian ? low : high);
    };
    if (with_mark) put(0xFEFF);
    for (const xchar c : text) put(static_cast<char16_t>(c));
    return 0;
  }
  if (code_page == kCodePageUtf8) {
    if (with_mark) out.assign("\xEF\xBB\xBF");
    encode_utf8(text, out);
    return 0;
  }
  return detail::platform_encode(text, code_page, out);
}

}  // namespace kx
