// An engine written from the COM contract alone, as another vendor could:
// every object the contract names is a COM object of its own (the
// properties service apart from the engine, the completion apart from the
// runner), and each answers only the interfaces the contract gives it. The
// launcher loads it from a small module that hands DllGetClassObject to the
// test program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kx::testing {

// What the engine was asked, in order ("Run", "SetIniPath", ...), and how
// it answers.
struct ContractEngineScript {
  std::vector<std::wstring> calls;
  // The one call that fails with E_FAIL.
  std::wstring fail;
  // The disk space the installation needs, and the folder it goes to.
  ULONGLONG size = 0;
  std::wstring support_dir;
};

// Loads the engine's module with `script` as the engine's state; the
// caller owns the module (CSetup frees it with the engine). Only one script
// is live at a time. Null when the module does not load.
HMODULE LoadContractEngine(ContractEngineScript& script);

// The references the launcher still holds on any of the engine's objects;
// 0 once it let go of them all.
long ContractEngineReferences();

}  // namespace kx::testing
