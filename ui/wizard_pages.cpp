// The language page and the progress page.
#include <windows.h>

#include <commctrl.h>

#include "base/pattern_format.h"
#include "resources/dialog_ids.h"
#include "resources/resource_ids.h"
#include "ui/cancel_request.h"
#include "ui/language_names.h"
#include "ui/ui_environment.h"
#include "ui/wizard_page.h"

namespace kx {

namespace {

// The progress page lets this many queued messages through when it comes
// up, so the frame paints before the preparation goes on.
constexpr int kShownDrain = 30;

void set_text(HWND window, int id, UINT string_id) {
  SetDlgItemTextW(window, id, ui_string(string_id).c_str());
}

void set_header(HWND window, UINT title, UINT subtitle) {
  set_text(window, IDOK, IDS_BUTTON_NEXT);
  set_text(window, IDC_PAGE_CANCEL, IDS_BUTTON_CANCEL);
  set_text(window, IDC_PAGE_TITLE, title);
  set_text(window, IDC_PAGE_SUBTITLE, subtitle);
}

}  // namespace

CWizard::language_page::language_page(CWizard& wizard)
    : page(wizard, wizard.large_layout() ? IDD_LARGE_LANGUAGE_PAGE : IDD_LANGUAGE_PAGE,
           L"language") {
  set_modal();
}

BOOL CWizard::language_page::OnInitDialog() {
  page::OnInitDialog();
  HWND list = GetDlgItem(window(), IDC_PAGE_LANGUAGE_LIST);
  const std::uint16_t current = ui_environment().language;
  selected_ = current;
  string current_name;
  for (std::uint16_t language : SortedLanguages(wizard_.options().languages)) {
    const string name = LanguageDisplayName(language, wizard_.options().setup_ini);
    const LRESULT index =
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (index >= 0) SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(index), language);
    if (language == current) current_name = name;
  }
  LRESULT at = current_name.empty()
                   ? LB_ERR
                   : SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>(current_name.c_str()));
  if (at == LB_ERR) at = 0;
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
  set_header(window(), IDS_LANGUAGE_TITLE, IDS_LANGUAGE_PROMPT);
  return TRUE;
}

void CWizard::language_page::OnNext() {
  HWND list = GetDlgItem(window(), IDC_PAGE_LANGUAGE_LIST);
  const LRESULT at = SendMessageW(list, LB_GETCURSEL, 0, 0);
  // Nothing selected (an empty list) keeps the current language rather
  // than taking LB_ERR for one.
  if (at != LB_ERR) {
    const LRESULT data = SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(at), 0);
    if (data != LB_ERR) selected_ = static_cast<std::uint16_t>(data);
  }
  page::OnNext();
}

CWizard::progress_page::progress_page(CWizard& wizard)
    : page(wizard, wizard.large_layout() ? IDD_LARGE_PROGRESS_PAGE : IDD_PROGRESS_PAGE,
           L"progress") {}

BOOL CWizard::progress_page::OnInitDialog() {
  page::OnInitDialog();
  HWND w = window();
  const string description = format_with_text(ui_string(IDS_PREPARING_WIZARD).as_view(),
                                              ui_environment().product_name.as_view());
  SetDlgItemTextW(w, IDC_PROGRESS_TEXT, description.c_str());
  set_header(w, IDS_PREPARING_TITLE, IDS_PREPARING_TEXT);
  SendDlgItemMessageW(w, IDC_PROGRESS, PBM_SETRANGE32, 0, 100);
  // Cancel comes alive when the launcher is ready to stop safely.
  for (int id : {IDC_PAGE_CANCEL, IDCANCEL}) {
    if (HWND control = GetDlgItem(w, id)) EnableWindow(control, FALSE);
  }
  if (wizard_.options().web) {
    set_text(w, IDC_TIME_LABEL, IDS_TIME_LEFT);
    set_text(w, IDC_RATE_LABEL, IDS_TRANSFER_RATE);
  }
  if (wizard_.options().progress_window_changed) wizard_.options().progress_window_changed(w);
  return TRUE;
}

void CWizard::progress_page::OnShown() {
  // A WM_QUIT met while draining belongs to the outer loop: post it again.
  MSG msg;
  for (int i = 0; i < kShownDrain && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  page::OnShown();
}

void CWizard::progress_page::OnCancel() {
  page::OnCancel();
  if (result_ == kCancelled) {
    RequestCancel();
    result_ = kProgressCancelled;
  }
}

void CWizard::progress_page::OnDestroy() {
  if (wizard_.options().progress_window_changed) wizard_.options().progress_window_changed(nullptr);
}

bool CWizard::progress_page::OnSysCommand(WPARAM command) {
  HWND close = GetDlgItem(window(), IDCANCEL);
  return command == SC_CLOSE && close && !IsWindowEnabled(close);
}

}  // namespace kx
