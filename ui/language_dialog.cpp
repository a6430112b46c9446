#include "ui/language_dialog.h"

#include "resources/dialog_ids.h"
#include "resources/resource_ids.h"
#include "ui/dialogs.h"
#include "ui/language_names.h"
#include "ui/ui_environment.h"
#include "ui/wizard.h"

namespace kx {

namespace {

struct Choice {
  const std::vector<std::uint16_t>* languages = nullptr;
  const string* setup_ini = nullptr;
  std::uint16_t* language = nullptr;
};

void initialise(HWND dialog, const Choice& c) {
  HWND list = GetDlgItem(dialog, IDC_LANGUAGE_LIST);
  LRESULT selected = CB_ERR;
  for (std::uint16_t l : SortedLanguages(*c.languages)) {
    const string name = LanguageDisplayName(l, *c.setup_ini);
    const LRESULT index =
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (index < 0) continue;
    SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(index), l);
    // Later entries may sort before this one; selecting each match as it
    // comes lets the selection follow its entry.
    if (l == *c.language) selected = SendMessageW(list, CB_SETCURSEL, index, 0);
  }
  if (selected == CB_ERR) SendMessageW(list, CB_SETCURSEL, 0, 0);
  SetDlgItemTextW(dialog, IDOK, ui_string(IDS_BUTTON_OK).c_str());
  SetDlgItemTextW(dialog, IDCANCEL, ui_string(IDS_BUTTON_CANCEL).c_str());
  SetDlgItemTextW(dialog, IDC_TEXT, ui_string(IDS_LANGUAGE_PROMPT).c_str());
  SetWindowTextW(dialog, WizardTitle(false).c_str());
  if (HICON icon = LoadIconW(ui_resources(), MAKEINTRESOURCEW(IDI_SETUP)))
    SendDlgItemMessageW(dialog, IDC_DIALOG_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  SetForegroundWindow(dialog);
  SetActiveWindow(dialog);
}

void take_choice(HWND dialog, const Choice& c) {
  HWND list = GetDlgItem(dialog, IDC_LANGUAGE_LIST);
  const LRESULT at = SendMessageW(list, CB_GETCURSEL, 0, 0);
  // No selection (an empty list) keeps the language instead of storing
  // CB_ERR as one.
  if (at == CB_ERR) return;
  const LRESULT data = SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(at), 0);
  if (data != CB_ERR) *c.language = static_cast<std::uint16_t>(data);
}

INT_PTR CALLBACK language_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, GWLP_USERDATA, lparam);
    initialise(dialog, *reinterpret_cast<const Choice*>(lparam));
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  const auto* c = reinterpret_cast<const Choice*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
  if (!c) return FALSE;
  switch (LOWORD(wparam)) {
    case IDOK:
      take_choice(dialog, *c);
      EndDialog(dialog, IDOK);
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

HRESULT ChooseLanguage(const std::vector<std::uint16_t>& languages, const string& setup_ini,
                       std::uint16_t* language) {
  Choice c{&languages, &setup_ini, language};
  SetLastError(0);
  const INT_PTR result =
      ShowModal(IDD_LANGUAGE, nullptr, language_proc, reinterpret_cast<LPARAM>(&c), IDOK);
  if (result == IDOK) return S_OK;
  if (result > 0) return kUserCancelled;
  return LastWindowError();
}

}  // namespace kx
