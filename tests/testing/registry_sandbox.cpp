#include "tests/testing/registry_sandbox.h"

#include <winternl.h>

#include <stdexcept>

namespace kx::testing {
namespace {

constexpr wchar_t kParent[] = L"Software\\KxTest";

bool g_active = false;

}  // namespace

RegistrySandbox::RegistrySandbox(unsigned roots) {
  if (g_active) throw std::logic_error("a registry sandbox is already active");
  for (unsigned i = 0; i < 1000 && !scratch_; ++i) {
    const std::wstring candidate = std::wstring(kParent) + L"\\p" +
                                   std::to_wstring(GetCurrentProcessId()) + L"_" +
                                   std::to_wstring(GetTickCount()) + L"_" + std::to_wstring(i);
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, candidate.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, &disposition) != ERROR_SUCCESS)
      break;
    if (disposition == REG_CREATED_NEW_KEY) {
      scratch_ = key;
      path_ = candidate;
    } else {
      RegCloseKey(key);
    }
  }
  if (!scratch_) throw std::runtime_error("cannot create the registry sandbox key");
  g_active = true;

  const Redirect wanted[] = {{HKEY_LOCAL_MACHINE, L"HKLM", nullptr},
                             {HKEY_CURRENT_USER, L"HKCU", nullptr},
                             {HKEY_USERS, L"HKU", nullptr}};
  const unsigned bits[] = {kLocalMachine, kCurrentUser, kUsers};
  for (unsigned i = 0; i < 3; ++i) {
    if (!(roots & bits[i])) continue;
    Redirect r = wanted[i];
    bool ok = RegCreateKeyExW(scratch_, r.name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &r.target,
                              nullptr) == ERROR_SUCCESS;
    if (ok) {
      ok = RegOverridePredefKey(r.root, r.target) == ERROR_SUCCESS;
      if (!ok) RegCloseKey(r.target);
    }
    if (!ok) {
      Restore();
      throw std::runtime_error("cannot redirect a predefined registry key");
    }
    redirects_[redirect_count_++] = r;
  }
}

RegistrySandbox::~RegistrySandbox() {
  Restore();
}

void RegistrySandbox::Restore() noexcept {
  for (unsigned i = redirect_count_; i-- > 0;) {
    RegOverridePredefKey(redirects_[i].root, nullptr);
    RegCloseKey(redirects_[i].target);
  }
  redirect_count_ = 0;
  if (scratch_) {
    RegCloseKey(scratch_);
    scratch_ = nullptr;
    // Only now that HKEY_CURRENT_USER is the real one again.
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, kParent);  // fails while other sandboxes' keys remain
  }
  g_active = false;
}

std::wstring RegistrySandbox::root_path(HKEY root) const {
  for (unsigned i = 0; i < redirect_count_; ++i)
    if (redirects_[i].root == root) return path_ + L"\\" + redirects_[i].name;
  throw std::invalid_argument("root is not redirected by this sandbox");
}

LONG RegistrySandbox::SetRaw(HKEY root, const std::wstring& key, const std::wstring& name,
                             DWORD type, const void* bytes, DWORD size) {
  HKEY k = nullptr;
  LONG r = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr);
  if (r != ERROR_SUCCESS) return r;
  // Through ntdll, which stores the bytes as given: RegSetValueExW under Wine
  // appends a NUL to REG_SZ data that lacks one.
  using set_value_fn = LONG(NTAPI*)(HANDLE, UNICODE_STRING*, ULONG, ULONG, const void*, ULONG);
  using status_to_error_fn = ULONG(NTAPI*)(LONG);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  auto set_value = reinterpret_cast<set_value_fn>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "NtSetValueKey")));
  auto status_to_error = reinterpret_cast<status_to_error_fn>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
  if (set_value && status_to_error) {
    UNICODE_STRING value_name;
    value_name.Buffer = const_cast<wchar_t*>(name.c_str());
    value_name.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    value_name.MaximumLength = value_name.Length;
    const LONG status = set_value(k, &value_name, 0, type, bytes, size);
    r = status == 0 ? ERROR_SUCCESS : static_cast<LONG>(status_to_error(status));
  } else {
    r = RegSetValueExW(k, name.empty() ? nullptr : name.c_str(), 0, type,
                       static_cast<const BYTE*>(bytes), size);
  }
  RegCloseKey(k);
  return r;
}

LONG RegistrySandbox::SetString(HKEY root, const std::wstring& key, const std::wstring& name,
                                const std::wstring& value, DWORD type) {
  return SetRaw(root, key, name, type, value.c_str(),
                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LONG RegistrySandbox::SetDword(HKEY root, const std::wstring& key, const std::wstring& name,
                               DWORD value) {
  return SetRaw(root, key, name, REG_DWORD, &value, sizeof value);
}

LONG RegistrySandbox::CreateKey(HKEY root, const std::wstring& key) {
  HKEY k = nullptr;
  const LONG r = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &k, nullptr);
  if (r == ERROR_SUCCESS) RegCloseKey(k);
  return r;
}

}  // namespace kx::testing
