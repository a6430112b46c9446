#include "tests/prereq/dialog_driver.h"

#include <commctrl.h>

namespace kx::testing {

namespace {

RowRecorder* g_recorder = nullptr;
BoxAnswerer* g_answerer = nullptr;

bool is_class(HWND window, const wchar_t* name) {
  wchar_t found[32] = {};
  GetClassNameW(window, found, 32);
  return std::wstring(found) == name;
}

// A message box: a dialog-class window without a list of requirements.
BOOL CALLBACK find_box(HWND window, LPARAM found) {
  if (is_class(window, L"#32770") && IsWindowVisible(window) && IsWindowEnabled(window) &&
      !GetDlgItem(window, 1035)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

std::wstring text_of(HWND window) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(window, buffer, 1024);
  return buffer;
}

}  // namespace

string DialogCallback::GetString(UINT id) {
  wchar_t buffer[1024] = {};
  const int n = LoadStringW(GetModuleHandleW(nullptr), id, buffer, 1024);
  return string(std::wstring(buffer, static_cast<size_t>(n)).c_str());
}

int DialogCallback::ShowMessage(const string& text, UINT) {
  asked.push_back(text.str());
  if (answers.empty()) return IDCANCEL;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

package_run ScriptedRunner::Run(CSetupPreRequisite& p, const string& location, bool) {
  ran.push_back(location.str());
  if (steps.empty()) return {package_outcome::ran, false};
  const Step step = steps.front();
  steps.pop_front();
  return step(p);
}

RowRecorder::RowRecorder() {
  g_recorder = this;
  hook_ = SetWindowsHookExW(WH_CALLWNDPROC, Hook, nullptr, GetCurrentThreadId());
}

RowRecorder::~RowRecorder() {
  if (hook_) UnhookWindowsHookEx(hook_);
  g_recorder = nullptr;
}

LRESULT CALLBACK RowRecorder::Hook(int code, WPARAM wparam, LPARAM lparam) {
  const auto* m = reinterpret_cast<const CWPSTRUCT*>(lparam);
  if (code == HC_ACTION && g_recorder) {
    if (m->message == LVM_INSERTITEMW || m->message == LVM_SETITEMTEXTW) {
      const auto* item = reinterpret_cast<const LVITEMW*>(m->lParam);
      const int row = m->message == LVM_INSERTITEMW ? item->iItem : static_cast<int>(m->wParam);
      if (item->iSubItem == 0 && item->pszText) g_recorder->rows[row].push_back(item->pszText);
    } else if (m->message == BCM_SETSHIELD && m->lParam) {
      ++g_recorder->shields;
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

BoxAnswerer::BoxAnswerer(std::deque<int> buttons) : buttons_(std::move(buttons)) {
  g_answerer = this;
  timer_ = SetTimer(nullptr, 0, 50, Tick);
}

BoxAnswerer::~BoxAnswerer() {
  if (timer_) KillTimer(nullptr, timer_);
  g_answerer = nullptr;
}

void CALLBACK BoxAnswerer::Tick(HWND, UINT, UINT_PTR, DWORD) {
  BoxAnswerer* a = g_answerer;
  if (!a) return;
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), find_box, reinterpret_cast<LPARAM>(&box));
  if (!box) return;
  // The message text is the box's static control with id 0xFFFF.
  a->texts.push_back(text_of(GetDlgItem(box, 0xFFFF)));
  int button = IDCANCEL;
  if (!a->buttons_.empty()) {
    button = a->buttons_.front();
    a->buttons_.pop_front();
  }
  EnableWindow(box, FALSE);  // answered once, even before it closes
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
}

std::vector<std::wstring> ListColumn(HWND dialog, int column) {
  HWND list = GetDlgItem(dialog, 1035);
  std::vector<std::wstring> texts;
  const int n = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    wchar_t buffer[256] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 256;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    texts.emplace_back(buffer);
  }
  return texts;
}

}  // namespace kx::testing
