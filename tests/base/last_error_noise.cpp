#include "tests/base/last_error_noise.h"

#include <objidl.h>
#include <oleauto.h>

#include <cstdlib>
#include <new>
#include <stdexcept>

namespace kx::testing {

namespace {

// The thread whose allocations make noise; 0 while no object lives.
DWORD noisy_thread = 0;
long noise_events = 0;

void make_noise() noexcept {
  if (noisy_thread == 0 || GetCurrentThreadId() != noisy_thread) return;
  ++noise_events;
  SetLastError(kLastErrorNoise);
}

// Watches the task allocator; every method passes the request on unchanged.
class NoisySpy final : public IMallocSpy {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IMallocSpy) {
      *out = static_cast<IMallocSpy*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Lives for the whole process: COM may keep it past a revocation.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T size) override { return size; }
  STDMETHODIMP_(void*) PostAlloc(void* actual) override {
    make_noise();
    return actual;
  }
  STDMETHODIMP_(void*) PreFree(void* request, BOOL) override { return request; }
  STDMETHODIMP_(void) PostFree(BOOL) override { make_noise(); }
  STDMETHODIMP_(SIZE_T) PreRealloc(void* request, SIZE_T size, void** new_request, BOOL) override {
    *new_request = request;
    return size;
  }
  STDMETHODIMP_(void*) PostRealloc(void* actual, BOOL) override {
    make_noise();
    return actual;
  }
  STDMETHODIMP_(void*) PreGetSize(void* request, BOOL) override { return request; }
  STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T size, BOOL) override { return size; }
  STDMETHODIMP_(void*) PreDidAlloc(void* request, BOOL) override { return request; }
  STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int actual) override { return actual; }
  STDMETHODIMP_(void) PreHeapMinimize() override {}
  STDMETHODIMP_(void) PostHeapMinimize() override {}
};

// Registers the spy once for the process. The BSTR cache would hand freed
// texts out again without asking the allocator.
void watch_task_allocator() {
  static NoisySpy spy;
  static bool watching = false;
  if (watching) return;
  using set_no_cache_fn = void(WINAPI*)();
  const auto set_no_cache = reinterpret_cast<set_no_cache_fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"oleaut32.dll"), "SetOaNoCache")));
  if (!set_no_cache) throw std::runtime_error("oleaut32 has no SetOaNoCache");
  set_no_cache();
  const HRESULT hr = CoRegisterMallocSpy(&spy);
  if (FAILED(hr)) throw std::runtime_error("CoRegisterMallocSpy failed");
  watching = true;
}

}  // namespace

LastErrorNoise::LastErrorNoise() {
  watch_task_allocator();
  noise_events = 0;
  noisy_thread = GetCurrentThreadId();
}

LastErrorNoise::~LastErrorNoise() {
  noisy_thread = 0;
}

long LastErrorNoise::events() const {
  return noise_events;
}

}  // namespace kx::testing

// The program's own allocation functions, so that every string of the
// program allocates through them.
void* operator new(std::size_t size) {
  void* p = std::malloc(size != 0 ? size : 1);
  if (!p) throw std::bad_alloc();
  kx::testing::make_noise();
  return p;
}

void* operator new[](std::size_t size) {
  return operator new(size);
}

void operator delete(void* p) noexcept {
  if (!p) return;
  std::free(p);
  kx::testing::make_noise();
}

void operator delete[](void* p) noexcept {
  operator delete(p);
}

void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}

void operator delete[](void* p, std::size_t) noexcept {
  operator delete(p);
}
