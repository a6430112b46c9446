// The engine's main object: opens the medium, keeps the properties and the
// run's setup data.
#include <memory>
#include <new>

#include "engine/install.h"
#include "engine/objects.h"
#include "engine/test_hooks.h"

namespace kxe {
namespace {

class Engine final
    : public ComObject<Engine, IKxEngine, IKxPropertyProvider, IKxProperties, IKxSetupInfo> {
 public:
  Engine() : session_(std::make_shared<Session>()) {}

  void* Find(REFIID iid) {
    JournalQuery(L"Engine", iid);
    if (iid == IID_IUnknown || iid == IID_IKxEngine) return static_cast<IKxEngine*>(this);
    if (iid == IID_IKxPropertyProvider) return static_cast<IKxPropertyProvider*>(this);
    if (iid == IID_IKxProperties) return static_cast<IKxProperties*>(this);
    if (iid == IID_IKxSetupInfo) return static_cast<IKxSetupInfo*>(this);
    return nullptr;
  }

  STDMETHODIMP OpenCabinet(BSTR header_path, BSTR user, BSTR password, BSTR proxy_user,
                           BSTR proxy_password, BSTR install_guid, BSTR launcher_name,
                           BSTR web_cache, IKxCabinet** cabinet) override {
    const HRESULT chosen = EnterCall(
        L"OpenCabinet",
        AddressArg(L"header", Text(header_path)) + Arg(L"user", Text(user)) +
            SecretArg(L"password", password) + Arg(L"proxyuser", Text(proxy_user)) +
            SecretArg(L"proxypassword", proxy_password) + Arg(L"installguid", Text(install_guid)) +
            Arg(L"launcher", Text(launcher_name)) + Arg(L"webcache", Text(web_cache)));
    if (!cabinet) return E_POINTER;
    *cabinet = nullptr;
    if (FAILED(chosen)) return chosen;

    const std::wstring guid = Text(install_guid);
    std::wstring launcher = Text(launcher_name);
    if (launcher.empty()) launcher = L"setup.exe";
    if ((!guid.empty() && !IsValidInstallGuid(guid)) || !IsSafeRelativeName(launcher) ||
        launcher.find(L'\\') != std::wstring::npos) {
      return E_INVALIDARG;
    }
    // A web medium's files were copied into the cache folder; the header path
    // is then their address, of which only the file name counts.
    std::wstring header = Text(header_path);
    const std::wstring cache = Text(web_cache);
    if (!cache.empty()) {
      const size_t slash = header.find_last_of(L"\\/");
      header = cache + L"\\" + (slash == std::wstring::npos ? header : header.substr(slash + 1));
    }
    if (header.empty()) return E_INVALIDARG;

    Header parsed;
    const HRESULT hr = ReadHeader(header, &parsed);
    if (FAILED(hr)) return hr;
    Session& s = *session_;
    s.header = std::move(parsed);
    const size_t dot = header.find_last_of(L'.');
    const size_t slash = header.find_last_of(L"\\/");
    s.cabinet_path = (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)
                          ? header.substr(0, dot)
                          : header) +
                     L".cab";
    s.medium_folder = FolderOf(header);
    s.install_guid = guid;
    s.launcher_name = launcher;
    s.properties[L"SUPPORTDIR"] = s.header.install_dir;
    s.opened = true;
    *cabinet = NewCabinet(session_);
    return *cabinet ? S_OK : E_OUTOFMEMORY;
  }

  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** object) override {
    const HRESULT chosen =
        EnterCall(L"QueryService", Arg(L"service", Name(service)) + Arg(L"iid", Name(iid)));
    if (!object) return E_POINTER;
    *object = nullptr;
    if (FAILED(chosen)) return chosen;
    if (service != SID_KxProperties) return E_NOINTERFACE;
    return QueryInterface(iid, object);
  }

  STDMETHODIMP SetProperty(BSTR name, BSTR value) override {
    const HRESULT chosen =
        EnterCall(L"SetProperty", Arg(L"name", Text(name)) + Arg(L"value", Text(value)));
    if (FAILED(chosen)) return chosen;
    if (!name || !*name) return E_INVALIDARG;
    session_->properties[name] = Text(value);
    return S_OK;
  }

  // Marks only matter to an engine whose installation scripts set
  // properties of their own; this one has none.
  STDMETHODIMP MarkProperty(BSTR name, LONG flags) override {
    const HRESULT chosen =
        EnterCall(L"MarkProperty", Arg(L"name", Text(name)) + Arg(L"flags", flags));
    if (FAILED(chosen)) return chosen;
    return name && *name ? S_OK : E_INVALIDARG;
  }

  STDMETHODIMP GetProperty(BSTR name, BSTR* value) override {
    const HRESULT chosen = EnterCall(L"GetProperty", Arg(L"name", Text(name)));
    if (!value) return E_POINTER;
    *value = nullptr;
    if (FAILED(chosen)) return chosen;
    const auto it = session_->properties.find(Text(name));
    *value = ToBstr(it == session_->properties.end() ? std::wstring() : it->second);
    if (!*value) return E_OUTOFMEMORY;
    return it == session_->properties.end() ? S_FALSE : S_OK;
  }

  STDMETHODIMP GetRestartNeeded(LONG* needed) override {
    const HRESULT chosen = EnterCall(L"GetRestartNeeded");
    if (!needed) return E_POINTER;
    *needed = 0;
    if (FAILED(chosen)) return chosen;
    *needed = RestartChosen() ? 1 : 0;
    return S_OK;
  }

  STDMETHODIMP SetIniPath(BSTR path) override {
    const HRESULT chosen = EnterCall(L"SetIniPath", Arg(L"path", Text(path)));
    if (FAILED(chosen)) return chosen;
    session_->ini_path = Text(path);
    return S_OK;
  }

  STDMETHODIMP SetArguments(BSTR text) override {
    const HRESULT chosen = EnterCall(L"SetArguments", Arg(L"text", Text(text)));
    if (FAILED(chosen)) return chosen;
    session_->arguments = Text(text);
    return S_OK;
  }

  STDMETHODIMP GetValue(LONG id, BSTR* value) override {
    const HRESULT chosen = EnterCall(L"GetValue", Arg(L"id", id));
    if (!value) return E_POINTER;
    *value = nullptr;
    if (FAILED(chosen)) return chosen;
    std::wstring text;
    switch (id) {
      case KX_SETUP_VALUE_INI_PATH:
        text = session_->ini_path;
        break;
      case KX_SETUP_VALUE_ARGUMENTS:
        text = session_->arguments;
        break;
      case KX_SETUP_VALUE_LOG_FILE: {
        const HRESULT hr = session_->LogFile(&text);
        if (FAILED(hr)) return hr;
        break;
      }
      default:
        return E_INVALIDARG;
    }
    *value = ToBstr(text);
    return *value ? S_OK : E_OUTOFMEMORY;
  }

 private:
  static std::wstring Name(const GUID& iid) {
    if (const wchar_t* name = InterfaceName(iid)) return name;
    wchar_t text[40];
    StringFromGUID2(iid, text, ARRAYSIZE(text));
    return text;
  }

  SessionPtr session_;
};

}  // namespace

IKxEngine* NewEngine() {
  return new (std::nothrow) Engine();
}

}  // namespace kxe
