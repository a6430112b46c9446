#include "tests/ui/ui_fixture.h"

namespace kx::testing {

namespace {

ModalWatcher* active_watcher = nullptr;

BOOL CALLBACK find_dialog(HWND window, LPARAM found) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

std::map<UINT, std::wstring> EnglishTexts() {
  return {
      {1813, L"&OK"},
      {1815, L"Kestrix Wizard"},
      {1887, L"%s - Kestrix Wizard"},
      {2002, L"Error Code:"},
      {2003, L"Error Information:"},
      {2004, L"An error (%s) has occurred while running the setup."},
      {2005,
       L"Please make sure you have finished any previous setup and closed other applications. "
       L"If the error still occurs, please contact your vendor: %s."},
      {2006, L"&Detail"},
      {2007, L"&Report"},
  };
}

void UiTest::SetUp() {
  saved_ = ui_environment();
  texts = EnglishTexts();
  UiEnvironment fresh;
  fresh.resources = GetModuleHandleW(nullptr);
  fresh.language = 0x0409;
  fresh.strings = [this](UINT id) {
    const auto it = texts.find(id);
    return it == texts.end() ? string() : string(it->second.c_str());
  };
  ui_environment() = fresh;
}

void UiTest::TearDown() {
  ui_environment() = saved_;
}

ModalWatcher::ModalWatcher(Action action, void* context) : action_(action), context_(context) {
  active_watcher = this;
  timer_ = SetTimer(nullptr, 0, 50, Tick);
}

ModalWatcher::~ModalWatcher() {
  if (timer_) KillTimer(nullptr, timer_);
  active_watcher = nullptr;
}

void CALLBACK ModalWatcher::Tick(HWND, UINT, UINT_PTR, DWORD) {
  ModalWatcher* w = active_watcher;
  if (!w || w->seen_) return;
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), find_dialog, reinterpret_cast<LPARAM>(&found));
  if (found) {
    w->seen_ = true;
    w->action_(found, w->context_);
  } else if (++w->ticks_ > 100) {
    // Nothing came up: end whatever modal loop is running (seen() stays
    // false, so the test fails).
    KillTimer(nullptr, w->timer_);
    w->timer_ = 0;
    PostQuitMessage(0);
  }
}

std::wstring WindowText(HWND window) {
  const int n = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), n + 1)));
  return text;
}

}  // namespace kx::testing
