// The skin of a run: loaded once from its package, then applied to each
// wizard page and the prerequisite dialog as they come up. Without a loaded
// skin every operation here does nothing, so windows stay as their
// templates make them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "base/stringx.h"
#include "ui/skin/skin_description.h"
#include "ui/skin/skin_picture.h"

namespace kx {

// Everything a loaded skin holds: its records and its pictures by name.
struct SkinSet {
  SkinDescription description;
  std::map<std::string, std::unique_ptr<SkinPicture>, std::less<>> pictures;
  // The extracted skin.ini, read and deleted while loading.
  string ini_path;
  // Whether visual styles apply to controls (themes are switched off on
  // the controls the skin draws under).
  bool themed_controls = false;

  // The picture named `name` (any case), or null.
  const SkinPicture* Picture(std::string_view name) const;
};

// Reads the skin package at `package_path` (a copy in the run's temporary
// folder) once per run: unscrambles it, walks its entries, writes skin.ini
// to `work_folder` under the first free "%hx.rra" name, reads it and
// deletes it again, and decodes the images. False, with no skin in force,
// when the package cannot be opened or mapped or breaks the package rules.
// Throws kx::win32_exception when no "%hx.rra" name is free.
bool LoadSkin(const string& package_path, const string& work_folder);

// Whether LoadSkin was called in this run, whatever it returned: the large
// templates are used from then on.
bool SkinRequested();

// The loaded skin, or null.
const SkinSet* LoadedSkin();

// The record a window named `name` uses (the exact name, then the fallback
// chain of SkinLookupChain), or null without a skin or a matching record.
const SkinRecord* FindSkin(std::string_view name);

// Dresses `window` (a dialog whose texts are set) in the record for
// `page` and the UI language: background, pictures, buttons, texts. Does
// nothing without a skin, without a record, or for a window already
// skinned. The skin lets go of the window when it is destroyed, before the
// window's own procedure sees WM_DESTROY.
void SkinWindow(HWND window, const wchar_t* page);

// Whether `window` is dressed in a skin now.
bool IsSkinned(HWND window);

// Drops the loaded skin and the request. Windows still skinned must be
// gone first.
void UnloadSkin();

}  // namespace kx
