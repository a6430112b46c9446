#include "platform/sha256.h"

#include "platform/system_library.h"

namespace kx {

namespace {

// BCrypt's status codes are NTSTATUS values; only success matters here.
using ntstatus = LONG;
using open_algorithm_fn = ntstatus(WINAPI*)(void**, const wchar_t*, const wchar_t*, ULONG);
using create_hash_fn = ntstatus(WINAPI*)(void*, void**, UCHAR*, ULONG, UCHAR*, ULONG, ULONG);
using hash_data_fn = ntstatus(WINAPI*)(void*, UCHAR*, ULONG, ULONG);
using finish_hash_fn = ntstatus(WINAPI*)(void*, UCHAR*, ULONG, ULONG);
using destroy_hash_fn = ntstatus(WINAPI*)(void*);
using close_algorithm_fn = ntstatus(WINAPI*)(void*, ULONG);

struct bcrypt_api {
  open_algorithm_fn open = nullptr;
  create_hash_fn create = nullptr;
  hash_data_fn data = nullptr;
  finish_hash_fn finish = nullptr;
  destroy_hash_fn destroy = nullptr;
  close_algorithm_fn close = nullptr;
  bool complete() const { return open && create && data && finish && destroy && close; }
};

const bcrypt_api& bcrypt() {
  static const bcrypt_api api = [] {
    const wchar_t* dll = L"bcrypt.dll";
    bcrypt_api a;
    a.open = system_function<open_algorithm_fn>(dll, "BCryptOpenAlgorithmProvider");
    a.create = system_function<create_hash_fn>(dll, "BCryptCreateHash");
    a.data = system_function<hash_data_fn>(dll, "BCryptHashData");
    a.finish = system_function<finish_hash_fn>(dll, "BCryptFinishHash");
    a.destroy = system_function<destroy_hash_fn>(dll, "BCryptDestroyHash");
    a.close = system_function<close_algorithm_fn>(dll, "BCryptCloseAlgorithmProvider");
    return a;
  }();
  return api;
}

using acquire_fn = BOOL(WINAPI*)(ULONG_PTR*, const wchar_t*, const wchar_t*, DWORD, DWORD);
using crypt_create_fn = BOOL(WINAPI*)(ULONG_PTR, unsigned, ULONG_PTR, DWORD, ULONG_PTR*);
using crypt_data_fn = BOOL(WINAPI*)(ULONG_PTR, const BYTE*, DWORD, DWORD);
using crypt_param_fn = BOOL(WINAPI*)(ULONG_PTR, DWORD, BYTE*, DWORD*, DWORD);
using crypt_destroy_fn = BOOL(WINAPI*)(ULONG_PTR);
using crypt_release_fn = BOOL(WINAPI*)(ULONG_PTR, DWORD);

struct crypt_api {
  acquire_fn acquire = nullptr;
  crypt_create_fn create = nullptr;
  crypt_data_fn data = nullptr;
  crypt_param_fn param = nullptr;
  crypt_destroy_fn destroy = nullptr;
  crypt_release_fn release = nullptr;
  bool complete() const { return acquire && create && data && param && destroy && release; }
};

const crypt_api& crypt() {
  static const crypt_api api = [] {
    const wchar_t* dll = L"advapi32.dll";
    crypt_api a;
    a.acquire = system_function<acquire_fn>(dll, "CryptAcquireContextW");
    a.create = system_function<crypt_create_fn>(dll, "CryptCreateHash");
    a.data = system_function<crypt_data_fn>(dll, "CryptHashData");
    a.param = system_function<crypt_param_fn>(dll, "CryptGetHashParam");
    a.destroy = system_function<crypt_destroy_fn>(dll, "CryptDestroyHash");
    a.release = system_function<crypt_release_fn>(dll, "CryptReleaseContext");
    return a;
  }();
  return api;
}

// CryptoAPI constants (wincrypt.h is not included to keep its names out).
constexpr DWORD kProvRsaAes = 24;
constexpr DWORD kCryptVerifyContext = 0xF0000000;
constexpr unsigned kCalgSha256 = 0x0000800c;
constexpr DWORD kHpHashVal = 2;

DWORD last_error_or(DWORD fallback) {
  const DWORD e = GetLastError();
  return e ? e : fallback;
}

}  // namespace

sha256::sha256() noexcept {
  const bcrypt_api& b = bcrypt();
  if (b.complete()) {
    if (b.open(&algorithm_, L"SHA256", nullptr, 0) >= 0 &&
        b.create(algorithm_, &hash_, nullptr, 0, nullptr, 0, 0) >= 0)
      return;
    close();
  }
  const crypt_api& c = crypt();
  if (!c.complete()) {
    error_ = ERROR_PROC_NOT_FOUND;
    return;
  }
  if (!c.acquire(&provider_, nullptr, nullptr, kProvRsaAes, kCryptVerifyContext) ||
      !c.create(provider_, kCalgSha256, 0, 0, &crypt_hash_)) {
    error_ = last_error_or(NTE_BAD_ALGID);
    close();
  }
}

sha256::~sha256() {
  close();
}

void sha256::close() noexcept {
  if (hash_) bcrypt().destroy(hash_);
  if (algorithm_) bcrypt().close(algorithm_, 0);
  if (crypt_hash_) crypt().destroy(crypt_hash_);
  if (provider_) crypt().release(provider_, 0);
  hash_ = algorithm_ = nullptr;
  crypt_hash_ = provider_ = 0;
}

bool sha256::update(const void* data, std::size_t size) noexcept {
  if (!ok() || finished_) return false;
  auto* p = static_cast<UCHAR*>(const_cast<void*>(data));
  while (size) {
    const ULONG n = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
    const bool good =
        hash_ ? bcrypt().data(hash_, p, n, 0) >= 0 : crypt().data(crypt_hash_, p, n, 0) != FALSE;
    if (!good) {
      error_ = last_error_or(ERROR_INVALID_FUNCTION);
      return false;
    }
    p += n;
    size -= n;
  }
  return true;
}

bool sha256::final(digest& out) noexcept {
  if (!ok() || finished_) return false;
  finished_ = true;
  bool good = false;
  if (hash_) {
    good = bcrypt().finish(hash_, out.data(), static_cast<ULONG>(out.size()), 0) >= 0;
  } else {
    DWORD n = static_cast<DWORD>(out.size());
    good = crypt().param(crypt_hash_, kHpHashVal, out.data(), &n, 0) && n == out.size();
  }
  if (!good) error_ = last_error_or(ERROR_INVALID_FUNCTION);
  close();
  return good;
}

}  // namespace kx
