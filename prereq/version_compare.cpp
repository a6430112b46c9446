#include "prereq/version_compare.h"

#include "prereq/numbers.h"

namespace kx::prereq {

version_parts parse_version(sax::text_view text) noexcept {
  version_parts parts{};
  std::size_t start = 0;
  for (std::size_t i = 0; i < parts.size() && start <= text.size(); ++i) {
    std::size_t end = text.find(kx::xchar('.'), start);
    if (end == sax::text_view::npos) end = text.size();
    parts[i] = parse_number(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

version_parts version_from_file(std::uint32_t most_significant,
                                std::uint32_t least_significant) noexcept {
  return {most_significant >> 16, most_significant & 0xFFFFu, least_significant >> 16,
          least_significant & 0xFFFFu};
}

int compare_versions(const version_parts& a, const version_parts& b) noexcept {
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

int compare_versions(sax::text_view a, sax::text_view b) noexcept {
  return compare_versions(parse_version(a), parse_version(b));
}

}  // namespace kx::prereq
