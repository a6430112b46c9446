// The splash picture: a borderless window of the picture's size, centred
// on the screen, from the medium's "setup.bmp" or "setup.gif" while the
// setup prepares.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "base/stringx.h"

namespace kx {

// The first splash file that exists for `medium` and the UI `language`
// (see SplashCandidates); nothing when there is none.
std::optional<string> FindSplashFile(const string& medium, std::uint16_t language);

// Shows the picture of `path` in dialog 108 without owner, in front of the
// other windows. The file is read as a bitmap, else through the picture
// readers (GIF, GDI+). A splash already up is replaced. False, and no
// window, when the picture cannot be read or the dialog not created (a
// silent run creates none).
bool ShowSplash(const string& path);

// Hides the splash; with `destroy` the window and its picture go too.
void HideSplash(bool destroy);

// The splash window, null when there is none.
HWND SplashWindow();

// Whether the splash window drew through a palette (256-colour screens).
bool SplashUsesPalette();

}  // namespace kx
