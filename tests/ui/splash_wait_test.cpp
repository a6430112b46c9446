#include "ui/splash_wait.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "tests/ui/ui_fixture.h"
#include "ui/cancel_request.h"

namespace kx {
namespace {

using testing::UiTest;

class SplashWaitTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    TakeCancelRequest();
  }
  void TearDown() override {
    KillTimer(nullptr, timer);
    TakeCancelRequest();
    UiTest::TearDown();
  }
  UINT_PTR timer = 0;
};

int ticks = 0;

void CALLBACK count_tick(HWND, UINT, UINT_PTR, DWORD) {
  ++ticks;
}

void CALLBACK cancel_tick(HWND, UINT, UINT_PTR, DWORD) {
  RequestCancel();
}

TEST_F(SplashWaitTest, MessagesKeepFlowingUntilTheTimeIsUp) {
  ticks = 0;
  timer = SetTimer(nullptr, 0, 50, count_tick);
  EXPECT_FALSE(WaitOutSplash(1, GetTickCount()));
  EXPECT_GT(ticks, 2);  // the timer ran during the wait
}

TEST_F(SplashWaitTest, ACancelEndsTheWaitAndStaysForItsReader) {
  timer = SetTimer(nullptr, 0, 100, cancel_tick);
  EXPECT_TRUE(WaitOutSplash(600, GetTickCount()));
  EXPECT_TRUE(TakeCancelRequest());
}

TEST_F(SplashWaitTest, NoWaitWhenSilentPastOrNegative) {
  ticks = 0;
  timer = SetTimer(nullptr, 0, 10, count_tick);
  EXPECT_FALSE(WaitOutSplash(-5, GetTickCount()));
  EXPECT_FALSE(WaitOutSplash(2, GetTickCount() - 5000));
  env().silent = true;
  EXPECT_FALSE(WaitOutSplash(600, GetTickCount()));
  RequestCancel();
  EXPECT_TRUE(WaitOutSplash(600, GetTickCount()));
  EXPECT_EQ(ticks, 0);  // none of these waited
}

}  // namespace
}  // namespace kx
