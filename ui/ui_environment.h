// The facts of the run that every window needs: whether the run is silent,
// its language with the language files and the right-to-left set,
// the product name, the run's texts and the module holding the templates.
//
// One record for the process. The launcher fills it once it has read its
// settings (and again when the language changes); tests fill it directly.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "base/stringx.h"

namespace kx {

struct UiEnvironment {
  // The module whose dialog templates and icons the windows use; null means
  // the running program.
  HINSTANCE resources = nullptr;
  // Switch "s" or "auto": dialogs and message boxes answer with their
  // default without being shown.
  bool silent = false;
  // The current user-interface language.
  std::uint16_t language = 0;
  // The path of a language's file ("0x<id>.ini" beside setup.ini), which
  // may name a font for the windows; empty when there is none (or when no
  // lookup is set), so that nothing is read from the current folder.
  std::function<string(std::uint16_t)> language_file;
  // The languages written right to left.
  std::vector<std::uint16_t> rtl_languages;
  // The product name of setup.ini; may be empty.
  string product_name;
  // The DPI the windows are laid out for; 0 asks the display (DisplayDpi).
  int dpi = 0;
  // One text of the run's language by string id; empty when there is none
  // (or when no lookup is set).
  std::function<string(UINT)> strings;
};

// The process's record.
UiEnvironment& ui_environment();

// The text `id` through the record's lookup; empty without a lookup.
string ui_string(UINT id);

// The language file of `language` through the record's lookup; empty
// without a lookup.
string ui_language_file(std::uint16_t language);

// The module of the templates: the record's, else the running program.
HINSTANCE ui_resources();

}  // namespace kx
