// Image windows over placeholders, checked on the screen (under Xvfb):
// placement in and out of the header band, the picture's pixels and the
// parent showing through where the picture leaves it.
#include "ui/image/image_window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "resources/dialog_ids.h"
#include "resources/resource_ids.h"
#include "tests/testing/scoped_temp_dir.h"
#include "tests/ui/skin/skin_fixture.h"
#include "tests/ui/ui_fixture.h"
#include "ui/image/image_picture.h"

namespace kx {
namespace {

using kx::testing::ScopedTempDir;
using kx::testing::WindowText;
using kx::testing::WriteBytes;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// Pieces joined one after another.
std::wstring join(std::initializer_list<std::wstring_view> pieces) {
  std::wstring r;
  for (auto p : pieces) r += p;
  return r;
}

// Equal within a little, for colours GDI+ interpolates.
bool close_to(COLORREF a, COLORREF b) {
  auto close = [](int x, int y) { return x - y <= 8 && y - x <= 8; };
  return close(GetRValue(a), GetRValue(b)) && close(GetGValue(a), GetGValue(b)) &&
         close(GetBValue(a), GetBValue(b));
}

class ImageWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_ = CreateWindowExW(WS_EX_TOPMOST, L"Static", L"", WS_POPUP | WS_VISIBLE, kLeft, kTop,
                              400, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override {
    if (parent_) DestroyWindow(parent_);
  }

  // A placeholder Static control with `text` at x, y, w, h of the parent.
  HWND placeholder(const std::wstring& text, int x, int y, int w, int h) {
    return CreateWindowExW(0, L"Static", text.c_str(), WS_CHILD | WS_VISIBLE, x, y, w, h, parent_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_IMAGE)),
                           GetModuleHandleW(nullptr), nullptr);
  }

  std::wstring picture(const std::string& bytes, const wchar_t* name) {
    const std::wstring path = dir_.file(name);
    EXPECT_TRUE(WriteBytes(path, bytes));
    return path;
  }

  // Lets every window paint.
  static void Settle() {
    for (int i = 0; i < 20; ++i) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      Sleep(10);
    }
  }

  // The screen's colour at x, y of the parent's client area.
  COLORREF At(int x, int y) const {
    POINT p{x, y};
    ClientToScreen(parent_, &p);
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return c;
  }

  static RECT InParent(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

  static constexpr int kLeft = 40;
  static constexpr int kTop = 40;
  HWND parent_ = nullptr;
  ScopedTempDir dir_;
};

TEST_F(ImageWindowTest, HeaderPictureLowerThanTheBandIsStretchedAndRightAligned) {
  // Left half red, right half blue: both halves must be on the screen.
  const auto path =
      picture(testing::PaintedBitmap(20, 10, [](int x, int) { return x < 10 ? kRed : kBlue; }),
              L"head.bmp");
  HWND control = placeholder(join({L"@@", path, L";100"}), 200, 0, 100, 40);
  HWND image = ImageWindow::CreateFromPlaceholder(parent_, IDC_IMAGE, true, nullptr);
  ASSERT_NE(image, nullptr);
  EXPECT_FALSE(IsWindowVisible(control));
  EXPECT_EQ(WindowText(control), L"");
  const RECT r = InParent(image);
  EXPECT_EQ(r.left, 220);  // 80 x 40 after stretching to the band's height
  EXPECT_EQ(r.right, 300);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.bottom, 40);
  Settle();
  EXPECT_TRUE(close_to(At(230, 20), kRed));
  EXPECT_TRUE(close_to(At(290, 20), kBlue));
  EXPECT_EQ(At(210, 20), At(5, 100));  // beside the picture: the parent
}

TEST_F(ImageWindowTest, HeaderPictureDrawnForTwiceTheScaleIsHalved) {
  const auto path =
      picture(testing::PaintedBitmap(40, 80, [](int, int) { return kGreen; }), L"tall.bmp");
  placeholder(join({L"@@", path, L";200"}), 200, 0, 100, 40);
  HWND image = ImageWindow::CreateFromPlaceholder(parent_, IDC_IMAGE, true, nullptr);
  ASSERT_NE(image, nullptr);
  const ImageWindow* w = ImageWindow::Of(image);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->drawing().adjusted, (ImageSize{20, 40}));
  EXPECT_EQ(w->options(), kImageCentreBoth | kImageDpiSized);
  const RECT r = InParent(image);
  EXPECT_EQ(r.left, 280);
  EXPECT_EQ(r.right - r.left, 20);
  Settle();
  EXPECT_TRUE(close_to(At(290, 20), kGreen));
  EXPECT_FALSE(close_to(At(275, 20), kGreen));
}

TEST_F(ImageWindowTest, BitmapOutsideTheBandFillsItsBackgroundInsideTheEdge) {
  const auto path =
      picture(testing::PaintedBitmap(10, 10, [](int, int) { return kRed; }), L"small.bmp");
  HWND control = placeholder(join({L"@", path, L";0;1;0,0,0;0,0,255"}), 20, 60, 60, 40);
  HWND image = ImageWindow::CreateFromPlaceholder(parent_, IDC_IMAGE, false, nullptr);
  ASSERT_NE(image, nullptr);
  EXPECT_TRUE(IsWindowVisible(control));  // it carries the edge
  EXPECT_TRUE(GetWindowLongPtrW(control, GWL_EXSTYLE) & WS_EX_STATICEDGE);
  const RECT r = InParent(image);
  EXPECT_EQ(r.left, 21);
  EXPECT_EQ(r.bottom, 99);
  Settle();
  EXPECT_EQ(At(50, 80), kRed);   // centred
  EXPECT_EQ(At(25, 65), kBlue);  // the background colour
}

TEST_F(ImageWindowTest, TransparentColourLetsTheParentThrough) {
  const auto path =
      picture(testing::PaintedBitmap(20, 20, [](int x, int) { return x < 10 ? kGreen : kRed; }),
              L"key.bmp");
  placeholder(join({L"@", path, L";1;0;0,255,0"}), 100, 100, 20, 20);
  HWND image = ImageWindow::CreateFromPlaceholder(parent_, IDC_IMAGE, false, nullptr);
  ASSERT_NE(image, nullptr);
  Settle();
  EXPECT_EQ(At(115, 110), kRed);
  EXPECT_EQ(At(105, 110), At(5, 100));
}

TEST_F(ImageWindowTest, NoWindowWithoutAPicture) {
  const auto broken = picture(std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), L"broken.png");
  const auto empty_bmp = picture("BM", L"empty.bmp");
  const std::wstring texts[] = {
      join({L"@@", broken, L";200"}),
      join({L"@@", dir_.file(L"missing.png")}),
      join({L"@", empty_bmp}),
      L"@",
      L"@@",
      L"@@65000;200",  // no such resource
      L"plain text",
  };
  for (const auto& text : texts) {
    HWND control = placeholder(text, 0, 0, 50, 20);
    EXPECT_EQ(
        ImageWindow::CreateFromPlaceholder(parent_, IDC_IMAGE, true, GetModuleHandleW(nullptr)),
        nullptr)
        << std::string(text.begin(), text.end());
    EXPECT_FALSE(IsWindowVisible(control));
    DestroyWindow(control);
  }
}

TEST_F(ImageWindowTest, PngResourceThroughGdiplus) {
  const auto png = ImagePicture::FromPngResource(GetModuleHandleW(nullptr), IDP_HEADER_PICTURE);
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(png->size(), (ImageSize{356, 126}));
}

TEST_F(ImageWindowTest, IdleWindowDoesNotKeepPainting) {
  const auto path =
      picture(testing::PaintedBitmap(20, 10, [](int, int) { return kRed; }), L"idle.bmp");
  placeholder(join({L"@@", path, L";100"}), 200, 0, 100, 40);
  // A text over the picture, which the picture asks to redraw.
  CreateWindowExW(0, L"Static", L"title", WS_CHILD | WS_VISIBLE, 150, 10, 120, 16, parent_, nullptr,
                  GetModuleHandleW(nullptr), nullptr);
  HWND image = ImageWindow::CreateFromPlaceholder(parent_, IDC_IMAGE, true, nullptr);
  ASSERT_NE(image, nullptr);
  Settle();
  const unsigned before = ImageWindow::Of(image)->paint_count();
  Settle();
  Settle();
  EXPECT_LE(ImageWindow::Of(image)->paint_count() - before, 2u);
}

}  // namespace
}  // namespace kx
