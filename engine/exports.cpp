// The DLL's exports: the class object of the engine and the per-user
// registration of the type library carried in the DLL's resources.
#include <windows.h>

#include <kxengine.h>
#include <oleauto.h>

#include <new>

#include "engine/objects.h"
#include "engine/test_hooks.h"

// oleaut32 exports these since Vista; the toolchain's headers lack them.
extern "C" HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* path,
                                                 OLECHAR* help_dir);
extern "C" HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID libid, WORD major, WORD minor, LCID lcid,
                                                   SYSKIND syskind);

namespace kxe {
namespace {

HMODULE g_module = nullptr;

class ClassFactory final : public ComObject<ClassFactory, IClassFactory> {
 public:
  void* Find(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) return static_cast<IClassFactory*>(this);
    return nullptr;
  }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    const wchar_t* name = InterfaceName(iid);
    const HRESULT chosen = EnterCall(L"CreateInstance", Arg(L"iid", name ? name : L"other"));
    if (!object) return E_POINTER;
    *object = nullptr;
    if (FAILED(chosen)) return chosen;
    if (outer) return CLASS_E_NOAGGREGATION;
    IKxEngine* engine = NewEngine();
    if (!engine) return E_OUTOFMEMORY;
    const HRESULT hr = engine->QueryInterface(iid, object);
    engine->Release();
    return hr;
  }

  STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

std::wstring ModulePath() {
  wchar_t path[MAX_PATH * 2];
  const DWORD n = GetModuleFileNameW(g_module, path, ARRAYSIZE(path));
  return n && n < ARRAYSIZE(path) ? std::wstring(path, n) : std::wstring();
}

// The type library in this DLL's resources; null when it cannot be read.
ITypeLib* LoadOwnTypeLib() {
  ITypeLib* library = nullptr;
  const std::wstring path = ModulePath();
  if (path.empty() || FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library))) return nullptr;
  return library;
}

}  // namespace
}  // namespace kxe

// Keeps the module handle, for the path of the type library.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    kxe::g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

// The class object of CLSID_KxEngine (an IClassFactory).
extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  using namespace kxe;
  wchar_t clsid_text[40] = L"";
  StringFromGUID2(clsid, clsid_text, ARRAYSIZE(clsid_text));
  const HRESULT chosen = EnterCall(L"DllGetClassObject", Arg(L"clsid", clsid_text));
  if (!object) return E_POINTER;
  *object = nullptr;
  if (FAILED(chosen)) return chosen;
  if (clsid != CLSID_KxEngine) return CLASS_E_CLASSNOTAVAILABLE;
  ClassFactory* factory = new (std::nothrow) ClassFactory();
  if (!factory) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(iid, object);
  factory->Release();
  return hr;
}

// KxInstallEngineTypelibFn: registers the resource type library per user,
// nothing when the host runs without an engine of its own.
extern "C" BOOLEAN WINAPI InstallEngineTypelib(BOOLEAN no_engine) {
  using namespace kxe;
  if (FAILED(EnterCall(L"InstallEngineTypelib", Arg(L"noengine", no_engine ? 1LL : 0LL)))) {
    return FALSE;
  }
  if (no_engine) return TRUE;
  ITypeLib* library = LoadOwnTypeLib();
  if (!library) return FALSE;
  std::wstring path = ModulePath();
  const HRESULT hr = RegisterTypeLibForUser(library, path.data(), nullptr);
  library->Release();
  return SUCCEEDED(hr);
}

// KxRemoveEngineTypelibFn: removes that registration.
extern "C" void WINAPI RemoveEngineTypelib() {
  using namespace kxe;
  EnterCall(L"RemoveEngineTypelib");
  ITypeLib* library = LoadOwnTypeLib();
  if (!library) return;
  TLIBATTR* attributes = nullptr;
  if (SUCCEEDED(library->GetLibAttr(&attributes))) {
    UnRegisterTypeLibForUser(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                             attributes->lcid, attributes->syskind);
    library->ReleaseTLibAttr(attributes);
  }
  library->Release();
}
