#include "ui/error_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "resources/dialog_ids.h"
#include "tests/ui/ui_fixture.h"
#include "ui/dialogs.h"

namespace kx {
namespace {

using testing::ModalWatcher;
using testing::UiTest;
using testing::WindowText;

class ErrorDialogTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    env().product_name = L"Foo";
    SetErrorDetailsShown(false);
    content.result_code = -5001;
    content.extended_code = static_cast<HRESULT>(0x8000FFFF);
    content.information = L">launcher\\setup.cpp (175)\r\nPAPP:Foo";
    content.vendor_name = L"Acme";
    content.report_url = L"https://support.example/report?ErrorCode=-5001";
    previous = SetReportOpener([this](const string& url) { opened.push_back(url.str()); });
  }
  void TearDown() override {
    if (dialog) DestroyWindow(dialog);
    SetReportOpener(previous);
    SetErrorDetailsShown(false);
    UiTest::TearDown();
  }
  HWND create() {
    dialog = CreateErrorDialog(content, nullptr);
    return dialog;
  }
  void click(int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
  }
  int height() {
    RECT r{};
    GetWindowRect(dialog, &r);
    return r.bottom - r.top;
  }
  std::wstring item(int id) { return WindowText(GetDlgItem(dialog, id)); }

  ErrorDialogContent content;
  HWND dialog = nullptr;
  std::vector<std::wstring> opened;
  ReportOpener previous;
};

TEST_F(ErrorDialogTest, ShowsTheFailureInTheRunsTexts) {
  ASSERT_NE(create(), nullptr);
  EXPECT_EQ(WindowText(dialog), L"Foo - Kestrix Wizard");
  EXPECT_EQ(item(IDC_ERROR_HEADLINE),
            L"An error (-5001 : 0x8000ffff) has occurred while running the setup.");
  EXPECT_EQ(item(IDC_ERROR_EXPLANATION),
            L"Please make sure you have finished any previous setup and closed other "
            L"applications. If the error still occurs, please contact your vendor: Acme.");
  EXPECT_EQ(item(IDC_ERROR_DETAILS), L"Error Code:\t-5001 : 0x8000ffff\r\nError Information:\r\n" +
                                         content.information.str());
  EXPECT_EQ(item(IDOK), L"&OK");
  EXPECT_EQ(item(IDC_ERROR_REPORT), L"&Report");
  EXPECT_EQ(item(IDC_ERROR_DETAIL), L"&Detail >>");
  EXPECT_NE(SendDlgItemMessageW(dialog, IDC_ERROR_ICON, STM_GETICON, 0, 0), 0);
}

TEST_F(ErrorDialogTest, TheStepsOwnMessageReplacesTheGeneralExplanation) {
  content.step_message = L"The cabinet header could not be opened.";
  ASSERT_NE(create(), nullptr);
  EXPECT_EQ(item(IDC_ERROR_EXPLANATION), L"The cabinet header could not be opened.");
}

TEST_F(ErrorDialogTest, TranslatedTextsAreFormattedSafely) {
  texts[2004] = L"%n%s%s (%d)";
  texts[2005] = L"%x %s";
  ASSERT_NE(create(), nullptr);
  EXPECT_EQ(item(IDC_ERROR_HEADLINE), L"%n-5001 : 0x8000ffff%s (%d)");
  EXPECT_EQ(item(IDC_ERROR_EXPLANATION), L"%x Acme");
}

TEST_F(ErrorDialogTest, DetailTogglesTheHeightAndTheLabel) {
  ASSERT_NE(create(), nullptr);
  RECT first{};
  GetWindowRect(dialog, &first);
  const int start = height();

  click(IDC_ERROR_DETAIL);
  EXPECT_EQ(height(), start + kErrorDetailsHeight);
  EXPECT_EQ(item(IDC_ERROR_DETAIL), L"&Detail <<");
  EXPECT_TRUE(ErrorDetailsShown());

  click(IDC_ERROR_DETAIL);
  RECT last{};
  GetWindowRect(dialog, &last);
  EXPECT_EQ(height(), start);
  EXPECT_EQ(item(IDC_ERROR_DETAIL), L"&Detail >>");
  EXPECT_FALSE(ErrorDetailsShown());
  EXPECT_EQ(last.left, first.left);
  EXPECT_EQ(last.top, first.top);
  EXPECT_EQ(last.right, first.right);
}

TEST_F(ErrorDialogTest, DetailGrowsTheDialogInProportionToTheDpi) {
  const struct { int dpi, growth; } cases[] = {{96, 118}, {120, 148}, {144, 177}, {192, 236}};
  for (const auto& c : cases) {
    env().dpi = c.dpi;
    SetErrorDetailsShown(false);
    ASSERT_NE(create(), nullptr);
    const int start = height();
    click(IDC_ERROR_DETAIL);
    EXPECT_EQ(height(), start + c.growth) << c.dpi;
    click(IDC_ERROR_DETAIL);
    EXPECT_EQ(height(), start) << c.dpi;
    // A dialog that opens with its details shows them at the same size.
    click(IDC_ERROR_DETAIL);
    DestroyWindow(dialog);
    ASSERT_NE(create(), nullptr);
    EXPECT_EQ(height(), start + c.growth) << c.dpi;
    DestroyWindow(dialog);
    dialog = nullptr;
  }
}

TEST_F(ErrorDialogTest, TheNextDialogOpensAsTheLastWasLeft) {
  ASSERT_NE(create(), nullptr);
  const int start = height();
  click(IDC_ERROR_DETAIL);
  DestroyWindow(dialog);
  ASSERT_NE(create(), nullptr);
  EXPECT_EQ(height(), start + kErrorDetailsHeight);
  EXPECT_EQ(item(IDC_ERROR_DETAIL), L"&Detail <<");
}

TEST_F(ErrorDialogTest, ReportOpensTheAddressAndTheDialogStays) {
  ASSERT_NE(create(), nullptr);
  click(IDC_ERROR_REPORT);
  EXPECT_EQ(opened, std::vector<std::wstring>{content.report_url.str()});
  EXPECT_TRUE(IsWindow(dialog));
  click(IDOK);
  EXPECT_FALSE(IsWindow(dialog));
  dialog = nullptr;
}

void press_ok(HWND dialog, void*) {
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

TEST_F(ErrorDialogTest, TheModalDialogEndsWithOkAndSilentRunsSkipIt) {
  {
    ModalWatcher watcher(press_ok, nullptr);
    EXPECT_EQ(ShowErrorDialog(content, nullptr), IDOK);
    EXPECT_TRUE(watcher.seen());
  }
  env().silent = true;
  EXPECT_EQ(ShowErrorDialog(content, nullptr), 1);
  EXPECT_EQ(CreateErrorDialog(content, nullptr), nullptr);
  EXPECT_TRUE(opened.empty());
}

}  // namespace
}  // namespace kx
