// One window dressed in a skin record: its pre-rendered background, the
// controls it draws or subclasses, and the procedure that paints it. Lives
// from SkinWindow until the window's WM_DESTROY.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "ui/skin/gdi_owner.h"
#include "ui/skin/skin.h"

namespace kx {

class SkinnedWindow {
 public:
  SkinnedWindow(HWND window, const SkinRecord& record, const SkinSet& set);
  ~SkinnedWindow();
  SkinnedWindow(const SkinnedWindow&) = delete;
  SkinnedWindow& operator=(const SkinnedWindow&) = delete;

  // Renders the background, dresses the controls and takes over the
  // window's procedure. False (nothing changed) when the window has no
  // dialog units or no background can be made.
  bool Apply();

  // The skinned window of `window`, or null.
  static SkinnedWindow* Of(HWND window);

  // Copies the background under `control` (a child) into it.
  void RestoreBackground(HWND control) const;

 private:
  struct Button {
    int id = 0;
    const SkinPicture* up = nullptr;
    const SkinPicture* down = nullptr;
    std::uint32_t options = 0;
    std::optional<std::uint32_t> transparent;
    COLORREF text = 0;
    COLORREF disabled_text = 0;
  };
  struct Icon {
    HICON icon = nullptr;
    RECT rect{};
    int id = 0;
  };
  struct Brush {
    HWND control = nullptr;
    unique_brush brush;
  };

  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK StaticProc(HWND control, UINT message, WPARAM wparam, LPARAM lparam);

  int ToPixelsX(int units) const { return MulDiv(units, unit_w_, 4); }
  int ToPixelsY(int units) const { return MulDiv(units, unit_h_, 8); }
  RECT ChildRect(HWND control) const;
  // The dialog the dialog manager asks for the default button: the
  // outermost dialog of a page nested in a frame.
  HWND KeyboardDialog() const;
  COLORREF TextColour() const;

  void RenderBackground();
  void DressChildren();
  void DressGroupBox(HWND control);
  void DressPushButton(HWND control);
  void AddPatternBrush(HWND control);
  void SubclassStatic(HWND control);
  void ThemeOff(HWND control) const;
  void PaintIcons();
  LRESULT ControlColour(HDC dc, HWND control) const;
  bool DrawButton(const DRAWITEMSTRUCT& item);
  void Release();

  HWND window_;
  const SkinRecord& record_;
  const SkinSet& set_;
  int unit_w_ = 0;  // pixels of 4 horizontal dialog units
  int unit_h_ = 0;  // pixels of 8 vertical dialog units
  int scale_x_ = 100000;
  int scale_y_ = 100000;
  int width_ = 0;
  int height_ = 0;
  int default_id_ = IDOK;
  unique_bitmap background_bitmap_;
  std::unique_ptr<memory_dc> background_;
  std::vector<Icon> icons_;
  std::vector<Brush> brushes_;
  std::vector<Button> buttons_;
  std::vector<HWND> statics_;
  WNDPROC old_proc_ = nullptr;
};

}  // namespace kx
