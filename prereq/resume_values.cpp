#include "prereq/resume_values.h"

#include <string>

namespace kx::prereq {

namespace {

constexpr unsigned long kRegSz = 1;
constexpr int kMaxIndex = 9999;

string named(const xchar* prefix, const string& id) {
  string name(prefix);
  name += id;
  return name;
}

// A whole decimal integer with an optional leading '-', at most 5 digits.
std::optional<int> strict_decimal(string::view text) {
  bool negative = false;
  if (!text.empty() && text.front() == KXT('-')) {
    negative = true;
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 5) return std::nullopt;
  int value = 0;
  for (const xchar c : text) {
    if (c < KXT('0') || c > KXT('9')) return std::nullopt;
    value = value * 10 + (c - KXT('0'));
  }
  return negative ? -value : value;
}

}  // namespace

string resume_index_name(const string& id) {
  return named(KXT("%KX_PREREQ%-"), id);
}
string resume_features_name(const string& id) {
  return named(KXT("%KX_PREREQF%-"), id);
}
string resume_fingerprint_name(const string& id) {
  return named(KXT("%KX_PREREQM%-"), id);
}
string resume_attempts_name(const string& id) {
  return named(KXT("%KX_PREREQN%-"), id);
}

std::optional<int> parse_resume_index(unsigned long type, const std::vector<unsigned char>& data) {
  if (type != kRegSz || data.size() % sizeof(xchar) != 0) return std::nullopt;
  string::view text(reinterpret_cast<const xchar*>(data.data()), data.size() / sizeof(xchar));
  // The stored terminator, and only it, is not part of the text.
  if (!text.empty() && text.back() == 0) text.remove_suffix(1);
  const std::optional<int> value = strict_decimal(text);
  if (!value || *value < -1 || *value > kMaxIndex) return std::nullopt;
  return value;
}

std::optional<resume_attempts> parse_resume_attempts(const string& text) {
  const auto colon = text.find(KXT(':'));
  if (colon == string::npos) return std::nullopt;
  const auto index = strict_decimal(text.as_view().substr(0, colon));
  const auto count = strict_decimal(text.as_view().substr(colon + 1));
  if (!index || !count || *index < -1 || *index > kMaxIndex || *count < 1) return std::nullopt;
  return resume_attempts{*index, *count};
}

string medium_fingerprint(const string& product_guid, const std::vector<string>& names) {
  string text = product_guid;
  for (const string& name : names) {
    text += KXT('|');
    text += name;
  }
  return text;
}

string restart_command(const string& command_line, const string& program_name) {
  string::size_type start = 0;
  while (start < command_line.size() && command_line[start] == KXT(' ')) ++start;
  if (start < command_line.size() && command_line[start] == KXT('"')) return command_line;
  string::size_type end = string::npos;
  if (!program_name.empty()) {
    const auto at = command_line.find(program_name, start);
    if (at != string::npos) end = at + program_name.size();
  }
  if (end == string::npos) {
    const auto at = command_line.find(KXT(".exe"), start);
    if (at != string::npos) end = at + 4;
  }
  if (end == string::npos) end = command_line.size();
  string quoted(KXT("\""));
  quoted += command_line.as_view().substr(start, end - start);
  quoted += KXT('"');
  quoted += command_line.as_view().substr(end);
  return quoted;
}

}  // namespace kx::prereq
