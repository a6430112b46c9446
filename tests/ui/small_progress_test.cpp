#include "ui/small_progress.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "resources/dialog_ids.h"
#include "tests/ui/ui_fixture.h"
#include "ui/cancel_request.h"

namespace kx {
namespace {

using testing::UiTest;

void pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

TEST(SmallProgressPlacementTest, LowerRightByHalfTheHeight) {
  const struct {
    RECT area;
    int width, height;
    POINT expected;
  } rows[] = {
      {{0, 0, 1024, 768}, 378, 119, {1024 - 59 - 378, 768 - 59 - 119}},
      {{0, 0, 800, 600}, 400, 120, {340, 420}},
      {{0, 0, 300, 100}, 400, 120, {-160, -80}},  // larger than the screen
  };
  for (const auto& r : rows) {
    const POINT at = SmallProgressPlacement(r.area, r.width, r.height);
    EXPECT_EQ(at.x, r.expected.x);
    EXPECT_EQ(at.y, r.expected.y);
  }
}

class SmallProgressTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    TakeCancelRequest();
  }
  void TearDown() override {
    TakeCancelRequest();
    UiTest::TearDown();
  }
  std::vector<HWND> seen;
};

TEST_F(SmallProgressTest, BesideTheSplashItSitsLowerRight) {
  SmallProgressWindow small([this](HWND w) { seen.push_back(w); });
  ASSERT_EQ(small.Create(true), S_OK);
  HWND w = small.window();
  ASSERT_NE(w, nullptr);
  RECT area, r;
  GetClientRect(GetDesktopWindow(), &area);
  GetWindowRect(w, &r);
  const POINT at = SmallProgressPlacement(area, r.right - r.left, r.bottom - r.top);
  EXPECT_EQ(r.left, at.x);
  EXPECT_EQ(r.top, at.y);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(w, IDCANCEL)));
  EXPECT_NE(SendDlgItemMessageW(w, IDC_DIALOG_ICON, STM_GETICON, 0, 0), 0);
  small.Destroy();
  EXPECT_EQ(seen, (std::vector<HWND>{w, nullptr}));
  EXPECT_EQ(small.window(), nullptr);
}

TEST_F(SmallProgressTest, CancelOnlyWhileEnabledAndWithoutAsking) {
  SmallProgressWindow small;
  ASSERT_EQ(small.Create(false), S_OK);
  HWND w = small.window();
  // Disabled: Escape, the button's command and the close box do nothing.
  SendMessageW(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
  SendMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
  pump();
  EXPECT_FALSE(CancelRequested());
  EXPECT_TRUE(IsWindow(w));
  EnableWindow(GetDlgItem(w, IDCANCEL), TRUE);
  // The close box posts its Cancel.
  SendMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
  pump();
  EXPECT_TRUE(TakeCancelRequest());
  SendMessageW(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  EXPECT_TRUE(TakeCancelRequest());
  EXPECT_TRUE(IsWindow(w));  // the run decides when the window goes
}

TEST_F(SmallProgressTest, SilentRunCreatesNothing) {
  env().silent = true;
  SmallProgressWindow small([this](HWND w) { seen.push_back(w); });
  EXPECT_EQ(small.Create(false), S_OK);
  EXPECT_EQ(small.window(), nullptr);
  EXPECT_TRUE(seen.empty());
}

}  // namespace
}  // namespace kx
