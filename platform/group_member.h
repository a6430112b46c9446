// Whether the user's token holds the Administrators or Power Users group.
#pragma once

#include <windows.h>

namespace kx {

// The functions `group_member` opens the token with; tests replace them with
// `scoped_token_openers` to play systems and failures Wine cannot show.
struct token_openers {
  BOOL(WINAPI* open_thread_token)(HANDLE thread, DWORD access, BOOL open_as_self, HANDLE* token);
  BOOL(WINAPI* open_process_token)(HANDLE process, DWORD access, HANDLE* token);
};

// Puts `openers` in force for the life of the object, then restores the ones
// in force before (the system's, normally).
class scoped_token_openers {
 public:
  explicit scoped_token_openers(const token_openers& openers) noexcept;
  ~scoped_token_openers();
  scoped_token_openers(const scoped_token_openers&) = delete;
  scoped_token_openers& operator=(const scoped_token_openers&) = delete;

 private:
  token_openers previous_;
};

// True when the token of the current thread, or the process's token when the
// thread impersonates no one, holds Administrators (S-1-5-32-544) or, with
// `administrators` false, Power Users (S-1-5-32-547). With
// `require_enabled` only an enabled group counts: a group kept for deny
// only, as in the filtered token of a user-account-control session, does
// not. A system without tokens (Windows 9x: ERROR_CALL_NOT_IMPLEMENTED)
// gives true, since everyone may do everything there. Any other failure
// gives false with the thread's last error set.
bool group_member(bool administrators, bool require_enabled);

// group_member's question put to an open token (TOKEN_QUERY access).
bool token_group_member(HANDLE token, bool administrators, bool require_enabled);

// Whether `groups` lists `sid`, counting with `require_enabled` only an entry
// that is enabled and not for deny only.
bool token_groups_contain(const TOKEN_GROUPS& groups, PSID sid, bool require_enabled) noexcept;

}  // namespace kx
