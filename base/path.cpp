#include "base/path.h"

#include <string_view>

namespace kx {

namespace {

using view = string::view;
using size_type = string::size_type;

constexpr xchar kBackslash = xchar('\\');
constexpr xchar kSlash = xchar('/');
constexpr xchar kQuote = xchar('"');
constexpr xchar kBlank = xchar(' ');

bool has_blank(const string& text) {
  return text.find(kBlank) != string::npos;
}

bool is_quoted(view text) {
  return text.size() >= 2 && text.front() == kQuote && text.back() == kQuote;
}

bool is_separator(xchar c) {
  return c == kBackslash || c == kSlash;
}

// The address schemes, with the sets of url_schemes beyond `any` that hold
// each.
struct scheme {
  view prefix;
  bool web;
  bool web_or_ftp;
};
constexpr scheme kSchemes[] = {
    {KXT("http://"), true, true},
    {KXT("https://"), true, true},
    {KXT("ftp://"), false, true},
    {KXT("file://"), false, false},
};

// The length of the prefix of `schemes` that `text` begins with; 0 for
// none.
size_type scheme_length(view text, url_schemes schemes) noexcept {
  for (const scheme& s : kSchemes) {
    const bool wanted =
        schemes == url_schemes::any || (schemes == url_schemes::web ? s.web : s.web_or_ftp);
    if (wanted && text.starts_with(s.prefix)) return s.prefix.size();
  }
  return 0;
}

// The length of the "\\server\share" root of a UNC path, or 0 for another
// path.
size_type unc_root_length(const string& path) {
  if (path.size() <= 2 || path[0] != kBackslash || path[1] != kBackslash) return 0;
  const size_type server_end = path.find(kBackslash, 2);
  if (server_end == string::npos) return path.size();
  const size_type share_end = path.find(kBackslash, server_end + 1);
  return share_end == string::npos ? path.size() : share_end;
}

bool is_trimmed(xchar c) {
  return c == kBlank || c == xchar('\t') || c == xchar('\n');
}

bool is_forbidden(xchar c) {
  return c == xchar('*') || c == xchar('?') || c == kQuote || c == xchar('<') || c == xchar('>') ||
         c == xchar('|');
}

}  // namespace

string path_join(const string& folder, const string& name) {
  if (folder.empty()) return name;
  size_type folder_end = folder.size();
  while (folder_end > 0 && folder[folder_end - 1] == kBackslash) --folder_end;
  size_type name_start = 0;
  while (name_start < name.size() && name[name_start] == kBackslash) ++name_start;
  string joined(folder.data(), folder_end);
  joined += kBackslash;
  joined.append(name, name_start, string::npos);
  return joined;
}

string path_directory(const string& path) {
  const size_type last = path.rfind(kBackslash);
  if (last == string::npos) return string();
  const size_type root = unc_root_length(path);
  if (root != 0 && last <= root) return path.substr(0, root);
  return path.substr(0, last);
}

string path_file_name(const string& path) {
  size_type end = path.size();
  while (end > 0 && path[end - 1] == kBackslash) --end;
  const size_type last = path.rfind(kBackslash, end == 0 ? 0 : end - 1);
  const size_type start = (last == string::npos || end == 0) ? 0 : last + 1;
  return path.substr(start, end - start);
}

string short_source_name(string::view path) {
  size_type name = path.size();
  while (name > 0 && !is_separator(path[name - 1])) --name;
  if (name == 0) return string(path);
  size_type folder = name - 1;
  while (folder > 0 && !is_separator(path[folder - 1])) --folder;
  string result(path.substr(folder, name - 1 - folder));
  if (!result.empty()) result += kBackslash;
  result += path.substr(name);
  return result;
}

string quote_if_needed(const string& text) {
  if (!has_blank(text) || is_quoted(text.as_view())) return text;
  return quote(text);
}

string quote(const string& text, bool only_when_blank, bool escaped) {
  if (only_when_blank && !has_blank(text)) return text;
  const xchar* mark = escaped ? KXT("\\\"") : KXT("\"");
  string quoted(mark);
  quoted += text;
  quoted += mark;
  return quoted;
}

string normalize_folder_path(const string& path) {
  view text = path.as_view();
  const bool quoted = is_quoted(text);
  if (quoted) text = text.substr(1, text.size() - 2);

  while (!text.empty() && is_trimmed(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_trimmed(text.back())) text.remove_suffix(1);

  string cleaned;
  cleaned.reserve(text.size() + 2);
  for (const xchar c : text) {
    if (is_forbidden(c)) continue;
    if (c == xchar(':') && cleaned.size() >= 2) continue;
    // The first two characters may be the "\\" of a UNC path.
    if (is_separator(c) && cleaned.size() > 2 && is_separator(cleaned.back())) continue;
    cleaned += c;
  }
  if (!quoted) return cleaned;
  string result(1, kQuote);
  result += cleaned;
  result += kQuote;
  return result;
}

string ensure_trailing_backslash(const string& folder) {
  if (folder.empty() || folder.back() == kBackslash) return folder;
  return folder + kBackslash;
}

bool has_url_scheme(string::view text, url_schemes schemes) noexcept {
  return scheme_length(text, schemes) != 0;
}

bool is_url(string::view text, url_schemes schemes) noexcept {
  const size_type prefix = scheme_length(text, schemes);
  return prefix != 0 && text.size() > prefix;
}

string file_url_to_path(const string& url) {
  constexpr view prefix = KXT("file://");
  if (!url.starts_with_i(prefix) || url.size() == prefix.size()) return url;

  view rest = url.as_view().substr(prefix.size());
  while (!rest.empty() && is_separator(rest.front())) rest.remove_prefix(1);
  while (!rest.empty() && is_separator(rest.back())) rest.remove_suffix(1);
  if (rest.empty()) return string();

  string path(rest);
  if (path.size() >= 2 && path[1] == xchar('|')) path[1] = xchar(':');
  if (path.size() < 2 || path[1] != xchar(':')) path.insert(0, KXT("\\\\"));
  path.replace_all(KXT("%20"), KXT(" "));
  for (xchar& c : path)
    if (c == kSlash) c = kBackslash;
  return path;
}

bool is_full_path(string::view path) noexcept {
  if (path.size() >= 3 && path[1] == xchar(':') && is_separator(path[2])) {
    const xchar drive = fold_ascii(path[0]);
    return drive >= xchar('a') && drive <= xchar('z');
  }
  return path.size() >= 3 && is_separator(path[0]) && is_separator(path[1]) &&
         !is_separator(path[2]);
}

}  // namespace kx
