// The image window: a child window of class "KXWndImgCls" that shows one
// picture in place of a dialog's image placeholder (a Static control whose
// text starts with "@").
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "ui/image/image_picture.h"
#include "ui/image/image_placement.h"

namespace kx {

// The window class of image windows.
inline constexpr const wchar_t* kImageWindowClass = L"KXWndImgCls";

class ImageWindow {
 public:
  ImageWindow(const ImageWindow&) = delete;
  ImageWindow& operator=(const ImageWindow&) = delete;

  // Replaces the placeholder control `id` of `parent` by an image window
  // just behind it in the z-order and clears the placeholder's text. In the
  // header band (`header`, the page has a band) the picture keeps to the
  // band's right edge and the placeholder is hidden; elsewhere the window
  // takes the placeholder's rectangle and centres the picture. Resource
  // names are looked up in `module`. The placeholder is hidden unless it
  // asks for an edge. Null when there is no placeholder text or the
  // picture cannot be loaded; the dialog then works without it. The window
  // owns its picture and frees it when it is destroyed with its parent.
  static HWND CreateFromPlaceholder(HWND parent, int id, bool header, HMODULE module);

  // The image object of an image window, null for any other window.
  static const ImageWindow* Of(HWND window);

  std::uint32_t options() const { return drawing_.options; }
  const ImageDrawing& drawing() const { return drawing_; }
  // How many times the window has painted (for tests of paint loops).
  unsigned paint_count() const { return paints_; }

 private:
  ImageWindow() = default;
  static ATOM Register();
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void Paint();
  void RedrawOverlappingSiblings() const;

  HWND window_ = nullptr;
  HWND parent_ = nullptr;
  HWND placeholder_ = nullptr;
  std::unique_ptr<ImagePicture> picture_;
  ImageDrawing drawing_;
  bool transparent_ = false;
  std::optional<std::uint32_t> transparent_colour_;
  std::optional<std::uint32_t> background_;  // none: the parent shows through
  bool attached_ = false;                    // owned by the window from now on
  unsigned paints_ = 0;
};

}  // namespace kx
