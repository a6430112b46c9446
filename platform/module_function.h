// Functions that older systems may lack, looked up by name at run time.
#pragma once

#include <windows.h>

namespace kx {

// The address of `name` in the already loaded system module `module`
// ("kernel32.dll", "ntdll.dll", ...) cast to the function type F, or null
// when the module or the function is missing. Callers keep a fallback for
// null. The thread's last-error value is left unchanged.
template <class F>
F module_function(const wchar_t* module, const char* name) noexcept {
  const DWORD saved = GetLastError();
  F f = nullptr;
  if (HMODULE m = GetModuleHandleW(module))
    f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
  SetLastError(saved);
  return f;
}

}  // namespace kx
