// The splash picture on the screen (under Xvfb): found in the language
// folder first, shown centred at the picture's size, removed again.
#include "ui/image/splash_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/testing/scoped_temp_dir.h"
#include "tests/ui/image/gif_writer.h"
#include "tests/ui/skin/skin_fixture.h"
#include "tests/ui/ui_fixture.h"

namespace kx {
namespace {

using kx::testing::ScopedTempDir;
using kx::testing::WriteBytes;

// The screen's depth; with KX_SCREEN_BITS set (the 256-colour run) it must
// be that depth.
int ScreenBits() {
  HDC screen = GetDC(nullptr);
  const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  if (const char* expected = getenv("KX_SCREEN_BITS")) {
    EXPECT_EQ(bits, atoi(expected));
  }
  return bits;
}

// Equal colours, or on a 256-colour screen one of the palette's near it
// (the halftone palette's steps are coarse).
bool Near(COLORREF shown, COLORREF drawn, int bits) {
  const int slack = bits <= 8 ? 64 : 0;
  auto close = [slack](int a, int b) { return (a > b ? a - b : b - a) <= slack; };
  return close(GetRValue(shown), GetRValue(drawn)) && close(GetGValue(shown), GetGValue(drawn)) &&
         close(GetBValue(shown), GetBValue(drawn));
}

class SplashTest : public kx::testing::UiTest {
 protected:
  void TearDown() override {
    HideSplash(true);
    UiTest::TearDown();
  }
  static void Settle() {
    for (int i = 0; i < 20; ++i) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      Sleep(10);
    }
  }
  static COLORREF ScreenAt(int x, int y) {
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return c;
  }
  ScopedTempDir dir_;
};

TEST_F(SplashTest, SearchOrder) {
  const string medium(dir_.path().c_str());
  EXPECT_FALSE(FindSplashFile(medium, 0x0409));
  ASSERT_TRUE(WriteBytes(dir_.file(L"setup.gif"), "GIF89a"));
  EXPECT_EQ(*FindSplashFile(medium, 0x0409), string(dir_.file(L"setup.gif").c_str()));
  ASSERT_TRUE(WriteBytes(dir_.file(L"setup.bmp"), "BM"));
  EXPECT_EQ(*FindSplashFile(medium, 0x0409), string(dir_.file(L"setup.bmp").c_str()));
  ASSERT_TRUE(CreateDirectoryW(dir_.file(L"setupdir").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(dir_.file(L"setupdir\\040c").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(dir_.file(L"setupdir\\040c\\setup.gif"), "GIF89a"));
  EXPECT_EQ(*FindSplashFile(medium, 0x040C),
            string(dir_.file(L"setupdir\\040c\\setup.gif").c_str()));
  EXPECT_EQ(*FindSplashFile(medium, 0x0409), string(dir_.file(L"setup.bmp").c_str()));
}

TEST_F(SplashTest, BitmapShownCentredAndRemoved) {
  const std::wstring path = dir_.file(L"setup.bmp");
  ASSERT_TRUE(WriteBytes(path, kx::testing::SolidBitmap(64, 32, RGB(200, 0, 0))));
  ASSERT_TRUE(ShowSplash(string(path.c_str())));
  HWND w = SplashWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(GetWindow(w, GW_OWNER), nullptr);
  RECT r{};
  GetWindowRect(w, &r);
  EXPECT_EQ(r.right - r.left, 64);
  EXPECT_EQ(r.bottom - r.top, 32);
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 64) / 2);
  Settle();
  const int bits = ScreenBits();
  EXPECT_PRED3(Near, ScreenAt(r.left + 32, r.top + 16), RGB(200, 0, 0), bits);
  // Only a 256-colour screen needs a palette.
  EXPECT_EQ(SplashUsesPalette(), bits == 8);
  HideSplash(false);
  EXPECT_FALSE(IsWindowVisible(w));
  EXPECT_TRUE(IsWindow(w));
  HideSplash(true);
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(SplashWindow(), nullptr);
}

TEST_F(SplashTest, GifThroughTheLaunchersReader) {
  const std::wstring path = dir_.file(L"setup.gif");
  kx::testing::GifFrame frame;
  frame.width = 20;
  frame.height = 10;
  frame.indices.assign(200, 1);
  const kx::testing::Bytes gif =
      kx::testing::GifWriter(20, 10, {{0, 0, 0}, {0, 200, 0}}).Image(frame).Trailer().bytes();
  ASSERT_TRUE(WriteBytes(path, std::string(gif.begin(), gif.end())));
  ASSERT_TRUE(ShowSplash(string(path.c_str())));
  RECT r{};
  GetWindowRect(SplashWindow(), &r);
  EXPECT_EQ(r.right - r.left, 20);
  Settle();
  const int bits = ScreenBits();
  EXPECT_PRED3(Near, ScreenAt(r.left + 10, r.top + 5), RGB(0, 200, 0), bits);
  EXPECT_EQ(SplashUsesPalette(), bits == 8);
}

TEST_F(SplashTest, UnreadableFilesGiveNoSplash) {
  const std::wstring bad = dir_.file(L"setup.bmp");
  ASSERT_TRUE(WriteBytes(bad, "BM\x10\0\0\0garbage"));
  const std::wstring truncated = dir_.file(L"setup.gif");
  ASSERT_TRUE(WriteBytes(truncated, "GIF89a\x10\0\x10\0"));
  for (const std::wstring& path : {bad, truncated, dir_.file(L"missing.bmp")}) {
    EXPECT_FALSE(ShowSplash(string(path.c_str())));
    EXPECT_EQ(SplashWindow(), nullptr);
  }
}

}  // namespace
}  // namespace kx
