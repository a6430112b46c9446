// Where windows go on the screen, and how large the screen draws.
#pragma once

#include <windows.h>

namespace kx {

// Centres `window` without resizing, activating or reordering it. A child
// window is centred on `reference` (mapped into its parent; the parent
// itself when null) and kept inside the parent's client area; a top-level
// window is centred on the screen and kept inside the primary monitor's
// work area. Where the window does not fit, its left (top) edge stays
// inside the bounds.
void CenterWindow(HWND window, HWND reference = nullptr);

// The DPI the windows are laid out for: the UI environment's `dpi` when it
// is set, else the display's: the effective DPI of the monitor nearest the
// point (1, 1) where Shcore.dll tells it, else the screen's logical pixels
// per inch, else 96. The display's is worked out on the first call and kept
// for the process.
int DisplayDpi();

// DisplayDpi in percent of 96 (100 at 96 DPI, 150 at 144 DPI).
int DisplayScalePercent();

}  // namespace kx
