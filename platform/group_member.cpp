#include "platform/group_member.h"

#include <vector>

#include "platform/unique_handle.h"

namespace kx {
namespace {

token_openers g_openers = {&OpenThreadToken, &OpenProcessToken};

// S-1-5-32-<rid>, built in place (no allocation to free).
class builtin_group_sid {
 public:
  explicit builtin_group_sid(DWORD rid) noexcept {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    InitializeSid(get(), &nt, 2);
    *GetSidSubAuthority(get(), 0) = SECURITY_BUILTIN_DOMAIN_RID;
    *GetSidSubAuthority(get(), 1) = rid;
  }
  PSID get() noexcept { return storage_; }

 private:
  alignas(DWORD) BYTE storage_[SECURITY_MAX_SID_SIZE] = {};
};

}  // namespace

scoped_token_openers::scoped_token_openers(const token_openers& openers) noexcept
    : previous_(g_openers) {
  g_openers = openers;
}

scoped_token_openers::~scoped_token_openers() {
  g_openers = previous_;
}

bool token_groups_contain(const TOKEN_GROUPS& groups, PSID sid, bool require_enabled) noexcept {
  for (DWORD i = 0; i < groups.GroupCount; ++i) {
    const SID_AND_ATTRIBUTES& g = groups.Groups[i];
    if (!EqualSid(g.Sid, sid)) continue;
    if (!require_enabled) return true;
    if ((g.Attributes & SE_GROUP_ENABLED) && !(g.Attributes & SE_GROUP_USE_FOR_DENY_ONLY))
      return true;
  }
  return false;
}

bool token_group_member(HANDLE token, bool administrators, bool require_enabled) {
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenGroups, nullptr, 0, &size) &&
      GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return false;
  // Whole TOKEN_GROUPS elements keep the buffer aligned for its pointers.
  std::vector<TOKEN_GROUPS> buffer(size / sizeof(TOKEN_GROUPS) + 1);
  const DWORD capacity = static_cast<DWORD>(buffer.size() * sizeof(TOKEN_GROUPS));
  if (!GetTokenInformation(token, TokenGroups, buffer.data(), capacity, &size)) return false;
  builtin_group_sid group(administrators ? DOMAIN_ALIAS_RID_ADMINS : DOMAIN_ALIAS_RID_POWER_USERS);
  return token_groups_contain(buffer.front(), group.get(), require_enabled);
}

bool group_member(bool administrators, bool require_enabled) {
  HANDLE raw = nullptr;
  // As self: an impersonated user may lack the right to open its own token.
  BOOL opened = g_openers.open_thread_token(GetCurrentThread(), TOKEN_QUERY, TRUE, &raw);
  if (!opened && GetLastError() == ERROR_NO_TOKEN)
    opened = g_openers.open_process_token(GetCurrentProcess(), TOKEN_QUERY, &raw);
  if (!opened) return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED;
  const unique_handle token(raw);
  return token_group_member(token.get(), administrators, require_enabled);
}

}  // namespace kx
