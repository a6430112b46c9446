#include "ui/skin/skin_values.h"

#include <algorithm>
#include <cstdint>

namespace kx {

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

// A decimal number like atoi: blanks, a sign, digits; saturated instead of
// overflowing.
std::int64_t decimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && is_blank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), INT32_MAX);
  return negative ? -value : value;
}

struct ColourParts {
  std::string_view red, green, blue;
};

std::optional<ColourParts> colour_parts(std::string_view text) {
  const std::size_t first = text.find(',');
  const std::size_t last = text.rfind(',');
  if (first == std::string_view::npos || first == last) return std::nullopt;
  return ColourParts{text.substr(0, first), text.substr(first + 1, last - first - 1),
                     text.substr(last + 1)};
}

std::uint32_t component(std::string_view text) {
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(decimal(text), 0, 255));
}

bool out_of_range(std::string_view text) {
  const std::int64_t v = decimal(text);
  return v < 0 || v > 255;
}

char upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool starts_with(std::string_view item, std::string_view word) {
  if (item.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (upper(item[i]) != word[i]) return false;
  }
  return true;
}

struct OptionWord {
  std::string_view word;
  std::uint32_t bit;
};

constexpr OptionWord kWords[] = {
    {"TRANSPARENT", kSkinTransparent}, {"SCALE", kSkinScale},
    {"VCENTER", kSkinVCenter},         {"HCENTER", kSkinHCenter},
    {"UPPER_LEFT", kSkinUpperLeft},    {"UPPER_RIGHT", kSkinUpperRight},
    {"LOWER_LEFT", kSkinLowerLeft},    {"LOWER_RIGHT", kSkinLowerRight},
};

std::string_view trim_front(std::string_view item) {
  while (!item.empty() && is_blank(item.front())) item.remove_prefix(1);
  return item;
}

// Calls `f(item)` for every comma-separated item; stops when f returns
// false.
template <class F>
void for_each_item(std::string_view text, F f) {
  while (true) {
    const std::size_t comma = text.find(',');
    if (!f(trim_front(text.substr(0, comma)))) return;
    if (comma == std::string_view::npos) return;
    text.remove_prefix(comma + 1);
  }
}

std::uint32_t option_bit(std::string_view item) {
  for (const OptionWord& w : kWords) {
    if (starts_with(item, w.word)) return w.bit;
  }
  return 0;
}

}  // namespace

std::optional<std::uint32_t> ParseSkinColour(std::string_view text) {
  const auto parts = colour_parts(text);
  if (!parts) return std::nullopt;
  return component(parts->red) | component(parts->green) << 8 | component(parts->blue) << 16;
}

bool SkinColourClamped(std::string_view text) {
  const auto parts = colour_parts(text);
  return parts &&
         (out_of_range(parts->red) || out_of_range(parts->green) || out_of_range(parts->blue));
}

std::optional<SkinPoint> ParseSkinPoint(std::string_view text) {
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  auto coordinate = [](std::string_view part) {
    return static_cast<int>(
        std::clamp<std::int64_t>(decimal(part), -kSkinMaxCoordinate, kSkinMaxCoordinate));
  };
  return SkinPoint{coordinate(text.substr(0, comma)), coordinate(text.substr(comma + 1))};
}

std::uint32_t ParseSkinOptions(std::string_view text) {
  std::uint32_t bits = 0;
  for_each_item(text, [&](std::string_view item) {
    bits |= option_bit(item);
    return true;
  });
  return bits;
}

std::string_view FirstUnknownSkinOption(std::string_view text) {
  std::string_view unknown;
  for_each_item(text, [&](std::string_view item) {
    if (!item.empty() && option_bit(item) == 0) unknown = item;
    return unknown.empty();
  });
  return unknown;
}

std::uint32_t ProfileInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && is_blank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::uint32_t base = 10;
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  std::uint32_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    std::uint32_t digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<std::uint32_t>(c - '0');
    } else if (base == 16 && upper(c) >= 'A' && upper(c) <= 'F') {
      digit = static_cast<std::uint32_t>(upper(c) - 'A' + 10);
    } else {
      break;
    }
    if (digit >= base) break;
    value = value * base + digit;
  }
  return negative ? 0u - value : value;
}

SkinCount CheckSkinCount(std::uint32_t raw) {
  if (raw > static_cast<std::uint32_t>(INT32_MAX)) return {0, SkinCount::Problem::negative};
  if (raw > kSkinMaxCount) return {kSkinMaxCount, SkinCount::Problem::capped};
  return {raw, SkinCount::Problem::none};
}

}  // namespace kx
