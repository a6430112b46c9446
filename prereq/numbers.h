// Numbers and number lists as definition files write them. Hand-written
// files carry blanks, signs, trailing commas and stray text; one reading of
// them keeps every attribute consistent.
#pragma once

#include <cstdint>
#include <vector>

#include "prereq/xml/attribute_list.h"

namespace kx::prereq {

// Reads an unsigned decimal number: optional blanks (space, tab), an
// optional sign, decimal digits up to the first non-digit. Text without
// digits reads 0. Values above 0xFFFFFFFF saturate there; a minus sign gives
// the two's complement ("-1" is 0xFFFFFFFF, so signed exit codes can be
// listed), with the magnitude saturating at 0x80000000.
std::uint32_t parse_number(sax::text_view text) noexcept;

// True when `text` holds at least one decimal digit after its blanks and
// sign, i.e. parse_number reads a number rather than defaulting to 0.
bool has_number(sax::text_view text) noexcept;

// The numbers of a `separator`-separated list ("1641,3010"); entries
// without digits (empty ones from "1641,3010," among them) are skipped, so
// they can never stand for 0.
std::vector<std::uint32_t> parse_number_list(sax::text_view text, kx::xchar separator);

}  // namespace kx::prereq
