#include "diag/report_url.h"

#include <cctype>
#include <cwctype>
#include <string>

#include "base/string_win.h"

namespace kx {

namespace {

bool is_integer_conversion(xchar c) {
  return c == L'd' || c == L'i' || c == L'u' || c == L'x' || c == L'X' || c == L'o';
}

// One printf-style conversion starting at '%': its end and its parts.
struct Conversion {
  size_t end = 0;  // behind the conversion character
  string flags, width, precision;
  bool has_precision = false;
  xchar type = 0;
};

bool read_digits(string::view t, size_t& at, string& out) {
  while (at < t.size() && std::iswdigit(t[at])) out += t[at++];
  return out.size() <= 3 && (out.empty() || std::stoi(out.str()) <= 100);
}

// False when the sequence at `at` is no conversion this formatter takes.
bool read_conversion(string::view t, size_t at, Conversion& c) {
  ++at;
  while (at < t.size() && string::view(L"-+ #0").find(t[at]) != string::view::npos)
    c.flags += t[at++];
  if (!read_digits(t, at, c.width)) return false;
  if (at < t.size() && t[at] == L'.') {
    ++at;
    c.has_precision = true;
    if (!read_digits(t, at, c.precision)) return false;
  }
  while (at < t.size() && (t[at] == L'l' || t[at] == L'h')) ++at;
  if (at >= t.size()) return false;
  c.type = t[at];
  c.end = at + 1;
  return true;
}

string conversion_text(const Conversion& c, const wchar_t* length) {
  string piece = L"%" + c.flags + c.width;
  if (c.has_precision) piece += L"." + c.precision;
  return piece + length + string(1, c.type);
}

}  // namespace

string PercentEncode(string::view text) {
  const std::string bytes = narrow(string(text), CP_UTF8);
  static const char hex[] = "0123456789ABCDEF";
  string out;
  for (unsigned char b : bytes) {
    if (std::isalnum(b) || b == '-' || b == '_' || b == '.' || b == '~') {
      out += static_cast<xchar>(b);
    } else {
      out += L'%';
      out += static_cast<xchar>(hex[b >> 4]);
      out += static_cast<xchar>(hex[b & 15]);
    }
  }
  return out;
}

string FormatReportUrl(string::view url_template, long result_code, HRESULT extended_code,
                       const string& information) {
  string out;
  int next = 0;  // 0 result code, 1 extended code, 2 text, 3 done
  size_t at = 0;
  while (at < url_template.size()) {
    const size_t percent = url_template.find(L'%', at);
    if (percent == string::view::npos) {
      out += url_template.substr(at);
      break;
    }
    out += url_template.substr(at, percent - at);
    if (percent + 1 < url_template.size() && url_template[percent + 1] == L'%') {
      out += L'%';
      at = percent + 2;
      continue;
    }
    Conversion c;
    const bool read = read_conversion(url_template, percent, c);
    if (read && next < 2 && is_integer_conversion(c.type)) {
      const string piece = conversion_text(c, L"l");
      const string value = next == 0
                               ? format(piece.c_str(), result_code)
                               : format(piece.c_str(), static_cast<unsigned long>(extended_code));
      out += PercentEncode(value.as_view());
      ++next;
    } else if (read && next == 2 && c.type == L's') {
      out += PercentEncode(format(conversion_text(c, L"").c_str(), information.c_str()).as_view());
      ++next;
    } else {
      // Not a value's turn: copied as written, up to the next '%' at most.
      const size_t end = read ? c.end : percent + 1;
      out += url_template.substr(percent, end - percent);
      at = end;
      continue;
    }
    at = c.end;
  }
  return out;
}

}  // namespace kx
