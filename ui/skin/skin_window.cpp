#include "ui/skin/skin_window.h"

#include <string>

#include "ui/skin/skin_lookup.h"
#include "ui/ui_environment.h"

namespace kx {

namespace {

constexpr const wchar_t* kSkinProperty = L"PROP_PSKIN";

std::string ascii(const wchar_t* text) {
  std::string s;
  for (; text && *text; ++text) s += *text < 0x80 ? static_cast<char>(*text) : '?';
  return s;
}

}  // namespace

SkinnedWindow::SkinnedWindow(HWND window, const SkinRecord& record, const SkinSet& set)
    : window_(window), record_(record), set_(set) {}

SkinnedWindow::~SkinnedWindow() {
  Release();
}

SkinnedWindow* SkinnedWindow::Of(HWND window) {
  return static_cast<SkinnedWindow*>(GetPropW(window, kSkinProperty));
}

bool SkinnedWindow::Apply() {
  RECT units{0, 0, 4, 8};
  if (!MapDialogRect(window_, &units) || units.right <= 0 || units.bottom <= 0) return false;
  unit_w_ = units.right;
  unit_h_ = units.bottom;
  // The pictures were drawn for a dialog of 6 x 13 pixels per 4 x 8 units.
  scale_x_ = MulDiv(100000, unit_w_, 6);
  scale_y_ = MulDiv(100000, unit_h_, 13);
  RECT client{};
  GetClientRect(window_, &client);
  width_ = client.right;
  height_ = client.bottom;
  if (width_ <= 0 || height_ <= 0) return false;
  HDC screen = GetDC(nullptr);
  background_bitmap_.reset(CreateCompatibleBitmap(screen, width_, height_));
  background_ = std::make_unique<memory_dc>(screen);
  if (screen) ReleaseDC(nullptr, screen);
  background_->select(background_bitmap_.get());
  if (!background_bitmap_ || !*background_) return false;
  const LRESULT def = SendMessageW(KeyboardDialog(), DM_GETDEFID, 0, 0);
  if (HIWORD(def) == DC_HASDEFID) default_id_ = LOWORD(def);

  RenderBackground();
  DressChildren();
  PaintIcons();
  SetPropW(window_, kSkinProperty, this);
  old_proc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
  InvalidateRect(window_, nullptr, TRUE);
  UpdateWindow(window_);
  return true;
}

void SkinnedWindow::RenderBackground() {
  HDC dc = background_->get();
  // What no rectangle covers keeps the dialog's own face.
  RECT all{0, 0, width_, height_};
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  for (const SkinRect& r : record_.rects) {
    RECT area{ToPixelsX(r.from.x), ToPixelsY(r.from.y), ToPixelsX(r.to.x), ToPixelsY(r.to.y)};
    unique_brush brush(CreateSolidBrush(r.colour.value_or(GetSysColor(COLOR_BTNFACE))));
    if (brush) FillRect(dc, &area, brush.get());
  }
  for (const SkinImagePlacement& image : record_.images) {
    const SkinPicture* picture = set_.Picture(image.image);
    if (!picture) continue;
    const SkinPoint at = image.position.value_or(SkinPoint{});
    SkinPlacement p;
    p.x = (image.options & kSkinHCenter) ? kSkinCentred : ToPixelsX(at.x);
    p.y = (image.options & kSkinVCenter) ? kSkinCentred : ToPixelsY(at.y);
    p.options = image.options & kSkinDrawOptions;
    p.transparent = image.transparent;
    p.scale_x = scale_x_;
    p.scale_y = scale_y_;
    DrawSkinPicture(dc, *picture, p, width_, height_);
  }
}

void SkinnedWindow::PaintIcons() {
  for (const Icon& icon : icons_) {
    if (GetDlgItem(window_, icon.id))
      DrawIcon(background_->get(), icon.rect.left, icon.rect.top, icon.icon);
  }
}

HWND SkinnedWindow::KeyboardDialog() const {
  HWND dialog = window_;
  while (true) {
    const LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE);
    HWND parent = GetParent(dialog);
    wchar_t name[16] = {};
    if (parent) GetClassNameW(parent, name, 16);
    if (!(style & WS_CHILD) || !(style & DS_CONTROL) || lstrcmpW(name, L"#32770") != 0)
      return dialog;
    dialog = parent;
  }
}

RECT SkinnedWindow::ChildRect(HWND control) const {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

COLORREF SkinnedWindow::TextColour() const {
  return record_.text_colour.value_or(GetSysColor(COLOR_WINDOWTEXT));
}

void SkinnedWindow::RestoreBackground(HWND control) const {
  const RECT r = ChildRect(control);
  if (HDC dc = GetDC(control)) {
    BitBlt(dc, 0, 0, r.right - r.left, r.bottom - r.top, background_->get(), r.left, r.top,
           SRCCOPY);
    ReleaseDC(control, dc);
  }
}

LRESULT SkinnedWindow::ControlColour(HDC dc, HWND control) const {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, TextColour());
  for (const Brush& b : brushes_) {
    if (b.control == control) return reinterpret_cast<LRESULT>(b.brush.get());
  }
  return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

void SkinnedWindow::Release() {
  // The statics go back to their own procedures first: they outlive this
  // window's WM_DESTROY by a little.
  for (HWND control : statics_) {
    if (!IsWindow(control)) continue;
    if (auto old = reinterpret_cast<LONG_PTR>(GetPropW(control, L"PROP_STAT_OLDPROC")))
      SetWindowLongPtrW(control, GWLP_WNDPROC, old);
    RemovePropW(control, L"PROP_STAT_PSKIN");
    RemovePropW(control, L"PROP_STAT_OLDPROC");
  }
  statics_.clear();
  if (old_proc_ && IsWindow(window_)) {
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old_proc_));
    RemovePropW(window_, kSkinProperty);
  }
  old_proc_ = nullptr;
  icons_.clear();
  brushes_.clear();
}

LRESULT CALLBACK SkinnedWindow::Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  SkinnedWindow* self = Of(window);
  if (!self) return DefWindowProcW(window, message, wparam, lparam);
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      if (HDC dc = BeginPaint(window, &ps)) {
        const RECT& r = ps.rcPaint;
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, self->background_->get(),
               r.left, r.top, SRCCOPY);
      }
      EndPaint(window, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_DRAWITEM:
      if (self->DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam))) return TRUE;
      break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      return self->ControlColour(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
    case WM_DESTROY: {
      // The page's own clean-up still has to run: the skin lets go first,
      // then the window's procedure sees the message.
      const WNDPROC old = self->old_proc_;
      delete self;
      return CallWindowProcW(old, window, message, wparam, lparam);
    }
    default:
      break;
  }
  return CallWindowProcW(self->old_proc_, window, message, wparam, lparam);
}

void SkinWindow(HWND window, const wchar_t* page) {
  const SkinSet* set = LoadedSkin();
  if (!set || !window || !page || SkinnedWindow::Of(window)) return;
  const SkinRecord* record = FindSkin(SkinSectionName(ascii(page), ui_environment().language));
  if (!record) return;
  auto skinned = std::make_unique<SkinnedWindow>(window, *record, *set);
  if (skinned->Apply()) skinned.release();
}

bool IsSkinned(HWND window) {
  return SkinnedWindow::Of(window) != nullptr;
}

}  // namespace kx
