// The header picture of a real wizard page on the screen (under Xvfb): the
// page's placeholder becomes an image window at the band's right end, and
// the screen shows the launcher's own picture there.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "resources/dialog_ids.h"
#include "resources/resource_ids.h"
#include "tests/ui/ui_fixture.h"
#include "ui/image/image_window.h"
#include "ui/skin/gdi_owner.h"
#include "ui/wizard.h"

namespace kx {
namespace {

RECT in_parent(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void settle() {
  for (int i = 0; i < 20; ++i) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  }
}

int distance(COLORREF a, COLORREF b) {
  auto d = [](int x, int y) { return x > y ? x - y : y - x; };
  return d(GetRValue(a), GetRValue(b)) + d(GetGValue(a), GetGValue(b)) +
         d(GetBValue(a), GetBValue(b));
}

using HeaderPictureTest = testing::UiTest;

TEST_F(HeaderPictureTest, ProgressPageShowsTheHeaderPictureAtTheBandsRightEnd) {
  WizardOptions options;
  options.languages = {0x0409};
  CWizard wizard(options);
  ASSERT_EQ(wizard.Open(), S_OK);
  ASSERT_EQ(wizard.ShowProgressPage(), S_OK);
  HWND page = wizard.progress_window();
  ASSERT_NE(page, nullptr);
  settle();
  HWND image = FindWindowExW(page, nullptr, kImageWindowClass, nullptr);
  ASSERT_NE(image, nullptr);
  HWND placeholder = GetDlgItem(page, IDC_IMAGE);
  EXPECT_FALSE(IsWindowVisible(placeholder));
  EXPECT_EQ(testing::WindowText(placeholder), L"");
  const RECT control = in_parent(placeholder);
  const RECT r = in_parent(image);
  EXPECT_EQ(r.right, control.right);
  EXPECT_GE(r.left, control.left);
  EXPECT_GE(r.top, control.top);
  EXPECT_LE(r.bottom, control.bottom);

  // The same picture drawn off the screen with the window's own placement.
  const ImageWindow* w = ImageWindow::Of(image);
  ASSERT_NE(w, nullptr);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  const auto picture = ImagePicture::FromPngResource(GetModuleHandleW(nullptr), IDP_HEADER_PICTURE);
  ASSERT_NE(picture, nullptr);
  const auto at = ImageDrawRect(w->drawing(), width, height);
  ASSERT_TRUE(at);
  HDC screen = GetDC(nullptr);
  unique_bitmap bitmap(CreateCompatibleBitmap(screen, width, height));
  memory_dc reference(screen);
  reference.select(bitmap.get());
  ASSERT_TRUE(reference);
  const RECT all{0, 0, width, height};
  FillRect(reference.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  picture->Draw(reference.get(), *at, std::nullopt);
  POINT origin{0, 0};
  ClientToScreen(image, &origin);
  int compared = 0;
  int differing = 0;
  int coloured = 0;
  for (int y = 2; y < height - 2; y += 5) {
    for (int x = 2; x < width - 2; x += 7) {
      const COLORREF expected = GetPixel(reference.get(), x, y);
      const COLORREF seen = GetPixel(screen, origin.x + x, origin.y + y);
      ++compared;
      if (distance(expected, seen) > 24) ++differing;
      if (distance(seen, RGB(255, 255, 255)) > 60) ++coloured;
    }
  }
  ReleaseDC(nullptr, screen);
  ASSERT_GT(compared, 50);
  // Texts of the band may lie over the picture; nearly all of it shows.
  EXPECT_LE(differing * 10, compared) << differing << " of " << compared;
  EXPECT_GT(coloured, 0) << "the picture is not blank on the screen";
}

}  // namespace
}  // namespace kx
