// Which files go into the payload, in which order, under which names.
#include <algorithm>
#include <fstream>
#include <set>

#include "base/payload_names.h"
#include "base/stringx.h"
#include "tools/medium_builder/file_source.h"
#include "tools/medium_builder/medium_writer.h"
#include "tools/medium_builder/pe_version.h"

namespace kx::medium {

namespace fs = std::filesystem;
namespace pl = kx::payload;

namespace {

static_assert(sizeof(kx::xchar) == sizeof(char16_t));

string to_kx(const std::u16string& s) {
  return string(reinterpret_cast<const xchar*>(s.data()), s.size());
}

std::u16string from_kx(const string& s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s.data()), s.size());
}

std::u16string fold(std::u16string s) {
  for (char16_t& c : s) c = static_cast<char16_t>(fold_ascii(static_cast<xchar>(c)));
  return s;
}

std::string show(const fs::path& p) {
  const std::u8string u = p.u8string();
  return std::string(u.begin(), u.end());
}

// Refuses what the launcher's reader would refuse, naming the entry.
void check_names(const std::u16string& name, const std::u16string& relative_path) {
  pl::name_problem p = pl::check_relative_path(to_kx(relative_path).as_view());
  if (p == pl::name_problem::none) p = pl::check_file_name(to_kx(name).as_view());
  if (p != pl::name_problem::none) {
    const std::u16string why(reinterpret_cast<const char16_t*>(pl::describe(p)));
    throw medium_error("refused \"" + utf8(relative_path) + "\" (stored as \"" + utf8(name) +
                       "\"): " + utf8(why) + "; the launcher would not unpack it");
  }
}

fs::path from_utf8(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

// The files in payload order, as paths relative to the medium folder.
std::vector<fs::path> listed_files(const build_options& o) {
  std::vector<fs::path> files;
  if (o.order_file) {
    std::ifstream in(*o.order_file, std::ios::binary);
    if (!in) throw medium_error("cannot read the order file " + show(*o.order_file));
    std::string line;
    while (std::getline(in, line)) {
      const auto b = line.find_first_not_of(" \t\r");
      if (b == std::string::npos || line[b] == '#') continue;
      line = line.substr(b, line.find_last_not_of(" \t\r") - b + 1);
      // Judged as text before the file system sees it: "..\x" never leaves
      // the medium folder, not even to be opened.
      const std::u16string payload = payload_path(from_utf8(line));
      check_names(from_kx(pl::file_name_part(to_kx(payload).as_view())), payload);
      std::replace(line.begin(), line.end(), '\\', '/');
      files.push_back(from_utf8(line));
    }
    return files;
  }
  std::error_code ec;
  fs::recursive_directory_iterator it(o.medium, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    if (it->is_regular_file()) files.push_back(fs::relative(it->path(), o.medium));
  if (ec)
    throw medium_error("cannot list the medium folder " + show(o.medium) + ": " + ec.message());
  std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
    return fold(payload_path(a)) < fold(payload_path(b));
  });
  return files;
}

}  // namespace

std::u16string payload_path(const fs::path& relative) {
  std::u16string text = relative.generic_u16string();
  std::replace(text.begin(), text.end(), u'/', u'\\');
  return text;
}

std::u16string compressed_name(const std::u16string& name) {
  const std::size_t dot = name.rfind(u'.');
  if (dot == std::u16string::npos) return name + u"._";
  if (name.size() - dot - 1 >= 3) return name.substr(0, name.size() - 1) + u"_";
  return name + u"_";
}

std::vector<planned_entry> plan_entries(const build_options& o) {
  std::vector<planned_entry> entries;
  std::set<std::u16string> seen;
  std::set<std::u16string> to_compress;
  for (const std::u16string& c : o.compress) {
    std::u16string p = c;
    std::replace(p.begin(), p.end(), u'/', u'\\');
    to_compress.insert(fold(p));
  }

  for (const fs::path& rel : listed_files(o)) {
    planned_entry e;
    e.source = o.medium / rel;
    e.relative_path = payload_path(rel);
    e.name = from_kx(pl::file_name_part(to_kx(e.relative_path).as_view()));
    check_names(e.name, e.relative_path);
    if (!seen.insert(fold(e.relative_path)).second)
      throw medium_error("\"" + utf8(e.relative_path) + "\" is listed twice");

    std::error_code ec;
    if (!fs::is_regular_file(e.source, ec)) throw medium_error("not a file: " + show(e.source));
    e.source_size = fs::file_size(e.source, ec);
    if (ec) throw medium_error("cannot read the size of " + show(e.source));

    e.compress = to_compress.erase(fold(e.relative_path)) != 0;
    if (e.compress) {
      if (!e.name.empty() && e.name.back() == u'_')
        throw medium_error("\"" + utf8(e.relative_path) +
                           "\" cannot be stored compressed: its name already ends in '_'");
      if (e.source_size > 0xFFFFFFFFull)
        throw medium_error("\"" + utf8(e.relative_path) + "\" is too large to compress");
      e.name = compressed_name(e.name);
      check_names(e.name, e.relative_path);
    }
    file_source source(e.source);
    e.version = file_version_text(source);
    entries.push_back(std::move(e));
  }
  if (!to_compress.empty())
    throw medium_error("asked to compress \"" + utf8(*to_compress.begin()) +
                       "\", which the medium does not hold");
  return entries;
}

std::string utf8(const std::u16string& text) {
  const std::u8string u = fs::path(text).u8string();
  return std::string(u.begin(), u.end());
}

}  // namespace kx::medium
