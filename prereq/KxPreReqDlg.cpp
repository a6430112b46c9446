#include "prereq/KxPreReqDlg.h"

#include <commctrl.h>

#include "base/text_format.h"
#include "diag/verbose_log.h"
#include "prereq/prereq_elevation.h"
#include "resources/dialog_ids.h"
#include "resources/resource_ids.h"
#include "ui/dialogs.h"
#include "ui/image/image_window.h"
#include "ui/skin/skin.h"
#include "ui/ui_environment.h"

namespace kx {

namespace {

constexpr const char* kSource = "KxPreReqDlg.cpp";
constexpr const wchar_t* kThisProperty = L"KxPreReqDlg";

#define KX_DLG_LOG(...) process_verbose_log().log(kSource, __LINE__, __VA_ARGS__)

bool contains_i(const string& text, string::view word) {
  return text.find(word) != string::npos;  // the string's traits ignore case
}

void set_column(HWND list, int column, const string& text) {
  LVCOLUMNW c{};
  c.mask = LVCF_TEXT | LVCF_SUBITEM;
  c.pszText = const_cast<wchar_t*>(text.c_str());
  c.iSubItem = column;
  SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c));
}

void set_cell(HWND list, int item, int column, const string& text) {
  LVITEMW cell{};
  cell.iSubItem = column;
  cell.pszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
}

}  // namespace

KxPreReqDlg::KxPreReqDlg(CSetupPrereqMgrCallback& callback, prereq_package_runner& runner,
                         prereq::resume_state& state,
                         const std::map<int, prereq_selection_entry>& selection)
    : ProgressCalculator([&callback](unsigned id) { return callback.GetString(id); }),
      callback_(callback),
      context_{callback, runner, state},
      selection_(selection) {}

KxPreReqDlg::~KxPreReqDlg() {
  StopAnimation();
}

int KxPreReqDlg::Show(const prereq_show_request& request) {
  request_ = request;
  context_.register_restart = request.register_restart;
  context_.features = request.features;
  context_.needs_elevation = request.needs_elevation;
  // A run told not to execute installs no prerequisite either, on every path.
  execute_mode_none_ = contains_i(callback_.GetText(7), KXT("EXECUTEMODE=None"));
  if (execute_mode_none_) return 6;
  const SetupSettings& s = callback_.Settings();
  if (s.Silent) {
    if (request.needs_elevation) {
      KX_DLG_LOG(L"Administrative privileges are required, but setup is silent.");
      return 9;
    }
    return RunLoop(false);
  }
  if (callback_.QueryFlag(16)) return RunLoop(false);
  if (request.hidden_only) {
    if (request.needs_elevation && request.prompt_mode != 1) {
      KX_DLG_LOG(L"Hidden prerequisites require, but did not receive, elevation. Exiting setup.");
      return 9;
    }
    return RunLoop(false);
  }
  if (context_.needs_elevation && request.prompt_mode != 1) {
    KX_DLG_LOG(L"Visible prerequisites require, but did not receive, elevation. Prompting user.");
    do {
      if (callback_.ShowMessage(callback_.GetString(IDS_ADMIN_RETRY),
                                MB_RETRYCANCEL | MB_ICONWARNING) != IDRETRY)
        return 9;
      // The elevated copy itself may not start another: Retry is for rights
      // that came meanwhile (another logon, a changed group).
      if (s.RunPrerequisitesOnly) context_.needs_elevation = prereq::elevation_needed(true);
    } while (s.RunPrerequisitesOnly && context_.needs_elevation);
  }
  const UINT id = s.SkinName.empty() ? IDD_PREREQUISITES : IDD_LARGE_PREREQUISITES;
  created_ = false;
  const INT_PTR shown =
      ShowModal(id, callback_.MainWindow(), DialogProc, reinterpret_cast<LPARAM>(this), 9);
  // 0 is a result of its own once the dialog was up.
  if (!created_ || shown == -1) {
    KX_DLG_LOG(L"The prerequisite dialog could not be shown, error %d",
               static_cast<int>(GetLastError()));
    return 9;
  }
  return static_cast<int>(shown);
}

int KxPreReqDlg::RunLoop(bool with_view) {
  context_.view = with_view ? static_cast<prereq::run_view*>(this) : nullptr;
  const int result = prereq::run_prerequisites(context_, selection_);
  context_.view = nullptr;
  return result;
}

INT_PTR CALLBACK KxPreReqDlg::DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<KxPreReqDlg*>(lparam);
    SetPropW(window, kThisProperty, self);
    self->window_ = window;
    self->created_ = true;
    self->OnInit();
    return TRUE;
  }
  auto* self = static_cast<KxPreReqDlg*>(GetPropW(window, kThisProperty));
  if (!self) return FALSE;
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wparam) != 0) return FALSE;
      if (LOWORD(wparam) == IDOK) {
        self->OnInstall();
      } else if (LOWORD(wparam) == IDC_PAGE_CANCEL || LOWORD(wparam) == IDCANCEL) {
        self->OnCancel();
      }
      return TRUE;
    case WM_CLOSE:
      self->OnCancel();
      return TRUE;
    case WM_DESTROY:
      self->StopAnimation();
      RemovePropW(window, kThisProperty);
      self->window_ = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

void KxPreReqDlg::OnInit() {
  const SetupSettings& s = callback_.Settings();
  SetWindowTextW(window_, WizardTitle(false).c_str());
  SetItemText(IDC_PREREQ_TEXT_4, FormatFirst(callback_.GetString(IDS_PREREQ_INTRO), s.ProductName));
  SetItemText(IDC_PAGE_TITLE, callback_.GetString(IDS_PREREQ_TITLE));
  SetItemText(IDOK, callback_.GetString(IDS_PREREQ_INSTALL));
  SetItemText(IDC_PAGE_CANCEL, callback_.GetString(IDS_BUTTON_CANCEL));
  if (HICON icon = LoadIconW(ui_resources(), MAKEINTRESOURCEW(IDI_SETUP)))
    SendDlgItemMessageW(window_, IDC_DIALOG_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  ShowWindow(GetDlgItem(window_, IDC_PROGRESS), SW_HIDE);

  HWND list = GetDlgItem(window_, IDC_PREREQ_LIST);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  set_column(list, 0, callback_.GetString(IDS_PREREQ_COLUMN_STATUS));
  set_column(list, 1, callback_.GetString(IDS_PREREQ_COLUMN_REQUIREMENT));
  const string pending = callback_.GetString(IDS_PREREQ_PENDING);
  int row = 0;
  for (const auto& [index, entry] : selection_) {
    if (!entry.selected || entry.hidden) continue;
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(pending.c_str());
    item.lParam = index;
    const int at =
        static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    set_cell(list, at, 1, prereq::display_name(entry));
    ++row;
  }
  // Wide enough for the longest of the texts and the header.
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 1, LVSCW_AUTOSIZE_USEHEADER);

  if (context_.needs_elevation) {
    SendDlgItemMessageW(window_, IDOK, BCM_SETSHIELD, 0, TRUE);
    if (request_.prompt_mode == 2) request_.prompt_mode = 1;
  }
  // Dressed once its texts and rows are in; without a skin nothing changes.
  SkinWindow(window_, kSkinSection);
  // The header (or side) picture as on the wizard's pages; without it the
  // dialog works as well.
  ImageWindow::CreateFromPlaceholder(
      window_, IDC_IMAGE, GetDlgItem(window_, IDC_HEADER_BAND) != nullptr, ui_resources());
  if (request_.prompt_mode != 1) PostMessageW(window_, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
}

void KxPreReqDlg::OnInstall() {
  if (busy_) return;
  // Started from the dialog's creation, before the dialog loop first showed
  // it: the person must see what is being installed.
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
  EnableWindow(GetDlgItem(window_, IDOK), FALSE);
  ShowWindow(GetDlgItem(window_, IDC_PROGRESS), SW_SHOW);
  busy_ = true;
  result_ = execute_mode_none_ ? 6 : RunLoop(true);
  busy_ = false;
  EndDialog(window_, result_);
}

void KxPreReqDlg::OnCancel() {
  if (!busy_) {
    EndDialog(window_, 9);
    return;
  }
  // A download stops at once; a running package is not interrupted, so
  // the question is whether to stop after it.
  if (transfer_) {
    context_.cancelled = true;
    return;
  }
  if (context_.cancelled) return;
  const string question = FormatFirst(callback_.GetString(IDS_PREREQ_CANCEL_AFTER), current_name_);
  const bool stop = message(question, MB_YESNO | MB_ICONQUESTION) == IDYES;
  context_.cancelled = stop;
  if (stop) EnableWindow(GetDlgItem(window_, IDC_PAGE_CANCEL), FALSE);
}

void KxPreReqDlg::SetItemText(int id, const string& text) {
  if (window_) SetDlgItemTextW(window_, id, text.c_str());
}

void KxPreReqDlg::row_status(int index, UINT status) {
  if (index != current_) {
    current_ = index;
    const auto found = selection_.find(index);
    current_name_ = found == selection_.end() ? string() : prereq::display_name(found->second);
  }
  if (!window_) return;
  HWND list = GetDlgItem(window_, IDC_PREREQ_LIST);
  LVFINDINFOW find{};
  find.flags = LVFI_PARAM;
  find.lParam = index;
  const int item = static_cast<int>(
      SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
  if (item < 0) return;  // a hidden prerequisite has no row
  set_cell(list, item, 0, callback_.GetString(status));
  SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE);
  UpdateWindow(list);
}

void KxPreReqDlg::status_text(const string& text) {
  SetItemText(IDC_PREREQ_TEXT_1, text);
}

int KxPreReqDlg::message(const string& text, UINT style) {
  const bool question = (style & MB_TYPEMASK) == MB_YESNO;
  return ShowMessage(window_, text, style, question ? IDNO : IDOK);
}

HWND KxPreReqDlg::progress_window() {
  return window_ ? GetDlgItem(window_, IDC_PROGRESS) : nullptr;
}

HWND KxPreReqDlg::status_window() {
  return window_ ? GetDlgItem(window_, IDC_PREREQ_TEXT_1) : nullptr;
}

}  // namespace kx
