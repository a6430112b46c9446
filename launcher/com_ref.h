// One owned COM interface pointer: the launcher keeps the engine's objects
// in these, so every path out of a run (normal end, abort, exception) lets
// go of each reference exactly once.
#pragma once

#include <unknwn.h>
#include <windows.h>

#include <utility>

namespace kx {

template <class T>
class ComRef {
 public:
  ComRef() noexcept = default;
  // Takes over one reference that the caller owns (null allowed).
  explicit ComRef(T* owned) noexcept : p_(owned) {}
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ComRef(ComRef&& o) noexcept : p_(o.detach()) {}
  ComRef& operator=(ComRef&& o) noexcept {
    if (this != &o) reset(o.detach());
    return *this;
  }
  ~ComRef() { reset(); }

  // The interface, still owned here; null when empty.
  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // Releases what is held and hands out the slot for an out parameter.
  T** put() noexcept {
    reset();
    return &p_;
  }
  // The slot as the void** of QueryInterface-style calls.
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

  // Releases what is held (if anything) and takes over `owned`. The last
  // error survives: a release may run engine code that touches it.
  void reset(T* owned = nullptr) noexcept {
    const DWORD saved = GetLastError();
    T* old = std::exchange(p_, owned);
    if (old) old->Release();
    SetLastError(saved);
  }

  // Gives up ownership without releasing.
  T* detach() noexcept { return std::exchange(p_, nullptr); }

  // A new owned reference to the same object (AddRef); null when empty.
  T* share() const noexcept {
    if (p_) p_->AddRef();
    return p_;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace kx
