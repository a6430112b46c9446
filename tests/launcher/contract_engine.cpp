#include "tests/launcher/contract_engine.h"

#include <kxengine.h>

#include <memory>

namespace kx::testing {

namespace {

std::wstring WindowsPath(std::wstring built) {
  for (wchar_t& c : built) {
    if (c == L'/') c = L'\\';
  }
  return built.rfind(L"\\", 0) == 0 ? L"Z:" + built : built;
}

std::wstring Text(BSTR b) {
  return b ? std::wstring(b, SysStringLen(b)) : std::wstring();
}

// Reference counting without deletion (the objects live in Objects) and a
// QueryInterface that answers exactly the interfaces listed.
template <class... Interfaces>
class Object : public Interfaces... {
 public:
  explicit Object(ContractEngineScript*& script) : script_(script) {}
  virtual ~Object() = default;

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    *object = nullptr;
    using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;
    if (iid == IID_IUnknown) *object = static_cast<First*>(this);
    ((iid == __uuidof(Interfaces) ? void(*object = static_cast<Interfaces*>(this)) : void()), ...);
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }

  long refs = 0;

 protected:
  HRESULT Call(const std::wstring& call) {
    script_->calls.push_back(call);
    return call == script_->fail ? E_FAIL : S_OK;
  }
  ContractEngineScript& script() { return *script_; }

  template <class T>
  static T* Share(T* p) {
    p->AddRef();
    return p;
  }

 private:
  ContractEngineScript*& script_;
};

class Component final : public Object<IKxComponent> {
 public:
  using Object::Object;
  STDMETHODIMP SetMode(LONG) override { return Call(L"SetMode"); }
  STDMETHODIMP Prepare() override { return Call(L"Prepare"); }
  STDMETHODIMP GetSize(ULONGLONG* bytes) override {
    *bytes = script().size;
    return Call(L"GetSize");
  }
  STDMETHODIMP SetHost(IKxTransferEvents*) override { return Call(L"SetHost"); }
  STDMETHODIMP Abort(IKxTransferEvents*) override { return Call(L"Abort"); }
  STDMETHODIMP Finish(IKxTransferEvents*) override { return Call(L"Finish"); }
};

class Media final : public Object<IKxMedia> {
 public:
  Media(ContractEngineScript*& script, Component& driver, Component& log)
      : Object(script), driver_(driver), log_(log) {}
  STDMETHODIMP GetComponent(BSTR name, IKxComponent** component) override {
    *component = nullptr;
    const std::wstring n = Text(name);
    if (FAILED(Call(L"GetComponent"))) return E_FAIL;
    if (n == L"<Support>") *component = Share(&driver_);
    if (n == L"<Support>\\Engine\\Log") *component = Share(&log_);
    return *component ? S_OK : HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
  }

 private:
  Component& driver_;
  Component& log_;
};

class Completion final : public Object<IKxCompletion> {
 public:
  using Object::Object;
  STDMETHODIMP Complete() override { return Call(L"CompleteAborted"); }
};

class Runner final : public Object<IKxRunner> {
 public:
  Runner(ContractEngineScript*& script, Completion& completion)
      : Object(script), completion_(completion) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IKxCompletion) {
      *object = Share(static_cast<IKxCompletion*>(&completion_));
      return S_OK;
    }
    return Object::QueryInterface(iid, object);
  }
  STDMETHODIMP Run() override { return Call(L"Run"); }
  STDMETHODIMP Complete() override { return Call(L"Complete"); }

 private:
  Completion& completion_;
};

class Cabinet final : public Object<IKxCabinet, IKxFileOperations> {
 public:
  Cabinet(ContractEngineScript*& script, Media& media, Runner& runner)
      : Object(script), media_(media), runner_(runner) {}
  STDMETHODIMP SetLanguage(LONG, LONG) override { return Call(L"SetLanguage"); }
  STDMETHODIMP Start(LONG) override { return Call(L"Start"); }
  STDMETHODIMP GetRunner(IKxRunner** runner) override {
    *runner = SUCCEEDED(Call(L"GetRunner")) ? Share(static_cast<IKxRunner*>(&runner_)) : nullptr;
    return *runner ? S_OK : E_FAIL;
  }
  STDMETHODIMP GetResultCode(LONG* code) override {
    *code = 0;
    return Call(L"GetResultCode");
  }
  STDMETHODIMP GetMedia(IKxMedia** media) override {
    *media = SUCCEEDED(Call(L"GetMedia")) ? Share(static_cast<IKxMedia*>(&media_)) : nullptr;
    return *media ? S_OK : E_FAIL;
  }
  STDMETHODIMP SetPlatformFlags(LONG) override { return Call(L"SetPlatformFlags"); }
  STDMETHODIMP ApplyFlags(LONG, LONG, LONG) override { return Call(L"ApplyFlags"); }

 private:
  Media& media_;
  Runner& runner_;
};

// The properties service: an object of its own, which knows nothing of the
// engine's other interfaces.
class Properties final : public Object<IKxProperties> {
 public:
  using Object::Object;
  STDMETHODIMP SetProperty(BSTR, BSTR) override { return Call(L"SetProperty"); }
  STDMETHODIMP MarkProperty(BSTR, LONG) override { return Call(L"MarkProperty"); }
  STDMETHODIMP GetProperty(BSTR name, BSTR* value) override {
    const bool support = Text(name) == L"SUPPORTDIR";
    *value = SysAllocString(support ? script().support_dir.c_str() : L"");
    const HRESULT hr = Call(L"GetProperty");
    return FAILED(hr) ? hr : support ? S_OK : S_FALSE;
  }
  STDMETHODIMP GetRestartNeeded(LONG* needed) override {
    *needed = 0;
    return Call(L"GetRestartNeeded");
  }
};

// The engine with its property interface, through which the setup data is
// reached.
class Engine final : public Object<IKxEngine, IKxPropertyProvider, IKxSetupInfo> {
 public:
  Engine(ContractEngineScript*& script, Cabinet& cabinet, Properties& properties)
      : Object(script), cabinet_(cabinet), properties_(properties) {}
  STDMETHODIMP OpenCabinet(BSTR, BSTR, BSTR, BSTR, BSTR, BSTR, BSTR, BSTR,
                           IKxCabinet** cabinet) override {
    *cabinet =
        SUCCEEDED(Call(L"OpenCabinet")) ? Share(static_cast<IKxCabinet*>(&cabinet_)) : nullptr;
    return *cabinet ? S_OK : E_FAIL;
  }
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** object) override {
    *object = nullptr;
    if (FAILED(Call(L"QueryService"))) return E_FAIL;
    if (service != SID_KxProperties) return E_NOINTERFACE;
    return properties_.QueryInterface(iid, object);
  }
  STDMETHODIMP SetIniPath(BSTR) override { return Call(L"SetIniPath"); }
  STDMETHODIMP SetArguments(BSTR) override { return Call(L"SetArguments"); }
  STDMETHODIMP GetValue(LONG, BSTR* value) override {
    *value = SysAllocString(L"C:\\engine.log");
    return Call(L"GetValue");
  }

 private:
  Cabinet& cabinet_;
  Properties& properties_;
};

class Factory final : public Object<IClassFactory> {
 public:
  Factory(ContractEngineScript*& script, Engine& engine) : Object(script), engine_(engine) {}
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (FAILED(Call(L"CreateInstance"))) return E_FAIL;
    return engine_.QueryInterface(iid, object);
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

 private:
  Engine& engine_;
};

struct Objects {
  explicit Objects(ContractEngineScript& s) : script(&s) {}
  ContractEngineScript* script;
  Component driver{script}, log{script};
  Media media{script, driver, log};
  Completion completion{script};
  Runner runner{script, completion};
  Cabinet cabinet{script, media, runner};
  Properties properties{script};
  Engine engine{script, cabinet, properties};
  Factory factory{script, engine};

  long references() const {
    return driver.refs + log.refs + media.refs + completion.refs + runner.refs + cabinet.refs +
           properties.refs + engine.refs + factory.refs;
  }
};

std::unique_ptr<Objects> g_objects;

}  // namespace

HMODULE LoadContractEngine(ContractEngineScript& script) {
  g_objects = std::make_unique<Objects>(script);
  return LoadLibraryW(WindowsPath(KX_CONTRACT_ENGINE_BUILD_PATH).c_str());
}

long ContractEngineReferences() {
  return g_objects ? g_objects->references() : 0;
}

}  // namespace kx::testing

// Called by the engine module's DllGetClassObject.
extern "C" __declspec(dllexport) HRESULT WINAPI
    ContractEngineClassObject(REFCLSID clsid, REFIID iid, void** object) {
  using kx::testing::g_objects;
  *object = nullptr;
  if (!g_objects || clsid != CLSID_KxEngine) return CLASS_E_CLASSNOTAVAILABLE;
  g_objects->script->calls.push_back(L"DllGetClassObject");
  return g_objects->factory.QueryInterface(iid, object);
}
