// The smallest engine a launcher can host: every object and interface the
// launcher asks for, in the shape it asks for them, and no installation at
// all - Run reports one empty transfer and succeeds, so the launcher ends
// with exit code 0. Built from sdk/ alone (include/kxengine.h and
// include/kxengine_i.c); start your own engine from here.
#include <windows.h>

#include <kxengine.h>

#include <new>

namespace {

// IUnknown for an object whose Find(iid) names the interfaces it answers.
template <class Derived, class... Interfaces>
class Object : public Interfaces... {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = static_cast<Derived*>(this)->Find(iid);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }

 protected:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;

 private:
  LONG refs_ = 1;  // the creator's reference
};

// Hands `object` (created with one reference) out through `out`.
template <class T>
HRESULT HandOut(T* object, T** out) {
  if (!out) return E_POINTER;
  *out = object;
  return object ? S_OK : E_OUTOFMEMORY;
}

// "<Support>" and "<Support>\Engine\Log": the host drives the first and
// hands both its transfer-event sink.
class Component final : public Object<Component, IKxComponent> {
 public:
  void* Find(REFIID iid) {
    return iid == IID_IUnknown || iid == IID_IKxComponent ? static_cast<IKxComponent*>(this)
                                                          : nullptr;
  }
  STDMETHODIMP SetMode(LONG) override { return S_OK; }
  STDMETHODIMP Prepare() override { return S_OK; }
  STDMETHODIMP GetSize(ULONGLONG* bytes) override {
    if (!bytes) return E_POINTER;
    *bytes = 0;  // the disk space the installation needs in SUPPORTDIR
    return S_OK;
  }
  STDMETHODIMP SetHost(IKxTransferEvents* host) override {
    if (!host) return E_POINTER;
    host->AddRef();
    Drop();
    host_ = host;
    return S_OK;
  }
  STDMETHODIMP Abort(IKxTransferEvents*) override { return Drop(); }
  STDMETHODIMP Finish(IKxTransferEvents*) override { return Drop(); }

  IKxTransferEvents* host() const { return host_; }

  ~Component() override { Drop(); }

 private:
  HRESULT Drop() {
    if (host_) host_->Release();
    host_ = nullptr;
    return S_OK;
  }
  IKxTransferEvents* host_ = nullptr;
};

class Media final : public Object<Media, IKxMedia> {
 public:
  explicit Media(Component* driver) : driver_(driver) { driver_->AddRef(); }
  void* Find(REFIID iid) {
    return iid == IID_IUnknown || iid == IID_IKxMedia ? static_cast<IKxMedia*>(this) : nullptr;
  }
  STDMETHODIMP GetComponent(BSTR name, IKxComponent** component) override {
    if (!component) return E_POINTER;
    *component = nullptr;
    if (name && lstrcmpiW(name, L"<Support>") == 0) {
      driver_->AddRef();
      *component = driver_;
      return S_OK;
    }
    if (name && lstrcmpiW(name, L"<Support>\\Engine\\Log") == 0)
      return HandOut<IKxComponent>(new (std::nothrow) Component(), component);
    return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
  }

  ~Media() override { driver_->Release(); }

 private:
  Component* driver_;
};

// IKxRunner and IKxCompletion share a Complete() slot; these give each its
// own implementation.
class RunnerSlot : public IKxRunner {
 public:
  STDMETHODIMP Complete() override { return Run(); }  // after a restart
};
class CompletionSlot : public IKxCompletion {
 public:
  STDMETHODIMP Complete() override { return S_OK; }  // an aborted run: nothing to undo
};

class Runner final : public Object<Runner, RunnerSlot, CompletionSlot> {
 public:
  explicit Runner(Component* driver) : driver_(driver) { driver_->AddRef(); }
  void* Find(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IKxRunner) return static_cast<IKxRunner*>(this);
    if (iid == IID_IKxCompletion) return static_cast<IKxCompletion*>(this);
    return nullptr;
  }
  // A real engine installs here, calling Progress per chunk of bytes and
  // stopping with its answer when that fails (the user cancelled).
  STDMETHODIMP Run() override {
    IKxTransferEvents* host = driver_->host();
    if (!host) return S_OK;
    BSTR none = SysAllocString(L"");
    host->OnTransferBegin(none, none);
    const HRESULT hr = host->Progress(0);
    host->OnTransferEnd(none, hr);
    SysFreeString(none);
    return FAILED(hr) ? hr : S_OK;
  }

  ~Runner() override { driver_->Release(); }

 private:
  Component* driver_;
};

class Cabinet final : public Object<Cabinet, IKxCabinet, IKxFileOperations> {
 public:
  Cabinet() : driver_(new (std::nothrow) Component()) {}
  bool ok() const { return driver_ != nullptr; }
  void* Find(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IKxCabinet) return static_cast<IKxCabinet*>(this);
    if (iid == IID_IKxFileOperations) return static_cast<IKxFileOperations*>(this);
    return nullptr;
  }
  STDMETHODIMP SetLanguage(LONG, LONG) override { return S_OK; }
  STDMETHODIMP Start(LONG) override { return S_OK; }
  STDMETHODIMP GetRunner(IKxRunner** runner) override {
    return HandOut<IKxRunner>(new (std::nothrow) Runner(driver_), runner);
  }
  // Becomes the launcher's exit code.
  STDMETHODIMP GetResultCode(LONG* code) override {
    if (!code) return E_POINTER;
    *code = 0;
    return S_OK;
  }
  STDMETHODIMP GetMedia(IKxMedia** media) override {
    return HandOut<IKxMedia>(new (std::nothrow) Media(driver_), media);
  }
  STDMETHODIMP SetPlatformFlags(LONG) override { return S_OK; }
  STDMETHODIMP ApplyFlags(LONG, LONG, LONG) override { return S_OK; }

  ~Cabinet() override {
    if (driver_) driver_->Release();
  }

 private:
  Component* driver_;
};

class Engine final
    : public Object<Engine, IKxEngine, IKxPropertyProvider, IKxProperties, IKxSetupInfo> {
 public:
  void* Find(REFIID iid) {
    if (iid == IID_IUnknown || iid == IID_IKxEngine) return static_cast<IKxEngine*>(this);
    if (iid == IID_IKxPropertyProvider) return static_cast<IKxPropertyProvider*>(this);
    if (iid == IID_IKxProperties) return static_cast<IKxProperties*>(this);
    if (iid == IID_IKxSetupInfo) return static_cast<IKxSetupInfo*>(this);
    return nullptr;
  }
  STDMETHODIMP OpenCabinet(BSTR, BSTR, BSTR, BSTR, BSTR, BSTR, BSTR, BSTR,
                           IKxCabinet** cabinet) override {
    Cabinet* opened = new (std::nothrow) Cabinet();
    if (opened && !opened->ok()) {
      opened->Release();
      opened = nullptr;
    }
    return HandOut<IKxCabinet>(opened, cabinet);
  }
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    return service == SID_KxProperties ? QueryInterface(iid, out) : E_NOINTERFACE;
  }
  STDMETHODIMP SetProperty(BSTR, BSTR) override { return S_OK; }
  STDMETHODIMP MarkProperty(BSTR, LONG) override { return S_OK; }
  // Every property is unknown here; the host's disk-space check then asks
  // no drive at all.
  STDMETHODIMP GetProperty(BSTR, BSTR* value) override {
    if (!value) return E_POINTER;
    *value = SysAllocString(L"");
    return *value ? S_FALSE : E_OUTOFMEMORY;
  }
  STDMETHODIMP GetRestartNeeded(LONG* needed) override {
    if (!needed) return E_POINTER;
    *needed = 0;
    return S_OK;
  }
  STDMETHODIMP SetIniPath(BSTR) override { return S_OK; }
  STDMETHODIMP SetArguments(BSTR) override { return S_OK; }
  STDMETHODIMP GetValue(LONG id, BSTR* value) override {
    if (!value) return E_POINTER;
    *value = nullptr;
    if (id != KX_SETUP_VALUE_INI_PATH && id != KX_SETUP_VALUE_ARGUMENTS &&
        id != KX_SETUP_VALUE_LOG_FILE)
      return E_INVALIDARG;
    *value = SysAllocString(L"");
    return *value ? S_OK : E_OUTOFMEMORY;
  }
};

class Factory final : public Object<Factory, IClassFactory> {
 public:
  void* Find(REFIID iid) {
    return iid == IID_IUnknown || iid == IID_IClassFactory ? static_cast<IClassFactory*>(this)
                                                           : nullptr;
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Engine* engine = new (std::nothrow) Engine();
    if (!engine) return E_OUTOFMEMORY;
    const HRESULT hr = engine->QueryInterface(iid, out);
    engine->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

}  // namespace

// The class object of CLSID_KxEngine.
extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != CLSID_KxEngine) return CLASS_E_CLASSNOTAVAILABLE;
  Factory* factory = new (std::nothrow) Factory();
  if (!factory) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(iid, out);
  factory->Release();
  return hr;
}

// KxInstallEngineTypelibFn. The host calls the engine in its own apartment
// and thread, through the vtables, so this engine registers nothing; one
// whose objects are used across apartments registers its type library here.
extern "C" BOOLEAN WINAPI InstallEngineTypelib(BOOLEAN) {
  return TRUE;
}

// KxRemoveEngineTypelibFn.
extern "C" void WINAPI RemoveEngineTypelib() {}
