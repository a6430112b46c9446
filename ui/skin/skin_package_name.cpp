#include "ui/skin/skin_package_name.h"

namespace kx {

SkinPackageName CheckSkinPackageName(string::view value) {
  SkinPackageName name;
  name.problem = payload::check_relative_path(value);
  if (!name.ok()) return name;
  name.medium_path = string(value);
  name.file_name = payload::file_name_part(value);
  return name;
}

}  // namespace kx
