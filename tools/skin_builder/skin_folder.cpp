#include "tools/skin_builder/skin_folder.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <system_error>

#include "ui/skin/skin_package.h"

namespace kx::skinbuild {

namespace fs = std::filesystem;

namespace {

bool printable_ascii(const std::string& name) {
  return std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

bool image_name(const std::string& name) {
  auto ends = [&](std::string_view e) {
    return name.size() > e.size() &&
           SkinNamesEqual(std::string_view(name).substr(name.size() - e.size()), e);
  };
  return ends(".bmp") || ends(".gif");
}

}  // namespace

bool ReadWholeFile(const fs::path& path, std::uint64_t limit, std::vector<std::uint8_t>& bytes) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size > limit) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.resize(static_cast<std::size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<std::uintmax_t>(in.gcount()) == size;
}

PackedFolder PackSkinFolder(const fs::path& folder) {
  PackedFolder out;
  auto fail = [&](std::string text) { out.messages.push_back({true, std::move(text)}); };
  std::vector<std::uint8_t> ini;
  if (!ReadWholeFile(folder / "skin.ini", kSkinMaxEntryBytes, ini)) {
    fail("cannot read skin.ini in " + folder.string());
    return out;
  }
  AppendSkinEntry(out.plain, kSkinIniName, ini);

  std::vector<fs::path> files;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
    if (e.is_regular_file(ec)) files.push_back(e.path());
  }
  if (ec) fail("cannot list " + folder.string() + ": " + ec.message());
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    const std::string name = file.filename().string();
    if (SkinNamesEqual(name, kSkinIniName)) continue;
    if (!image_name(name)) {
      out.messages.push_back({false, "left out \"" + name + "\": neither .bmp nor .gif"});
      continue;
    }
    if (!printable_ascii(name) || name.size() > kSkinMaxName) {
      fail("\"" + name + "\": image names must be printable ASCII, at most 260 characters");
      continue;
    }
    std::vector<std::uint8_t> data;
    if (!ReadWholeFile(file, kSkinMaxEntryBytes, data)) {
      fail("cannot read \"" + name + "\" (or it is larger than 16 MiB)");
      continue;
    }
    AppendSkinEntry(out.plain, name, data);
  }
  if (out.plain.size() > kSkinMaxPackageBytes) fail("the package would be larger than 64 MiB");
  return out;
}

}  // namespace kx::skinbuild
