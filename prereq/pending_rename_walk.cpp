#include "prereq/pending_rename_walk.h"

namespace kx::prereq {
namespace {

constexpr sax::text_view kNtPrefix = KXT("\\??\\");

kx::xchar char_at(std::span<const std::uint8_t> data, std::size_t index) noexcept {
  return kx::xchar(data[2 * index] | (data[2 * index + 1] << 8));
}

bool starts_with_folded(sax::text_view text, sax::text_view prefix) noexcept {
  if (prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (fold_ascii(text[i]) != fold_ascii(prefix[i])) return false;
  return true;
}

bool has_parent_component(sax::text_view path) noexcept {
  std::size_t start = 0;
  while (start <= path.size()) {
    // '/' is no separator in an NT path, but a later reader may take it for one.
    std::size_t end = path.find_first_of(KXT("\\/"), start);
    if (end == sax::text_view::npos) end = path.size();
    if (path.substr(start, end - start) == KXT("..")) return true;
    start = end + 1;
  }
  return false;
}

// An NT path "\??\C:\..." inside one of the folders.
bool nt_path_inside(sax::text_view nt_path, const std::vector<sax::text>& folders) noexcept {
  if (nt_path.substr(0, kNtPrefix.size()) != kNtPrefix) return false;
  return path_inside_folders(nt_path.substr(kNtPrefix.size()), folders);
}

bool harmless(sax::text_view source, sax::text_view destination,
              const std::vector<sax::text>& folders) noexcept {
  if (!nt_path_inside(source, folders)) return false;
  if (destination.empty()) return true;
  if (destination.front() == kx::xchar('!')) destination.remove_prefix(1);
  return nt_path_inside(destination, folders);
}

}  // namespace

bool path_inside_folders(sax::text_view path, const std::vector<sax::text>& folders) noexcept {
  if (has_parent_component(path)) return false;
  for (const sax::text& folder : folders) {
    if (folder.empty() || folder.back() != kx::xchar('\\')) continue;
    if (path.size() > folder.size() && starts_with_folded(path, folder)) return true;
  }
  return false;
}

bool only_temp_operations_added(std::span<const std::uint8_t> data, std::int64_t snapshot_size,
                                const std::vector<sax::text>& temp_folders) noexcept {
  if (data.size() % 2 != 0) return false;
  const std::size_t count = data.size() / 2;
  std::size_t added_from = 0;
  if (snapshot_size > 0 && std::uint64_t(snapshot_size) < data.size() && snapshot_size / 2 > 0)
    added_from = std::size_t(snapshot_size / 2 - 1);

  // Strings are copied out: the bytes need not be aligned for xchar.
  sax::text source, destination;
  std::size_t pos = 0;
  const auto read_string = [&](sax::text& out) noexcept {
    out.clear();
    while (pos < count) {
      const kx::xchar c = char_at(data, pos++);
      if (c == kx::xchar(0)) return true;
      out.push_back(c);
    }
    return false;
  };
  try {
    while (pos < count) {
      if (!read_string(source)) return false;
      if (source.empty()) {
        // The final NUL; only more NULs may follow it.
        while (pos < count)
          if (char_at(data, pos++) != kx::xchar(0)) return false;
        return true;
      }
      if (!read_string(destination)) return false;
      // Pairs that end before the added part were there before the package.
      if (pos > added_from && !harmless(source, destination, temp_folders)) return false;
    }
  } catch (...) {
    return false;
  }
  // The list ended without its final NUL.
  return false;
}

}  // namespace kx::prereq
