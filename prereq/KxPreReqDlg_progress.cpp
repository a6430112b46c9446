// The prerequisite dialog's progress: the download bar with its time and
// transfer texts, and the progress without an end while a package runs.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <algorithm>

#include "base/text_format.h"
#include "platform/os_version.h"
#include "prereq/KxPreReqDlg.h"
#include "resources/dialog_ids.h"
#include "resources/resource_ids.h"

namespace kx {

namespace {

// The texts under the bar change at most this often.
constexpr DWORD kTextIntervalMs = 1000;
// The older systems' animation: a step every 150 ms, full at 100 and held
// there for 20 steps before it starts over.
constexpr DWORD kAnimationStepMs = 150;
constexpr int kAnimationSteps = 120;

// Windows NT 5.1 (XP) and later draw a marquee of their own.
bool marquee_capable() {
  const OSVERSIONINFOEXW& v = current_system_facts().version().info;
  if (v.dwPlatformId != VER_PLATFORM_WIN32_NT) return false;
  return v.dwMajorVersion > 5 || (v.dwMajorVersion == 5 && v.dwMinorVersion != 0);
}

struct animation {
  HWND bar;
  volatile LONG* stop;
};

}  // namespace

DWORD WINAPI KxPreReqDlg::AnimationThread(void* parameter) {
  const animation a = *static_cast<animation*>(parameter);
  delete static_cast<animation*>(parameter);
  int tick = 0;
  while (!InterlockedCompareExchange(a.stop, 0, 0)) {
    SendMessageW(a.bar, PBM_SETPOS, static_cast<WPARAM>(std::min(tick, 100)), 0);
    tick = tick >= kAnimationSteps ? 1 : tick + 1;
    Sleep(kAnimationStepMs);
  }
  return 0;
}

void KxPreReqDlg::StopAnimation() {
  if (!animation_) return;
  InterlockedExchange(&stop_animation_, 1);
  // The thread sends to the bar, so this thread keeps painting while it
  // ends; nothing else is dispatched meanwhile.
  HANDLE thread = animation_.get();
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE,
                                   QS_PAINT | QS_TIMER | QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&msg);
    while (PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) DispatchMessageW(&msg);
  }
  animation_.reset();
}

void KxPreReqDlg::StartStopProgress(bool start) {
  StopAnimation();
  HWND bar = progress_window();
  if (!bar) return;
  if (start) {
    if (marquee_capable()) {
      saved_style_ = GetWindowLongPtrW(bar, GWL_STYLE);
      style_saved_ = true;
      SetWindowLongPtrW(bar, GWL_STYLE, saved_style_ | PBS_MARQUEE);
      SendMessageW(bar, PBM_SETMARQUEE, TRUE, 100);
      return;
    }
    SendMessageW(bar, PBM_SETRANGE32, 0, 100);
    InterlockedExchange(&stop_animation_, 0);
    auto* a = new animation{bar, &stop_animation_};
    animation_.reset(CreateThread(nullptr, 0, AnimationThread, a, 0, nullptr));
    if (!animation_) delete a;
    return;
  }
  if (style_saved_) {
    SendMessageW(bar, PBM_SETMARQUEE, FALSE, 0);
    SetWindowLongPtrW(bar, GWL_STYLE, saved_style_);
    style_saved_ = false;
  } else {
    SendMessageW(bar, PBM_SETPOS, 0, 0);
  }
}

void KxPreReqDlg::package_running(const string&, bool running, bool own_progress) {
  if (!own_progress) StartStopProgress(running);
}

void KxPreReqDlg::PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // For the modal loop that owns it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (window_ && IsDialogMessageW(window_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void KxPreReqDlg::begin(const string& file_name, std::uint64_t total) {
  transfer_ = true;
  row_status(current_, IDS_PREREQ_DOWNLOADING);
  string line = callback_.GetString(IDS_PREREQ_DOWNLOADING);
  line += KXT(": ");
  line += file_name;
  status_text(line);
  SetItemText(IDC_PREREQ_TEXT_2, string());
  SetItemText(IDC_PREREQ_TEXT_3, string());
  if (HWND bar = progress_window()) {
    ShowWindow(bar, SW_SHOW);
    SendMessageW(bar, PBM_SETRANGE32, 0, 100);
    SendMessageW(bar, PBM_SETPOS, 0, 0);
  }
  download_start_ = GetTickCount();
  last_text_ = download_start_;
  Start(total, download_start_);
}

bool KxPreReqDlg::progress(std::uint64_t done, std::uint64_t total) {
  // A size that the server gave only once the body began.
  if (total != 0 && this->total() != total) Start(total, download_start_);
  const std::uint32_t now = GetTickCount();
  const ProgressFigures figures = Update(done, now);
  if (HWND bar = progress_window())
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(figures.percent), 0);
  if (now - last_text_ >= kTextIntervalMs) {
    last_text_ = now;
    SetItemText(IDC_PREREQ_TEXT_2, TimeText(figures.seconds_left));
    SetItemText(IDC_PREREQ_TEXT_3, TransferText(figures.bytes_per_second, done, total));
  }
  PumpMessages();
  return !context_.cancelled;
}

void KxPreReqDlg::end() {
  transfer_ = false;
}

}  // namespace kx
