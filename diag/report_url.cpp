#include "diag/report_url.h"

#include <cctype>
#include <string>

#include "base/string_win.h"
#include "base/text_format.h"

namespace kx {

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
  const TextArg values[] = {TextArg(result_code),
                            TextArg(static_cast<unsigned long>(extended_code)),
                            TextArg(information)};
  std::size_t next = 0;  // the value whose turn it is: two numbers, then the text
  return FormatChosen(
      url_template,
      [&](ConversionKind kind) -> const TextArg* {
        const bool text_turn = next == 2;
        if (next > 2 || (kind == ConversionKind::text) != text_turn) return nullptr;
        return &values[next++];
      },
      [](string::view value) { return PercentEncode(value); }, LengthModifiers::ignored);
}

}  // namespace kx
