#include "ui/wizard.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <vector>

#include "base/string_win.h"
#include "resources/dialog_ids.h"
#include "tests/testing/scoped_temp_dir.h"
#include "tests/ui/ui_fixture.h"
#include "ui/cancel_request.h"
#include "ui/wizard_page.h"

namespace kx {
namespace {

using testing::UiTest;
using testing::WindowText;

// Steps run one after the other from a timer inside whatever message loop
// is running; each returns true when it is done. After about ten seconds
// the script gives up and ends the loop with WM_QUIT (the test then fails
// on what it sees).
class Script {
 public:
  explicit Script(std::vector<std::function<bool()>> steps) : steps_(std::move(steps)) {
    active = this;
    timer_ = SetTimer(nullptr, 0, 40, Tick);
  }
  ~Script() {
    KillTimer(nullptr, timer_);
    active = nullptr;
  }
  bool finished() const { return next_ == steps_.size(); }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Script* s = active;
    if (!s || s->running_ || s->finished()) return;
    if (++s->ticks_ > 250) {
      KillTimer(nullptr, s->timer_);
      PostQuitMessage(0);
      return;
    }
    // A step may open a modal loop that runs this timer again.
    s->running_ = true;
    const bool done = s->steps_[s->next_]();
    s->running_ = false;
    if (done) ++s->next_;
  }
  static inline Script* active = nullptr;
  std::vector<std::function<bool()>> steps_;
  size_t next_ = 0;
  UINT_PTR timer_ = 0;
  int ticks_ = 0;
  bool running_ = false;
};

struct FindBox {
  HWND frame;
  HWND found = nullptr;
};

BOOL CALLBACK find_box(HWND window, LPARAM lparam) {
  auto* f = reinterpret_cast<FindBox*>(lparam);
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (window != f->frame && std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
    f->found = window;
    return FALSE;
  }
  return TRUE;
}

// A visible dialog of this thread other than the frame: the message box.
HWND message_box(HWND frame) {
  FindBox f{frame};
  EnumThreadWindows(GetCurrentThreadId(), find_box, reinterpret_cast<LPARAM>(&f));
  return f.found;
}

HWND page_of(HWND frame) {
  return frame ? FindWindowExW(frame, nullptr, L"#32770", nullptr) : nullptr;
}

void pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

class WizardTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    TakeCancelRequest();
    env().language = 0x0407;
    options.languages = {0x0409, 0x0407, 0x040c};
    options.setup_ini = string(dir.file(L"setup.ini").c_str());
    testing::WriteBytes(dir.file(L"setup.ini"),
                        "[0x0409]\r\n0x0409=English\r\n0x0407=German\r\n0x040c=French\r\n");
    options.language_chosen = [this](std::uint16_t l) { chosen.push_back(l); };
    options.progress_window_changed = [this](HWND w) { progress_windows.push_back(w); };
  }
  void TearDown() override {
    TakeCancelRequest();
    UiTest::TearDown();
  }

  // Steps that answer the cancel question of `wizard` with `answer`.
  std::function<bool()> answer(CWizard& wizard, int answer) {
    return [&wizard, answer, this] {
      HWND box = message_box(wizard.frame());
      if (!box) return false;
      ++boxes;
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
      return true;
    };
  }
  static std::function<bool()> command(CWizard& wizard, int id) {
    return [&wizard, id] {
      HWND page = page_of(wizard.frame());
      if (!page || !IsWindowVisible(page)) return false;
      PostMessageW(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
      return true;
    };
  }

  testing::ScopedTempDir dir;
  WizardOptions options;
  std::vector<std::uint16_t> chosen;
  std::vector<HWND> progress_windows;
  int boxes = 0;
};

TEST_F(WizardTest, LanguagePageListsSortedNamesAndNextTakesTheSelection) {
  CWizard wizard(options);
  ASSERT_EQ(wizard.Open(), S_OK);
  std::vector<std::wstring> rows;
  std::wstring preselected;
  Script script({[&] {
                   HWND page = page_of(wizard.frame());
                   if (!page) return false;
                   HWND list = GetDlgItem(page, IDC_PAGE_LANGUAGE_LIST);
                   const int n = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
                   for (int i = 0; i < n; ++i) {
                     wchar_t text[64] = {};
                     SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
                     rows.push_back(text);
                   }
                   wchar_t text[64] = {};
                   SendMessageW(list, LB_GETTEXT, SendMessageW(list, LB_GETCURSEL, 0, 0),
                                reinterpret_cast<LPARAM>(text));
                   preselected = text;
                   SendMessageW(list, LB_SETCURSEL, 1, 0);  // French
                   return true;
                 },
                 command(wizard, IDOK)});
  EXPECT_EQ(wizard.RunLanguagePage(), S_OK);
  EXPECT_EQ(rows, (std::vector<std::wstring>{L"English", L"French", L"German"}));
  EXPECT_EQ(preselected, L"German");
  EXPECT_EQ(chosen, (std::vector<std::uint16_t>{0x040c}));
  EXPECT_NE(wizard.frame(), nullptr);  // reopened in the new language
}

// The language page shows Back greyed (there is nothing before it); the
// progress page, where going back makes no sense, hides it.
TEST_F(WizardTest, BackIsShownGreyedOnTheLanguagePageAndHiddenOnTheProgressPage) {
  struct Seen {
    bool visible = true;
    bool enabled = true;
  } language;
  CWizard wizard(options);
  ASSERT_EQ(wizard.Open(), S_OK);
  Script script({[&] {
                   HWND page = page_of(wizard.frame());
                   if (!page || !IsWindowVisible(page)) return false;
                   HWND back = GetDlgItem(page, IDC_BACK);
                   language = {back && IsWindowVisible(back) != FALSE,
                               back && IsWindowEnabled(back) != FALSE};
                   return true;
                 },
                 command(wizard, IDOK)});
  ASSERT_EQ(wizard.RunLanguagePage(), S_OK);
  EXPECT_TRUE(language.visible);
  EXPECT_FALSE(language.enabled);
  ASSERT_EQ(wizard.ShowProgressPage(), S_OK);
  HWND back = GetDlgItem(wizard.progress_window(), IDC_BACK);
  ASSERT_NE(back, nullptr);
  EXPECT_FALSE(IsWindowVisible(back));
  EXPECT_FALSE(IsWindowEnabled(back));
}

TEST_F(WizardTest, NextWithoutSelectionKeepsTheLanguage) {
  CWizard wizard(options);
  ASSERT_EQ(wizard.Open(), S_OK);
  Script script({[&] {
                   HWND page = page_of(wizard.frame());
                   if (!page) return false;
                   SendDlgItemMessageW(page, IDC_PAGE_LANGUAGE_LIST, LB_RESETCONTENT, 0, 0);
                   return true;
                 },
                 command(wizard, IDOK)});
  EXPECT_EQ(wizard.RunLanguagePage(), S_OK);
  EXPECT_EQ(chosen, (std::vector<std::uint16_t>{0x0407}));
}

TEST_F(WizardTest, CancelAsksAndOnlyYesEndsThePage) {
  const struct {
    int first_answer;
    HRESULT expected;
    int boxes;
  } rows[] = {
      {IDYES, kUserCancelled, 1}, {IDNO, S_OK, 1},  // No keeps the page; Next then ends it
  };
  for (const auto& r : rows) {
    boxes = 0;
    chosen.clear();
    CWizard wizard(options);
    ASSERT_EQ(wizard.Open(), S_OK);
    Script script(
        {command(wizard, IDC_PAGE_CANCEL), answer(wizard, r.first_answer), command(wizard, IDOK)});
    EXPECT_EQ(wizard.RunLanguagePage(), r.expected) << r.first_answer;
    EXPECT_EQ(boxes, r.boxes);
    EXPECT_EQ(chosen.size(), r.expected == S_OK ? 1u : 0u);
    EXPECT_FALSE(CancelRequested());  // only the progress page sets the flag
  }
}

TEST_F(WizardTest, ModalPageEndsOnQuitAndPostsItAgain) {
  CWizard wizard(options);
  ASSERT_EQ(wizard.Open(), S_OK);
  PostQuitMessage(7);
  EXPECT_EQ(wizard.RunLanguagePage(), kUserCancelled);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_TRUE(chosen.empty());
}

TEST_F(WizardTest, DisabledCancelIgnoresEveryWayOfCancelling) {
  CWizard wizard(options);
  ASSERT_EQ(wizard.Open(), S_OK);
  ASSERT_EQ(wizard.ShowProgressPage(), S_OK);
  HWND page = wizard.progress_window();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(progress_windows, (std::vector<HWND>{page}));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_PAGE_CANCEL)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_BACK)));
  // A box that came up anyway is answered Yes, so the test sees it.
  Script script({answer(wizard, IDYES)});
  SendMessageW(wizard.frame(), WM_SYSCOMMAND, SC_CLOSE, 0);
  SendMessageW(wizard.frame(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
  SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);  // Escape
  SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_PAGE_CANCEL, 0), 0);
  PostMessageW(GetFocus() ? GetFocus() : page, WM_KEYDOWN, VK_ESCAPE, 0);
  for (int i = 0; i < 10; ++i) {
    pump();
    Sleep(20);
  }
  EXPECT_EQ(boxes, 0);
  EXPECT_FALSE(CancelRequested());
  EXPECT_TRUE(IsWindow(wizard.frame()));
  EXPECT_TRUE(IsWindow(page));
}

TEST_F(WizardTest, EnabledCancelOnTheProgressPageSetsTheFlag) {
  const struct {
    int answer;
    bool cancelled;
  } rows[] = {{IDNO, false}, {IDYES, true}};
  for (const auto& r : rows) {
    boxes = 0;
    CWizard wizard(options);
    ASSERT_EQ(wizard.Open(), S_OK);
    ASSERT_EQ(wizard.ShowProgressPage(), S_OK);
    EnableWindow(GetDlgItem(wizard.progress_window(), IDC_PAGE_CANCEL), TRUE);
    Script script({answer(wizard, r.answer)});
    // The frame's close box (which posts its Cancel) reaches the page's
    // question.
    SendMessageW(wizard.frame(), WM_SYSCOMMAND, SC_CLOSE, 0);
    for (int i = 0; i < 100 && boxes == 0; ++i) {
      pump();
      Sleep(20);
    }
    pump();
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(TakeCancelRequest(), r.cancelled) << r.answer;
  }
}

TEST_F(WizardTest, ProgressWindowIsReportedGoneWithTheFrame) {
  {
    CWizard wizard(options);
    ASSERT_EQ(wizard.Open(), S_OK);
    ASSERT_EQ(wizard.ShowProgressPage(), S_OK);
    HWND page = wizard.progress_window();
    EXPECT_EQ(WindowText(wizard.frame()), L"Kestrix Wizard");
    wizard.Close();
    EXPECT_FALSE(IsWindow(page));
    EXPECT_EQ(progress_windows, (std::vector<HWND>{page, nullptr}));
    EXPECT_EQ(wizard.progress_window(), nullptr);
  }
  EXPECT_EQ(progress_windows.size(), 2u);
}

TEST_F(WizardTest, FrameGreysMaximiseAndSize) {
  CWizard wizard(options);
  ASSERT_EQ(wizard.Open(), S_OK);
  HMENU menu = GetSystemMenu(wizard.frame(), FALSE);
  ASSERT_NE(menu, nullptr);
  SendMessageW(wizard.frame(), WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
  EXPECT_TRUE(GetMenuState(menu, SC_SIZE, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_TRUE(GetMenuState(menu, SC_MAXIMIZE, MF_BYCOMMAND) & MF_GRAYED);
}

TEST_F(WizardTest, SilentRunOpensNothing) {
  env().silent = true;
  CWizard wizard(options);
  EXPECT_EQ(wizard.Open(), S_OK);
  EXPECT_EQ(wizard.frame(), nullptr);
}

}  // namespace
}  // namespace kx
