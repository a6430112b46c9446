// Overwriting passwords before their memory is given back.
// Windows-free and header-only, so that any layer can use it.
#pragma once

#include <cstddef>
#include <string>

namespace kx {

// Overwrites every character of `text`'s storage (its whole capacity, so
// also what an earlier, longer value left there) with zeros the compiler
// may not drop, then empties it. The storage stays allocated, so a value
// assigned next that fits is not copied to a fresh buffer.
template <class Char, class Traits, class Alloc>
void wipe_secret(std::basic_string<Char, Traits, Alloc>& text) noexcept {
  // Growing to the capacity never reallocates, and makes the whole
  // storage part of the string, to be overwritten legitimately.
  text.resize(text.capacity());
  volatile Char* p = text.data();
  for (std::size_t i = 0; i < text.size(); ++i) p[i] = Char();
  text.clear();
}

}  // namespace kx
