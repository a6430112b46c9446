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

// The display's scale in percent (100 at 96 DPI, 150 at 144 DPI): the
// effective DPI of the monitor nearest the point (1, 1) where Shcore.dll
// tells it, else the screen's logical pixels per inch, else 96. Worked out
// on the first call and kept for the process.
int DisplayScalePercent();

}  // namespace kx
