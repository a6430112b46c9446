#include "ui/instance_page.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "resources/dialog_ids.h"
#include "tests/testing/registry_sandbox.h"
#include "tests/ui/ui_fixture.h"

namespace kx {
namespace {

using testing::ModalWatcher;
using testing::RegistrySandbox;
using testing::UiTest;
using testing::WindowText;

const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

struct Row {
  std::wstring name, folder;
  LPARAM data;
  bool selected;
  bool operator==(const Row&) const = default;
};

std::vector<Row> Rows(HWND list) {
  std::vector<Row> rows;
  const int n = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    wchar_t text[2][128] = {};
    for (int sub = 0; sub < 2; ++sub) {
      LVITEMW item = {};
      item.iSubItem = sub;
      item.pszText = text[sub];
      item.cchTextMax = 128;
      SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
    }
    LVITEMW item = {};
    item.mask = LVIF_PARAM | LVIF_STATE;
    item.iItem = i;
    item.stateMask = LVIS_SELECTED;
    SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    rows.push_back({text[0], text[1], item.lParam, (item.state & LVIS_SELECTED) != 0});
  }
  return rows;
}

void Select(HWND list, int row) {
  LVITEMW state = {};
  state.stateMask = LVIS_SELECTED;
  state.state = row < 0 ? 0 : LVIS_SELECTED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
}

class InstancePageTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    texts[1903] = L"Existing Installed Instances Detected";
    texts[1908] = L"Select the instance below:";
    texts[1906] = L"&Maintain the instance selected below:";
    texts[1901] = L"&Install a new instance.";
    // A per-user product run by an administrator: the names live under
    // the current user only; the machine's same-named entries must not show.
    for (const wchar_t* name : {L"{X}", L"{Y}", L"{Z}"})
      Plant(HKEY_LOCAL_MACHINE, name, L"Machine", L"C:\\Machine");
    ASSERT_EQ(RegistrySandbox::CreateKey(HKEY_CURRENT_USER, kUninstall + L"{X}"), ERROR_SUCCESS);
    Plant(HKEY_CURRENT_USER, L"{Y}", L"Product Y", L"C:\\Y");
    Plant(HKEY_CURRENT_USER, L"{Z}", L"Product Z", L"C:\\Z");
    options.instances = {L"{X}", L"{Y}", L"{Z}"};
    options.instance_root = HKEY_CURRENT_USER;
    options.instance_chosen = [this](const string& guid) { chosen.push_back(guid.str()); };
  }
  static void Plant(HKEY root, const std::wstring& entry, const std::wstring& name,
                    const std::wstring& folder) {
    ASSERT_EQ(RegistrySandbox::SetString(root, kUninstall + entry, L"DisplayName", name),
              ERROR_SUCCESS);
    ASSERT_EQ(RegistrySandbox::SetString(root, kUninstall + entry, L"InstallLocation", folder),
              ERROR_SUCCESS);
  }

  // Runs the page; `act` gets its window once it is up and ends it (Next by
  // default, after whatever it did).
  HRESULT Run(std::function<void(HWND page)> act) {
    CWizard wizard(options);
    EXPECT_EQ(wizard.Open(), S_OK);
    struct Context {
      std::function<void(HWND)> act;
    } context{std::move(act)};
    ModalWatcher watcher(
        [](HWND frame, void* c) {
          HWND page = FindWindowExW(frame, nullptr, L"#32770", nullptr);
          static_cast<Context*>(c)->act(page);
          PostMessageW(page, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        },
        &context);
    const HRESULT hr = wizard.RunInstancePage();
    EXPECT_TRUE(watcher.seen());
    reopened = wizard.frame() != nullptr;
    return hr;
  }

  RegistrySandbox sandbox;
  WizardOptions options;
  std::vector<std::wstring> chosen;
  bool reopened = false;
};

TEST_F(InstancePageTest, ListsNamedInstancesOfTheDetectionRootAndNextTakesTheSelection) {
  const struct {
    int select;  // row to select before Next; -1 clears the selection, -2 leaves it
    std::wstring expected;
  } cases[] = {{-2, L"{Y}"}, {1, L"{Z}"}, {-1, L"{X}"}};
  for (const auto& c : cases) {
    chosen.clear();
    std::vector<Row> rows;
    bool list_enabled = false, existing = false;
    std::wstring label;
    EXPECT_EQ(Run([&](HWND page) {
                HWND list = GetDlgItem(page, IDC_INSTANCE_LIST);
                rows = Rows(list);
                list_enabled = IsWindowEnabled(list);
                existing = IsDlgButtonChecked(page, IDC_INSTANCE_EXISTING) == BST_CHECKED;
                label = WindowText(GetDlgItem(page, IDC_INSTANCE_LABEL));
                if (c.select == -1) Select(list, -1);
                if (c.select >= 0) Select(list, c.select);
              }),
              S_OK);
    // The nameless {X} is skipped; the others keep their indices.
    EXPECT_EQ(rows, (std::vector<Row>{{L"Product Y", L"C:\\Y", 1, true},
                                      {L"Product Z", L"C:\\Z", 2, false}}));
    EXPECT_TRUE(list_enabled);
    EXPECT_TRUE(existing);
    EXPECT_EQ(label, L"Select the instance below:");
    EXPECT_EQ(chosen, std::vector<std::wstring>{c.expected}) << c.select;
    EXPECT_TRUE(reopened);
  }
}

TEST_F(InstancePageTest, NewInstanceChoiceTogglesTheList) {
  options.new_instance_offered = true;
  const struct {
    std::vector<int> clicks;
    bool list_enabled;
    std::wstring expected;
  } cases[] = {
      {{}, false, L""},  // Next at once: a new instance despite the selection
      {{IDC_INSTANCE_EXISTING}, true, L"{Y}"},
      {{IDC_INSTANCE_EXISTING, IDC_INSTANCE_NEW}, false, L""},
  };
  for (const auto& c : cases) {
    chosen.clear();
    bool enabled_at_start = true, enabled_at_end = false;
    std::wstring new_text;
    EXPECT_EQ(Run([&](HWND page) {
                HWND list = GetDlgItem(page, IDC_INSTANCE_LIST);
                enabled_at_start = IsWindowEnabled(list);
                new_text = WindowText(GetDlgItem(page, IDC_INSTANCE_NEW));
                for (int id : c.clicks) SendDlgItemMessageW(page, id, BM_CLICK, 0, 0);
                enabled_at_end = IsWindowEnabled(list);
              }),
              S_OK);
    EXPECT_FALSE(enabled_at_start);
    EXPECT_EQ(enabled_at_end, c.list_enabled) << c.clicks.size();
    EXPECT_EQ(new_text, L"&Install a new instance.");
    EXPECT_EQ(chosen, std::vector<std::wstring>{c.expected}) << c.clicks.size();
  }
}

TEST_F(InstancePageTest, OddEntriesShowNothingOrTheirText) {
  // All nameless (one name holds a backslash and would reach a nested
  // key): an empty list, and Next maintains the first instance.
  Plant(HKEY_CURRENT_USER, L"{X}\\Nested", L"Nested", L"C:\\Nested");
  options.instances = {L"{X}", L"{X}\\Nested"};
  size_t count = 99;
  EXPECT_EQ(Run([&](HWND page) { count = Rows(GetDlgItem(page, IDC_INSTANCE_LIST)).size(); }),
            S_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(chosen, std::vector<std::wstring>{L"{X}"});

  // A 64 KB name with control characters.
  std::wstring huge(65536, L'n');
  huge[3] = L'\t';
  huge[5] = L'\x01';
  Plant(HKEY_CURRENT_USER, L"{X}", huge, L"C:\\X");
  options.instances = {L"{X}"};
  std::vector<Row> rows;
  EXPECT_EQ(Run([&](HWND page) { rows = Rows(GetDlgItem(page, IDC_INSTANCE_LIST)); }), S_OK);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].name, huge.substr(0, 127));
}

HWND g_frame = nullptr;
bool g_answered = false;

// Answers Yes to the first visible dialog of this thread that is not the
// wizard's frame: the cancel question.
void CALLBACK AnswerYes(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM) -> BOOL {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (window == g_frame || std::wstring(name) != L"#32770" || !IsWindowVisible(window))
          return TRUE;
        g_answered = true;
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
        return FALSE;
      },
      0);
}

TEST_F(InstancePageTest, CancelAnsweredYesEndsThePage) {
  CWizard wizard(options);
  ASSERT_EQ(wizard.Open(), S_OK);
  g_frame = wizard.frame();
  g_answered = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerYes);
  ModalWatcher watcher(
      [](HWND frame, void*) {
        HWND page = FindWindowExW(frame, nullptr, L"#32770", nullptr);
        PostMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_PAGE_CANCEL, BN_CLICKED), 0);
      },
      nullptr);
  EXPECT_EQ(wizard.RunInstancePage(), kUserCancelled);
  KillTimer(nullptr, timer);
  EXPECT_TRUE(g_answered);
  EXPECT_TRUE(chosen.empty());
}

TEST_F(InstancePageTest, EachLayoutHasItsTemplate) {
  const struct {
    bool large, offered;
  } cases[] = {{false, false}, {false, true}, {true, false}, {true, true}};
  LONG width[2] = {};
  for (const auto& c : cases) {
    options.large_layout = c.large;
    options.new_instance_offered = c.offered;
    bool visible = !c.offered;
    EXPECT_EQ(Run([&](HWND page) {
                visible = IsWindowVisible(GetDlgItem(page, IDC_INSTANCE_NEW));
                RECT r = {};
                GetClientRect(page, &r);
                width[c.large] = r.right;
              }),
              S_OK);
    EXPECT_EQ(visible, c.offered) << c.large;
  }
  EXPECT_GT(width[1], width[0]);
}

}  // namespace
}  // namespace kx
