#include "base/text_format.h"

#include <algorithm>

namespace kx {

namespace {

// The widest width or precision a text may ask for: enough for any layout,
// small enough that a text cannot make the launcher build huge strings.
constexpr int kLargestField = 100;

// One understood conversion.
struct Conversion {
  bool left = false, plus = false, blank = false, alternate = false, zero = false;
  int width = 0;
  int precision = -1;  // -1: none given
  int bits = 32;       // the integer width the length modifier names
  bool wide = false;   // 'w' (only with s)
  xchar type = 0;      // d i u x X o s
};

bool IsDigit(xchar c) {
  return c >= '0' && c <= '9';
}

// Reads a field of digits at `at`; false when it exceeds kLargestField.
bool ReadField(string::view p, std::size_t& at, int& value) {
  value = 0;
  while (at < p.size() && IsDigit(p[at])) {
    value = value * 10 + (p[at] - '0');
    if (value > kLargestField) return false;
    ++at;
  }
  return true;
}

// Parses the conversion starting at the '%' at `start`; on success `end` is
// the index behind it.
bool Parse(string::view p, std::size_t start, LengthModifiers modifiers, Conversion& c,
           std::size_t& end) {
  std::size_t at = start + 1;
  for (; at < p.size(); ++at) {
    const xchar f = p[at];
    if (f == '-')
      c.left = true;
    else if (f == '+')
      c.plus = true;
    else if (f == ' ')
      c.blank = true;
    else if (f == '#')
      c.alternate = true;
    else if (f == '0')
      c.zero = true;
    else
      break;
  }
  if (!ReadField(p, at, c.width)) return false;
  if (at < p.size() && p[at] == '.') {
    ++at;
    if (!ReadField(p, at, c.precision)) return false;
  }
  bool numeric_modifier = false;
  if (modifiers == LengthModifiers::ignored) {
    // Every argument keeps its own width.
    c.bits = 64;
    while (at < p.size() && (p[at] == 'l' || p[at] == 'h')) ++at;
  } else if (at + 1 < p.size() && p[at] == 'l' && p[at + 1] == 'l') {
    c.bits = 64, numeric_modifier = true, at += 2;
  } else if (at < p.size() && p[at] == 'l') {
    c.bits = static_cast<int>(sizeof(long) * 8), ++at;
  } else if (at < p.size() && p[at] == 'h') {
    c.bits = 16, numeric_modifier = true, ++at;
  } else if (at < p.size() && p[at] == 'w') {
    c.wide = true, ++at;
  }
  if (at >= p.size()) return false;
  c.type = p[at];
  const bool number = c.type == 'd' || c.type == 'i' || c.type == 'u' || c.type == 'x' ||
                      c.type == 'X' || c.type == 'o';
  if (number ? c.wide : (c.type != 's' || numeric_modifier)) return false;
  end = at + 1;
  return true;
}

void Pad(string& out, int count, xchar fill) {
  if (count > 0) out.append(static_cast<std::size_t>(count), fill);
}

string Number(const Conversion& c, const TextArg& arg) {
  const bool is_signed = c.type == 'd' || c.type == 'i';
  unsigned long long magnitude = 0;
  string sign;
  if (is_signed) {
    const long long v = arg.as_signed(c.bits);
    magnitude =
        v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    if (v < 0)
      sign = KXT("-");
    else if (c.plus)
      sign = KXT("+");
    else if (c.blank)
      sign = KXT(" ");
  } else {
    magnitude = arg.as_unsigned(c.bits);
  }
  const unsigned base = c.type == 'o' ? 8 : (c.type == 'x' || c.type == 'X') ? 16 : 10;
  const char* digits = c.type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
  string body;
  for (unsigned long long v = magnitude; v != 0; v /= base) body += xchar(digits[v % base]);
  // printf writes no digit for a zero with precision 0, and one "0" otherwise.
  if (magnitude == 0 && c.precision != 0) body = KXT("0");
  if (c.precision > static_cast<int>(body.size()))
    body.append(static_cast<std::size_t>(c.precision) - body.size(), '0');
  if (c.alternate && base == 8 && (body.empty() || body.back() != '0')) body += '0';
  std::reverse(body.begin(), body.end());
  string prefix = sign;
  if (c.alternate && base == 16 && magnitude != 0) prefix += c.type == 'X' ? KXT("0X") : KXT("0x");

  const int room = c.width - static_cast<int>(prefix.size() + body.size());
  string out;
  if (c.left) return prefix + body + string(static_cast<std::size_t>(std::max(room, 0)), ' ');
  if (c.zero && c.precision < 0) {
    out = prefix;
    Pad(out, room, '0');
    return out + body;
  }
  Pad(out, room, ' ');
  return out + prefix + body;
}

string Text(const Conversion& c, string::view text) {
  if (c.precision >= 0) text = text.substr(0, static_cast<std::size_t>(c.precision));
  const int room = c.width - static_cast<int>(text.size());
  string out;
  if (!c.left) Pad(out, room, ' ');
  out.append(text.data(), text.size());
  if (c.left) Pad(out, room, ' ');
  return out;
}

}  // namespace

long long TextArg::as_signed(int bits) const {
  const int b = std::min(bits, bits_);
  if (b >= 64) return number_;
  const unsigned long long mask = (1ULL << b) - 1;
  unsigned long long v = static_cast<unsigned long long>(number_) & mask;
  if ((v >> (b - 1)) & 1) v |= ~mask;
  return static_cast<long long>(v);
}

unsigned long long TextArg::as_unsigned(int bits) const {
  const int b = std::min(bits, bits_);
  const unsigned long long v = static_cast<unsigned long long>(number_);
  return b >= 64 ? v : v & ((1ULL << b) - 1);
}

namespace {

// Copies `pattern`, handing each understood conversion to `take`, which
// returns the argument for it or null to leave it as written; `encode`
// turns each filled-in value into the text that enters the result.
template <class Take, class Encode>
string Fill(string::view pattern, LengthModifiers modifiers, Take take, Encode encode) {
  string out;
  std::size_t at = 0;
  while (at < pattern.size()) {
    if (pattern[at] != '%') {
      out += pattern[at++];
      continue;
    }
    if (at + 1 < pattern.size() && pattern[at + 1] == '%') {
      out += '%';
      at += 2;
      continue;
    }
    Conversion c;
    std::size_t end = 0;
    if (!Parse(pattern, at, modifiers, c, end)) {
      out += pattern[at++];
      continue;
    }
    const TextArg* arg = take(c);
    if (!arg || arg->is_text() != (c.type == 's'))
      out.append(pattern.data() + at, end - at);
    else
      out += encode(c.type == 's' ? Text(c, arg->text()) : Number(c, *arg));
    at = end;
  }
  return out;
}

// Values enter the result as they are.
string AsItIs(string value) {
  return value;
}

}  // namespace

string FormatText(string::view pattern, std::initializer_list<TextArg> args) {
  std::size_t next = 0;
  return Fill(
      pattern, LengthModifiers::printf_rules,
      [&](const Conversion&) {
        const TextArg* arg = next < args.size() ? args.begin() + next : nullptr;
        ++next;
        return arg;
      },
      AsItIs);
}

string FormatFirst(string::view pattern, const TextArg& arg) {
  bool used = false;
  return Fill(
      pattern, LengthModifiers::printf_rules,
      [&](const Conversion& c) -> const TextArg* {
        if (used || arg.is_text() != (c.type == 's')) return nullptr;
        used = true;
        return &arg;
      },
      AsItIs);
}

string FormatChosen(string::view pattern,
                    const std::function<const TextArg*(ConversionKind)>& choose,
                    const std::function<string(string::view)>& encode, LengthModifiers modifiers) {
  return Fill(
      pattern, modifiers,
      [&](const Conversion& c) {
        return choose(c.type == 's' ? ConversionKind::text : ConversionKind::number);
      },
      [&](const string& value) { return encode ? encode(value.as_view()) : value; });
}

string InsertTexts(string::view pattern, std::initializer_list<string::view> texts) {
  string out;
  std::size_t at = 0;
  while (at < pattern.size()) {
    const xchar c = pattern[at];
    const xchar n = at + 1 < pattern.size() ? pattern[at + 1] : xchar(0);
    if (c == '%' && n == '%') {
      out += '%';
      at += 2;
    } else if (c == '%' && n >= '1' && n <= '9' &&
               static_cast<std::size_t>(n - '0') <= texts.size()) {
      const string::view text = texts.begin()[n - '1'];
      out.append(text.data(), text.size());
      at += 2;
    } else {
      out += c;
      ++at;
    }
  }
  return out;
}

}  // namespace kx
