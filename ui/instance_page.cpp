#include "ui/instance_page.h"

#include <commctrl.h>

#include "platform/registry.h"
#include "resources/dialog_ids.h"
#include "resources/resource_ids.h"
#include "ui/ui_environment.h"

namespace kx {

namespace {

constexpr const wchar_t* kUninstallKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr int kNameColumnWidth = 100;
constexpr int kFolderColumnWidth = 448;

UINT template_of(const WizardOptions& o) {
  if (o.large_layout)
    return o.new_instance_offered ? IDD_LARGE_INSTANCE_CHOICE_PAGE : IDD_LARGE_INSTANCE_PAGE;
  return o.new_instance_offered ? IDD_INSTANCE_CHOICE_PAGE : IDD_INSTANCE_PAGE;
}

void set_text(HWND window, int id, UINT string_id) {
  SetDlgItemTextW(window, id, ui_string(string_id).c_str());
}

void add_column(HWND list, int index, UINT title_id, int width) {
  const string title = ui_string(title_id);
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.cx = width;
  column.iSubItem = index;
  column.pszText = const_cast<wchar_t*>(title.c_str());
  SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(&column));
}

// The value `name` of the instance's entry; empty when the entry or the
// value cannot be read, and for a name that is no entry of its own (empty,
// or with a backslash that would reach into a nested key).
string entry_text(HKEY root, const string& instance, const wchar_t* name) {
  if (instance.empty() || instance.find(L'\\') != string::npos) return string();
  string path = kUninstallKey;
  path += instance;
  return registry_read_string(root, path, name, KEY_READ, string());
}

// Adds the row of instance `index` at that position (or at the end when
// rows before it were skipped); -1 when the instance has no display name.
int add_row(HWND list, HKEY root, const string& instance, int index) {
  const string name = entry_text(root, instance, L"DisplayName");
  if (name.empty()) return -1;
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = index;
  item.pszText = const_cast<wchar_t*>(name.c_str());
  item.lParam = index;
  const int row =
      static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (row < 0) return -1;
  const string folder = entry_text(root, instance, L"InstallLocation");
  LVITEMW sub = {};
  sub.iSubItem = 1;
  sub.pszText = const_cast<wchar_t*>(folder.c_str());
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
  return row;
}

}  // namespace

CWizard::instance_page::instance_page(CWizard& wizard)
    : page(wizard, template_of(wizard.options()), L"sbs") {
  set_modal();
}

BOOL CWizard::instance_page::OnInitDialog() {
  page::OnInitDialog();
  HWND w = window();
  const WizardOptions& o = wizard_.options();
  set_text(w, IDOK, IDS_BUTTON_NEXT);
  set_text(w, IDC_PAGE_CANCEL, IDS_BUTTON_CANCEL);
  set_text(w, IDC_PAGE_TITLE, IDS_INSTANCES_TITLE);
  set_text(w, IDC_PAGE_SUBTITLE, IDS_INSTANCES_SUBTITLE);
  set_text(w, IDC_INSTANCE_TEXT,
           o.new_instance_offered ? IDS_INSTANCES_FOUND_NEW : IDS_INSTANCES_FOUND);
  if (o.new_instance_offered) {
    set_text(w, IDC_INSTANCE_EXISTING, IDS_INSTANCE_MAINTAIN_SELECTED);
    set_text(w, IDC_INSTANCE_NEW, IDS_INSTANCE_INSTALL_NEW);
  } else {
    set_text(w, IDC_INSTANCE_LABEL, IDS_INSTANCE_SELECT);
  }

  HWND list = GetDlgItem(w, IDC_INSTANCE_LIST);
  // Without the choice both hidden radio buttons are checked, and the
  // "maintain" one decides on Next.
  if (GetDlgItem(w, IDC_INSTANCE_NEW)) CheckDlgButton(w, IDC_INSTANCE_NEW, BST_CHECKED);
  if (o.new_instance_offered) {
    EnableWindow(list, FALSE);
  } else {
    CheckDlgButton(w, IDC_INSTANCE_EXISTING, BST_CHECKED);
  }

  add_column(list, 0, IDS_INSTANCE_COLUMN_NAME, kNameColumnWidth);
  add_column(list, 1, IDS_INSTANCE_COLUMN_FOLDER, kFolderColumnWidth);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  bool selected = false;
  for (size_t i = 0; i < o.instances.size(); ++i) {
    const int row = add_row(list, o.instance_root, o.instances[i], static_cast<int>(i));
    if (row < 0 || selected) continue;
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&state));
    selected = true;
  }
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE);
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 1, LVSCW_AUTOSIZE);
  return TRUE;
}

void CWizard::instance_page::OnCommand(int id) {
  HWND list = GetDlgItem(window(), IDC_INSTANCE_LIST);
  if (id == IDC_INSTANCE_NEW) {
    EnableWindow(list, FALSE);
  } else if (id == IDC_INSTANCE_EXISTING) {
    EnableWindow(list, TRUE);
    SetFocus(list);
  }
}

void CWizard::instance_page::OnNext() {
  chosen_.clear();
  const std::vector<string>& instances = wizard_.options().instances;
  if (IsDlgButtonChecked(window(), IDC_INSTANCE_EXISTING) == BST_CHECKED && !instances.empty()) {
    HWND list = GetDlgItem(window(), IDC_INSTANCE_LIST);
    size_t index = 0;
    const LRESULT row =
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0));
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = static_cast<int>(row);
    if (row >= 0 && SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) &&
        item.lParam >= 0 && static_cast<size_t>(item.lParam) < instances.size())
      index = static_cast<size_t>(item.lParam);
    chosen_ = instances[index];
  }
  page::OnNext();
}

HRESULT CWizard::RunInstancePage() {
  int result = page::kRunning;
  const HRESULT hr = instance_->Show(&result);
  if (FAILED(hr)) return hr;
  if (result != page::kNext) return kUserCancelled;
  if (options_.instance_chosen) options_.instance_chosen(instance_->chosen());
  return Open();
}

}  // namespace kx
