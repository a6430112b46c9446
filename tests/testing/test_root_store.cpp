// kx_test_root.exe: trusts the local test server's CA in the current user's
// Root store, and stops trusting it again, so that https tests can talk to
// https://localhost:P without touching how certificates are checked.
//
//   kx_test_root add <ca.der>     removes any root with the same subject
//                                 (left by a run that was cut short), then
//                                 adds the certificate
//   kx_test_root remove <ca.der>  removes every root with that subject
//
// Exit code 0 on success; 1 (with a message on stderr) otherwise. On Windows
// adding a user root asks the person first; the tests run this only in
// their private Wine prefix.
#include <windows.h>
// After windows.h, which it needs.
#include <wincrypt.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

struct store_closer {
  void operator()(void* store) const noexcept { CertCloseStore(store, 0); }
};
using store_ptr = std::unique_ptr<void, store_closer>;

struct certificate_freer {
  void operator()(const CERT_CONTEXT* c) const noexcept { CertFreeCertificateContext(c); }
};
using certificate_ptr = std::unique_ptr<const CERT_CONTEXT, certificate_freer>;

struct handle_closer {
  void operator()(void* h) const noexcept { CloseHandle(h); }
};
using handle_ptr = std::unique_ptr<void, handle_closer>;

// CTest hands in paths of the build machine; under Wine those are on Z:.
std::wstring windows_path(std::wstring path) {
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  if (!path.empty() && path[0] == L'\\' && (path.size() < 2 || path[1] != L'\\'))
    path.insert(0, L"Z:");
  return path;
}

bool read_file(const std::wstring& path, std::vector<BYTE>& out) {
  handle_ptr file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return false;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > 65536)
    return false;
  out.resize(static_cast<std::size_t>(size.QuadPart));
  DWORD got = 0;
  return ReadFile(file.get(), out.data(), static_cast<DWORD>(out.size()), &got, nullptr) &&
         got == out.size();
}

// Removes every certificate of `store` whose subject is `subject`: how many,
// or -1 when one could not be removed.
int remove_subject(HCERTSTORE store, const CERT_NAME_BLOB& subject) {
  int removed = 0;
  // Bounded: a store that reports success but keeps the certificate must
  // not loop for ever.
  for (int i = 0; i < 100; ++i) {
    const CERT_CONTEXT* found = CertFindCertificateInStore(
        store, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_NAME, &subject, nullptr);
    if (!found) return removed;
    // The call frees the context, whatever it returns.
    if (!CertDeleteCertificateFromStore(found)) return -1;
    ++removed;
  }
  return -1;
}

// The user's Root certificates as kept in the registry. Removing through
// the system store's collection is not kept by every implementation, so
// removal goes to where the additions land.
store_ptr open_user_root() {
  return store_ptr(CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0,
                                 CERT_SYSTEM_STORE_CURRENT_USER, L"Root"));
}

// How many certificates of `store` have the subject `subject`.
int count_subject(HCERTSTORE store, const CERT_NAME_BLOB& subject) {
  int n = 0;
  const CERT_CONTEXT* c = nullptr;
  while ((c = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_NAME,
                                         &subject, c)) != nullptr)
    ++n;
  return n;
}

int fail(const wchar_t* what) {
  std::fwprintf(stderr, L"kx_test_root: %ls (error %lu)\n", what, GetLastError());
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3 || (std::wstring(argv[1]) != L"add" && std::wstring(argv[1]) != L"remove")) {
    std::fwprintf(stderr, L"usage: kx_test_root add|remove <ca.der>\n");
    return 1;
  }
  const bool add = std::wstring(argv[1]) == L"add";
  std::vector<BYTE> der;
  if (!read_file(windows_path(argv[2]), der)) return fail(L"cannot read the certificate");
  certificate_ptr ca(
      CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size())));
  if (!ca) return fail(L"not a DER certificate");

  int removed = 0;
  {
    store_ptr root = open_user_root();
    if (!root) return fail(L"cannot open the Root store");
    removed = remove_subject(root.get(), ca->pCertInfo->Subject);
    if (removed < 0) return fail(L"cannot remove an earlier test root");
  }
  {
    // Closing wrote the removal; a fresh handle shows what is kept.
    store_ptr root = open_user_root();
    if (!root) return fail(L"cannot open the Root store again");
    if (count_subject(root.get(), ca->pCertInfo->Subject) != 0)
      return fail(L"a test root is still in the store after removing it");
  }
  if (!add) {
    std::fwprintf(stdout, L"removed %d test root(s)\n", removed);
    return 0;
  }
  if (!CertAddEncodedCertificateToSystemStoreW(L"Root", der.data(), static_cast<DWORD>(der.size())))
    return fail(L"cannot add the test root");
  // Read back through a fresh handle, as the tests' processes will see it.
  store_ptr check(CertOpenSystemStoreW(0, L"Root"));
  if (!check) return fail(L"cannot open the Root store again");
  certificate_ptr found(CertFindCertificateInStore(check.get(), X509_ASN_ENCODING, 0,
                                                   CERT_FIND_EXISTING, ca.get(), nullptr));
  if (!found) return fail(L"the test root is not in the store after adding it");
  std::fwprintf(stdout, L"added the test root (%d earlier removed)\n", removed);
  return 0;
}
