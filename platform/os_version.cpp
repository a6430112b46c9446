#include "platform/os_version.h"

#include "platform/module_function.h"
#include "platform/version_info.h"

namespace kx {
namespace {

// The file version of the system folder's Kernel32.dll, 0 when unreadable.
DWORD kernel32_file_version() {
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 0;
  string path(folder, n);
  if (!path.ends_with_i(L"\\")) path += L'\\';
  path += L"kernel32.dll";
  version_info info;
  return info.load(path) ? info.fixed().dwFileVersionMS : 0;
}

class real_system_facts final : public system_facts {
 public:
  os_version_record version() const override {
    os_version_record r;
    r.info.dwOSVersionInfoSize = sizeof r.info;
    r.valid = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&r.info)) != FALSE;
    if (!r.valid) {
      // Windows 95 and NT 4 before SP6 know only the short record.
      r.info = {};
      r.info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
      r.valid = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&r.info)) != FALSE;
      if (!r.valid) r.info = {};
    }
    r.version_high_bit = (GetVersion() & 0x80000000u) != 0;
    if (r.valid && r.info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && r.info.dwMinorVersion == 10)
      r.kernel32_version = kernel32_file_version();
    return r;
  }

  SYSTEM_INFO native_system_info() const override {
    using get_native_fn = void(WINAPI*)(SYSTEM_INFO*);
    SYSTEM_INFO info{};
    if (auto get_native = module_function<get_native_fn>(L"kernel32.dll", "GetNativeSystemInfo"))
      get_native(&info);
    else
      GetSystemInfo(&info);
    return info;
  }

  bool wow64_process() const override {
    using is_wow64_fn = BOOL(WINAPI*)(HANDLE, BOOL*);
    auto is_wow64 = module_function<is_wow64_fn>(L"kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    return is_wow64 && is_wow64(GetCurrentProcess(), &wow64) && wow64;
  }
};

const system_facts* g_installed = nullptr;

os_version_record current_version() {
  return current_system_facts().version();
}

}  // namespace

const system_facts& current_system_facts() noexcept {
  static const real_system_facts real;
  return g_installed ? *g_installed : real;
}

scoped_system_facts::scoped_system_facts(const system_facts& facts) noexcept
    : previous_(g_installed) {
  g_installed = &facts;
}

scoped_system_facts::~scoped_system_facts() {
  g_installed = previous_;
}

os_flags classify_os_version(const os_version_record& record) noexcept {
  if (!record.valid) return {};
  const DWORD major = record.info.dwMajorVersion;
  const DWORD minor = record.info.dwMinorVersion;
  switch (record.info.dwPlatformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
      if (minor == 0) return {true, os_windows_95};
      if (minor == 90) return {true, os_windows_me};
      // Windows Me in compatibility mode reports 4.10; its Kernel32 does not.
      if (minor == 10)
        return {true, record.kernel32_version == MAKELONG(90, 4) ? os_windows_me : os_windows_98};
      return {};
    case VER_PLATFORM_WIN32_NT:
      if (major == 4) return {true, os_windows_nt4};
      if (major == 5) {
        static constexpr unsigned long by_minor[] = {os_windows_2000, os_windows_xp,
                                                     os_windows_2003};
        return minor < 3 ? os_flags{true, by_minor[minor]} : os_flags{};
      }
      if (major == 6) {
        static constexpr unsigned long by_minor[] = {os_windows_vista, os_windows_7, os_windows_8,
                                                     os_windows_81};
        return minor < 4 ? os_flags{true, by_minor[minor]} : os_flags{};
      }
      if (major == 10) return minor == 0 ? os_flags{true, os_windows_10} : os_flags{};
      if (major > 10) return {false, os_windows_10};
      return {};
    default:
      return {};
  }
}

string os_flag_name(unsigned long flag) {
  switch (flag) {
    case os_windows_95:
      return L"Windows 95";
    case os_windows_98:
      return L"Windows 98";
    case os_windows_me:
      return L"Windows Me";
    case os_windows_nt4:
      return L"Windows NT 4.0";
    case os_windows_2000:
      return L"Windows 2000";
    case os_windows_xp:
      return L"Windows XP";
    case os_windows_2003:
      return L"Windows Server 2003";
    case os_windows_vista:
      return L"Windows Vista / Server 2008";
    case os_windows_7:
      return L"Windows 7 / Server 2008 R2";
    case os_windows_8:
      return L"Windows 8 / Server 2012";
    case os_windows_81:
      return L"Windows 8.1 / Server 2012 R2";
    case os_windows_10:
      return L"Windows 10 / Server 2016";
    default:
      return {};
  }
}

os_flags os_version_flags() {
  return classify_os_version(current_version());
}

string os_name(unsigned long flag) {
  return os_flag_name(flag ? flag : os_version_flags().flag);
}

DWORD os_build_number() {
  const os_version_record r = current_version();
  if (r.info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) return LOWORD(r.info.dwBuildNumber);
  return r.info.dwBuildNumber;
}

DWORD os_service_pack_major() {
  return current_version().info.wServicePackMajor;
}

DWORD os_major_version() {
  return current_version().info.dwMajorVersion;
}

DWORD os_platform_id() {
  return current_version().info.dwPlatformId;
}

bool running_on_nt() {
  return os_platform_id() == VER_PLATFORM_WIN32_NT;
}

bool running_on_win9x() {
  return current_version().version_high_bit;
}

SYSTEM_INFO native_system_info() {
  return current_system_facts().native_system_info();
}

bool os_64bit() {
  const WORD arch = native_system_info().wProcessorArchitecture;
  // ARM64 Windows runs 32-bit x86 programs under WOW64 as x64 Windows does,
  // with the same redirected folders and registry views.
  return arch == PROCESSOR_ARCHITECTURE_AMD64 || arch == PROCESSOR_ARCHITECTURE_IA64 ||
         arch == PROCESSOR_ARCHITECTURE_ARM64;
}

bool wow64_process() {
  return current_system_facts().wow64_process();
}

}  // namespace kx
