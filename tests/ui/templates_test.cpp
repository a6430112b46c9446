// The launcher's own dialog templates: their sizes, their font, and that
// each still builds with every control after it has been given a longer
// font name.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstring>
#include <ostream>
#include <vector>

#include "resources/dialog_ids.h"
#include "ui/dialog_template.h"
#include "ui/error_dialog.h"
#include "ui/language_font.h"

namespace kx {
namespace {

struct TemplateRow {
  UINT id;
  short cx, cy;
  bool child;  // a page of the wizard frame
  std::vector<int> controls;
};

void PrintTo(const TemplateRow& row, std::ostream* out) {
  *out << "template " << row.id;
}

const std::vector<int> kPage = {IDOK,
                                IDC_PAGE_CANCEL,
                                IDC_BACK,
                                IDCANCEL,
                                IDC_PAGE_TITLE,
                                IDC_PAGE_SUBTITLE,
                                IDC_HEADER_BAND,
                                IDC_HEADER_LINE,
                                IDC_FOOTER_LINE,
                                IDC_PRODUCT_MARK,
                                IDC_IMAGE};

std::vector<int> page_with(std::vector<int> more) {
  more.insert(more.end(), kPage.begin(), kPage.end());
  return more;
}

const std::vector<int> kInstance = {IDC_INSTANCE_NEW, IDC_INSTANCE_EXISTING, IDC_INSTANCE_TEXT,
                                    IDC_INSTANCE_LIST};
const std::vector<int> kProgress = {IDC_PROGRESS,     IDC_PROGRESS_TEXT, IDC_TIME_LABEL,
                                    IDC_TIME_VALUE,   IDC_RATE_LABEL,    IDC_RATE_VALUE,
                                    IDC_SPARE_TEXT_1, IDC_SPARE_TEXT_2};
const std::vector<int> kPrerequisites = {
    IDC_PREREQ_LIST,   IDC_PROGRESS, IDC_PREREQ_TEXT_1, IDC_PREREQ_TEXT_2, IDC_PREREQ_TEXT_3,
    IDC_PREREQ_TEXT_4, IDOK,         IDCANCEL,          IDC_IMAGE,         IDC_PAGE_CANCEL,
    IDC_DIALOG_ICON};

std::vector<int> with_label(std::vector<int> ids) {
  ids.push_back(IDC_INSTANCE_LABEL);
  return ids;
}

short short_at(const TemplateCopy& c, size_t at) {
  short v;
  std::memcpy(&v, c.bytes.data() + at, sizeof v);
  return v;
}

INT_PTR CALLBACK quiet_proc(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}

class TemplatesTest : public ::testing::TestWithParam<TemplateRow> {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
  }
};

TEST_P(TemplatesTest, HaveTheirSizeAndTahoma8AndBuildInAnotherFont) {
  const TemplateRow& row = GetParam();
  TemplateCopy copy = LoadTemplate(GetModuleHandleW(nullptr), row.id);
  ASSERT_TRUE(IsExtendedTemplate(copy));
  EXPECT_EQ(short_at(copy, 22), row.cx);
  EXPECT_EQ(short_at(copy, 24), row.cy);
  const std::size_t length = copy.length;

  // Only a template in Tahoma 8 takes the language's font.
  ASSERT_TRUE(
      SetTemplateFont(copy, L"A Much Longer Font Face Name", 9, kTemplateFace, kTemplateFontSize));
  EXPECT_GT(copy.length, length);

  HWND parent = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), copy.get(),
                                           row.child ? parent : nullptr, quiet_proc, 0);
  ASSERT_NE(dialog, nullptr) << GetLastError();
  EXPECT_EQ((GetWindowLongW(dialog, GWL_STYLE) & WS_CHILD) != 0, row.child);
  for (int id : row.controls) EXPECT_NE(GetDlgItem(dialog, id), nullptr) << "control " << id;
  DestroyWindow(dialog);
  DestroyWindow(parent);
}

INSTANTIATE_TEST_SUITE_P(
    Shipped, TemplatesTest,
    ::testing::Values(
        TemplateRow{IDD_LANGUAGE_PAGE, 332, 218, true, page_with({IDC_PAGE_LANGUAGE_LIST})},
        TemplateRow{IDD_INSTANCE_PAGE, 332, 218, true, page_with(with_label(kInstance))},
        TemplateRow{IDD_PROGRESS_PAGE, 332, 218, true, page_with(kProgress)},
        TemplateRow{IDD_WIZARD_FRAME, 332, 218, false, {IDC_BACK}},
        TemplateRow{IDD_SPLASH, 74, 62, false, {}},
        TemplateRow{IDD_SMALL_PROGRESS,
                    252,
                    73,
                    false,
                    {IDCANCEL, IDC_PROGRESS, IDC_PROGRESS_TEXT, IDC_DIALOG_ICON}},
        TemplateRow{IDD_ERROR,
                    316,
                    90,
                    false,
                    {IDOK, IDC_ERROR_REPORT, IDC_ERROR_DETAIL, IDC_ERROR_EXPLANATION,
                     IDC_ERROR_HEADLINE, IDC_ERROR_ICON, IDC_ERROR_DETAILS}},
        TemplateRow{IDD_LANGUAGE,
                    252,
                    79,
                    false,
                    {IDC_LANGUAGE_LIST, IDOK, IDCANCEL, IDC_TEXT, IDC_DIALOG_ICON}},
        TemplateRow{IDD_INSTANCE_CHOICE_PAGE, 332, 218, true, page_with(kInstance)},
        TemplateRow{IDD_LARGE_LANGUAGE_PAGE, 460, 305, true, page_with({IDC_PAGE_LANGUAGE_LIST})},
        TemplateRow{IDD_LARGE_INSTANCE_PAGE, 460, 305, true, page_with(with_label(kInstance))},
        TemplateRow{IDD_LARGE_INSTANCE_CHOICE_PAGE, 460, 305, true, page_with(kInstance)},
        TemplateRow{IDD_LARGE_PROGRESS_PAGE, 460, 305, true, page_with(kProgress)},
        TemplateRow{IDD_LARGE_WIZARD_FRAME, 460, 305, false, {IDC_BACK}},
        TemplateRow{IDD_PREREQUISITES, 332, 218, false, kPrerequisites},
        TemplateRow{IDD_LARGE_PREREQUISITES, 460, 305, false, kPrerequisites}));

TEST(Templates, TheErrorDetailsLieBelowTheVisibleAreaWithinReach) {
  HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                           LoadTemplate(GetModuleHandleW(nullptr), IDD_ERROR).get(),
                                           nullptr, quiet_proc, 0);
  ASSERT_NE(dialog, nullptr);
  RECT client{}, details{};
  GetClientRect(dialog, &client);
  GetWindowRect(GetDlgItem(dialog, IDC_ERROR_DETAILS), &details);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&details), 2);
  EXPECT_GE(details.top, client.bottom);
  // Shown, the dialog is 118 pixels taller: room for the whole box.
  EXPECT_LE(details.bottom, client.bottom + kErrorDetailsHeight);
  DestroyWindow(dialog);
}

}  // namespace
}  // namespace kx
