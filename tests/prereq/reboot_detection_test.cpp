#include "prereq/reboot_detection.h"
#include "tests/prereq/prereq_test_support.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/folders.h"
#include "platform/os_version.h"
#include "tests/testing/registry_sandbox.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx::prereq {
namespace {

using testing_support::attributes;
using testing_support::line_sink;

using testing::RegistrySandbox;

constexpr const wchar_t* kRunOnce = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr const wchar_t* kRunOnceEx = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx";
constexpr const wchar_t* kSessionManager = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const wchar_t* kFileRenames =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\FileRenameOperations";

std::wstring line(const wchar_t* text) {
  return std::wstring(L"PrereqEngine: ") + text;
}

// Pending operations as the system writes them: "\??\" + path, NUL, the
// destination (empty: delete), NUL; one more NUL ends the list.
std::wstring deletions(const std::vector<std::wstring>& paths) {
  std::wstring list;
  for (const std::wstring& p : paths) {
    list += L"\\??\\" + p;
    list += L'\0';
    list += L'\0';
  }
  list += L'\0';
  return list;
}

LONG set_pending(const std::wstring& list, DWORD type = REG_MULTI_SZ) {
  return RegistrySandbox::SetRaw(HKEY_LOCAL_MACHINE, kSessionManager,
                                 L"PendingFileRenameOperations", type, list.data(),
                                 DWORD(list.size() * sizeof(wchar_t)));
}

LONG add_value(const wchar_t* key, const std::wstring& name) {
  return RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, key, name, L"cmd /c rem");
}

std::wstring in_temp(const wchar_t* name) {
  return temp_folder().str() + name;
}

TEST(RebootRules, FirstGrowthInOrder) {
  const reboot_counters zero;
  const auto grown = [](int which) {
    reboot_counters c;
    if (which & 1) c.run_once = 1;
    if (which & 2) c.run_once_ex = 1;
    if (which & 4) c.pending_renames_size = 72;
    if (which & 8) c.file_rename_operations = 1;
    if (which & 16) c.wininit_renames = 1;
    return c;
  };
  const struct {
    int which;
    bool ignore;
    reboot_reason reason;
  } rows[] = {
      {0, false, reboot_reason::none},
      {1 | 4, false, reboot_reason::run_once},
      {2 | 8, false, reboot_reason::run_once_ex},
      {4 | 8, false, reboot_reason::pending_renames},
      {4 | 8, true, reboot_reason::file_rename_operations},
      {4, true, reboot_reason::none},
      {16, false, reboot_reason::wininit_renames},
      {31, true, reboot_reason::run_once},
  };
  for (const auto& r : rows)
    EXPECT_EQ(first_reboot_reason(zero, grown(r.which), r.ignore), r.reason) << r.which;
  // Shrinking never counts.
  EXPECT_EQ(first_reboot_reason(grown(31), zero, false), reboot_reason::none);
}

class RebootDetection : public ::testing::Test {
 protected:
  bool Check(bool& ignore) { return detector_.check(trace_, ignore); }
  bool Check() {
    bool ignore = false;
    return Check(ignore);
  }

  RegistrySandbox sandbox_;
  line_sink sink_;
  trace_line trace_{&sink_};
  reboot_detector detector_;
};

TEST_F(RebootDetection, NothingWithoutASnapshot) {
  ASSERT_EQ(add_value(kRunOnce, L"Already"), ERROR_SUCCESS);
  EXPECT_FALSE(detector_.taken());
  EXPECT_FALSE(Check());
  EXPECT_TRUE(sink_.lines.empty());
}

TEST_F(RebootDetection, CountsAndTheirOrder) {
  detector_.snapshot();
  EXPECT_FALSE(Check());

  ASSERT_EQ(set_pending(deletions({L"C:\\windows\\x.dll"})), ERROR_SUCCESS);
  ASSERT_EQ(add_value(kRunOnce, L"Package"), ERROR_SUCCESS);
  EXPECT_TRUE(Check());
  EXPECT_EQ(sink_.lines, std::vector<std::wstring>{line(L"Reboot required - RunOnce key added")});
  EXPECT_EQ(trace_.current(), trace_line::kStart);

  detector_.snapshot();
  ASSERT_EQ(add_value(kRunOnceEx, L"Package"), ERROR_SUCCESS);
  ASSERT_EQ(add_value(kFileRenames, L"Package"), ERROR_SUCCESS);
  EXPECT_TRUE(Check());
  EXPECT_EQ(sink_.lines.back(), line(L"Reboot required - RunOnceEx key added"));

  detector_.snapshot();
  ASSERT_EQ(add_value(kFileRenames, L"Second"), ERROR_SUCCESS);
  EXPECT_TRUE(Check());
  EXPECT_EQ(sink_.lines.back(), line(L"Reboot required - FileRenameOperations key added"));

  detector_.snapshot();
  ASSERT_EQ(set_pending(deletions({L"C:\\windows\\x.dll", L"C:\\windows\\y.dll"})), ERROR_SUCCESS);
  EXPECT_TRUE(Check());
  EXPECT_EQ(sink_.lines.back(), line(L"Reboot required - PendingFileRenameOperations value added"));
  EXPECT_EQ(sink_.lines.size(), 4u);
}

TEST_F(RebootDetection, ShrinkingNeverSignals) {
  ASSERT_EQ(add_value(kRunOnce, L"A"), ERROR_SUCCESS);
  ASSERT_EQ(add_value(kRunOnce, L"B"), ERROR_SUCCESS);
  ASSERT_EQ(set_pending(deletions({L"C:\\windows\\x.dll", L"C:\\windows\\y.dll"})), ERROR_SUCCESS);
  detector_.snapshot();
  EXPECT_EQ(detector_.before().run_once, 2);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunOnce, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  RegDeleteValueW(key, L"A");
  RegCloseKey(key);
  ASSERT_EQ(set_pending(deletions({L"C:\\windows\\x.dll"})), ERROR_SUCCESS);
  EXPECT_FALSE(Check());
  EXPECT_TRUE(sink_.lines.empty());
}

TEST_F(RebootDetection, LongValueNamesStillCount) {
  ASSERT_EQ(add_value(kRunOnce, std::wstring(300, L'n')), ERROR_SUCCESS);
  detector_.snapshot();
  EXPECT_EQ(detector_.before().run_once, 1);
  ASSERT_EQ(add_value(kRunOnce, L"Package"), ERROR_SUCCESS);
  EXPECT_TRUE(Check());
}

TEST_F(RebootDetection, TemporaryDeletionsCanBeIgnored) {
  ASSERT_EQ(set_pending(deletions({L"C:\\windows\\old.dll"})), ERROR_SUCCESS);
  detector_.snapshot();
  ASSERT_EQ(set_pending(deletions({L"C:\\windows\\old.dll", in_temp(L"a.tmp"), in_temp(L"b.tmp")})),
            ERROR_SUCCESS);
  bool ignore = true;
  EXPECT_FALSE(Check(ignore));
  EXPECT_TRUE(ignore);
  // Another case is the same folder.
  std::wstring upper = in_temp(L"c.tmp");
  for (wchar_t& c : upper) c = towupper(c);
  ASSERT_EQ(set_pending(deletions({L"C:\\windows\\old.dll", in_temp(L"a.tmp"), upper})),
            ERROR_SUCCESS);
  EXPECT_FALSE(Check(ignore));
  EXPECT_TRUE(ignore);

  // One deletion outside: a reboot, and the flag stays cleared.
  ASSERT_EQ(set_pending(deletions({L"C:\\windows\\old.dll", in_temp(L"a.tmp"), L"C:\\x.dll"})),
            ERROR_SUCCESS);
  EXPECT_TRUE(Check(ignore));
  EXPECT_FALSE(ignore);
  ASSERT_EQ(set_pending(deletions({L"C:\\windows\\old.dll", in_temp(L"a.tmp")})), ERROR_SUCCESS);
  EXPECT_TRUE(Check(ignore));
  EXPECT_FALSE(ignore);
  EXPECT_EQ(sink_.lines.back(), line(L"Reboot required - PendingFileRenameOperations value added"));
}

TEST_F(RebootDetection, MalformedPendingRenamesMeanReboot) {
  detector_.snapshot();
  const std::wstring good = deletions({in_temp(L"a.tmp")});
  const std::string raw(reinterpret_cast<const char*>(good.data()), good.size() * 2);
  const std::vector<std::string> malformed = {
      std::string(1, 'x'),
      raw + std::string(1, '\0'),                             // odd size
      raw.substr(0, raw.size() - 2),                          // no final NUL
      raw.substr(0, raw.size() - 6),                          // no NUL at all
      raw.substr(0, raw.size() - 2) + std::string("x\0", 2),  // text after the pairs
  };
  for (const std::string& data : malformed) {
    ASSERT_EQ(
        RegistrySandbox::SetRaw(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations",
                                REG_MULTI_SZ, data.data(), DWORD(data.size())),
        ERROR_SUCCESS);
    bool ignore = true;
    EXPECT_TRUE(Check(ignore)) << data.size();
    EXPECT_FALSE(ignore) << data.size();
  }
  // Another type does not count as pending renames at all.
  RegistrySandbox::SetRaw(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations",
                          REG_BINARY, nullptr, 0);
  detector_.snapshot();
  ASSERT_EQ(set_pending(deletions({L"C:\\windows\\x.dll"}), REG_SZ), ERROR_SUCCESS);
  EXPECT_EQ(measure_reboot_counters().pending_renames_size, 0);
  EXPECT_FALSE(Check());
}

// The 9x family keeps its renames in Wininit.ini.
class fake_platform final : public system_facts {
 public:
  explicit fake_platform(DWORD platform) {
    record.valid = true;
    record.info.dwMajorVersion = 4;
    record.info.dwPlatformId = platform;
  }
  os_version_record version() const override { return record; }
  SYSTEM_INFO native_system_info() const override { return SYSTEM_INFO{}; }
  bool wow64_process() const override { return false; }
  os_version_record record;
};

bool write_wininit(const std::wstring& file, const std::string& text, DWORD seconds) {
  if (!testing::WriteBytes(file, text)) return false;
  // A distinct time, so a cached copy of the file is read again.
  HANDLE h =
      CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  ULARGE_INTEGER t;
  t.QuadPart = 133000000000000000ull + seconds * 10000000ull;
  const FILETIME ft{t.LowPart, t.HighPart};
  const BOOL ok = SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  return ok;
}

TEST(RebootDetectionWininit, CountedOnlyOnThe9xFamily) {
  RegistrySandbox sandbox;
  testing::ScopedTempDir dir;
  const std::wstring file = dir.file(L"Wininit.ini");
  for (const DWORD platform : {DWORD(VER_PLATFORM_WIN32_WINDOWS), DWORD(VER_PLATFORM_WIN32_NT)}) {
    const fake_platform facts(platform);
    const scoped_system_facts in_force(facts);
    ASSERT_TRUE(write_wininit(file, "[rename]\r\n[other]\r\nx=y\r\n", 10));
    line_sink sink;
    trace_line trace(&sink);
    reboot_detector detector{string(dir.path())};
    detector.snapshot();
    EXPECT_EQ(detector.before().wininit_renames, 0);
    ASSERT_TRUE(write_wininit(
        file, "[rename]\r\nNUL=C:\\a.tmp\r\nC:\\b.new=C:\\b.old\r\n[other]\r\nx=y\r\n", 20));
    bool ignore = false;
    if (platform == VER_PLATFORM_WIN32_WINDOWS) {
      EXPECT_EQ(measure_reboot_counters(string(dir.path())).wininit_renames, 2);
      EXPECT_TRUE(detector.check(trace, ignore));
      EXPECT_EQ(sink.lines,
                std::vector<std::wstring>{line(L"Reboot required - Wininit.ini rename key added")});
    } else {
      EXPECT_EQ(measure_reboot_counters(string(dir.path())).wininit_renames, 0);
      EXPECT_FALSE(detector.check(trace, ignore));
    }
  }
}

}  // namespace
}  // namespace kx::prereq
