// Push buttons drawn by the skin: the released or pressed picture over the
// background, the caption centred on one line, a focus rectangle. The
// dialog's default button follows the focus, as it does for buttons the
// system draws, so that Enter keeps pressing the right one.
#include "ui/skin/skin_window.h"

namespace kx {

namespace {

// A pressed caption moves this far right and down.
constexpr int kPressedShift = 2;
// The focus rectangle keeps this distance from the caption.
constexpr int kFocusMargin = 2;
constexpr int kCaptionLength = 256;

}  // namespace

bool SkinnedWindow::DrawButton(const DRAWITEMSTRUCT& item) {
  if (item.CtlType != ODT_BUTTON) return false;
  const Button* b = nullptr;
  for (const Button& candidate : buttons_) {
    if (candidate.id == static_cast<int>(item.CtlID)) b = &candidate;
  }
  if (!b) return false;
  HDC dc = item.hDC;
  const RECT r = item.rcItem;
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  const RECT at = ChildRect(item.hwndItem);
  BitBlt(dc, r.left, r.top, w, h, background_->get(), at.left, at.top, SRCCOPY);

  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const SkinPicture* picture = pressed && b->down ? b->down : b->up;
  if (!picture) picture = b->down;
  if (picture) {
    const auto transparent = (b->options & kSkinTransparent) ? b->transparent : std::nullopt;
    picture->Draw(dc, r.left, r.top, w, h, transparent);
  } else {
    // Without pictures the button still looks like one.
    RECT frame = r;
    DrawFrameControl(dc, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
  }

  wchar_t caption[kCaptionLength] = {};
  GetWindowTextW(item.hwndItem, caption, kCaptionLength);
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
  const int saved = SaveDC(dc);
  if (font) SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, (item.itemState & ODS_DISABLED) ? b->disabled_text : b->text);
  RECT text = r;
  if (pressed) OffsetRect(&text, kPressedShift, kPressedShift);
  DrawTextW(dc, caption, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  if (item.itemState & ODS_FOCUS) {
    RECT extent{0, 0, 0, 0};
    DrawTextW(dc, caption, -1, &extent, DT_SINGLELINE | DT_CALCRECT);
    const int ew = extent.right;
    const int eh = extent.bottom;
    RECT focus{text.left + (w - ew) / 2, text.top + (h - eh) / 2, 0, 0};
    focus.right = focus.left + ew;
    focus.bottom = focus.top + eh;
    InflateRect(&focus, kFocusMargin, kFocusMargin);
    DrawFocusRect(dc, &focus);
  }
  RestoreDC(dc, saved);

  if (item.itemAction & ODA_FOCUS) {
    // Focus on a button makes it the default; leaving it gives the default
    // back. Never an id of 0, which would make Enter press nothing.
    const int id = (item.itemState & ODS_FOCUS) ? b->id : default_id_;
    if (id != 0) SendMessageW(KeyboardDialog(), DM_SETDEFID, static_cast<WPARAM>(id), 0);
  }
  return true;
}

}  // namespace kx
