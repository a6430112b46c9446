// A launcher object for the engine session's tests: services that answer
// without touching the system, a module that stands in for the engine DLL
// (the test program itself, which exports the type-library functions), and
// small COM objects that play the engine's side.
#pragma once

#include <windows.h>

#include <kxengine.h>

#include <memory>
#include <string>
#include <vector>

#include "launcher/launcher_services.h"
#include "launcher/setup.h"

namespace kx::testing {

// What the test program's own "InstallEngineTypelib" answers, and how often
// its two exports were called.
struct TypelibExports {
  static BOOLEAN answer;
  static int installs;
  static int removes;
};

// Services of a run that never leaves the test: strings by id from a map,
// copies that succeed, no windows.
class QuietServices : public LauncherServices {
 public:
  std::vector<std::wstring> calls;
  std::wstring disk_space_text = L"Free %ld KB on %s.";

  bool PrivilegedUser() override { return true; }
  string DefaultTempFolder(const SetupSettings&) override { return L"C:\\Temp\\run\\"; }
  bool HasPayload(const string&) override { return false; }
  HRESULT ExtractPayload(CSetup&, string&) override { return S_OK; }
  HRESULT CopyDisk1FileToTemp(CSetup&, const string& name) override;
  int RelaunchFromTemp(CSetup&, const string&) override { return 0; }
  bool ReadSettings(SetupSettings&, const string&, const string&) override { return true; }
  std::vector<LANGID> MediumLanguages(const SetupSettings&) override { return {}; }
  string GetString(const SetupSettings&, UINT id) override;
  void ReportFailure(CSetup&, HRESULT, bool) override {}
  int ShowMessage(CSetup&, const string&, UINT) override { return IDOK; }
  HMODULE LoadEngine(const string&) override { return nullptr; }
  void ReadWebCredentials(CSetup&, const string&) override {}
  HRESULT RunEngine(CSetup&) override { return S_OK; }
  HRESULT ResumeEngine(CSetup&) override { return S_OK; }
  long EngineResultCode(CSetup&) override { return 0; }
  void NotifyEngineAbort(CSetup&) override {}
  bool TakeInstance(const string&) override { return true; }
  void ReleaseInstance() override {}
  void Sleep(DWORD) override {}
};

// A silent run's launcher object whose engine module is the test program.
std::unique_ptr<CSetup> MakeSilentSetup(QuietServices& services);

// The engine's components and runner as a test sees them: every call is
// recorded; `fail` names one call that fails with E_FAIL.
class FakeEngineObject : public IKxComponent,
                         public IKxRunner,
                         public IKxCompletion,
                         public IKxCabinet {
 public:
  std::vector<std::wstring> calls;
  std::wstring fail;
  LONG result_code = 0;
  LONG refs = 1;

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  // IKxComponent
  STDMETHODIMP SetMode(LONG mode) override;
  STDMETHODIMP Prepare() override { return Call(L"Prepare"); }
  STDMETHODIMP GetSize(ULONGLONG* bytes) override;
  STDMETHODIMP SetHost(IKxTransferEvents* host) override;
  STDMETHODIMP Abort(IKxTransferEvents* host) override;
  STDMETHODIMP Finish(IKxTransferEvents* host) override;
  // IKxRunner and IKxCompletion (one Complete serves both here)
  STDMETHODIMP Run() override { return Call(L"Run"); }
  STDMETHODIMP Complete() override { return Call(L"Complete"); }
  // IKxCabinet
  STDMETHODIMP SetLanguage(LONG, LONG) override { return Call(L"SetLanguage"); }
  STDMETHODIMP Start(LONG) override { return Call(L"Start"); }
  STDMETHODIMP GetRunner(IKxRunner** runner) override;
  STDMETHODIMP GetResultCode(LONG* code) override;
  STDMETHODIMP GetMedia(IKxMedia** media) override;

  // A new reference for the launcher to own, as each interface.
  IKxCabinet* share_cabinet() {
    AddRef();
    return this;
  }
  IKxComponent* share_component() {
    AddRef();
    return this;
  }
  IKxRunner* share_runner() {
    AddRef();
    return this;
  }

 private:
  HRESULT Call(const std::wstring& call);
};

}  // namespace kx::testing
