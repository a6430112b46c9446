// File conditions: a file that exists, its date, its version.
#pragma once

#include <cstdint>
#include <vector>

#include "base/stringx.h"
#include "prereq/xml/attribute_list.h"

namespace kx::prereq {

// The places a condition's file is looked for, in order. A path holding a
// backslash is its own only candidate; a bare name is looked for in the
// current directory, then in each entry of the machine's PATH as the
// registry stores it (HKLM ...\Session Manager\Environment, value "PATH";
// entries environment-expanded, empty ones skipped), which also sees
// folders an earlier package added. An empty path has none.
std::vector<string> file_candidates(const string& path);

// A local FILETIME written as "high.low" (two decimal halves; a missing
// half is 0).
std::uint64_t parse_file_time(sax::text_view text) noexcept;

// One file condition of `type` (4 exists, 8 date, 16 version) with
// `comparison`, on `path` (which may start with a folder variable) joined
// with `file_name`, against `expected`. The first candidate that exists
// decides:
// - type 4 passes for comparison 1;
// - type 8 compares the last-write time, made local, with `expected` as
//   parse_file_time reads it: 1 equal, 2 not later; other codes fail, and so
//   does a time that cannot be read;
// - type 16 compares the fixed file version (0.0.0.0 without one) with
//   `expected`: 1 equal, 2 older, 4 newer; other codes fail. A module loaded
//   into this process (and smaller than 0xF00000 bytes) is read from a copy
//   in the temporary folder, deleted again afterwards.
// Without any candidate, comparison 2 passes and everything else fails.
// Redirection switched off by a variable is restored before returning.
bool evaluate_file_condition(std::uint32_t type, std::uint32_t comparison, sax::text_view path,
                             sax::text_view file_name, sax::text_view expected);

}  // namespace kx::prereq
