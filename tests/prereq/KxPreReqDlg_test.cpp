#include "prereq/KxPreReqDlg.h"

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <string>
#include <vector>

#include "base/web_source.h"
#include "platform/os_version.h"
#include "platform/reboot.h"
#include "platform/web_source_factory.h"
#include "prereq/prereq_resume_state.h"
#include "tests/prereq/dialog_driver.h"
#include "tests/testing/http_server_log.h"
#include "tests/testing/registry_sandbox.h"
#include "tests/testing/scoped_temp_dir.h"
#include "tests/ui/ui_fixture.h"

namespace kx {
namespace {

using testing::BoxAnswerer;
using testing::ListColumn;
using testing::RowRecorder;
using Rows = std::vector<std::wstring>;

int g_restarts = 0;
BOOL record_restart(UINT, DWORD) {
  ++g_restarts;
  return TRUE;
}

class KxPreReqDlgTest : public testing::UiTest {
 public:
  HWND dialog_window() const { return window(); }

 protected:
  void SetUp() override {
    UiTest::SetUp();
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    previous_ = set_exit_windows(record_restart);
    g_restarts = 0;
    env().product_name = L"Demo";
    CreateDirectoryW(dir_.file(L"KXSetupPrerequisites").c_str(), nullptr);
    cb_.settings.SourceFolder = string(dir_.path().c_str());
    cb_.settings.TempFolder = string(dir_.file(L"t\\").c_str());
    cb_.settings.ProductName = L"Demo";
    register_web_source_factory();
    policy_ = set_web_policy(web_policy{true, nullptr, nullptr});
  }
  void TearDown() override {
    set_web_policy(policy_);
    set_exit_windows(previous_);
    UiTest::TearDown();
  }

  // Definition `name` at setup.ini index `index`; its package lies on the
  // medium unless `url` names where it comes from.
  void definition(int index, const std::wstring& name, const std::string& body,
                  const std::wstring& url = L"") {
    const std::wstring id = name.substr(0, name.find(L'.'));
    const std::string nid(id.begin(), id.end());
    std::string file = "<file LocalFile=\"p.exe\"/>";
    if (url.empty()) {
      const std::wstring folder = dir_.file(L"KXSetupPrerequisites\\" + id);
      CreateDirectoryW(folder.c_str(), nullptr);
      testing::WriteBytes(folder + L"\\p.exe", "MZ");
    } else {
      file = "<file LocalFile=\"p.exe\" URL=\"" + std::string(url.begin(), url.end()) + "\"/>";
    }
    const std::wstring path = dir_.file(L"KXSetupPrerequisites\\" + name);
    testing::WriteBytes(path, "<SetupPrereq><properties Id=\"" + nid + "\"/><files>" + file +
                                  "</files>" + body + "</SetupPrereq>");
    prereq_selection_entry& e = selection_[index];
    e.hidden = body.find("Hidden=\"1\"") != std::string::npos;
    e.path = string(path.c_str());
    e.name = string(name.c_str());
  }

  int show(prereq_show_request request = {}) {
    testing::RegistrySandbox sandbox;
    prereq::resume_state state(string(L"Demo"), string());
    state.open();
    KxPreReqDlg dialog(cb_, runner_, state, selection_);
    dialog_ = &dialog;
    const int result = dialog.Show(request);
    dialog_ = nullptr;
    return result;
  }
  static prereq_show_request at_once() {
    prereq_show_request r;
    r.prompt_mode = 0;
    return r;
  }
  HWND window() const { return dialog_ ? dialog_->Window() : nullptr; }

  testing::ScopedTempDir dir_;
  testing::DialogCallback cb_;
  testing::ScriptedRunner runner_;
  std::map<int, prereq_selection_entry> selection_;
  KxPreReqDlg* dialog_ = nullptr;
  exit_windows_function previous_ = nullptr;
  web_policy policy_;
};

std::wstring item_text(HWND dialog, int id) {
  return testing::WindowText(GetDlgItem(dialog, id));
}

TEST_F(KxPreReqDlgTest, RowsFollowEveryPrerequisiteWithHiddenOnesMixedIn) {
  const std::wstring url =
      L"http://127.0.0.1:" + testing::HttpServerPort(L"port") + L"/data/300000";
  definition(0, L"a.prq", "");
  definition(1, L"h.prq", "<behavior Hidden=\"1\"/>");
  // Still needed after it ran, and its author lets setup go on on request.
  definition(2, L"b.prq",
             "<conditions><condition Type=\"1\" Comparison=\"2\" "
             "Path=\"HKEY_LOCAL_MACHINE\\SOFTWARE\\KxDialogAbsent\"/></conditions>"
             "<behavior Failure=\"1\"/>");
  definition(3, L"o.prq", "<behavior Optional=\"1\"/>");
  definition(4, L"d.prq", "", url);
  struct seen {
    Rows names, statuses;
    std::wstring intro, status, title;
    bool marquee = false, intro_visible = false, escape_button_hidden = false;
  } first;
  runner_.steps.push_back([&](CSetupPreRequisite&) {
    HWND d = window();
    first.names = ListColumn(d, 1);
    first.statuses = ListColumn(d, 0);
    first.intro = item_text(d, 1006);
    first.status = item_text(d, 1003);
    first.title = testing::WindowText(d);
    first.marquee = (GetWindowLongW(GetDlgItem(d, 301), GWL_STYLE) & PBS_MARQUEE) != 0;
    first.intro_visible = IsWindowVisible(GetDlgItem(d, 1006)) != FALSE;
    first.escape_button_hidden = !IsWindowVisible(GetDlgItem(d, IDCANCEL));
    return package_run{package_outcome::ran, false};
  });
  RowRecorder recorder;
  BoxAnswerer boxes({IDYES, IDNO});
  EXPECT_EQ(show(at_once()), 0);

  EXPECT_EQ(first.names, (Rows{L"a", L"b", L"o", L"d"}));
  EXPECT_EQ(first.statuses, (Rows{L"Installing", L"Pending", L"Pending", L"Pending"}));
  EXPECT_EQ(first.intro,
            L"Demo requires the following items to be installed on your computer. Click Install "
            L"to begin installing these requirements.");
  EXPECT_EQ(first.status, L"Installing a");
  EXPECT_EQ(first.title, L"Demo - Kestrix Wizard");
  EXPECT_TRUE(first.marquee);
  EXPECT_TRUE(first.intro_visible);
  EXPECT_TRUE(first.escape_button_hidden);

  ASSERT_EQ(recorder.rows.size(), 4u);  // no row for the hidden one
  EXPECT_EQ(recorder.rows[0], (Rows{L"Pending", L"Installing", L"Installing", L"Succeeded"}));
  EXPECT_EQ(recorder.rows[1], (Rows{L"Pending", L"Installing", L"Installing", L"Failed"}));
  EXPECT_EQ(recorder.rows[2], (Rows{L"Pending", L"Installing", L"Skipped"}));
  EXPECT_EQ(recorder.rows[3],
            (Rows{L"Pending", L"Installing", L"Downloading", L"Installing", L"Succeeded"}));
  EXPECT_EQ(recorder.shields, 0);
  EXPECT_EQ(runner_.ran.size(), 4u);  // a, h, b, d: the optional one was declined
  ASSERT_EQ(boxes.texts.size(), 2u);
  EXPECT_EQ(boxes.texts[0],
            L"The installation of b appears to have failed. Do you want to continue the "
            L"installation?");
  EXPECT_EQ(boxes.texts[1], L"Demo optionally uses o. Would you like to install it now?");
}

TEST_F(KxPreReqDlgTest, CancelWhileAPackageRunsAsksWhetherToStopAfterIt) {
  for (const int answer : {IDNO, IDYES}) {
    selection_.clear();
    runner_.ran.clear();
    definition(0, L"a.prq", "");
    definition(1, L"c.prq", "");
    bool cancel_enabled = true;
    runner_.steps.push_back([&](CSetupPreRequisite&) {
      SendMessageW(window(), WM_COMMAND, MAKEWPARAM(9, BN_CLICKED), 0);
      cancel_enabled = IsWindowEnabled(GetDlgItem(window(), 9)) != FALSE;
      return package_run{package_outcome::ran, false};
    });
    BoxAnswerer boxes({answer});
    const int result = show(at_once());
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0],
              L"Would you like to cancel the setup after a has finished installing?");
    EXPECT_EQ(result, answer == IDYES ? 9 : 0);
    EXPECT_EQ(runner_.ran.size(), answer == IDYES ? 1u : 2u);
    EXPECT_EQ(cancel_enabled, answer == IDNO);
  }
}

// Presses Cancel once the first row shows the download.
KxPreReqDlgTest* g_test = nullptr;
bool g_pressed = false;
void CALLBACK cancel_when_downloading(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND d = g_test ? g_test->dialog_window() : nullptr;
  if (!d || g_pressed) return;
  const Rows status = ListColumn(d, 0);
  if (status.empty() || status[0] != L"Downloading") return;
  g_pressed = true;
  KillTimer(nullptr, timer);
  SendMessageW(d, WM_COMMAND, MAKEWPARAM(9, BN_CLICKED), 0);
}

TEST_F(KxPreReqDlgTest, CancelDuringADownloadStopsAtOnceWithoutAQuestion) {
  definition(0, L"d.prq", "",
             L"http://127.0.0.1:" + testing::HttpServerPort(L"port") +
                 L"/stall/100000?at=1000&t=dialogcancel");
  g_test = this;
  g_pressed = false;
  SetTimer(nullptr, 0, 50, cancel_when_downloading);
  RowRecorder recorder;
  BoxAnswerer boxes({});
  const DWORD start = GetTickCount();
  EXPECT_EQ(show(at_once()), 9);
  g_test = nullptr;
  EXPECT_TRUE(g_pressed);
  EXPECT_LT(GetTickCount() - start, 30000u);  // the stalled server was not waited out
  EXPECT_TRUE(boxes.texts.empty());           // no 1654, no 1655
  EXPECT_TRUE(runner_.ran.empty());
  EXPECT_EQ(recorder.rows[0], (Rows{L"Pending", L"Installing", L"Downloading"}));
}

TEST_F(KxPreReqDlgTest, RebootRequestsAreAnsweredInTheDialog) {
  struct row {
    const char* behavior;
    bool required;
    int answer;  // 0: no question expected
    int result, restarts, at_end;
  } rows[] = {
      {"1", true, 0, 7, 0, 0},      {"2", true, IDYES, 7, 1, 0}, {"2", true, IDNO, 7, 0, 0},
      {"2", false, 0, 0, 0, 0},     {"4", true, 0, 0, 0, 0},     {"8", false, IDYES, 7, 1, 0},
      {"8", true, IDNO, 7, 0, 0},   {"16", true, 0, 7, 1, 0},    {"16", false, IDYES, 7, 1, 0},
      {"16", false, IDNO, 7, 0, 0}, {"32", true, 0, 0, 0, 1},    {"64", true, 0, 0, 0, 0},
  };
  for (const row& r : rows) {
    selection_.clear();
    definition(0, L"r.prq", std::string("<behavior Reboot=\"") + r.behavior + "\"/>");
    runner_.steps.push_back([&](CSetupPreRequisite&) {
      return package_run{package_outcome::ran, r.required};
    });
    g_restarts = 0;
    cb_.reboot_at_end = 0;
    BoxAnswerer boxes({r.answer});
    EXPECT_EQ(show(at_once()), r.result) << r.behavior << r.required;
    EXPECT_EQ(g_restarts, r.restarts) << r.behavior << r.required;
    EXPECT_EQ(cb_.reboot_at_end, r.at_end) << r.behavior;
    ASSERT_EQ(boxes.texts.size(), r.answer ? 1u : 0u) << r.behavior << r.required;
    if (r.answer) {
      EXPECT_EQ(boxes.texts[0],
                L"The installation of Demo requires a reboot.  Click Yes to restart now or No if "
                L"you plan to restart later.");
    }
  }
}

class fake_facts final : public system_facts {
 public:
  DWORD major = 5, minor = 0;
  os_version_record version() const override {
    os_version_record r;
    r.valid = true;
    r.info.dwPlatformId = VER_PLATFORM_WIN32_NT;
    r.info.dwMajorVersion = major;
    r.info.dwMinorVersion = minor;
    return r;
  }
  SYSTEM_INFO native_system_info() const override { return SYSTEM_INFO{}; }
  bool wow64_process() const override { return false; }
};

TEST_F(KxPreReqDlgTest, ProgressWithoutAnEndFitsTheSystem) {
  // Windows 2000 has no marquee: a thread moves the bar, which fills and
  // starts over; XP draws a marquee. Either way the bar is back at rest
  // once the package ended.
  for (const DWORD minor : {0ul, 1ul}) {
    selection_.clear();
    definition(0, L"a.prq", "");
    fake_facts facts;
    facts.minor = minor;
    scoped_system_facts scope(facts);
    std::vector<int> positions;
    bool marquee = true;
    runner_.steps.push_back([&](CSetupPreRequisite&) {
      HWND bar = GetDlgItem(window(), 301);
      marquee = (GetWindowLongW(bar, GWL_STYLE) & PBS_MARQUEE) != 0;
      for (int i = 0; i < 12; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(60);
        positions.push_back(static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0)));
      }
      return package_run{package_outcome::ran, false};
    });
    int after = -1;
    bool marquee_after = true;
    runner_.steps.push_back([&](CSetupPreRequisite&) {
      HWND bar = GetDlgItem(window(), 301);
      after = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
      marquee_after = (GetWindowLongW(bar, GWL_STYLE) & PBS_MARQUEE) != 0;
      return package_run{package_outcome::ran, false};
    });
    definition(1, L"b.prq", "<behavior MsiProgress=\"1\"/>");  // draws its own progress
    EXPECT_EQ(show(at_once()), 0);
    EXPECT_EQ(marquee, minor == 1) << minor;
    EXPECT_FALSE(marquee_after) << minor;
    EXPECT_EQ(after, 0) << minor;
    if (minor == 0) {
      ASSERT_FALSE(positions.empty());
      EXPECT_GT(positions.back(), positions.front());
      EXPECT_LE(positions.back(), 100);
    }
  }
}

}  // namespace
}  // namespace kx
