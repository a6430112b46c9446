// What the skin builder says about a package: the launcher's own package,
// description and image checks, and the mistakes that only an author can
// fix (images named but missing, entries nobody uses, counts out of range).
#pragma once

#include <string>
#include <vector>

#include "ui/skin/skin_package.h"

namespace kx::skinbuild {

struct SkinMessage {
  // An error stops the build: the launcher would refuse the package, or a
  // window would miss a picture it names.
  bool error = false;
  std::string text;
};

// Checks a package that ReadSkinPackage accepted.
std::vector<SkinMessage> CheckSkin(const SkinPackage& package);

// True when any message is an error.
bool HasErrors(const std::vector<SkinMessage>& messages);

}  // namespace kx::skinbuild
