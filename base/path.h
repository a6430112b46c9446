// Path, address and quoting helpers over kx::string.
//
// Windows-free: they also run in the host build of the parsers, since
// folder names from the registry and medium addresses from the command line
// pass through them.
#pragma once

#include "base/stringx.h"

namespace kx {

// `folder` and `name` with exactly one backslash between them (backslashes
// at the end of `folder` and the start of `name` are merged). An empty
// `folder` gives `name` unchanged, so that a relative name never becomes
// relative to the root of the current drive.
string path_join(const string& folder, const string& name);

// The text before the last backslash, without it ("" when there is none).
// For a UNC path (longer than 2 characters, starting with two backslashes)
// "\\server\share" is the root: a path whose last backslash lies inside it
// gives the root itself.
string path_directory(const string& path);

// The text after the last backslash, trailing backslashes ignored
// ("C:\dir\" gives "dir"); the whole text when there is no backslash.
string path_file_name(const string& path);

// The short name of a source file, as logs and failure reports show it: the
// name of the folder that directly holds the file, a backslash and the file
// name ("..\..\Shared\Setup\KxPreReqDlg.cpp" gives "Setup\KxPreReqDlg.cpp").
// Both '\' and '/' separate, since compilers spell source paths either way;
// a name without a folder part, or with an empty one ("\x.cpp"), comes back
// alone.
string short_source_name(string::view path);

// `text` in double quotes when it contains a blank (U+0020) and is not
// already enclosed in double quotes; otherwise `text` unchanged.
string quote_if_needed(const string& text);

// `text` surrounded by double quotes, or by \" on each side when `escaped`
// (for a command line that is itself quoted). With `only_when_blank`, a text
// without a blank (U+0020) comes back unchanged. Quotes inside `text` are
// not escaped.
string quote(const string& text, bool only_when_blank = false, bool escaped = false);

// Cleans a folder name read from the registry or the shell:
// - a surrounding pair of double quotes is set aside and put back at the end;
// - blanks, tabs and line feeds are trimmed at both ends;
// - * ? " < > | are removed everywhere, and ':' everywhere but in the first
//   two places of the result;
// - every run of '\' or '/' after the first two characters (which keep a UNC
//   prefix intact) collapses to its first character.
// Trimming comes first, so removed characters may uncover blanks at the ends.
string normalize_folder_path(const string& path);

// `folder` with one backslash at its end (added when missing). An empty
// folder stays empty: "\" would name the root of the current drive.
string ensure_trailing_backslash(const string& folder);

// The address schemes that the URL predicates look for.
enum class url_schemes {
  any,         // "file://", "ftp://", "http://", "https://"
  web,         // "http://", "https://": read through the internet transfer
  web_or_ftp,  // "http://", "https://", "ftp://"
};

// True when `text` begins with the prefix of one of `schemes` (any case),
// also when nothing follows it: the source-file layer hands such a text to
// the web source, which fails on it, rather than to the file system.
bool has_url_scheme(string::view text, url_schemes schemes) noexcept;

// True when `text` begins with the prefix of one of `schemes` (any case) and
// has more characters after the prefix: an address that names something.
bool is_url(string::view text, url_schemes schemes = url_schemes::any) noexcept;

// The path that a "file://" address names: the prefix is removed, '/' and
// '\' are trimmed at both ends, a drive written "C|" becomes "C:", a text
// without a drive gets "\\" in front (a server share), and every "%20"
// becomes a blank and every '/' a backslash. "file:///C|/Media%20Files/"
// gives "C:\Media Files"; "file://server/share" gives "\\server\share".
// A text that is not a "file://" address with more characters after the
// prefix comes back unchanged; one that names nothing ("file:////") gives "".
string file_url_to_path(const string& url);

// True when `path` names its place without help from the current folder or
// drive: a drive letter, ':' and a separator ("C:\Temp"), or two separators
// and a name ("\\server\share"). "C:Temp", "\Temp", "Temp" and "" are
// not: the system would resolve them against the current folder or drive.
bool is_full_path(string::view path) noexcept;

}  // namespace kx
