#include "diag/trace_mask.h"

namespace kx {

namespace {

constexpr const wchar_t* kMask = L"***";

// The end of an address's authority. A backslash does not end it: the
// internet functions take one as part of a user name or password, and a
// password must not slip through unmasked for it.
bool ends_authority(wchar_t c) {
  return c == L'/' || c == L'?' || c == L'#' || c == L' ' || c < 0x20 || c == 0x7F;
}

}  // namespace

string mask_secret(const string& secret) {
  return secret.empty() ? string() : string(kMask);
}

string mask_url_credentials(const string& text) {
  string out = text;
  size_t from = 0;
  for (;;) {
    const size_t scheme_end = out.find(L"://", from);
    if (scheme_end == string::npos) break;
    const size_t start = scheme_end + 3;
    size_t end = start;
    while (end < out.size() && !ends_authority(out[end])) ++end;
    from = end;
    const size_t at = out.rfind(L'@', end == start ? start : end - 1);
    if (at == string::npos || at < start) continue;
    const size_t colon = out.find(L':', start);
    if (colon == string::npos || colon >= at || colon + 1 == at) continue;
    out.replace(colon + 1, at - colon - 1, kMask);
    from = colon + 1 + 3 + (end - at);
  }
  return out;
}

}  // namespace kx
