#include "ui/progress_display.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include "resources/dialog_ids.h"
#include "resources/resource_ids.h"
#include "tests/ui/ui_fixture.h"
#include "ui/wizard.h"

namespace kx {
namespace {

using testing::UiTest;
using testing::WindowText;

class ProgressDisplayTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    texts[IDS_UNIT_MINUTES] = L"min";
    texts[IDS_UNIT_SECONDS] = L"sec";
    texts[IDS_UNIT_MB] = L"MB";
    texts[IDS_UNIT_KB] = L"KB";
    texts[IDS_PER_SECOND] = L"/s";
    options.web = true;
  }
  int bar(HWND page) {
    return static_cast<int>(SendDlgItemMessageW(page, IDC_PROGRESS, PBM_GETPOS, 0, 0));
  }
  WizardOptions options;
};

TEST_F(ProgressDisplayTest, BarMovesForwardOnlyAndWebTextsFollowTheBytes) {
  CWizard wizard(options);
  ASSERT_EQ(wizard.Open(), S_OK);
  ASSERT_EQ(wizard.ShowProgressPage(), S_OK);
  HWND page = wizard.progress_window();
  ProgressDisplay d;
  d.Attach(page, true);
  d.StepReached(50);
  EXPECT_EQ(bar(page), 50);
  // 1000 B/s after 10 s, 62 min 5 s to go.
  d.BytesTransferred(10000, 10000 + 3725000, 10000, 0);
  EXPECT_EQ(bar(page), 50);
  EXPECT_EQ(WindowText(GetDlgItem(page, IDC_TIME_VALUE)), L"62 min 5 sec");
  EXPECT_EQ(WindowText(GetDlgItem(page, IDC_RATE_VALUE)), L"0.9 KB/s");
  d.BytesTransferred(2000000, 4000000, 20000, 0);
  EXPECT_EQ(bar(page), 72);
  d.StepReached(60);  // a later step below the bar leaves it
  EXPECT_EQ(bar(page), 72);
  d.BytesTransferred(9000000, 4000000, 30000, 0);  // past the total: 95, not 100
  EXPECT_EQ(bar(page), 95);
  d.RateChanged(1048577);
  EXPECT_EQ(WindowText(GetDlgItem(page, IDC_RATE_VALUE)), L"1.0 MB/s");
  d.StepReached(100);
  EXPECT_EQ(bar(page), 100);
}

// Only an installation from the web tells time and rate; a local one moves
// the bar alone and leaves the value texts empty.
TEST_F(ProgressDisplayTest, LocalRunMovesTheBarWithoutTimeOrRateTexts) {
  options.web = false;
  CWizard wizard(options);
  ASSERT_EQ(wizard.Open(), S_OK);
  ASSERT_EQ(wizard.ShowProgressPage(), S_OK);
  HWND page = wizard.progress_window();
  ProgressDisplay d;
  d.Attach(page, false);
  d.StepReached(50);
  d.BytesTransferred(2000000, 4000000, 20000, 0);
  d.RateChanged(1048577);
  EXPECT_EQ(bar(page), 72);
  for (int id : {IDC_TIME_LABEL, IDC_TIME_VALUE, IDC_RATE_LABEL, IDC_RATE_VALUE})
    EXPECT_EQ(WindowText(GetDlgItem(page, id)), L"") << id;
}

TEST_F(ProgressDisplayTest, WithoutAWindowNothingIsDrawn) {
  ProgressDisplay d;
  d.Attach(nullptr, true);
  d.StepReached(30);
  d.BytesTransferred(5, 10, 1000, 0);
  d.RateChanged(1000);
  EXPECT_EQ(d.step_position(), 30);
  EXPECT_EQ(d.window(), nullptr);
}

}  // namespace
}  // namespace kx
