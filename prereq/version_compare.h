// Version texts of up to four dot-separated numbers ("10.0.30319"), as
// definitions and registry values write them.
//
// Windows-free: the texts come from definition files and the registry.
#pragma once

#include <array>
#include <cstdint>

#include "prereq/xml/attribute_list.h"

namespace kx::prereq {

// The four parts of a version; missing parts are 0.
using version_parts = std::array<std::uint32_t, 4>;

// Splits `text` on "." and reads the first four parts with parse_number
// (prereq/numbers.h): a part that is not a number reads 0, and parts after
// the fourth are ignored.
version_parts parse_version(sax::text_view text) noexcept;

// The four parts of a fixed file version (dwFileVersionMS, dwFileVersionLS).
version_parts version_from_file(std::uint32_t most_significant,
                                std::uint32_t least_significant) noexcept;

// -1, 0 or 1 as `a` is older than, equal to or newer than `b`: the parts
// are compared in order as unsigned 32-bit numbers. For parts up to 65535
// this orders as the packed pair (a<<16|b, c<<16|d) does; larger parts
// (build numbers, dates) keep their full value instead of losing their high
// bits.
int compare_versions(const version_parts& a, const version_parts& b) noexcept;

// compare_versions of two texts.
int compare_versions(sax::text_view a, sax::text_view b) noexcept;

}  // namespace kx::prereq
