// A UI environment for one test: the test program's own templates, texts
// from a table, and whatever the test sets; the previous record returns
// afterwards.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>

#include "ui/ui_environment.h"

namespace kx::testing {

// The English texts of the strings the windows ask for.
std::map<UINT, std::wstring> EnglishTexts();

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The texts the environment's lookup answers from (EnglishTexts to
  // begin with); a missing id answers "".
  std::map<UINT, std::wstring> texts;

  UiEnvironment& env() { return ui_environment(); }

 private:
  UiEnvironment saved_;
};

// Calls `action` with the first visible dialog-class window of this thread
// (a message box or a dialog) once it appears, from a timer that runs
// inside the modal loop; gives up after about five seconds.
class ModalWatcher {
 public:
  using Action = void (*)(HWND window, void* context);
  ModalWatcher(Action action, void* context);
  ~ModalWatcher();
  ModalWatcher(const ModalWatcher&) = delete;
  ModalWatcher& operator=(const ModalWatcher&) = delete;

  bool seen() const { return seen_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  Action action_;
  void* context_;
  UINT_PTR timer_ = 0;
  int ticks_ = 0;
  bool seen_ = false;
};

// The text of a window or a dialog's control.
std::wstring WindowText(HWND window);

}  // namespace kx::testing
