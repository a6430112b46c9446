#include "ui/progress_display.h"

#include <commctrl.h>

#include "base/stringx.h"
#include "resources/dialog_ids.h"
#include "resources/resource_ids.h"
#include "ui/progress_calculator.h"
#include "ui/ui_environment.h"

namespace kx {

namespace {

void set_text(HWND window, int id, const string& text) {
  if (HWND control = GetDlgItem(window, id)) SetWindowTextW(control, text.c_str());
}

}  // namespace

void ProgressDisplay::Attach(HWND window, bool web) {
  window_ = window;
  web_ = web;
  step_ = 0;
  shown_ = 0;
  last_transfer_ = -1;
}

void ProgressDisplay::Show(int position) {
  if (position <= shown_) return;
  shown_ = position;
  if (window_) SendDlgItemMessageW(window_, IDC_PROGRESS, PBM_SETPOS, position, 0);
}

void ProgressDisplay::StepReached(int percent) {
  if (percent <= step_) return;
  step_ = percent;
  Show(percent);
}

void ProgressDisplay::BytesTransferred(std::uint64_t done, std::uint64_t total, DWORD now,
                                       DWORD start) {
  if (!window_) return;
  const int position = TransferBarPosition(done, total, step_);
  if (position == last_transfer_) return;
  last_transfer_ = position;
  Show(position);
  if (!web_) return;
  const string time = PageTimeText(TransferTimeLeft(done, total, now, start),
                                   ui_string(IDS_UNIT_MINUTES), ui_string(IDS_UNIT_SECONDS));
  if (!time.empty()) set_text(window_, IDC_TIME_VALUE, time);
  const std::uint64_t rate = TransferRate(done, now, start);
  if (rate == 0) return;
  const RateFigure figure = RateInUnits(rate);
  // The page's own units are fixed texts; only "/s" is translated.
  set_text(window_, IDC_RATE_VALUE,
           RateText(figure, string(figure.megabytes ? L"MB" : L"KB"), ui_string(IDS_PER_SECOND)));
}

void ProgressDisplay::RateChanged(std::uint64_t bytes_per_second) {
  if (!window_ || !web_ || bytes_per_second == 0) return;
  const RateFigure figure = RateInUnits(bytes_per_second);
  set_text(window_, IDC_RATE_VALUE,
           RateText(figure, ui_string(figure.megabytes ? IDS_UNIT_MB : IDS_UNIT_KB),
                    ui_string(IDS_PER_SECOND)));
}

}  // namespace kx
