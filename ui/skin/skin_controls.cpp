// The child controls of a skinned window, by class: group boxes, check
// boxes and radio buttons over the background, push buttons drawn by the
// skin, icons painted into the background, texts that repaint their
// background when they change.
#include "ui/skin/skin_window.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "platform/system_library.h"

namespace kx {

namespace {

constexpr const wchar_t* kStaticSkin = L"PROP_STAT_PSKIN";
constexpr const wchar_t* kStaticOldProc = L"PROP_STAT_OLDPROC";
// Group box captions are cut to this length.
constexpr int kCaptionLength = 80;
// The caption sits this far in from the group box's left edge.
constexpr int kCaptionInset = 10;

bool class_is(HWND control, const wchar_t* name) {
  wchar_t text[64] = {};
  GetClassNameW(control, text, 64);
  return lstrcmpiW(text, name) == 0;
}

std::vector<HWND> children_of(HWND window) {
  std::vector<HWND> children;
  for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    children.push_back(c);
  return children;
}

bool starts_with_at(HWND control) {
  wchar_t text[2] = {};
  GetWindowTextW(control, text, 2);
  return text[0] == L'@';
}

}  // namespace

void SkinnedWindow::ThemeOff(HWND control) const {
  if (!set_.themed_controls) return;
  using set_theme = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  if (auto f = system_function<set_theme>(L"uxtheme.dll", "SetWindowTheme")) f(control, L" ", L" ");
}

void SkinnedWindow::AddPatternBrush(HWND control) {
  const RECT r = ChildRect(control);
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return;
  unique_bitmap cut(CreateCompatibleBitmap(background_->get(), w, h));
  {
    memory_dc dc(background_->get());
    dc.select(cut.get());
    if (!dc) return;
    BitBlt(dc.get(), 0, 0, w, h, background_->get(), r.left, r.top, SRCCOPY);
  }
  // The brush keeps its own copy of the pixels.
  unique_brush brush(CreatePatternBrush(cut.get()));
  if (brush) brushes_.push_back({control, std::move(brush)});
}

void SkinnedWindow::SubclassStatic(HWND control) {
  SetPropW(control, kStaticSkin, this);
  const LONG_PTR old =
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StaticProc));
  SetPropW(control, kStaticOldProc, reinterpret_cast<HANDLE>(old));
  statics_.push_back(control);
}

LRESULT CALLBACK SkinnedWindow::StaticProc(HWND control, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
  auto* self = static_cast<SkinnedWindow*>(GetPropW(control, kStaticSkin));
  const auto old = reinterpret_cast<WNDPROC>(GetPropW(control, kStaticOldProc));
  if (!old) return DefWindowProcW(control, message, wparam, lparam);
  // A new text is drawn without erasing: the old one goes first.
  if (message == WM_SETTEXT && self) self->RestoreBackground(control);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    RemovePropW(control, kStaticSkin);
    RemovePropW(control, kStaticOldProc);
    if (self) std::erase(self->statics_, control);
  }
  return CallWindowProcW(old, control, message, wparam, lparam);
}

void SkinnedWindow::DressGroupBox(HWND control) {
  ThemeOff(control);
  wchar_t caption[kCaptionLength + 1] = {};
  if (GetWindowTextW(control, caption, kCaptionLength + 1) <= 0) return;
  SetWindowTextW(control, L"");
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0));
  SIZE extent{};
  if (HDC dc = GetDC(window_)) {
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    GetTextExtentPoint32W(dc, caption, lstrlenW(caption), &extent);
    if (old) SelectObject(dc, old);
    ReleaseDC(window_, dc);
  }
  const RECT r = ChildRect(control);
  HWND text = CreateWindowExW(
      static_cast<DWORD>(GetWindowLongPtrW(control, GWL_EXSTYLE)), L"STATIC", caption,
      WS_CHILD | WS_VISIBLE, r.left + kCaptionInset, r.top, extent.cx, extent.cy, window_, nullptr,
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window_, GWLP_HINSTANCE)), nullptr);
  if (!text) return;
  if (font) SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SetWindowPos(text, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SubclassStatic(text);
  AddPatternBrush(text);
}

void SkinnedWindow::DressPushButton(HWND control) {
  const int id = GetDlgCtrlID(control);
  const SkinButton* entry = record_.Button(id);
  const SkinButtonLook* look = entry ? &entry->look : nullptr;
  if (!look && record_.button_defaults) look = &*record_.button_defaults;
  // Pages without defaults of their own take those of the default skin.
  if (!look) {
    const SkinRecord* all = set_.description.Find("ALL");
    if (all && all->button_defaults) look = &*all->button_defaults;
  }
  Button b;
  b.id = id;
  b.text = TextColour();
  b.disabled_text = GetSysColor(COLOR_GRAYTEXT);
  if (look) {
    b.up = set_.Picture(look->up);
    b.down = set_.Picture(look->down);
    b.options = look->options & kSkinDrawOptions;
    b.transparent = look->transparent;
    if (look->text) b.text = *look->text;
    if (look->disabled_text) b.disabled_text = *look->disabled_text;
  }
  const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
  SetWindowLongPtrW(control, GWL_STYLE,
                    (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);

  RECT r = ChildRect(control);
  int w = r.right - r.left;
  int h = r.bottom - r.top;
  if (const SkinPicture* picture = b.up ? b.up : b.down) {
    const bool scaled = (b.options & kSkinScale) != 0;
    w = std::max(w, scaled ? MulDiv(picture->width(), scale_x_, 100000) : picture->width());
    h = std::max(h, scaled ? MulDiv(picture->height(), scale_y_, 100000) : picture->height());
  }
  if (entry && entry->position) {
    r.left = ToPixelsX(entry->position->x);
    r.top = ToPixelsY(entry->position->y);
  }
  SetWindowPos(control, nullptr, r.left, r.top, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  buttons_.push_back(b);
  InvalidateRect(control, nullptr, TRUE);
}

void SkinnedWindow::DressChildren() {
  for (HWND control : children_of(window_)) {
    const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
    if (class_is(control, L"Button")) {
      switch (style & BS_TYPEMASK) {
        case BS_GROUPBOX:
          DressGroupBox(control);
          break;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
        case BS_3STATE:
        case BS_AUTO3STATE:
          ThemeOff(control);
          AddPatternBrush(control);
          break;
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON:
          DressPushButton(control);
          break;
        default:
          break;
      }
    } else if (class_is(control, L"Static")) {
      const LONG_PTR type = style & SS_TYPEMASK;
      if (type == SS_ICON) {
        if (!(style & WS_VISIBLE)) continue;
        HICON icon = reinterpret_cast<HICON>(SendMessageW(control, STM_GETICON, 0, 0));
        if (icon) icons_.push_back({icon, ChildRect(control), GetDlgCtrlID(control)});
        ShowWindow(control, SW_HIDE);
      } else if (type == SS_ETCHEDHORZ || type == SS_ETCHEDVERT || type == SS_ETCHEDFRAME ||
                 starts_with_at(control)) {
        continue;
      } else {
        SubclassStatic(control);
      }
    } else if (class_is(control, PROGRESS_CLASSW)) {
      ThemeOff(control);
    }
  }
}

}  // namespace kx
