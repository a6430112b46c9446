#include "launcher/engine_host_sink.h"

#include <new>

#include "launcher/com_ref.h"
#include "launcher/step_result.h"

namespace kx {

namespace {

// The file the engine asks about for its 64-bit helper; it gets the copy
// mode a bounded number of times, so a helper that keeps failing cannot
// loop forever.
constexpr const wchar_t* kHelper64 = L"KXBEW64.exe";
constexpr int kHelperAnswers = 10;
constexpr DWORD kRateRedrawMs = 100;

class NoWindowObserver final : public EngineProgressObserver {
 public:
  void StepReached(int) override {}
  void BytesTransferred(ULONGLONG, ULONGLONG) override {}
  void RateChanged(ULONG) override {}
  void EnginePhase() override {}
  void Close() override {}
  HWND Window() override { return nullptr; }
  bool TakeCancelRequest() override { return false; }
};

const wchar_t* name_part(const wchar_t* path) {
  const wchar_t* name = path;
  for (const wchar_t* p = path; *p; ++p) {
    if (*p == L'\\' || *p == L'/') name = p + 1;
  }
  return name;
}

class EngineSink final : public IKxTransferEvents3 {
 public:
  explicit EngineSink(const EngineSinkContext& c) : context_(c) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IKxTransferEvents && iid != IID_IKxTransferEvents2 &&
        iid != IID_IKxTransferEvents3) {
      return E_NOINTERFACE;
    }
    *object = static_cast<IKxTransferEvents3*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
  }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  STDMETHODIMP OnTransferBegin(BSTR source, BSTR target) override {
    return listener_ ? listener_->OnTransferBegin(source, target) : S_FALSE;
  }
  STDMETHODIMP OnTransferEnd(BSTR source, HRESULT result) override {
    return listener_ ? listener_->OnTransferEnd(source, result) : S_FALSE;
  }
  STDMETHODIMP OnFileBegin(BSTR name, ULONGLONG size) override {
    return listener_ ? listener_->OnFileBegin(name, size) : S_FALSE;
  }
  STDMETHODIMP OnFileEnd(BSTR name, HRESULT result) override {
    return listener_ ? listener_->OnFileEnd(name, result) : S_FALSE;
  }

  // Keeps the windows alive while the engine works: one message per call.
  STDMETHODIMP Progress(ULONG bytes) override {
    PumpOneMessage();
    if (listener_) return listener_->Progress(bytes);
    done_ += bytes;
    EngineProgressObserver& o = observer();
    o.BytesTransferred(done_, context_.expected_bytes ? *context_.expected_bytes : 0);
    return o.TakeCancelRequest() ? kCancelled : S_OK;
  }

  STDMETHODIMP QueryRetryCount(LONG* count) override { return Answer(count, 6); }
  STDMETHODIMP QueryRetryDelay(LONG* seconds) override { return Answer(seconds, 5); }
  STDMETHODIMP QueryReplaceAction(BSTR, BSTR, LONG* action) override {
    return Answer(action, KX_REPLACE_ALWAYS);
  }
  STDMETHODIMP QueryFileMode(BSTR file_name, LONG* mode) override {
    if (file_name && _wcsicmp(name_part(file_name), kHelper64) == 0 &&
        helper_answers_ < kHelperAnswers) {
      ++helper_answers_;
      return Answer(mode, 4);
    }
    return Answer(mode, context_.mode ? *context_.mode : 0);
  }
  STDMETHODIMP QueryLockedAction(BSTR, LONG, LONG, LONG* action) override {
    return Answer(action, KX_REPLACE_ALWAYS);
  }

  STDMETHODIMP OnConnect(BSTR) override { return S_FALSE; }
  STDMETHODIMP OnDisconnect(BSTR) override { return S_FALSE; }
  STDMETHODIMP QueryConnectRetryCount(LONG* count) override { return Answer(count, 6); }

  // Only a web run shows a rate; an unchanged one is not redrawn, and a
  // changed one at most every 100 ms.
  STDMETHODIMP Rate(ULONG bytes_per_second) override {
    if (!context_.web || bytes_per_second == 0 || bytes_per_second == last_rate_) return S_OK;
    last_rate_ = bytes_per_second;
    const DWORD now = GetTickCount();
    if (rate_shown_ && now - last_rate_tick_ < kRateRedrawMs) return S_OK;
    rate_shown_ = true;
    last_rate_tick_ = now;
    observer().RateChanged(bytes_per_second);
    return S_OK;
  }

  STDMETHODIMP QueryCacheMode(LONG* mode) override {
    Answer(mode, 3);
    return S_FALSE;
  }
  STDMETHODIMP OnStatus(BSTR text) override {
    return listener_ ? listener_->OnStatus(text) : S_FALSE;
  }

  void Attach(IKxTransferEvents3* listener) {
    if (listener) listener->AddRef();
    listener_.reset(listener);
  }
  ULONGLONG done() const { return done_; }

 private:
  EngineProgressObserver& observer() {
    return context_.observer ? *context_.observer : NoProgressWindow();
  }

  static HRESULT Answer(LONG* out, LONG value) {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
  }

  void PumpOneMessage() {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return;
    if (msg.message == WM_QUIT) {
      // Whoever asked to quit must still see it at the run's own loop.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    const HWND window = observer().Window();
    if (window && IsDialogMessageW(window, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }

  LONG refs_ = 1;
  EngineSinkContext context_;
  ComRef<IKxTransferEvents3> listener_;
  ULONGLONG done_ = 0;
  int helper_answers_ = 0;
  ULONG last_rate_ = 0;
  DWORD last_rate_tick_ = 0;
  bool rate_shown_ = false;
};

}  // namespace

EngineProgressObserver& NoProgressWindow() {
  static NoWindowObserver observer;
  return observer;
}

IKxTransferEvents3* NewEngineSink(const EngineSinkContext& context) {
  return new (std::nothrow) EngineSink(context);
}

void AttachSinkListener(IKxTransferEvents3* sink, IKxTransferEvents3* listener) {
  if (sink) static_cast<EngineSink*>(sink)->Attach(listener);
}

ULONGLONG SinkBytesDone(IKxTransferEvents3* sink) {
  return sink ? static_cast<EngineSink*>(sink)->done() : 0;
}

}  // namespace kx
