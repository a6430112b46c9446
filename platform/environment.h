// Environment references (%NAME%) in texts from definitions and the registry.
#pragma once

#include "base/stringx.h"

namespace kx {

// `text` with its %NAME% references replaced by the process environment
// (ExpandEnvironmentStringsW; unknown names stay as written). A result that
// does not fit the first buffer is expanded again into one of the size the
// system asked for. When the system cannot expand it, `text` unchanged.
string expand_environment(const string& text);

}  // namespace kx
