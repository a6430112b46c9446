#include "ui/skin/skin_lookup.h"

#include <cstdio>

#include "ui/skin/skin_package.h"

namespace kx {

namespace {

// More digits than a language id has are not a suffix.
constexpr std::size_t kMaxSuffixDigits = 8;

std::string hex4(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "-%04x", value);
  return text;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void add(std::vector<std::string>& chain, std::string name) {
  for (const std::string& n : chain) {
    if (SkinNamesEqual(n, name)) return;
  }
  chain.push_back(std::move(name));
}

}  // namespace

std::string SkinSectionName(std::string_view page, std::uint16_t language) {
  std::string name(page);
  if (language != 0x0409) name += hex4(language);
  return name;
}

std::vector<std::string> SkinLookupChain(std::string_view name) {
  std::vector<std::string> chain{std::string(name)};
  const std::size_t dash = name.rfind('-');
  const std::string_view digits =
      dash == std::string_view::npos ? std::string_view() : name.substr(dash + 1);
  unsigned value = 0;
  bool suffix = !digits.empty() && digits.size() <= kMaxSuffixDigits;
  for (char c : digits) {
    const int d = hex_digit(c);
    if (d < 0) suffix = false;
    value = value * 16 + static_cast<unsigned>(d < 0 ? 0 : d);
  }
  const std::string_view base = suffix ? name.substr(0, dash) : name;
  if (suffix && !SkinNamesEqual(base, "ALL")) {
    add(chain, std::string(base) + hex4(value & 0x3FF));
    std::string all = "ALL";
    all += name.substr(dash);
    add(chain, std::move(all));
    add(chain, std::string(base));
  }
  add(chain, "ALL");
  return chain;
}

}  // namespace kx
