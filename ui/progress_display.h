// Draws the run's progress into whichever window shows it (the wizard's
// progress page or the small progress window): the bar (control 301), and
// for web installations the time left (310) and the transfer rate (308).
#pragma once

#include <windows.h>

#include <cstdint>

namespace kx {

class ProgressDisplay {
 public:
  // Draws into `window` from now on (null: nothing is drawn). `web` shows
  // the time and rate texts. The bar starts again from 0.
  void Attach(HWND window, bool web);
  HWND window() const { return window_; }

  // The preparation reached `percent`; the bar moves there unless it is
  // already further (it never moves back).
  void StepReached(int percent);

  // `done` of `total` bytes have been transferred by tick `now` of a
  // preparation that began at `start`: the bar fills from the current step
  // position towards 95, and the web texts follow it.
  void BytesTransferred(std::uint64_t done, std::uint64_t total, DWORD now, DWORD start);

  // The engine reported a new transfer rate (web runs).
  void RateChanged(std::uint64_t bytes_per_second);

  int step_position() const { return step_; }
  int bar_position() const { return shown_; }

 private:
  void Show(int position);

  HWND window_ = nullptr;
  bool web_ = false;
  int step_ = 0;
  int shown_ = 0;
  int last_transfer_ = -1;
};

}  // namespace kx
