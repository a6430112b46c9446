// The medium's components: "<Support>", which the host drives through the
// set-up, and "<Support>\Engine\Log", which only takes the host.
#include <new>
#include <vector>

#include "engine/install.h"
#include "engine/objects.h"
#include "engine/test_hooks.h"

namespace kxe {
namespace {

constexpr const wchar_t* kComponents[] = {L"<Support>", L"<Support>\\Engine\\Log"};

class Component final : public ComObject<Component, IKxComponent> {
 public:
  Component(SessionPtr session, std::wstring name)
      : session_(std::move(session)), name_(std::move(name)) {}

  void* Find(REFIID iid) {
    JournalQuery(L"Component", iid);
    if (iid == IID_IUnknown || iid == IID_IKxComponent) return static_cast<IKxComponent*>(this);
    return nullptr;
  }

  STDMETHODIMP SetMode(LONG mode) override {
    // The modes only matter to engines with a user interface of their own.
    return Enter(L"SetMode", Arg(L"mode", mode));
  }

  // Reads the cabinet's directory, so a damaged cabinet shows before the run.
  STDMETHODIMP Prepare() override {
    const HRESULT chosen = Enter(L"Prepare");
    if (FAILED(chosen)) return chosen;
    ULONGLONG bytes = 0;
    return InstallSize(*session_, &bytes);
  }

  STDMETHODIMP GetSize(ULONGLONG* bytes) override {
    const HRESULT chosen = Enter(L"GetSize");
    if (!bytes) return E_POINTER;
    *bytes = 0;
    if (FAILED(chosen)) return chosen;
    if (const auto size = ChosenSize()) {
      *bytes = *size;
      return S_OK;
    }
    return InstallSize(*session_, bytes);
  }

  STDMETHODIMP SetHost(IKxTransferEvents* host) override {
    const HRESULT chosen = Enter(L"SetHost", Arg(L"host", host ? L"set" : L"null"));
    if (FAILED(chosen)) return chosen;
    if (!host) return E_POINTER;
    session_->host.Reset(Share(host));
    return S_OK;
  }

  STDMETHODIMP Abort(IKxTransferEvents* host) override {
    const HRESULT chosen = Enter(L"Abort", Arg(L"host", host ? L"set" : L"null"));
    if (FAILED(chosen)) return chosen;
    session_->aborted = true;
    session_->host.Reset();
    return S_OK;
  }

  STDMETHODIMP Finish(IKxTransferEvents* host) override {
    const HRESULT chosen = Enter(L"Finish", Arg(L"host", host ? L"set" : L"null"));
    if (FAILED(chosen)) return chosen;
    session_->host.Reset();
    return S_OK;
  }

 private:
  HRESULT Enter(const wchar_t* call, const std::wstring& args = {}) {
    return EnterCall(call, Arg(L"component", name_) + args);
  }

  SessionPtr session_;
  std::wstring name_;
};

class Media final : public ComObject<Media, IKxMedia> {
 public:
  explicit Media(SessionPtr session) : session_(std::move(session)) {}

  void* Find(REFIID iid) {
    JournalQuery(L"Media", iid);
    if (iid == IID_IUnknown || iid == IID_IKxMedia) return static_cast<IKxMedia*>(this);
    return nullptr;
  }

  STDMETHODIMP GetComponent(BSTR name, IKxComponent** component) override {
    const HRESULT chosen = EnterCall(L"GetComponent", Arg(L"name", Text(name)));
    if (!component) return E_POINTER;
    *component = nullptr;
    if (FAILED(chosen)) return chosen;
    for (size_t i = 0; i < ARRAYSIZE(kComponents); ++i) {
      if (_wcsicmp(Text(name), kComponents[i]) != 0) continue;
      // One object per component, so a host that looks one up twice gets
      // the same object.
      if (!components_[i]) components_[i].Reset(NewComponent(session_, kComponents[i]));
      *component = Share(components_[i].get());
      return *component ? S_OK : E_OUTOFMEMORY;
    }
    return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
  }

 private:
  SessionPtr session_;
  Ref<IKxComponent> components_[ARRAYSIZE(kComponents)];
};

}  // namespace

IKxMedia* NewMedia(const SessionPtr& session) {
  return new (std::nothrow) Media(session);
}

IKxComponent* NewComponent(const SessionPtr& session, const std::wstring& name) {
  return new (std::nothrow) Component(session, name);
}

}  // namespace kxe
