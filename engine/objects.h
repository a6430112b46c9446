// The engine's COM objects: the reference counting and QueryInterface
// plumbing they share, and their constructors.
#pragma once

#include <windows.h>

#include <kxengine.h>

#include <atomic>
#include <memory>
#include <string>

namespace kxe {

struct Session;
using SessionPtr = std::shared_ptr<Session>;

// Derived implements `void* Find(REFIID iid)`, returning the interface pointer
// for iid (IUnknown included) or null. Objects start with one reference, which
// the creator hands over.
template <class Derived, class... Interfaces>
class ComObject : public Interfaces... {
 public:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = static_cast<Derived*>(this)->Find(iid);
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }

 protected:
  virtual ~ComObject() = default;

 private:
  std::atomic<ULONG> refs_{1};
};

// Hands out an interface pointer with a reference added; null stays null.
template <class T>
T* Share(T* p) {
  if (p) p->AddRef();
  return p;
}

// Holds one reference to a COM interface.
template <class T>
class Ref {
 public:
  Ref() = default;
  explicit Ref(T* adopted) : p_(adopted) {}
  Ref(const Ref& other) : p_(Share(other.p_)) {}
  Ref& operator=(const Ref& other) {
    if (this != &other) Reset(Share(other.p_));
    return *this;
  }
  ~Ref() { Reset(); }

  // Replaces the held pointer by `adopted` (whose reference it takes over).
  void Reset(T* adopted = nullptr) {
    T* old = p_;
    p_ = adopted;
    if (old) old->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// The engine object (IKxEngine, IKxPropertyProvider, IKxProperties,
// IKxSetupInfo) with a fresh session.
IKxEngine* NewEngine();
// The cabinet object (IKxCabinet, IKxFileOperations) of an opened session.
IKxCabinet* NewCabinet(const SessionPtr& session);
// The media object and its components.
IKxMedia* NewMedia(const SessionPtr& session);
IKxComponent* NewComponent(const SessionPtr& session, const std::wstring& name);
// The runner (IKxRunner, IKxCompletion).
IKxRunner* NewRunner(const SessionPtr& session);

}  // namespace kxe
