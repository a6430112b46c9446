// Expansion of files compressed in the Windows LZ format, through the
// system's LZ32 library.
#pragma once

#include "base/stringx.h"

namespace kx {

// Expands `compressed` into `target` (created or replaced) with
// LZOpenFileW/LZCopy; a file that is not compressed is copied as it is.
// Returns the size written (0 for an empty file); a negative result means
// that the expansion failed, and `target` has been removed.
long lz_expand_file(const string& compressed, const string& target);

}  // namespace kx
