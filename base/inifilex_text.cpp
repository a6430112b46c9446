// INI text to document and back.
#include "base/inifilex.h"

namespace kx {

namespace {

// Writes each line break (CR LF, CR or LF) inside `text` as one blank.
string one_line(const string& text) {
  if (text.find_first_of(KXT("\r\n")) == string::npos) return text;
  string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const xchar c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += (c == '\r' || c == '\n') ? xchar(' ') : c;
  }
  return out;
}

}  // namespace

bool inifilex::parse(string::view text) {
  sections_.clear();
  const string::view separator = separator_.as_view();
  inifilesectionx* current = nullptr;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = pos;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    const string::view line = text.substr(pos, end - pos);
    pos = end;
    if (pos < text.size())
      pos += (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;

    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const std::size_t close = line.find(']', 1);
      if (close == string::view::npos) return false;
      // A repeated header (in any case) continues the section of that name.
      current = sections_.insert(string(line.substr(1, close - 1)), {}).first;
      continue;
    }
    if (!current) return false;
    const std::size_t at = line.find(separator);
    const string::view key = at == string::view::npos ? line : line.substr(0, at);
    const string::view value =
        at == string::view::npos ? string::view() : line.substr(at + separator.size());
    current->entries.insert(string(key), {string(value)});
  }
  return true;
}

std::vector<string> inifilex::lines() const {
  std::vector<string> out;
  for (const auto& [name, section] : sections_) {
    if (!out.empty()) out.emplace_back();
    out.push_back(KXT("[") + one_line(name) + KXT("]"));
    for (const auto& [raw_key, entry] : section.entries) {
      const string key = one_line(raw_key);
      const string value = one_line(entry.value);
      // Without a value the key may stand alone: when asked to, or when the
      // key ends with the start of the separator, so that key + separator
      // would read back with the separator found too early.
      const bool alone = value.empty() && !key.empty() &&
                         (bare_keys_ || (key.find(separator_) == string::npos &&
                                         (key + separator_).find(separator_) < key.size()));
      out.push_back(alone ? key : key + separator_ + value);
    }
  }
  return out;
}

}  // namespace kx
