#include "ui/ui_environment.h"

namespace kx {

UiEnvironment& ui_environment() {
  static UiEnvironment environment;
  return environment;
}

string ui_string(UINT id) {
  const UiEnvironment& e = ui_environment();
  return e.strings ? e.strings(id) : string();
}

string ui_language_file(std::uint16_t language) {
  const UiEnvironment& e = ui_environment();
  return e.language_file ? e.language_file(language) : string();
}

HINSTANCE ui_resources() {
  const HINSTANCE resources = ui_environment().resources;
  return resources ? resources : GetModuleHandleW(nullptr);
}

}  // namespace kx
