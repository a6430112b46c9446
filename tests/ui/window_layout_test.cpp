#include "ui/window_layout.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "ui/ui_environment.h"

namespace kx {
namespace {

HWND popup(int width, int height, HWND parent = nullptr) {
  const DWORD style = parent ? WS_CHILD | WS_VISIBLE : WS_POPUP;
  return CreateWindowExW(0, L"Static", L"", style, 3, 4, width, height, parent, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

RECT window_rect(HWND w) {
  RECT r{};
  GetWindowRect(w, &r);
  return r;
}

TEST(CenterWindow, TopLevelWindowsGoToTheScreensMiddleWithinTheWorkArea) {
  const int screen_w = GetSystemMetrics(SM_CXSCREEN);
  const int screen_h = GetSystemMetrics(SM_CYSCREEN);
  RECT work{};
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));

  HWND small = popup(200, 100);
  CenterWindow(small);
  const RECT r = window_rect(small);
  EXPECT_EQ(r.left, screen_w / 2 - 100);
  EXPECT_EQ(r.top, screen_h / 2 - 50);
  EXPECT_EQ(r.right - r.left, 200);
  DestroyWindow(small);

  // Wider than the work area: the left edge stays inside it.
  HWND wide = popup(screen_w + 300, 100);
  CenterWindow(wide);
  EXPECT_EQ(window_rect(wide).left, work.left);
  DestroyWindow(wide);
}

TEST(CenterWindow, ChildWindowsGoToTheMiddleOfTheReference) {
  HWND parent = popup(400, 300);
  HWND child = popup(100, 50, parent);
  HWND reference = popup(200, 100, parent);
  SetWindowPos(reference, nullptr, 300, 250, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

  CenterWindow(child);
  POINT at{0, 0};
  MapWindowPoints(child, parent, &at, 1);
  EXPECT_EQ(at.x, 150);
  EXPECT_EQ(at.y, 125);

  // The reference's middle (400, 300) would put the child's right and
  // bottom edges outside the parent: it is kept inside.
  CenterWindow(child, reference);
  at = POINT{0, 0};
  MapWindowPoints(child, parent, &at, 1);
  EXPECT_EQ(at.x, 300);
  EXPECT_EQ(at.y, 250);
  DestroyWindow(parent);
}

TEST(DisplayScalePercent, FollowsTheDpiTheWindowsAreLaidOutFor) {
  UiEnvironment& env = ui_environment();
  const int saved = env.dpi;
  const struct { int dpi, percent; } cases[] = {{96, 100}, {120, 125}, {144, 150}, {192, 200}};
  for (const auto& c : cases) {
    env.dpi = c.dpi;
    EXPECT_EQ(DisplayDpi(), c.dpi);
    EXPECT_EQ(DisplayScalePercent(), c.percent) << c.dpi;
  }
  env.dpi = saved;
}

TEST(DisplayScalePercent, IsAHundredAtTheTestDisplaysNinetySixDpi) {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(nullptr, dc);
  ASSERT_EQ(dpi, 96) << "the test display is expected at 96 DPI";
  EXPECT_EQ(DisplayScalePercent(), 100);
  EXPECT_EQ(DisplayScalePercent(), 100);
}

}  // namespace
}  // namespace kx
