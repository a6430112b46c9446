// The Windows LZ file format ("SZDD"), as LZ32's LZCopy expands it.
#pragma once

#include <cstdint>
#include <vector>

namespace kx::medium {

// Compresses `data` into an SZDD file: the 14-byte header (magic, mode 'A',
// `missing_char` - the last character of the expanded name, which the
// compressed name replaces - and the expanded size), then LZSS over a
// 4096-byte window. The output expands to exactly `data`.
std::vector<std::uint8_t> szdd_compress(const std::vector<std::uint8_t>& data, char missing_char);

// Expands an SZDD file; false for data that is not one or is damaged.
// (The launcher expands with LZ32; this is the builder's own check.)
bool szdd_expand(const std::vector<std::uint8_t>& file, std::vector<std::uint8_t>& data);

}  // namespace kx::medium
