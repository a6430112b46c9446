// The runner: runs the installation, completes it after a restart, and
// removes what an aborted run wrote.
#include <new>

#include "engine/install.h"
#include "engine/objects.h"
#include "engine/test_hooks.h"

namespace kxe {
namespace {

// IKxRunner and IKxCompletion both have a Complete() slot with the same
// signature; these two give each slot its own implementation.
class RunnerSlots : public IKxRunner {
 public:
  STDMETHODIMP Complete() override { return CompleteAfterRestart(); }

 protected:
  virtual HRESULT CompleteAfterRestart() = 0;
};

class CompletionSlots : public IKxCompletion {
 public:
  STDMETHODIMP Complete() override { return CompleteAborted(); }

 protected:
  virtual HRESULT CompleteAborted() = 0;
};

class Runner final : public ComObject<Runner, RunnerSlots, CompletionSlots> {
 public:
  explicit Runner(SessionPtr session) : session_(std::move(session)) {}

  void* Find(REFIID iid) {
    JournalQuery(L"Runner", iid);
    if (iid == IID_IUnknown || iid == IID_IKxRunner) return static_cast<IKxRunner*>(this);
    if (iid == IID_IKxCompletion) return static_cast<IKxCompletion*>(this);
    return nullptr;
  }

  STDMETHODIMP Run() override { return Install(L"Run"); }

 protected:
  // The first part ran before the restart; installing again puts in place
  // whatever is missing and refreshes the rest.
  HRESULT CompleteAfterRestart() override { return Install(L"Complete"); }

  HRESULT CompleteAborted() override {
    const HRESULT chosen = EnterCall(L"CompleteAborted");
    if (FAILED(chosen)) return chosen;
    RemoveInstalled(*session_);
    return S_OK;
  }

 private:
  HRESULT Install(const wchar_t* call) {
    HRESULT hr = EnterCall(call);
    if (SUCCEEDED(hr)) hr = kxe::Install(*session_);
    session_->ran = true;
    session_->run_result = hr;
    return hr;
  }

  SessionPtr session_;
};

}  // namespace

IKxRunner* NewRunner(const SessionPtr& session) {
  return new (std::nothrow) Runner(session);
}

}  // namespace kxe
