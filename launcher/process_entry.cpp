#include "launcher/process_entry.h"

#include <aclapi.h>
#include <commctrl.h>
#include <objbase.h>

#include <memory>
#include <vector>

#include "platform/module_function.h"

namespace kx {

namespace {

HINSTANCE g_resource_instance = nullptr;

// Before anything else runs: the current folder leaves the DLL search path,
// and the safe search mode is made permanent.
struct DllSearchHardening {
  DllSearchHardening() {
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
    using SetSearchPathModeFn = BOOL(WINAPI*)(DWORD);
    if (auto set_dir = module_function<SetDllDirectoryFn>(L"kernel32.dll", "SetDllDirectoryW"))
      set_dir(L"");
    if (auto set_mode = module_function<SetSearchPathModeFn>(L"kernel32.dll", "SetSearchPathMode"))
      set_mode(0x8001);  // BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | PERMANENT
  }
} g_dll_search_hardening;

struct SidDeleter {
  void operator()(PSID sid) const noexcept { FreeSid(sid); }
};
using unique_sid = std::unique_ptr<void, SidDeleter>;

unique_sid make_sid(BYTE count, DWORD a, DWORD b = 0) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = nullptr;
  if (!AllocateAndInitializeSid(&nt, count, a, b, 0, 0, 0, 0, 0, 0, &sid)) return nullptr;
  return unique_sid(sid);
}

DWORD windows_major_version() {
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return GetVersionExW(&v) ? v.dwMajorVersion : 0;
#pragma GCC diagnostic pop
}

}  // namespace

HINSTANCE resource_instance() noexcept {
  return g_resource_instance;
}
void set_resource_instance(HINSTANCE instance) noexcept {
  g_resource_instance = instance;
}

HRESULT SetProcessComSecurity() {
  unique_sid admins = make_sid(2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
  unique_sid local_service = make_sid(1, SECURITY_LOCAL_SERVICE_RID);
  unique_sid network_service = make_sid(1, SECURITY_NETWORK_SERVICE_RID);
  unique_sid self = make_sid(1, SECURITY_PRINCIPAL_SELF_RID);
  unique_sid system = make_sid(1, SECURITY_LOCAL_SYSTEM_RID);
  if (!admins || !local_service || !network_service || !self || !system)
    return HRESULT_FROM_WIN32(GetLastError());

  constexpr DWORD kComRightsExecute = 1, kComRightsExecuteLocal = 2;
  std::vector<EXPLICIT_ACCESSW> entries;
  for (PSID sid :
       {admins.get(), local_service.get(), network_service.get(), self.get(), system.get()}) {
    EXPLICIT_ACCESSW e{};
    e.grfAccessPermissions = kComRightsExecute | kComRightsExecuteLocal;
    e.grfAccessMode = SET_ACCESS;
    e.grfInheritance = NO_INHERITANCE;
    e.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    e.Trustee.TrusteeType = TRUSTEE_IS_GROUP;
    e.Trustee.ptstrName = static_cast<LPWSTR>(sid);
    entries.push_back(e);
  }
  PACL acl = nullptr;
  const DWORD err =
      SetEntriesInAclW(static_cast<ULONG>(entries.size()), entries.data(), nullptr, &acl);
  if (err != ERROR_SUCCESS) return HRESULT_FROM_WIN32(err);
  std::unique_ptr<ACL, decltype(&LocalFree)> acl_owner(acl, &LocalFree);

  SECURITY_DESCRIPTOR sd;
  if (!InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorOwner(&sd, admins.get(), FALSE) ||
      !SetSecurityDescriptorGroup(&sd, admins.get(), FALSE) ||
      !SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE))
    return HRESULT_FROM_WIN32(GetLastError());
  return CoInitializeSecurity(&sd, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                              RPC_C_IMP_LEVEL_IDENTIFY, nullptr, EOAC_NO_CUSTOM_MARSHAL, nullptr);
}

ProcessEntry::ProcessEntry(HINSTANCE instance, const string& command_line) {
  SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);

  // The copy in the temporary folder keeps the default order: it loads the
  // engine it unpacked beside itself.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  if (command_line.find(L"tempdisk1folder:") == string::npos) {
    if (auto set_default = module_function<SetDefaultDllDirectoriesFn>(L"kernel32.dll",
                                                                       "SetDefaultDllDirectories"))
      set_default(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }

  com_initialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  if (windows_major_version() >= 6) SetProcessComSecurity();
  InitCommonControls();

  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(instance, path, MAX_PATH);
  launcher_path_ = string(path, n < MAX_PATH ? n : 0);
  set_resource_instance(instance);
}

ProcessEntry::~ProcessEntry() {
  if (com_initialized_) CoUninitialize();
}

}  // namespace kx
