#include "ui/dialogs.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>

#include "base/string_win.h"
#include "resources/dialog_ids.h"
#include "tests/testing/scoped_temp_dir.h"
#include "tests/ui/ui_fixture.h"
#include "ui/language_font.h"

namespace kx {
namespace {

using testing::ModalWatcher;
using testing::UiTest;
using testing::WindowText;

// What a dialog saw of itself when it was created.
struct Seen {
  int created = 0;
  std::wstring face;
  bool mirrored = false;
  int controls = 0;
};

std::wstring font_face(HWND dialog) {
  LOGFONTW font{};
  const auto handle = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  if (!handle || !GetObjectW(handle, sizeof font, &font)) return L"";
  return font.lfFaceName;
}

// Notes what it sees and ends the dialog with 7 straight away.
INT_PTR CALLBACK noting_proc(HWND dialog, UINT message, WPARAM, LPARAM lparam) {
  if (message != WM_INITDIALOG) return FALSE;
  Seen& seen = *reinterpret_cast<Seen*>(lparam);
  ++seen.created;
  seen.face = font_face(dialog);
  seen.mirrored = GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL;
  for (int id : {IDOK, IDC_ERROR_REPORT, IDC_ERROR_DETAIL, IDC_ERROR_DETAILS, IDC_ERROR_EXPLANATION,
                 IDC_ERROR_HEADLINE, IDC_ERROR_ICON})
    if (GetDlgItem(dialog, id)) ++seen.controls;
  EndDialog(dialog, 7);
  return TRUE;
}

class DialogsTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    env().language_file = [this](std::uint16_t language) {
      return string(dir.file(format(L"0x%04x.ini", static_cast<unsigned>(language)).str()));
    };
    testing::WriteBytes(dir.file(L"0x0411.ini"),
                        "[Properties]\r\nFontName=MS UI Gothic\r\nFontSize=9\r\n");
    testing::WriteBytes(dir.file(L"0x040d.ini"), "[Properties]\r\nFontName=Arial\r\n");
    testing::WriteBytes(dir.file(L"0x0409.ini"), "[Languages]\r\n0x0409=English\r\n");
    testing::WriteBytes(
        dir.file(L"0x0412.ini"),
        "[Properties]\r\nFontName=A Font Name Much Longer Than Thirty-Two Characters\r\n");
    env().rtl_languages = {0x040d, 0x0401};
  }
  testing::ScopedTempDir dir;
};

TEST_F(DialogsTest, LanguageFilesNameTheFontAndMissingOnesGiveTahoma8) {
  struct Row {
    std::uint16_t language;
    const wchar_t* face;
    WORD size;
  } rows[] = {{0x0411, L"MS UI Gothic", 9},
              {0x040d, L"Arial", 8},
              {0x0409, L"Tahoma", 8},
              {0x0407, L"Tahoma", 8}};
  for (const Row& row : rows) {
    EXPECT_EQ(LanguageFontName(row.language).str(), row.face) << row.language;
    EXPECT_EQ(LanguageFontSize(row.language), row.size) << row.language;
  }
  EXPECT_TRUE(LanguageIsRtl(0x040d));
  EXPECT_TRUE(LanguageIsRtl(0x0401));
  EXPECT_FALSE(LanguageIsRtl(0x0409));
}

TEST_F(DialogsTest, WithoutLanguageFilesNothingIsReadFromTheCurrentFolder) {
  env().language_file = nullptr;
  wchar_t before[MAX_PATH];
  ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, before), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(dir.path().c_str()));
  const string face = LanguageFontName(0x0411);
  const WORD size = LanguageFontSize(0x0411);
  SetCurrentDirectoryW(before);
  EXPECT_EQ(face.str(), L"Tahoma");
  EXPECT_EQ(size, 8);
}

TEST_F(DialogsTest, ModalDialogsTakeTheLanguageFontAndReadingOrder) {
  struct Row {
    std::uint16_t language;
    unsigned flags;
    const wchar_t* face;
    bool mirrored;
  } rows[] = {{0x0411, 0, L"MS UI Gothic", false},
              {0x0411, ui_keep_template_font, L"Tahoma", false},
              {0x040d, 0, L"Arial", true},
              {0x0409, 0, L"Tahoma", false},
              // The template keeps 32 characters; a font name holds 31.
              {0x0412, 0, L"A Font Name Much Longer Than Th", false}};
  for (const Row& row : rows) {
    env().language = row.language;
    Seen seen;
    EXPECT_EQ(
        ShowModal(IDD_ERROR, nullptr, noting_proc, reinterpret_cast<LPARAM>(&seen), 3, row.flags),
        7);
    EXPECT_EQ(seen.created, 1);
    EXPECT_EQ(seen.face, row.face) << row.language;
    EXPECT_EQ(seen.mirrored, row.mirrored) << row.language;
    EXPECT_EQ(seen.controls, 7) << row.language;
  }
}

TEST_F(DialogsTest, SilentRunsShowNothingUnlessAsked) {
  env().silent = true;
  Seen seen;
  EXPECT_EQ(ShowModal(IDD_ERROR, nullptr, noting_proc, reinterpret_cast<LPARAM>(&seen), 3), 3);
  EXPECT_EQ(CreateModeless(IDD_ERROR, nullptr, noting_proc, reinterpret_cast<LPARAM>(&seen)),
            nullptr);
  EXPECT_EQ(ShowMessage(nullptr, L"hidden", MB_OK, IDCANCEL), IDCANCEL);
  EXPECT_EQ(seen.created, 0);

  EXPECT_EQ(ShowModal(IDD_ERROR, nullptr, noting_proc, reinterpret_cast<LPARAM>(&seen), 3,
                      ui_show_when_silent),
            7);
  EXPECT_EQ(seen.created, 1);
}

struct BoxSeen {
  std::wstring caption;
  std::wstring text;
};

void close_box(HWND box, void* context) {
  auto& seen = *static_cast<BoxSeen*>(context);
  seen.caption = WindowText(box);
  seen.text = WindowText(GetDlgItem(box, 0xFFFF));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST_F(DialogsTest, MessagesCarryTheWizardTitleAndShowWhenSilentOnRequest) {
  env().silent = true;
  env().product_name = L"Foo";
  BoxSeen seen;
  ModalWatcher watcher(close_box, &seen);
  EXPECT_EQ(ShowMessage(nullptr, L"Something to say", MB_OKCANCEL, IDCANCEL, ui_show_when_silent),
            IDOK);
  EXPECT_TRUE(watcher.seen());
  EXPECT_EQ(seen.caption, L"Foo - Kestrix Wizard");
  EXPECT_EQ(seen.text, L"Something to say");
}

TEST_F(DialogsTest, MessagesOfRightToLeftLanguagesReadFromTheRight) {
  struct Row {
    std::uint16_t language;
    UINT style;
    UINT shown;
  } rows[] = {{0x040d, MB_OK | MB_ICONERROR, MB_OK | MB_ICONERROR | MB_RTLREADING | MB_RIGHT},
              {0x0401, MB_YESNO, MB_YESNO | MB_RTLREADING | MB_RIGHT},
              {0x0409, MB_OK | MB_ICONERROR, MB_OK | MB_ICONERROR},
              {0x0411, MB_RIGHT, MB_RIGHT}};
  for (const Row& row : rows) {
    env().language = row.language;
    EXPECT_EQ(MessageBoxStyle(row.style), row.shown) << row.language;
  }
}

TEST_F(DialogsTest, ModelessDialogsAreCreatedInTheLanguageFont) {
  env().language = 0x040d;
  Seen seen;
  HWND dialog = CreateModeless(IDD_LANGUAGE, nullptr, noting_proc, reinterpret_cast<LPARAM>(&seen));
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(seen.face, L"Arial");
  EXPECT_TRUE(seen.mirrored);
  EXPECT_NE(GetDlgItem(dialog, IDC_LANGUAGE_LIST), nullptr);
  DestroyWindow(dialog);
}

TEST_F(DialogsTest, AMissingTemplateThrows) {
  EXPECT_ANY_THROW(ShowModal(4711, nullptr, noting_proc, 0, 3));
}

struct TitleRow {
  const wchar_t* product;
  bool force_generic;
  const wchar_t* generic;  // string 1815
  const wchar_t* pattern;  // string 1887
  const wchar_t* title;
};

void PrintTo(const TitleRow& row, std::ostream* out) {
  *out << narrow(row.title, CP_UTF8);
}

class WizardTitleTest : public UiTest, public ::testing::WithParamInterface<TitleRow> {};

TEST_P(WizardTitleTest, NamesTheProductWord) {
  const TitleRow& row = GetParam();
  env().product_name = row.product;
  texts[1815] = row.generic;
  texts[1887] = row.pattern;
  EXPECT_EQ(WizardTitle(row.force_generic).str(), row.title);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WizardTitleTest,
    ::testing::Values(
        TitleRow{L"Foo", false, L"Kestrix Wizard", L"%s - Kestrix Wizard", L"Foo - Kestrix Wizard"},
        TitleRow{L"Foo", false, L"Kestrix-Assistent", L"%s - Assistent",
                 L"Foo - Assistent Kestrix Wizard"},
        TitleRow{L"Foo", true, L"Kestrix-Assistent", L"%s - Assistent", L"Kestrix-Assistent"},
        TitleRow{L"", false, L"Assistent", L"%s - Kestrix Wizard", L"Assistent Kestrix Wizard"},
        TitleRow{L"KESTRIX Tools", false, L"", L"%s - Assistent", L"KESTRIX Tools - Assistent"},
        // Texts from files cannot make the formatter read what is not there.
        TitleRow{L"Foo %s%n", false, L"", L"%d %s - Kestrix", L"%d Foo %s%n - Kestrix"},
        TitleRow{L"Foo", false, L"", L"", L"Kestrix Wizard"}));

}  // namespace
}  // namespace kx
