#include "platform/group_member.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/unique_handle.h"

namespace kx {
namespace {

// S-1-5-32-<rid> in a buffer of its own.
struct builtin_sid {
  explicit builtin_sid(DWORD rid) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    InitializeSid(sid(), &nt, 2);
    *GetSidSubAuthority(sid(), 0) = SECURITY_BUILTIN_DOMAIN_RID;
    *GetSidSubAuthority(sid(), 1) = rid;
  }
  PSID sid() { return bytes; }
  alignas(DWORD) BYTE bytes[SECURITY_MAX_SID_SIZE] = {};
};

// A TOKEN_GROUPS of the given entries (SIDs owned by the caller).
class token_groups {
 public:
  explicit token_groups(std::vector<SID_AND_ATTRIBUTES> entries) : storage_(entries.size() + 1) {
    groups()->GroupCount = static_cast<DWORD>(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) groups()->Groups[i] = entries[i];
  }
  const TOKEN_GROUPS& get() { return *groups(); }

 private:
  // Whole TOKEN_GROUPS elements: room enough, and aligned.
  TOKEN_GROUPS* groups() { return storage_.data(); }
  std::vector<TOKEN_GROUPS> storage_;
};

constexpr DWORD kEnabled = SE_GROUP_ENABLED | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_MANDATORY;
constexpr DWORD kDenyOnly = SE_GROUP_USE_FOR_DENY_ONLY | SE_GROUP_MANDATORY;

TEST(GroupMemberTest, CountsEnabledGroupsOrAnyWhenNotRequired) {
  builtin_sid admins(DOMAIN_ALIAS_RID_ADMINS), power(DOMAIN_ALIAS_RID_POWER_USERS),
      users(DOMAIN_ALIAS_RID_USERS), wanted(DOMAIN_ALIAS_RID_POWER_USERS);
  const struct {
    const char* what;
    std::vector<SID_AND_ATTRIBUTES> entries;
    bool any, enabled;
  } cases[] = {
      {"empty", {}, false, false},
      {"others only", {{users.sid(), kEnabled}, {admins.sid(), kEnabled}}, false, false},
      {"enabled", {{users.sid(), kEnabled}, {power.sid(), kEnabled}}, true, true},
      {"deny only", {{power.sid(), kDenyOnly}}, true, false},
      {"disabled", {{power.sid(), SE_GROUP_ENABLED_BY_DEFAULT}}, true, false},
      {"enabled and deny bits",
       {{power.sid(), kEnabled | SE_GROUP_USE_FOR_DENY_ONLY}},
       true,
       false},
      {"deny-only then enabled", {{power.sid(), kDenyOnly}, {power.sid(), kEnabled}}, true, true},
  };
  for (const auto& c : cases) {
    token_groups groups(c.entries);
    EXPECT_EQ(token_groups_contain(groups.get(), wanted.sid(), false), c.any) << c.what;
    EXPECT_EQ(token_groups_contain(groups.get(), wanted.sid(), true), c.enabled) << c.what;
  }
}

// Wine's user is a full administrator, and not in Power Users.
TEST(GroupMemberTest, TheWineUserIsAnEnabledAdministrator) {
  EXPECT_TRUE(group_member(true, true));
  EXPECT_TRUE(group_member(true, false));
  EXPECT_FALSE(group_member(false, false));
  EXPECT_FALSE(group_member(false, true));
}

// The process token with Administrators turned into a deny-only group, as in
// the filtered token of a user-account-control session.
unique_handle deny_only_admin_token() {
  HANDLE process = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &process)) return {};
  const unique_handle process_token(process);
  builtin_sid admins(DOMAIN_ALIAS_RID_ADMINS);
  SID_AND_ATTRIBUTES disable = {admins.sid(), 0};
  HANDLE restricted = nullptr;
  if (!CreateRestrictedToken(process_token.get(), 0, 1, &disable, 0, nullptr, 0, nullptr,
                             &restricted))
    return {};
  return unique_handle(restricted);
}

TEST(GroupMemberTest, ADenyOnlyAdministratorCountsOnlyWhenEnabledIsNotRequired) {
  const unique_handle token = deny_only_admin_token();
  ASSERT_TRUE(token);
  EXPECT_FALSE(token_group_member(token.get(), true, true));
  EXPECT_TRUE(token_group_member(token.get(), true, false));

  // The same through the thread's token.
  ASSERT_TRUE(ImpersonateLoggedOnUser(token.get()));
  const bool enabled = group_member(true, true);
  const bool present = group_member(true, false);
  ASSERT_TRUE(RevertToSelf());
  EXPECT_FALSE(enabled);
  EXPECT_TRUE(present);
  EXPECT_TRUE(group_member(true, true));
}

// Fake openers: the thread's token and the process's, each failing with a
// chosen error or handing out the real process token.
DWORD g_thread_error = 0;
DWORD g_process_error = 0;
int g_process_calls = 0;

BOOL WINAPI fake_open_thread(HANDLE, DWORD, BOOL, HANDLE*) {
  SetLastError(g_thread_error);
  return FALSE;
}

BOOL WINAPI fake_open_process(HANDLE process, DWORD access, HANDLE* token) {
  ++g_process_calls;
  if (g_process_error) {
    SetLastError(g_process_error);
    return FALSE;
  }
  return OpenProcessToken(process, access, token);
}

TEST(GroupMemberTest, OpenFailures) {
  const struct {
    const char* what;
    DWORD thread_error, process_error;
    int process_calls;
    bool answer;
  } cases[] = {
      {"no tokens on this system", ERROR_CALL_NOT_IMPLEMENTED, 0, 0, true},
      {"thread has none, process has none", ERROR_NO_TOKEN, ERROR_CALL_NOT_IMPLEMENTED, 1, true},
      {"thread has none: the process token", ERROR_NO_TOKEN, 0, 1, true},
      {"process token refused", ERROR_NO_TOKEN, ERROR_ACCESS_DENIED, 1, false},
      {"thread token refused", ERROR_ACCESS_DENIED, 0, 0, false},
  };
  for (const auto& c : cases) {
    g_thread_error = c.thread_error;
    g_process_error = c.process_error;
    g_process_calls = 0;
    scoped_token_openers scope({&fake_open_thread, &fake_open_process});
    EXPECT_EQ(group_member(true, true), c.answer) << c.what;
    EXPECT_EQ(g_process_calls, c.process_calls) << c.what;
  }
  // The real openers are back.
  EXPECT_TRUE(group_member(true, true));
  EXPECT_EQ(g_process_calls, 0);
}

}  // namespace
}  // namespace kx
