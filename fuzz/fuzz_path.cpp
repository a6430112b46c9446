// Fuzzes the path and address helpers with arbitrary UTF-16 text (two input
// bytes per code unit, little-endian) and checks what their rules promise.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/path.h"

namespace {

using kx::string;
using kx::xchar;

void require(bool condition) {
  if (!condition) std::abort();
}

bool is_separator(xchar c) {
  return c == xchar('\\') || c == xchar('/');
}

bool is_trimmed(xchar c) {
  return c == xchar(' ') || c == xchar('\t') || c == xchar('\n');
}

// The text compared case-sensitively.
std::u16string exact(const string& s) {
  return std::u16string(s.data(), s.size());
}

bool has_prefix(const string& s, const string& prefix) {
  return exact(s).compare(0, prefix.size(), exact(prefix)) == 0 && s.size() >= prefix.size();
}

void check_normalize(const string& input) {
  const string out = kx::normalize_folder_path(input);
  string inner = out;
  const bool quoted = out.size() >= 2 && out.front() == xchar('"') && out.back() == xchar('"');
  if (quoted) inner = out.substr(1, out.size() - 2);
  require(inner.size() <= input.size());
  for (std::size_t i = 0; i < inner.size(); ++i) {
    const xchar c = inner[i];
    require(exact(string(KXT("*?\"<>|"))).find(c) == std::u16string::npos);
    require(c != xchar(':') || i < 2);
    require(!(i >= 3 && is_separator(c) && is_separator(inner[i - 1])));
  }
  // Removing characters after the trim can uncover blanks at the ends; a
  // result without them is a fixed point.
  const bool clean_ends =
      inner.empty() || (!is_trimmed(inner.front()) && !is_trimmed(inner.back()));
  if (clean_ends) require(exact(kx::normalize_folder_path(out)) == exact(out));
}

void check_file_url(const string& input) {
  const string out = kx::file_url_to_path(input);
  const bool converted = input.size() > 7 && input.starts_with_i(KXT("file://"));
  if (!converted) {
    require(exact(out) == exact(input));
    return;
  }
  require(exact(out).find(u'/') == std::u16string::npos);
  require(exact(out).find(u"%20") == std::u16string::npos);
  if (!out.empty())
    require((out.size() >= 2 && out[1] == xchar(':')) ||
            (out.size() > 2 && out[0] == xchar('\\') && out[1] == xchar('\\')));
}

void check_parts(const string& input) {
  const string directory = kx::path_directory(input);
  require(has_prefix(input, directory));
  const string name = kx::path_file_name(input);
  require(name.find(xchar('\\')) == string::npos);
  require(exact(input).find(exact(name)) != std::u16string::npos);

  const string joined = kx::path_join(directory, name);
  require(exact(joined).ends_with(exact(name)));
  if (!directory.empty()) {
    std::size_t kept = directory.size();
    while (kept > 0 && directory[kept - 1] == xchar('\\')) --kept;
    require(has_prefix(joined, directory.substr(0, kept) + xchar('\\')));
  }
}

void check_quote(const string& input) {
  const string plain = kx::quote(input);
  require(plain.size() == input.size() + 2 && exact(plain.substr(1, input.size())) == exact(input));
  const string escaped = kx::quote(input, false, true);
  require(escaped.size() == input.size() + 4);
  const bool blank = input.find(xchar(' ')) != string::npos;
  require(exact(kx::quote(input, true)) == (blank ? exact(plain) : exact(input)));
  const string needed = kx::quote_if_needed(input);
  require(exact(kx::quote_if_needed(needed)) == exact(needed));
}

void check_urls(const string& input) {
  using kx::url_schemes;
  for (const url_schemes set : {url_schemes::any, url_schemes::web, url_schemes::web_or_ftp})
    if (kx::is_url(input, set)) require(kx::has_url_scheme(input, set));
  // The sets nest: web within web_or_ftp within any.
  if (kx::has_url_scheme(input, url_schemes::web))
    require(kx::has_url_scheme(input, url_schemes::web_or_ftp));
  if (kx::has_url_scheme(input, url_schemes::web_or_ftp))
    require(kx::has_url_scheme(input, url_schemes::any));
  if (kx::is_url(input)) require(input.size() > 6);
}

void check_short_name(const string& input) {
  const string out = kx::short_source_name(input);
  require(out.size() <= input.size());
  require(exact(out).find(u'/') == std::u16string::npos);
  const std::size_t separator = out.find(xchar('\\'));
  require(separator == string::npos || out.find(xchar('\\'), separator + 1) == string::npos);
  require(separator != 0);
  std::size_t name = input.size();
  while (name > 0 && !is_separator(input[name - 1])) --name;
  require(exact(out).ends_with(exact(input.substr(name))));
}

}  // namespace

// A full path stands on its own, and a folder joined to it stays one.
void check_full_path(const string& input) {
  if (!kx::is_full_path(input.as_view())) return;
  require(input.size() >= 3);
  require(kx::is_full_path(kx::path_join(input, KXT("0x0409.ini")).as_view()));
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  string input;
  input.reserve(size / 2);
  for (std::size_t i = 0; i + 1 < size; i += 2) input += xchar(data[i] | (data[i + 1] << 8));

  check_normalize(input);
  check_file_url(input);
  check_parts(input);
  check_quote(input);
  check_urls(input);
  check_short_name(input);
  check_full_path(input);
  return 0;
}
