#include "ui/skin/skin.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <vector>

#include "resources/dialog_ids.h"
#include "resources/resource_ids.h"
#include "tests/testing/scoped_temp_dir.h"
#include "tests/ui/skin/skin_fixture.h"
#include "tests/ui/ui_fixture.h"
#include "ui/wizard.h"

namespace kx {
namespace {

constexpr COLORREF kBlue = RGB(0, 0, 200);
constexpr COLORREF kGreen = RGB(0, 160, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

constexpr const char* kSkinIni =
    "[ALL]\r\nTEXTCOLOR=255,255,0\r\nRECTS=1\r\nRECT1=0,0,200\r\nRECT1POS=0,0\r\n"
    "RECT1AREA=460,305\r\nIMAGES=1\r\nIMAGE1=red.bmp\r\nIMAGE1POS=20,250\r\n"
    "[language]\r\nRECTS=1\r\nRECT1=0,160,0\r\nRECT1POS=0,0\r\nRECT1AREA=460,305\r\n";

void pump(int milliseconds) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  } while (GetTickCount() < end);
}

HWND page_of(HWND frame) {
  return frame ? FindWindowExW(frame, nullptr, L"#32770", nullptr) : nullptr;
}

POINT units(HWND page, int x, int y) {
  RECT r{x, y, x, y};
  MapDialogRect(page, &r);
  return POINT{r.left, r.top};
}

COLORREF screen_pixel(HWND window, POINT at) {
  ClientToScreen(window, &at);
  HDC dc = GetDC(nullptr);
  const COLORREF c = GetPixel(dc, at.x, at.y);
  ReleaseDC(nullptr, dc);
  return c;
}

// How many screen pixels inside `control` have colour `c`.
int pixels_of(HWND control, COLORREF c) {
  RECT r;
  GetWindowRect(control, &r);
  HDC dc = GetDC(nullptr);
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) n += GetPixel(dc, x, y) == c;
  }
  ReleaseDC(nullptr, dc);
  return n;
}

// Runs `steps` one after the other from a timer inside the modal page's
// loop; gives up (ending the loop) after about ten seconds.
class Steps {
 public:
  explicit Steps(std::vector<std::function<bool()>> steps) : steps_(std::move(steps)) {
    active = this;
    timer_ = SetTimer(nullptr, 0, 50, Tick);
  }
  ~Steps() {
    KillTimer(nullptr, timer_);
    active = nullptr;
  }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Steps* s = active;
    if (!s) return;
    // A page that never ends after the last step ends here as well.
    if (++s->ticks_ == 200) PostQuitMessage(0);
    // A step that pumps messages must not run the next tick's step inside
    // itself.
    if (s->ticks_ >= 200 || s->running_ || s->next_ == s->steps_.size()) return;
    s->running_ = true;
    const bool done = s->steps_[s->next_]();
    s->running_ = false;
    if (done) ++s->next_;
  }
  static inline Steps* active = nullptr;
  std::vector<std::function<bool()>> steps_;
  size_t next_ = 0;
  UINT_PTR timer_ = 0;
  int ticks_ = 0;
  bool running_ = false;
};

class SkinWindowTest : public testing::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    texts[IDS_PREPARING_WIZARD] = L"%s Setup is preparing the wizard. Please wait.";
    texts[IDS_BUTTON_NEXT] = L"&Next >";
    texts[IDS_BUTTON_CANCEL] = L"Cancel";
    env().product_name = string(L"Sample");
    testing::WriteBytes(
        dir.file(L"blue.skn"),
        testing::SkinPackageFile(
            {{"skin.ini", kSkinIni}, {"red.bmp", testing::SolidBitmap(16, 16, 0xFF)}}));
    ASSERT_TRUE(LoadSkin(string(dir.file(L"blue.skn").c_str()), string(dir.path().c_str())));
    options.languages = {0x0409, 0x0407};
    options.large_layout = true;
    options.language_chosen = [this](std::uint16_t l) { chosen.push_back(l); };
    options.progress_window_changed = [this](HWND w) { progress_windows.push_back(w); };
  }
  void TearDown() override {
    UnloadSkin();
    UiTest::TearDown();
  }

  testing::ScopedTempDir dir;
  WizardOptions options;
  std::vector<std::uint16_t> chosen;
  std::vector<HWND> progress_windows;
};

TEST_F(SkinWindowTest, ProgressPageShowsTheSkinsBackgroundPictureAndTextColour) {
  CWizard wizard(options);
  ASSERT_EQ(wizard.Open(), S_OK);
  ASSERT_EQ(wizard.ShowProgressPage(), S_OK);
  HWND page = wizard.progress_window();
  ASSERT_TRUE(IsSkinned(page));
  pump(500);
  EXPECT_EQ(screen_pixel(page, units(page, 60, 150)), kBlue);
  POINT picture = units(page, 20, 250);
  picture.x += 8;
  picture.y += 8;
  EXPECT_EQ(screen_pixel(page, picture), kRed);
  HWND text = GetDlgItem(page, IDC_PROGRESS_TEXT);
  EXPECT_GT(pixels_of(text, kYellow), 20);
  EXPECT_EQ(pixels_of(text, RGB(0, 0, 0)), 0);  // nothing in the system's text colour
  EXPECT_GT(pixels_of(text, kBlue), 100);
}

TEST_F(SkinWindowTest, EnterOnTheSkinnedLanguagePageStillPressesNext) {
  for (bool focus_on_next : {false, true}) {
    chosen.clear();
    CWizard wizard(options);
    ASSERT_EQ(wizard.Open(), S_OK);
    COLORREF face = 0;
    LONG_PTR next_style = 0;
    bool placeholder_kept = false;
    HWND target = nullptr;
    Steps steps({[&] {
                   HWND page = page_of(wizard.frame());
                   if (!page || !IsWindowVisible(page)) return false;
                   pump(300);
                   face = screen_pixel(page, units(page, 60, 150));
                   HWND next = GetDlgItem(page, IDOK);
                   next_style = GetWindowLongPtrW(next, GWL_STYLE);
                   placeholder_kept =
                       GetPropW(GetDlgItem(page, IDC_IMAGE), L"PROP_STAT_PSKIN") == nullptr &&
                       GetPropW(GetDlgItem(page, IDC_PAGE_TITLE), L"PROP_STAT_PSKIN") != nullptr;
                   target = focus_on_next ? next : GetDlgItem(page, IDC_PAGE_LANGUAGE_LIST);
                   SetFocus(target);
                   return true;
                 },
                 [&] {
                   PostMessageW(target, WM_KEYDOWN, VK_RETURN, 0);
                   return true;
                 }});
    EXPECT_EQ(wizard.RunLanguagePage(), S_OK) << focus_on_next;
    EXPECT_EQ(chosen.size(), 1u) << focus_on_next;
    EXPECT_EQ(face, kGreen);
    EXPECT_EQ(next_style & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_TRUE(placeholder_kept);
  }
}

TEST_F(SkinWindowTest, APageDestroyedWhileSkinnedRunsItsOwnCleanUpAndComesBack) {
  CWizard wizard(options);
  ASSERT_EQ(wizard.Open(), S_OK);
  ASSERT_EQ(wizard.ShowProgressPage(), S_OK);
  HWND first = wizard.progress_window();
  ASSERT_TRUE(IsSkinned(first));
  wizard.CloseProgressPage();
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(wizard.progress_window(), nullptr);
  // The page's own WM_DESTROY ran: it reported its window gone.
  ASSERT_FALSE(progress_windows.empty());
  EXPECT_EQ(progress_windows.back(), nullptr);
  ASSERT_EQ(wizard.ShowProgressPage(), S_OK);
  EXPECT_TRUE(IsSkinned(wizard.progress_window()));
  wizard.Close();
  EXPECT_EQ(progress_windows.back(), nullptr);
}

TEST_F(SkinWindowTest, WithoutASkinPagesStayAsTheyAre) {
  UnloadSkin();
  CWizard wizard(options);
  ASSERT_EQ(wizard.Open(), S_OK);
  ASSERT_EQ(wizard.ShowProgressPage(), S_OK);
  EXPECT_FALSE(IsSkinned(wizard.progress_window()));
  EXPECT_EQ(FindSkin("ALL"), nullptr);
}

}  // namespace
}  // namespace kx
