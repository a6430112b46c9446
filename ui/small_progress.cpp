#include "ui/small_progress.h"

#include <commctrl.h>

#include "base/pattern_format.h"
#include "resources/dialog_ids.h"
#include "resources/resource_ids.h"
#include "ui/cancel_request.h"
#include "ui/dialogs.h"
#include "ui/ui_environment.h"
#include "ui/wizard.h"

namespace kx {

POINT SmallProgressPlacement(const RECT& area, int width, int height) {
  const int margin = height / 2;
  return POINT{area.right - margin - width, area.bottom - margin - height};
}

SmallProgressWindow::SmallProgressWindow(std::function<void(HWND)> window_changed)
    : window_changed_(std::move(window_changed)) {}

SmallProgressWindow::~SmallProgressWindow() {
  Destroy();
}

void SmallProgressWindow::Destroy() {
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
}

HRESULT SmallProgressWindow::Create(bool beside_splash) {
  if (window_) return S_OK;
  if (ui_environment().silent) return S_OK;
  beside_splash_ = beside_splash;
  SetLastError(0);
  HWND window = CreateModeless(IDD_SMALL_PROGRESS, nullptr, Proc, reinterpret_cast<LPARAM>(this));
  if (!window) return LastWindowError();
  ShowWindow(window, SW_SHOWNORMAL);
  SetForegroundWindow(window);
  return S_OK;
}

void SmallProgressWindow::Initialise(HWND window) {
  window_ = window;
  SetDlgItemTextW(window, IDCANCEL, ui_string(IDS_BUTTON_CANCEL).c_str());
  const string text = format_with_text(ui_string(IDS_PREPARING_WIZARD).as_view(),
                                       ui_environment().product_name.as_view());
  SetDlgItemTextW(window, IDC_PROGRESS_TEXT, text.c_str());
  SetWindowTextW(window, WizardTitle(false).c_str());
  if (HICON icon = LoadIconW(ui_resources(), MAKEINTRESOURCEW(IDI_SETUP)))
    SendDlgItemMessageW(window, IDC_DIALOG_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  SendDlgItemMessageW(window, IDC_PROGRESS, PBM_SETRANGE32, 0, 100);
  if (beside_splash_) {
    RECT area, r;
    GetClientRect(GetDesktopWindow(), &area);
    GetWindowRect(window, &r);
    const POINT at = SmallProgressPlacement(area, r.right - r.left, r.bottom - r.top);
    SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // Cancel comes alive when the launcher is ready to stop safely.
  for (int id : {IDC_PAGE_CANCEL, IDCANCEL}) {
    if (HWND control = GetDlgItem(window, id)) EnableWindow(control, FALSE);
  }
  if (window_changed_) window_changed_(window);
}

INT_PTR CALLBACK SmallProgressWindow::Proc(HWND window, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lparam);
    reinterpret_cast<SmallProgressWindow*>(lparam)->Initialise(window);
    return TRUE;
  }
  auto* self = reinterpret_cast<SmallProgressWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!self) return FALSE;
  HWND cancel = GetDlgItem(window, IDCANCEL);
  const bool cancel_enabled = cancel && IsWindowEnabled(cancel);
  switch (message) {
    case WM_COMMAND:
      // Escape and the close box arrive as Cancel too: while Cancel is
      // disabled, none of them may stop the run.
      if (HIWORD(wparam) != 0 || LOWORD(wparam) != IDCANCEL) return FALSE;
      if (cancel_enabled) RequestCancel();
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) != SC_CLOSE || cancel_enabled) return FALSE;
      SetWindowLongPtrW(window, DWLP_MSGRESULT, 0);
      return TRUE;
    case WM_DESTROY:
      SetWindowLongPtrW(window, DWLP_USER, 0);
      if (self->window_ == window) self->window_ = nullptr;
      if (self->window_changed_) self->window_changed_(nullptr);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace kx
