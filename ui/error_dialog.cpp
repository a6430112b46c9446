#include "ui/error_dialog.h"

#include <utility>

#include "base/pattern_format.h"
#include "base/string_win.h"
#include "platform/process_launch.h"
#include "resources/resource_ids.h"
#include "ui/dialogs.h"
#include "ui/ui_environment.h"
#include "ui/window_layout.h"

namespace kx {

namespace {

bool details_shown = false;

void open_with_shell(const string& url) {
  launch(url, string(), L"open", string(), launch_shell, 0, SW_SHOWNORMAL, 0);
}

ReportOpener& report_opener() {
  static ReportOpener opener = open_with_shell;
  return opener;
}

// What one window of the dialog needs beside its content.
struct DialogState {
  const ErrorDialogContent* content = nullptr;
  bool modal = false;
};

string code_text(const ErrorDialogContent& c) {
  return format(L"%ld : 0x%x", c.result_code, static_cast<unsigned>(c.extended_code));
}

void label_detail_button(HWND dialog) {
  const string label = ui_string(IDS_ERROR_DETAIL) + (details_shown ? L" <<" : L" >>");
  SetDlgItemTextW(dialog, IDC_ERROR_DETAIL, label.c_str());
}

void change_height(HWND dialog, bool grow) {
  const int by = grow ? ErrorDetailsHeight() : -ErrorDetailsHeight();
  RECT r;
  if (!GetWindowRect(dialog, &r)) return;
  SetWindowPos(dialog, nullptr, 0, 0, r.right - r.left, r.bottom - r.top + by,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void initialise(HWND dialog, const ErrorDialogContent& c) {
  SendDlgItemMessageW(dialog, IDC_ERROR_ICON, STM_SETICON,
                      reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_HAND)), 0);
  SetWindowTextW(dialog, WizardTitle(false).c_str());
  const string headline =
      format_with_text(ui_string(IDS_ERROR_HEADLINE).as_view(), code_text(c).as_view());
  SetDlgItemTextW(dialog, IDC_ERROR_HEADLINE, headline.c_str());
  const string explanation =
      c.step_message.empty()
          ? format_with_text(ui_string(IDS_ERROR_EXPLANATION).as_view(), c.vendor_name.as_view())
          : c.step_message;
  SetDlgItemTextW(dialog, IDC_ERROR_EXPLANATION, explanation.c_str());
  SetDlgItemTextW(dialog, IDOK, ui_string(IDS_BUTTON_OK).c_str());
  SetDlgItemTextW(dialog, IDC_ERROR_REPORT, ui_string(IDS_ERROR_REPORT).c_str());
  label_detail_button(dialog);
  const string details = format(L"%s\t%ld : 0x%x\r\n%s\r\n%s", ui_string(IDS_ERROR_CODE).c_str(),
                                c.result_code, static_cast<unsigned>(c.extended_code),
                                ui_string(IDS_ERROR_INFORMATION).c_str(), c.information.c_str());
  SetDlgItemTextW(dialog, IDC_ERROR_DETAILS, details.c_str());
  if (details_shown) change_height(dialog, true);
  SetForegroundWindow(dialog);
  SetActiveWindow(dialog);
}

INT_PTR CALLBACK error_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    initialise(dialog, *reinterpret_cast<DialogState*>(lparam)->content);
    return TRUE;
  }
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (!state) return FALSE;
  if (message == WM_NCDESTROY && !state->modal) {
    delete state;
    SetWindowLongPtrW(dialog, DWLP_USER, 0);
    return FALSE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wparam)) {
    case IDOK:
    case IDCANCEL:
      if (state->modal)
        EndDialog(dialog, LOWORD(wparam));
      else
        DestroyWindow(dialog);
      return TRUE;
    case IDC_ERROR_DETAIL:
      details_shown = !details_shown;
      label_detail_button(dialog);
      change_height(dialog, details_shown);
      return TRUE;
    case IDC_ERROR_REPORT:
      if (report_opener()) report_opener()(state->content->report_url);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR ShowErrorDialog(const ErrorDialogContent& content, HWND owner, unsigned flags) {
  DialogState state{&content, true};
  return ShowModal(IDD_ERROR, owner, error_dialog_proc, reinterpret_cast<LPARAM>(&state), 1, flags);
}

HWND CreateErrorDialog(const ErrorDialogContent& content, HWND parent, unsigned flags) {
  auto* state = new DialogState{&content, false};
  HWND dialog = nullptr;
  try {
    dialog = CreateModeless(IDD_ERROR, parent, error_dialog_proc, reinterpret_cast<LPARAM>(state),
                            flags);
  } catch (...) {
    delete state;
    throw;
  }
  // Without a window nothing took the state over.
  if (!dialog) delete state;
  return dialog;
}

int ErrorDetailsHeight() {
  return MulDiv(kErrorDetailsHeight, DisplayDpi(), 96);
}

bool ErrorDetailsShown() noexcept {
  return details_shown;
}
void SetErrorDetailsShown(bool shown) noexcept {
  details_shown = shown;
}

ReportOpener SetReportOpener(ReportOpener opener) {
  ReportOpener previous = std::move(report_opener());
  report_opener() = opener ? std::move(opener) : ReportOpener(open_with_shell);
  return previous;
}

}  // namespace kx
