#include "tools/skin_builder/skin_ini_text.h"

#include "ui/skin/skin_package.h"
#include "ui/skin/skin_values.h"

namespace kx::skinbuild {

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

}  // namespace

SkinIniText::SkinIniText(std::string_view text) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      sections_.push_back(
          {std::string(trim(line.substr(
               1, close == std::string_view::npos ? std::string_view::npos : close - 1))),
           {}});
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || sections_.empty()) continue;
    std::string_view value = trim(line.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    sections_.back().keys.emplace_back(std::string(trim(line.substr(0, equals))),
                                       std::string(value));
  }
}

const SkinIniText::Section* SkinIniText::Find(const std::string& section) const {
  for (const Section& s : sections_) {
    if (SkinNamesEqual(s.name, section)) return &s;
  }
  return nullptr;
}

const std::string* SkinIniText::Value(const std::string& section, const std::string& key) const {
  const Section* s = Find(section);
  if (!s) return nullptr;
  for (const auto& [k, v] : s->keys) {
    if (SkinNamesEqual(k, key)) return &v;
  }
  return nullptr;
}

std::string SkinIniText::Text(const std::string& section, const std::string& key,
                              std::size_t limit) {
  const std::string* v = Value(section, key);
  return v ? v->substr(0, limit) : std::string();
}

std::uint32_t SkinIniText::Number(const std::string& section, const std::string& key,
                                  std::uint32_t fallback) {
  const std::string* v = Value(section, key);
  return v ? ProfileInt(*v) : fallback;
}

std::vector<std::string> SkinIniText::Sections(std::size_t limit) {
  std::vector<std::string> names;
  std::size_t used = 0;
  for (const Section& s : sections_) {
    if (Find(s.name) != &s) continue;
    used += s.name.size() + 1;
    if (used > limit) break;
    names.push_back(s.name);
  }
  return names;
}

std::vector<std::string> SkinIniText::Keys(const std::string& section) const {
  std::vector<std::string> keys;
  if (const Section* s = Find(section)) {
    for (const auto& kv : s->keys) keys.push_back(kv.first);
  }
  return keys;
}

}  // namespace kx::skinbuild
