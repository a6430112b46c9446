// The module of the contract engine (tests/launcher/contract_engine.h): the
// exports a launcher looks up in an engine DLL. The engine's objects live in
// the test program that loaded the module, which exports
// "ContractEngineClassObject".
#include <windows.h>

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  using ClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  const auto forward = reinterpret_cast<ClassObjectFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(nullptr), "ContractEngineClassObject")));
  if (!object) return E_POINTER;
  *object = nullptr;
  return forward ? forward(clsid, iid, object) : CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" BOOLEAN WINAPI InstallEngineTypelib(BOOLEAN) {
  return TRUE;
}

extern "C" void WINAPI RemoveEngineTypelib() {}
