// Expansion of files compressed in the Windows LZ format, through the
// system's LZ32 library.
#pragma once

#include "base/stringx.h"

namespace kx {

// Expands `compressed` into `target` (created or replaced) with
// LZOpenFileW/LZCopy; a file that is not compressed is copied as it is.
// Returns the size written when it is positive; otherwise the expansion
// failed (or produced nothing), and `target` has been removed.
long lz_expand_file(const string& compressed, const string& target);

}  // namespace kx
