// The package a setup's "Skin" value names. The package is copied from the
// medium into the run's temporary folder, and whatever lies there at the
// end is deleted: a value that reaches outside the medium, or a target
// outside the temporary folder, would make the clean-up delete a stranger's
// file.
//
// Windows-free and pure.
#pragma once

#include "base/payload_names.h"
#include "base/stringx.h"

namespace kx {

struct SkinPackageName {
  payload::name_problem problem = payload::name_problem::none;
  // The value as a path inside the medium ("skins\blue.skn").
  string medium_path;
  // The name of the copy in the temporary folder: the value's file-name
  // part ("blue.skn").
  string file_name;
  bool ok() const { return problem == payload::name_problem::none; }
};

// Judges the "Skin" value: a plain relative path (no root, drive, stream,
// "." or ".." part, device name) passes; anything else is refused and the
// run goes without a skin.
SkinPackageName CheckSkinPackageName(string::view value);

}  // namespace kx
