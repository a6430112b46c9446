// The small progress window shown instead of the wizard (SmallProgress):
// a text, a bar and Cancel, which cancels at once without asking.
#pragma once

#include <windows.h>

#include <functional>

namespace kx {

// Where a window of `width` x `height` goes beside a splash picture: the
// lower right corner of `area`, half its height away from both edges.
POINT SmallProgressPlacement(const RECT& area, int width, int height);

class SmallProgressWindow {
 public:
  // `window_changed` hears of the window when it comes and (with null)
  // when it goes.
  explicit SmallProgressWindow(std::function<void(HWND)> window_changed = {});
  ~SmallProgressWindow();
  SmallProgressWindow(const SmallProgressWindow&) = delete;
  SmallProgressWindow& operator=(const SmallProgressWindow&) = delete;

  // Creates the window, with Cancel disabled, and brings it to the front;
  // `beside_splash` moves it out of the splash picture's way. S_OK, or the
  // creation failure as HRESULT. In a silent run nothing is created (S_OK,
  // no window).
  HRESULT Create(bool beside_splash);
  void Destroy();
  HWND window() const { return window_; }

 private:
  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void Initialise(HWND window);

  std::function<void(HWND)> window_changed_;
  HWND window_ = nullptr;
  bool beside_splash_ = false;
};

}  // namespace kx
