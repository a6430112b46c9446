#include "prereq/redirection_scope.h"

#include "platform/module_function.h"
#include "platform/version_info.h"

namespace kx::prereq {
namespace {

const redirection_functions* g_override = nullptr;

redirection_functions system_functions() noexcept {
  redirection_functions f;
  f.disable =
      module_function<decltype(f.disable)>(L"kernel32.dll", "Wow64DisableWow64FsRedirection");
  f.revert = module_function<decltype(f.revert)>(L"kernel32.dll", "Wow64RevertWow64FsRedirection");
  return f;
}

redirection_functions functions_in_force() noexcept {
  return g_override ? *g_override : system_functions();
}

}  // namespace

scoped_redirection_functions::scoped_redirection_functions(
    const redirection_functions& functions) noexcept
    : previous_(g_override), functions_(functions) {
  g_override = &functions_;
}

scoped_redirection_functions::~scoped_redirection_functions() {
  g_override = previous_;
}

bool redirection_scope::disable() noexcept {
  if (attempted_) return disabled_;
  attempted_ = true;
  const redirection_functions f = functions_in_force();
  if (!f.disable || !f.revert) return false;
  const DWORD saved = GetLastError();
  bind_version_library();
  PVOID old_value = nullptr;
  disabled_ = f.disable(&old_value) != FALSE;
  if (disabled_) {
    old_value_ = old_value;
    revert_ = f.revert;
  }
  SetLastError(saved);
  return disabled_;
}

redirection_scope::~redirection_scope() {
  if (!disabled_) return;
  const DWORD saved = GetLastError();
  revert_(old_value_);
  SetLastError(saved);
}

}  // namespace kx::prereq
