#include "ui/image/image_window.h"

#include <algorithm>
#include <utility>

#include "resources/dialog_ids.h"
#include "ui/image/placeholder_text.h"
#include "ui/window_layout.h"

namespace kx {

namespace {

// The rectangle of `control` in the client coordinates of `parent`.
ImageRect client_rect_of(HWND control, HWND parent) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  // A mirrored parent gives left > right.
  if (r.left > r.right) std::swap(r.left, r.right);
  return ImageRect{r.left, r.top, r.right, r.bottom};
}

int screen_bits_per_pixel() {
  HDC screen = GetDC(nullptr);
  if (!screen) return 32;
  const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  return bits;
}

std::unique_ptr<ImagePicture> load_name(const PlaceholderName& name, bool gdiplus, HMODULE module) {
  if (name.empty()) return nullptr;
  if (name.resource_id) {
    return gdiplus ? ImagePicture::FromPngResource(module, *name.resource_id)
                   : ImagePicture::FromBitmapResource(module, *name.resource_id);
  }
  return gdiplus ? ImagePicture::FromGdiplusFile(name.text) : ImagePicture::FromFile(name.text);
}

}  // namespace

ATOM ImageWindow::Register() {
  static const ATOM atom = [] {
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.style = CS_HREDRAW | CS_VREDRAW;
    c.lpfnWndProc = Proc;
    c.hInstance = GetModuleHandleW(nullptr);
    c.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    c.lpszClassName = kImageWindowClass;
    return RegisterClassExW(&c);
  }();
  return atom;
}

const ImageWindow* ImageWindow::Of(HWND window) {
  wchar_t name[32] = {};
  if (!window || !GetClassNameW(window, name, 32) || lstrcmpiW(name, kImageWindowClass) != 0)
    return nullptr;
  return reinterpret_cast<const ImageWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

HWND ImageWindow::CreateFromPlaceholder(HWND parent, int id, bool header, HMODULE module) {
  HWND placeholder = parent ? GetDlgItem(parent, id) : nullptr;
  if (!placeholder) return nullptr;
  wchar_t text[kPlaceholderTextLimit + 1] = {};
  GetWindowTextW(placeholder, text, static_cast<int>(kPlaceholderTextLimit + 1));
  const PlaceholderText p = ParsePlaceholder(string::view(text));
  // The placeholder's text names a picture, not something to read.
  ShowWindow(placeholder, SW_HIDE);
  if (p.form == PlaceholderText::Form::none) return nullptr;
  SetWindowTextW(placeholder, L"");

  const bool gdiplus = p.form == PlaceholderText::Form::picture;
  std::unique_ptr<ImageWindow> self(new ImageWindow);
  self->parent_ = parent;
  self->placeholder_ = placeholder;
  if (gdiplus) {
    self->picture_ = load_name(p.first, true, module);
  } else {
    const int which =
        ChooseBitmapName(!p.first.empty(), !p.second.empty(), screen_bits_per_pixel(), header);
    if (which >= 0) self->picture_ = load_name(which == 0 ? p.first : p.second, false, module);
  }
  if (!self->picture_) return nullptr;
  const ImageSize natural = self->picture_->size();
  const DpiSizing dpi = gdiplus ? DpiAdjustedSize(natural, p.percent, DisplayScalePercent())
                                : DpiSizing{natural, false};
  if (dpi.size.empty()) return nullptr;

  // A placeholder measured in dialog units may reach a pixel past the
  // dialog's edge; the picture keeps to the part that can be seen, so that
  // one anchored to the edge is not cut.
  RECT client{};
  GetClientRect(parent, &client);
  ImageRect control = client_rect_of(placeholder, parent);
  control.left = std::max<int>(control.left, client.left);
  control.top = std::max<int>(control.top, client.top);
  control.right = std::min<int>(control.right, client.right);
  control.bottom = std::min<int>(control.bottom, client.bottom);
  if (control.width() <= 0 || control.height() <= 0) return nullptr;
  ImageRect at = control;
  ImageDrawing& d = self->drawing_;
  d.natural = natural;
  d.adjusted = dpi.size;
  if (header) {
    const auto band = LayoutHeaderBand(control, natural, dpi.size, gdiplus);
    if (!band) return nullptr;
    at = band->window;
    d.adjusted = band->picture;
    d.options = band->options;
  } else {
    d.options = kImageCentreBoth | (dpi.dpi_sized ? std::uint32_t{kImageDpiSized} : 0u);
    if (p.edge) {
      SetWindowLongPtrW(placeholder, GWL_EXSTYLE,
                        GetWindowLongPtrW(placeholder, GWL_EXSTYLE) | WS_EX_STATICEDGE);
      SetWindowPos(placeholder, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
      ShowWindow(placeholder, SW_SHOWNA);
      at = ImageRect{control.left + 1, control.top + 1, control.right - 1, control.bottom - 1};
    }
    self->background_ = p.background_colour;
  }
  if (at.width() <= 0 || at.height() <= 0) return nullptr;
  self->transparent_ = p.transparent;
  self->transparent_colour_ = p.transparent_colour;

  if (!Register()) return nullptr;
  HWND window = CreateWindowExW(WS_EX_TRANSPARENT, kImageWindowClass, L"", WS_CHILD, at.left,
                                at.top, at.width(), at.height(), parent, nullptr,
                                GetModuleHandleW(nullptr), self.get());
  if (!window) return nullptr;
  self->attached_ = true;
  self.release();
  // Just behind the placeholder. Siblings in front paint over the picture,
  // so where one of them is its background (the header band, or the
  // placeholder that stays visible for its edge) the picture goes just in
  // front of that one: a transparent window paints after those beneath it.
  HWND after = placeholder;
  HWND ground = header ? GetDlgItem(parent, IDC_HEADER_BAND) : nullptr;
  if (!ground && IsWindowVisible(placeholder)) ground = placeholder;
  if (ground) {
    after = GetWindow(ground, GW_HWNDPREV);
    if (!after) after = HWND_TOP;
  }
  SetWindowPos(window, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ShowWindow(window, SW_SHOWNA);
  return window;
}

LRESULT CALLBACK ImageWindow::Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<ImageWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    if (self) {
      self->window_ = window;
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    return DefWindowProcW(window, message, wparam, lparam);
  }
  auto* self = reinterpret_cast<ImageWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wparam, lparam);
  switch (message) {
    case WM_ERASEBKGND:
      // Painting fills the background itself; without a colour the parent
      // shows through.
      return 1;
    case WM_PAINT:
      self->Paint();
      return 0;
    case WM_NCHITTEST:
      // Clicks go to whatever lies beneath.
      return HTTRANSPARENT;
    case WM_NCDESTROY: {
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      // A window that failed during creation leaves its object to the
      // creator.
      if (self->attached_) delete self;
      return DefWindowProcW(window, message, wparam, lparam);
    }
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

void ImageWindow::Paint() {
  ++paints_;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  if (dc) {
    RECT client{};
    GetClientRect(window_, &client);
    if (background_) {
      if (HBRUSH brush = CreateSolidBrush(*background_)) {
        FillRect(dc, &client, brush);
        DeleteObject(brush);
      }
    }
    ImageDrawing d = drawing_;
    if (transparent_) d.options |= kImageTransparent;
    if (const auto r = ImageDrawRect(d, client.right, client.bottom))
      picture_->Draw(dc, *r, transparent_ ? transparent_colour_ : std::nullopt);
  }
  EndPaint(window_, &ps);
  RedrawOverlappingSiblings();
}

void ImageWindow::RedrawOverlappingSiblings() const {
  RECT mine{};
  GetWindowRect(window_, &mine);
  for (HWND w = GetWindow(parent_, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (w == window_ || w == placeholder_ || !IsWindowVisible(w)) continue;
    RECT theirs{};
    RECT overlap{};
    GetWindowRect(w, &theirs);
    // A sibling that holds the whole picture is what it lies on (the
    // band), not a text over it: redrawn, it would cover the picture.
    if (theirs.left <= mine.left && theirs.top <= mine.top && theirs.right >= mine.right &&
        theirs.bottom >= mine.bottom)
      continue;
    // Invalidated only: updating now, inside this paint, would repaint the
    // texts before the picture is on the screen and can start a loop.
    if (IntersectRect(&overlap, &mine, &theirs))
      RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
  }
}

}  // namespace kx
