#include "platform/environment.h"

#include <windows.h>

#include <vector>

namespace kx {

string expand_environment(const string& text) {
  if (text.empty()) return text;
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  // The environment may grow between two calls; a few rounds settle it.
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), buffer.data(), size);
    if (needed == 0) return text;
    if (needed <= size) return string(buffer.data());
    buffer.assign(needed, L'\0');
  }
  return text;
}

}  // namespace kx
