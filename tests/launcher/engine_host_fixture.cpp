#include "tests/launcher/engine_host_fixture.h"

namespace kx::testing {

BOOLEAN TypelibExports::answer = TRUE;
int TypelibExports::installs = 0;
int TypelibExports::removes = 0;

}  // namespace kx::testing

// The test program stands in for the engine DLL: it exports the type-library
// functions but no class object.
extern "C" __declspec(dllexport) BOOLEAN WINAPI InstallEngineTypelib(BOOLEAN) {
  ++kx::testing::TypelibExports::installs;
  return kx::testing::TypelibExports::answer;
}

extern "C" __declspec(dllexport) void WINAPI RemoveEngineTypelib() {
  ++kx::testing::TypelibExports::removes;
}

namespace kx::testing {

HRESULT QuietServices::CopyDisk1FileToTemp(CSetup&, const string& name) {
  calls.push_back(L"Copy " + name.str());
  return S_OK;
}

string QuietServices::GetString(const SetupSettings&, UINT id) {
  return id == 2008 ? string(disk_space_text) : string();
}

std::unique_ptr<CSetup> MakeSilentSetup(QuietServices& services) {
  auto setup = std::make_unique<CSetup>(services);
  SetupSettings& s = setup->Settings();
  s.Silent = true;
  s.SourceFolder = L"C:\\media\\";
  s.TempFolder = L"C:\\Temp\\run\\";
  s.LauncherPath = L"C:\\Temp\\run\\setup.exe";
  s.ChosenLanguage = 0x0409;
  setup->EngineModule = GetModuleHandleW(nullptr);
  return setup;
}

HRESULT FakeEngineObject::QueryInterface(REFIID iid, void** object) {
  *object = nullptr;
  if (iid == IID_IUnknown || iid == IID_IKxComponent) {
    *object = static_cast<IKxComponent*>(this);
  } else if (iid == IID_IKxRunner) {
    *object = static_cast<IKxRunner*>(this);
  } else if (iid == IID_IKxCompletion) {
    calls.push_back(L"QueryCompletion");
    *object = static_cast<IKxCompletion*>(this);
  } else if (iid == IID_IKxCabinet) {
    *object = static_cast<IKxCabinet*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

HRESULT FakeEngineObject::Call(const std::wstring& call) {
  calls.push_back(call);
  return call == fail ? E_FAIL : S_OK;
}

HRESULT FakeEngineObject::SetMode(LONG mode) {
  return Call(L"SetMode " + std::to_wstring(mode));
}

HRESULT FakeEngineObject::GetSize(ULONGLONG* bytes) {
  *bytes = 0;
  return Call(L"GetSize");
}

HRESULT FakeEngineObject::SetHost(IKxTransferEvents* host) {
  return Call(host ? L"SetHost set" : L"SetHost null");
}

HRESULT FakeEngineObject::Abort(IKxTransferEvents* host) {
  return Call(host ? L"Abort set" : L"Abort null");
}

HRESULT FakeEngineObject::Finish(IKxTransferEvents* host) {
  return Call(host ? L"Finish set" : L"Finish null");
}

HRESULT FakeEngineObject::GetRunner(IKxRunner** runner) {
  *runner = nullptr;
  const HRESULT hr = Call(L"GetRunner");
  if (SUCCEEDED(hr)) {
    *runner = static_cast<IKxRunner*>(this);
    AddRef();
  }
  return hr;
}

HRESULT FakeEngineObject::GetResultCode(LONG* code) {
  *code = result_code;
  return Call(L"GetResultCode");
}

HRESULT FakeEngineObject::GetMedia(IKxMedia** media) {
  *media = nullptr;
  Call(L"GetMedia");
  return E_NOTIMPL;
}

}  // namespace kx::testing
