#include "platform/reboot.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "platform/unique_handle.h"

namespace kx {
namespace {

struct Call {
  UINT flags;
  DWORD reason;
  bool privilege_enabled;
};
std::vector<Call> calls;
BOOL fake_result = TRUE;

bool ShutdownPrivilegeEnabled() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  unique_handle token(raw);
  PRIVILEGE_SET set{};
  set.PrivilegeCount = 1;
  set.Control = PRIVILEGE_SET_ALL_NECESSARY;
  if (!LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &set.Privilege[0].Luid)) return false;
  BOOL held = FALSE;
  return PrivilegeCheck(token.get(), &set, &held) && held;
}

BOOL FakeExitWindows(UINT flags, DWORD reason) {
  calls.push_back({flags, reason, ShutdownPrivilegeEnabled()});
  if (!fake_result) SetLastError(ERROR_PRIVILEGE_NOT_HELD);
  return fake_result;
}

class RebootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    fake_result = TRUE;
  }
  void TearDown() override { set_exit_windows(nullptr); }
};

TEST_F(RebootTest, NothingInstalledFailsWithoutRestarting) {
  ASSERT_EQ(set_exit_windows(nullptr), nullptr)
      << "a test program must start without the real call";
  EXPECT_TRUE(reboot());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
  EXPECT_TRUE(calls.empty());
}

TEST_F(RebootTest, EnablesTheShutdownPrivilegeAndAsksForARestart) {
  set_exit_windows(FakeExitWindows);
  EXPECT_FALSE(reboot());
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].flags, static_cast<UINT>(EWX_REBOOT));
  EXPECT_EQ(calls[0].reason, 0xFFFFu);
  EXPECT_TRUE(calls[0].privilege_enabled);
}

TEST_F(RebootTest, ARefusedRequestIsReportedWithItsError) {
  EXPECT_EQ(set_exit_windows(FakeExitWindows), nullptr);
  fake_result = FALSE;
  EXPECT_TRUE(reboot());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));
  EXPECT_EQ(calls.size(), 1u);
  EXPECT_EQ(set_exit_windows(nullptr), &FakeExitWindows);
}

}  // namespace
}  // namespace kx
