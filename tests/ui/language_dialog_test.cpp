#include "ui/language_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/string_win.h"
#include "resources/dialog_ids.h"
#include "tests/testing/scoped_temp_dir.h"
#include "tests/ui/ui_fixture.h"
#include "ui/language_names.h"
#include "ui/wizard.h"

namespace kx {
namespace {

using testing::ModalWatcher;
using testing::UiTest;

class LanguageDialogTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    env().language = 0x0409;
    env().language_file = [this](std::uint16_t language) {
      return string(dir.file(format(L"0x%04x.ini", static_cast<unsigned>(language)).str()));
    };
    setup_ini = string(dir.file(L"setup.ini").c_str());
  }
  testing::ScopedTempDir dir;
  string setup_ini;
};

TEST_F(LanguageDialogTest, DisplayNamesComeFromTheFirstSourceThatHasOne) {
  testing::WriteBytes(dir.file(L"0x0409.ini"), "[Languages]\r\n0x0407=German (file)\r\n");
  testing::WriteBytes(dir.file(L"setup.ini"),
                      "[0x0407]\r\n0x0407=Deutsch\r\n[0x040c]\r\n0x040c=Francais\r\n[0x0409]"
                      "\r\n0x0407=German\r\n0x040c=French\r\n0x0413=Dutch\r\n");
  const struct {
    std::uint16_t language;
    const wchar_t* expected;
  } rows[] = {
      {0x0407, L"German (file)"},  // the UI language's file first
      {0x040c, L"Francais"},       // then the language's own section
      {0x0413, L"Dutch"},          // then the English section
  };
  for (const auto& r : rows)
    EXPECT_EQ(std::wstring(LanguageDisplayName(r.language, setup_ini).c_str()), r.expected);
  // Known nowhere: the system's name, or the key when it has none, but
  // never empty.
  EXPECT_FALSE(LanguageDisplayName(0x7777, setup_ini).empty());
  EXPECT_FALSE(LanguageDisplayName(0x0411, setup_ini).empty());
}

struct Pick {
  int row = -1;  // -1: leave the selection, -2: empty the list
  int button = IDOK;
  std::wstring preselected;
};

void pick(HWND dialog, void* context) {
  auto* p = static_cast<Pick*>(context);
  HWND list = GetDlgItem(dialog, IDC_LANGUAGE_LIST);
  wchar_t text[64] = {};
  SendMessageW(list, CB_GETLBTEXT, SendMessageW(list, CB_GETCURSEL, 0, 0),
               reinterpret_cast<LPARAM>(text));
  p->preselected = text;
  if (p->row == -2) SendMessageW(list, CB_RESETCONTENT, 0, 0);
  if (p->row >= 0) SendMessageW(list, CB_SETCURSEL, p->row, 0);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(p->button, BN_CLICKED), 0);
}

TEST_F(LanguageDialogTest, ChoiceCancelAndEmptySelection) {
  testing::WriteBytes(dir.file(L"setup.ini"),
                      "[0x0409]\r\n0x0409=English\r\n0x0407=German\r\n0x040c=French\r\n");
  const std::vector<std::uint16_t> languages = {0x040c, 0x0409, 0x0407};
  const struct {
    std::uint16_t current;
    Pick pick;
    HRESULT expected;
    std::uint16_t language;
    const wchar_t* preselected;
  } rows[] = {
      {0x0407, {0, IDOK, {}}, S_OK, 0x0409, L"German"},    // English sorts first
      {0x040c, {-1, IDOK, {}}, S_OK, 0x040c, L"French"},   // preselection kept
      {0x0411, {-1, IDOK, {}}, S_OK, 0x0409, L"English"},  // not offered: first entry
      {0x0407, {-2, IDOK, {}}, S_OK, 0x0407, L"German"},   // nothing selected: kept
      {0x0407, {1, IDCANCEL, {}}, kUserCancelled, 0x0407, L"German"},
  };
  for (const auto& r : rows) {
    std::uint16_t language = r.current;
    Pick p = r.pick;
    ModalWatcher watcher(pick, &p);
    EXPECT_EQ(ChooseLanguage(languages, setup_ini, &language), r.expected);
    EXPECT_TRUE(watcher.seen());
    EXPECT_EQ(language, r.language);
    EXPECT_EQ(p.preselected, r.preselected);
  }
}

TEST_F(LanguageDialogTest, SilentRunKeepsTheLanguage) {
  env().silent = true;
  std::uint16_t language = 0x0407;
  EXPECT_EQ(ChooseLanguage({0x0409, 0x0407}, setup_ini, &language), S_OK);
  EXPECT_EQ(language, 0x0407);
}

}  // namespace
}  // namespace kx
