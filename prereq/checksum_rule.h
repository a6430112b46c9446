// What a definition's CheckSum and FileSize promise about a downloaded
// file, and whether a file keeps that promise.
//
// Windows-free: the rules are judged on text, so they can be tested and
// fuzzed without a download.
#pragma once

#include <cstdint>

#include "base/stringx.h"

namespace kx::prereq {

// Which digest a CheckSum names.
enum class checksum_kind {
  none,     // empty (or only blanks): the file is not checked
  md5,      // 32 hexadecimal digits
  sha256,   // 64 hexadecimal digits
  invalid,  // anything else: no file can match it
};

// A CheckSum as the check uses it.
struct expected_checksum {
  checksum_kind kind = checksum_kind::none;
  // The digits in upper case, blanks around them removed; empty unless
  // kind is md5 or sha256.
  string digits;
};

// Reads a CheckSum attribute. Blanks and tabs around the digits are
// ignored; inside them nothing is. Text that is neither 32 nor 64
// hexadecimal digits is `invalid`, so a mistyped or truncated digest fails
// closed instead of switching the check off.
expected_checksum read_checksum(const string& written);

// True when `actual` (hexadecimal digits of the file's digest, any case)
// keeps the promise of `expected`: always for `none`, never for `invalid`,
// otherwise the same digits ignoring case.
bool checksum_matches(const expected_checksum& expected, const string& actual);

// A FileSize attribute: "<high>,<low>" (two 32-bit decimal halves, as media
// builders write it) or one decimal number. True with `bytes` when it states
// a size; false when it is empty, states 0, or cannot be read (`readable`
// then tells the last case apart, so that it can be logged; the size is a
// guard before hashing, the digest stays the check).
bool read_file_size(const string& written, std::uint64_t& bytes, bool& readable);

}  // namespace kx::prereq
