#include "ui/skin/skin_package.h"

#include <algorithm>
#include <cstring>

namespace kx {

namespace {

char fold(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The length of the NUL-terminated field at `at`, or npos when the data ends
// first.
std::size_t field_length(std::span<const std::uint8_t> bytes, std::size_t at) {
  const auto* begin = bytes.data() + at;
  const void* nul = std::memchr(begin, 0, bytes.size() - at);
  return nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - begin)
             : std::string_view::npos;
}

SkinPackage refused(SkinPackageProblem problem, std::size_t offset) {
  SkinPackage p;
  p.problem = problem;
  p.offset = offset;
  return p;
}

}  // namespace

bool SkinNamesEqual(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return fold(x) == fold(y); });
}

const SkinEntry* SkinPackage::Find(std::string_view name) const {
  for (const SkinEntry& e : entries) {
    if (SkinNamesEqual(e.name, name)) return &e;
  }
  return nullptr;
}

SkinPackage ReadSkinPackage(std::span<const std::uint8_t> plain) {
  if (plain.size() > kSkinMaxPackageBytes) return refused(SkinPackageProblem::too_large, 0);
  SkinPackage package;
  std::size_t at = 0;
  while (at < plain.size()) {
    const std::size_t name_at = at;
    const std::size_t name_length = field_length(plain, at);
    if (name_length == std::string_view::npos)
      return refused(SkinPackageProblem::name_unterminated, name_at);
    if (name_length == 0) return refused(SkinPackageProblem::name_empty, name_at);
    if (name_length > kSkinMaxName) return refused(SkinPackageProblem::name_too_long, name_at);
    std::string name(reinterpret_cast<const char*>(plain.data() + at), name_length);
    at += name_length + 1;

    const std::size_t size_at = at;
    if (at >= plain.size()) return refused(SkinPackageProblem::size_unterminated, size_at);
    const std::size_t digits = field_length(plain, at);
    if (digits == std::string_view::npos)
      return refused(SkinPackageProblem::size_unterminated, size_at);
    if (digits == 0) return refused(SkinPackageProblem::size_not_decimal, size_at);
    if (digits > kSkinMaxSizeDigits) return refused(SkinPackageProblem::size_too_large, size_at);
    std::uint64_t size = 0;
    for (std::size_t i = 0; i < digits; ++i) {
      const std::uint8_t c = plain[at + i];
      if (c < '0' || c > '9') return refused(SkinPackageProblem::size_not_decimal, size_at);
      size = size * 10 + (c - '0');
    }
    if (size > kSkinMaxEntryBytes) return refused(SkinPackageProblem::size_too_large, size_at);
    at += digits + 1;

    if (size > plain.size() - at) return refused(SkinPackageProblem::data_truncated, at);
    const auto data = plain.subspan(at, static_cast<std::size_t>(size));
    at += static_cast<std::size_t>(size);

    if (package.Find(name)) {
      package.duplicates.push_back(std::move(name));
    } else {
      if (package.entries.size() == kSkinMaxEntries)
        return refused(SkinPackageProblem::too_many_entries, name_at);
      package.entries.push_back({std::move(name), data});
    }
  }
  if (!package.Find(kSkinIniName)) return refused(SkinPackageProblem::no_description, at);
  return package;
}

const char* DescribeSkinPackageProblem(SkinPackageProblem problem) {
  switch (problem) {
    case SkinPackageProblem::none:
      return "no problem";
    case SkinPackageProblem::name_unterminated:
      return "the data ends inside an entry name";
    case SkinPackageProblem::name_empty:
      return "an entry has an empty name";
    case SkinPackageProblem::name_too_long:
      return "an entry name is longer than 260 characters";
    case SkinPackageProblem::size_unterminated:
      return "the data ends inside an entry size";
    case SkinPackageProblem::size_not_decimal:
      return "an entry size is not a decimal number";
    case SkinPackageProblem::size_too_large:
      return "an entry is larger than 16 MiB";
    case SkinPackageProblem::data_truncated:
      return "the data ends inside an entry";
    case SkinPackageProblem::too_many_entries:
      return "the package holds more than 1024 entries";
    case SkinPackageProblem::no_description:
      return "the package has no skin.ini";
    case SkinPackageProblem::too_large:
      return "the package is larger than 64 MiB";
  }
  return "unknown problem";
}

void AppendSkinEntry(std::vector<std::uint8_t>& plain, std::string_view name,
                     std::span<const std::uint8_t> data) {
  plain.insert(plain.end(), name.begin(), name.end());
  plain.push_back(0);
  const std::string size = std::to_string(data.size());
  plain.insert(plain.end(), size.begin(), size.end());
  plain.push_back(0);
  plain.insert(plain.end(), data.begin(), data.end());
}

}  // namespace kx
