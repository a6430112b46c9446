// The file version of an executable, from its version resource.
#pragma once

#include <string>

#include "launcher/payload_image.h"

namespace kx::medium {

// The fixed file version of the executable in `source` as "a.b.c.d"
// (decimal), or "0.0.0.0" when the file is no executable or carries no
// readable version resource.
std::string file_version_text(kx::payload::byte_source& source);

}  // namespace kx::medium
