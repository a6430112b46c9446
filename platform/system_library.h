// System libraries bound on first use, always from the system folder.
//
// VERSION, LZ32, msi, PSAPI and WININET are not imported: a DLL of the same
// name planted beside setup.exe (a Downloads folder, say) would otherwise be
// loaded into an elevated process. Each is loaded on first use by its full
// path under GetSystemDirectoryW, and its functions are resolved by name.
#pragma once

#include <windows.h>

namespace kx {

// The module `name` ("version.dll") loaded from the system folder, or null
// (with the thread's last error set) when it cannot be loaded. The module
// stays loaded for the life of the process.
HMODULE system_library(const wchar_t* name) noexcept;

// The function `proc` of the system library `library`, cast to F; null when
// the library or the function is missing.
template <class F>
F system_function(const wchar_t* library, const char* proc) noexcept {
  HMODULE m = system_library(library);
  return m ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, proc))) : nullptr;
}

}  // namespace kx
