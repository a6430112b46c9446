#include "ui/window_layout.h"

#include <string>

#include "ui/ui_environment.h"

namespace kx {

namespace {

constexpr int kDefaultDpi = 96;

// The start of `size` centred on [centre_from, centre_to], kept within
// [bound_from, bound_to] with the start edge winning.
LONG place(LONG centre_from, LONG centre_to, LONG bound_from, LONG bound_to, LONG size) {
  LONG at = (centre_from + centre_to) / 2 - size / 2;
  if (at >= bound_from) {
    if (at + size > bound_to) at = bound_to - size;
  } else {
    at = bound_from;
  }
  return at;
}

// MDT_EFFECTIVE_DPI of the monitor nearest (1, 1), or 0.
int shcore_dpi() {
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 0;
  std::wstring path(folder, n);
  if (path.back() != L'\\') path += L'\\';
  path += L"Shcore.dll";
  HMODULE shcore = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!shcore) return 0;
  using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  const auto get_dpi = reinterpret_cast<GetDpiForMonitorFn>(
      reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
  int dpi = 0;
  if (get_dpi) {
    UINT x = 0, y = 0;
    const HMONITOR monitor = MonitorFromPoint(POINT{1, 1}, MONITOR_DEFAULTTONEAREST);
    dpi = SUCCEEDED(get_dpi(monitor, 0, &x, &y)) ? static_cast<int>(x) : kDefaultDpi;
  }
  FreeLibrary(shcore);
  return dpi;
}

int screen_dpi() {
  HDC dc = GetDC(nullptr);
  if (!dc) return kDefaultDpi;
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : kDefaultDpi;
}

}  // namespace

void CenterWindow(HWND window, HWND reference) {
  RECT own;
  if (!GetWindowRect(window, &own)) return;
  const LONG width = own.right - own.left;
  const LONG height = own.bottom - own.top;
  RECT centre, bounds;
  if (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) {
    HWND parent = GetParent(window);
    if (!parent) return;
    GetClientRect(parent, &bounds);
    HWND area = reference ? reference : parent;
    GetClientRect(area, &centre);
    MapWindowPoints(area, parent, reinterpret_cast<POINT*>(&centre), 2);
  } else {
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &bounds, 0))
      bounds = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    centre = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  const LONG left = place(centre.left, centre.right, bounds.left, bounds.right, width);
  const LONG top = place(centre.top, centre.bottom, bounds.top, bounds.bottom, height);
  SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOSIZE);
}

int DisplayDpi() {
  if (const int chosen = ui_environment().dpi; chosen > 0) return chosen;
  static const int display = [] {
    const int dpi = shcore_dpi();
    return dpi != 0 ? dpi : screen_dpi();
  }();
  return display;
}

int DisplayScalePercent() {
  return MulDiv(DisplayDpi(), 100, kDefaultDpi);
}

}  // namespace kx
