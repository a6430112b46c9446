#include "base/char_traitsi.h"

namespace kx {

int compare_i(const xchar* a, std::size_t na, const xchar* b, std::size_t nb) noexcept {
  const std::size_t n = na < nb ? na : nb;
  if (const int r = char_traitsi::compare(a, b, n)) return r;
  return na < nb ? -1 : (na > nb ? 1 : 0);
}

}  // namespace kx
