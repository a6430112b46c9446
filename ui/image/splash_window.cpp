#include "ui/image/splash_window.h"

#include <vector>

#include "platform/path_test.h"
#include "resources/dialog_ids.h"
#include "ui/dialogs.h"
#include "ui/image/image_picture.h"
#include "ui/image/splash_rules.h"
#include "ui/skin/gdi_owner.h"

namespace kx {

namespace {

// Larger pictures are refused before any bitmap is made for them.
constexpr int kSplashMaxSide = 8192;

using unique_palette = gdi_owner<HPALETTE>;

struct Splash {
  HWND window = nullptr;
  unique_bitmap bitmap;
  unique_palette palette;
  int width = 0;
  int height = 0;
};

Splash& splash() {
  static Splash s;
  return s;
}

// The picture through the launcher's readers, drawn on white into a bitmap
// of its own size.
HBITMAP render_picture(const string& path, int& width, int& height) {
  const auto picture = ImagePicture::FromFile(path);
  if (!picture) return nullptr;
  const ImageSize size = picture->size();
  if (size.width > kSplashMaxSide || size.height > kSplashMaxSide) return nullptr;
  BITMAPINFOHEADER h{};
  h.biSize = sizeof h;
  h.biWidth = size.width;
  h.biHeight = -size.height;
  h.biPlanes = 1;
  h.biBitCount = 32;
  h.biCompression = BI_RGB;
  void* bits = nullptr;
  unique_bitmap bitmap(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&h), DIB_RGB_COLORS,
                                        &bits, nullptr, 0));
  memory_dc dc(nullptr);
  dc.select(bitmap.get());
  if (!bitmap || !dc) return nullptr;
  const RECT all{0, 0, size.width, size.height};
  FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  picture->Draw(dc.get(), ImageRect{0, 0, size.width, size.height}, std::nullopt);
  width = size.width;
  height = size.height;
  return bitmap.release();
}

HBITMAP load_bitmap(const string& path, int& width, int& height) {
  HBITMAP b = static_cast<HBITMAP>(
      LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (b) {
    BITMAP info{};
    if (GetObjectW(b, sizeof info, &info) && info.bmWidth > 0 && info.bmHeight > 0 &&
        info.bmWidth <= kSplashMaxSide && info.bmHeight <= kSplashMaxSide) {
      width = info.bmWidth;
      height = info.bmHeight;
      return b;
    }
    DeleteObject(b);
  }
  return render_picture(path, width, height);
}

// The palette of a 256-colour screen for `bitmap`; null on other screens.
HPALETTE make_palette(HBITMAP bitmap) {
  HDC screen = GetDC(nullptr);
  if (!screen) return nullptr;
  HPALETTE result = nullptr;
  if (GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES) == 8) {
    DIBSECTION dib{};
    int bits = 32;
    std::vector<std::uint32_t> table;
    if (GetObjectW(bitmap, sizeof dib, &dib) == static_cast<int>(sizeof dib)) {
      bits = dib.dsBmih.biBitCount;
      if (bits <= 8) {
        RGBQUAD colours[256] = {};
        memory_dc dc(screen);
        dc.select(bitmap);
        const UINT n = dc ? GetDIBColorTable(dc.get(), 0, 256, colours) : 0;
        for (UINT i = 0; i < n; ++i)
          table.push_back(RGB(colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue));
      }
    }
    PALETTEENTRY system[20] = {};
    GetSystemPaletteEntries(screen, 0, 10, system);
    GetSystemPaletteEntries(screen, 246, 10, system + 10);
    std::vector<std::uint32_t> statics;
    for (const PALETTEENTRY& e : system) statics.push_back(RGB(e.peRed, e.peGreen, e.peBlue));
    const SplashPalette p = MakeSplashPalette(bits, table, statics);
    if (p.halftone) {
      result = CreateHalftonePalette(screen);
    } else if (!p.entries.empty()) {
      std::vector<std::uint8_t> block(sizeof(LOGPALETTE) + p.entries.size() * sizeof(PALETTEENTRY));
      auto* log = reinterpret_cast<LOGPALETTE*>(block.data());
      log->palVersion = 0x300;
      log->palNumEntries = static_cast<WORD>(p.entries.size());
      for (std::size_t i = 0; i < p.entries.size(); ++i) {
        const std::uint32_t c = p.entries[i];
        log->palPalEntry[i] = PALETTEENTRY{GetRValue(c), GetGValue(c), GetBValue(c), 0};
      }
      result = CreatePalette(log);
    }
  }
  ReleaseDC(nullptr, screen);
  return result;
}

void paint(HDC dc) {
  Splash& s = splash();
  memory_dc source(dc);
  source.select(s.bitmap.get());
  if (!source) return;
  if (s.palette) {
    SelectPalette(dc, s.palette.get(), FALSE);
    RealizePalette(dc);
    SelectPalette(source.get(), s.palette.get(), FALSE);
    RealizePalette(source.get());
  }
  BitBlt(dc, 0, 0, s.width, s.height, source.get(), 0, 0, SRCCOPY);
}

INT_PTR CALLBACK proc(HWND window, UINT message, WPARAM wparam, LPARAM) {
  Splash& s = splash();
  switch (message) {
    case WM_INITDIALOG: {
      RECT area{};
      GetClientRect(GetDesktopWindow(), &area);
      SetWindowPos(window, nullptr, (area.right - area.left - s.width) / 2,
                   (area.bottom - area.top - s.height) / 2, s.width, s.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return TRUE;
    }
    case WM_ERASEBKGND:
      paint(reinterpret_cast<HDC>(wparam));
      SetWindowLongPtrW(window, DWLP_MSGRESULT, 1);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

std::optional<string> FindSplashFile(const string& medium, std::uint16_t language) {
  for (const string& path : SplashCandidates(medium, language))
    if (path_test(path, path_is_file)) return path;
  return std::nullopt;
}

bool ShowSplash(const string& path) {
  HideSplash(true);
  Splash& s = splash();
  s.bitmap.reset(load_bitmap(path, s.width, s.height));
  if (!s.bitmap) return false;
  s.palette.reset(make_palette(s.bitmap.get()));
  s.window = CreateModeless(IDD_SPLASH, nullptr, proc, 0);
  if (!s.window) {
    HideSplash(true);
    return false;
  }
  ShowWindow(s.window, SW_SHOW);
  SetForegroundWindow(s.window);
  UpdateWindow(s.window);
  return true;
}

void HideSplash(bool destroy) {
  Splash& s = splash();
  if (s.window) ShowWindow(s.window, SW_HIDE);
  if (!destroy) return;
  if (s.window) DestroyWindow(s.window);
  s.window = nullptr;
  s.bitmap.reset();
  s.palette.reset();
  s.width = s.height = 0;
}

HWND SplashWindow() {
  return splash().window;
}

bool SplashUsesPalette() {
  return static_cast<bool>(splash().palette);
}

}  // namespace kx
