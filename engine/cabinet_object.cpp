// The cabinet object of an opened medium and its file operations.
#include <new>

#include "engine/objects.h"
#include "engine/session.h"
#include "engine/test_hooks.h"

namespace kxe {
namespace {

class Cabinet final : public ComObject<Cabinet, IKxCabinet, IKxFileOperations> {
 public:
  explicit Cabinet(SessionPtr session) : session_(std::move(session)) {}

  void* Find(REFIID iid) {
    JournalQuery(L"Cabinet", iid);
    if (iid == IID_IUnknown || iid == IID_IKxCabinet) return static_cast<IKxCabinet*>(this);
    if (iid == IID_IKxFileOperations) return static_cast<IKxFileOperations*>(this);
    return nullptr;
  }

  STDMETHODIMP SetLanguage(LONG scope, LONG language) override {
    const HRESULT chosen =
        EnterCall(L"SetLanguage", Arg(L"scope", scope) + HexArg(L"language", language));
    if (FAILED(chosen)) return chosen;
    if (language != KX_LANGUAGE_REAPPLY) {
      if (language < 0 || language > 0xFFFF) return E_INVALIDARG;
      session_->language = language;
    }
    return S_OK;
  }

  // A host calls this while its progress window is up, so a test may have
  // a transfer reported here (KX_ENGINE_TRANSFER).
  STDMETHODIMP Start(LONG flags) override {
    const HRESULT chosen = EnterCall(L"Start", Arg(L"flags", flags));
    if (FAILED(chosen)) return chosen;
    return ReportChosenTransfer(session_->host.get());
  }

  STDMETHODIMP GetRunner(IKxRunner** runner) override {
    const HRESULT chosen = EnterCall(L"GetRunner");
    if (!runner) return E_POINTER;
    *runner = nullptr;
    if (FAILED(chosen)) return chosen;
    if (!runner_) runner_.Reset(NewRunner(session_));
    *runner = Share(runner_.get());
    return *runner ? S_OK : E_OUTOFMEMORY;
  }

  STDMETHODIMP GetResultCode(LONG* code) override {
    const HRESULT chosen = EnterCall(L"GetResultCode");
    if (!code) return E_POINTER;
    *code = 0;
    if (FAILED(chosen)) return chosen;
    if (const auto value = ChosenResultCode()) {
      *code = *value;
    } else if (session_->ran) {
      *code = session_->run_result;
    }
    return S_OK;
  }

  STDMETHODIMP GetMedia(IKxMedia** media) override {
    const HRESULT chosen = EnterCall(L"GetMedia");
    if (!media) return E_POINTER;
    *media = nullptr;
    if (FAILED(chosen)) return chosen;
    if (!media_) media_.Reset(NewMedia(session_));
    *media = Share(media_.get());
    return *media ? S_OK : E_OUTOFMEMORY;
  }

  // The reference medium's files suit every platform, so the flags choose
  // nothing here; they are journaled for the host's tests.
  STDMETHODIMP SetPlatformFlags(LONG flags) override {
    return EnterCall(L"SetPlatformFlags", HexArg(L"flags", flags));
  }

  STDMETHODIMP ApplyFlags(LONG set, LONG clear, LONG target) override {
    return EnterCall(L"ApplyFlags",
                     HexArg(L"set", set) + HexArg(L"clear", clear) + Arg(L"target", target));
  }

 private:
  SessionPtr session_;
  Ref<IKxRunner> runner_;
  Ref<IKxMedia> media_;
};

}  // namespace

IKxCabinet* NewCabinet(const SessionPtr& session) {
  return new (std::nothrow) Cabinet(session);
}

}  // namespace kxe
