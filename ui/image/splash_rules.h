// The rules of the splash picture that need no window: where its file is
// looked for and which palette it gets on a 256-colour screen.
//
// Windows-free and pure, so that both are table-tested.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/stringx.h"

namespace kx {

// The files a splash picture is looked for in, in order: "setup.bmp", then
// "setup.gif" in the medium's language folder ("setupdir\" and the UI
// language as four lower-case hexadecimal digits), then both in the medium
// folder itself. `medium` may end with a backslash or not.
std::vector<string> SplashCandidates(const string& medium, std::uint16_t language);

// A palette of a 256-colour screen: colours as 0x00BBGGRR.
struct SplashPalette {
  bool halftone = false;  // the system's halftone palette, for bitmaps of more than 8 bits
  std::vector<std::uint32_t> entries;
};

// The palette a bitmap of `bits_per_pixel` with colour table `table` gets.
// A full table of 256 colours is taken as it is; a shorter one (at most 236
// of it) sits between the first and the last 10 entries of `system` (the
// screen's 20 static colours; missing ones read as black).
SplashPalette MakeSplashPalette(int bits_per_pixel, std::span<const std::uint32_t> table,
                                std::span<const std::uint32_t> system);

}  // namespace kx
