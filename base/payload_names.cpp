#include "base/payload_names.h"

#include <array>

namespace kx::payload {

namespace {

bool is_separator(xchar c) {
  return c == xchar('\\') || c == xchar('/');
}

// Names that Windows opens as devices in any folder, whatever extension
// follows them ("nul.txt" is the null device too).
bool is_device_name(string::view part) {
  string::view base = part.substr(0, part.find(xchar('.')));
  while (!base.empty() && base.back() == xchar(' ')) base.remove_suffix(1);
  static constexpr std::array<const xchar*, 6> kFixed = {KXT("CON"), KXT("PRN"),    KXT("AUX"),
                                                         KXT("NUL"), KXT("CONIN$"), KXT("CONOUT$")};
  for (const xchar* name : kFixed)
    if (base == string::view(name)) return true;
  if (base.size() == 4 && (base.substr(0, 3) == string::view(KXT("COM")) ||
                           base.substr(0, 3) == string::view(KXT("LPT")))) {
    const xchar d = base[3];
    // Digits 1-9 and the superscripts 1, 2 and 3.
    return (d >= xchar('1') && d <= xchar('9')) || d == xchar(0xB9) || d == xchar(0xB2) ||
           d == xchar(0xB3);
  }
  return false;
}

}  // namespace

name_problem check_name_part(string::view part) {
  if (part.empty()) return name_problem::empty;
  if (part.size() > kMaxEntryText) return name_problem::too_long;
  if (part == string::view(KXT(".")) || part == string::view(KXT("..")))
    return name_problem::parent_reference;
  for (xchar c : part) {
    if (is_separator(c)) return name_problem::separator_in_name;
    if (c == xchar(':')) return name_problem::drive_or_stream;
    if (c < xchar(0x20) || c == xchar('<') || c == xchar('>') || c == xchar('"') ||
        c == xchar('|') || c == xchar('?') || c == xchar('*'))
      return name_problem::bad_character;
  }
  if (part.back() == xchar('.') || part.back() == xchar(' '))
    return name_problem::trailing_dot_or_blank;
  if (is_device_name(part)) return name_problem::device_name;
  return name_problem::none;
}

name_problem check_file_name(string::view name) {
  return check_name_part(name);
}

name_problem check_relative_path(string::view path) {
  if (path.empty()) return name_problem::empty;
  if (path.size() > kMaxEntryText) return name_problem::too_long;
  if (is_separator(path.front())) return name_problem::absolute;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = start;
    while (end < path.size() && !is_separator(path[end])) ++end;
    const name_problem p = check_name_part(path.substr(start, end - start));
    if (p != name_problem::none) return p;
    if (end == path.size()) return name_problem::none;
    start = end + 1;
  }
}

const xchar* describe(name_problem problem) {
  switch (problem) {
    case name_problem::none:
      return KXT("acceptable");
    case name_problem::empty:
      return KXT("an empty name or path part");
    case name_problem::too_long:
      return KXT("longer than 259 characters");
    case name_problem::absolute:
      return KXT("an absolute or network path");
    case name_problem::drive_or_stream:
      return KXT("a drive letter or an alternate data stream (':')");
    case name_problem::parent_reference:
      return KXT("a '.' or '..' path part");
    case name_problem::separator_in_name:
      return KXT("a file name with a path separator");
    case name_problem::bad_character:
      return KXT("a control character or one of < > \" | ? *");
    case name_problem::trailing_dot_or_blank:
      return KXT("a name part ending in a dot or a blank");
    case name_problem::device_name:
      return KXT("a Windows device name");
  }
  return KXT("unknown");
}

string directory_part(string::view relative_path) {
  std::size_t cut = relative_path.size();
  while (cut > 0 && !is_separator(relative_path[cut - 1])) --cut;
  string dir(relative_path.substr(0, cut));
  for (xchar& c : dir)
    if (c == xchar('/')) c = xchar('\\');
  return dir;
}

string file_name_part(string::view relative_path) {
  std::size_t cut = relative_path.size();
  while (cut > 0 && !is_separator(relative_path[cut - 1])) --cut;
  return string(relative_path.substr(cut));
}

bool is_deferred_cabinet(string::view name, string::view relative_path) {
  const string n(name);
  if (!n.ends_with_i(string::view(KXT(".cab"))) || !n.starts_with_i(string::view(KXT("data"))))
    return false;
  if (name == string::view(KXT("data1.cab"))) return false;
  std::size_t levels = 0;
  for (xchar c : relative_path)
    if (is_separator(c)) ++levels;
  return levels == 1;
}

bool is_compressed(string::view name, string::view relative_path) {
  return file_name_part(relative_path).as_view() != name;
}

}  // namespace kx::payload
