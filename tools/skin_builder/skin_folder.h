// A skin author's folder: skin.ini and the images beside it, packed in the
// order the launcher reads best (skin.ini first, then the images by name).
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "tools/skin_builder/skin_check.h"

namespace kx::skinbuild {

struct PackedFolder {
  std::vector<std::uint8_t> plain;  // unscrambled package bytes
  std::vector<SkinMessage> messages;
};

// Packs `folder`: skin.ini (required) and every ".bmp" and ".gif" file in
// it (not its subfolders). Other files are left out with a warning; names
// outside printable ASCII, and files beyond the package caps, are errors.
PackedFolder PackSkinFolder(const std::filesystem::path& folder);

// Reads a whole file; false when it cannot be read or is larger than
// `limit` bytes.
bool ReadWholeFile(const std::filesystem::path& path, std::uint64_t limit,
                   std::vector<std::uint8_t>& bytes);

}  // namespace kx::skinbuild
