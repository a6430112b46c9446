// Which Windows this is: version identity and naming, 32/64-bit questions.
//
// Every answer comes from one replaceable provider of raw system facts
// (`system_facts`), so that the rules can be exercised for systems the tests
// cannot run on (Windows 9x, WOW64).
#pragma once

#include <windows.h>

#include "base/stringx.h"

namespace kx {

// One bit per recognised Windows version.
enum os_flag : unsigned long {
  os_windows_95 = 0x10,
  os_windows_98 = 0x40,
  os_windows_me = 0x80,
  os_windows_nt4 = 0x10000,
  os_windows_2000 = 0x100000,
  os_windows_xp = 0x400000,
  os_windows_2003 = 0x800000,
  os_windows_vista = 0x1000000,
  os_windows_7 = 0x2000000,
  os_windows_8 = 0x4000000,
  os_windows_81 = 0x8000000,
  os_windows_10 = 0x10000000,
};

// The raw version facts the questions below are answered from.
struct os_version_record {
  // GetVersionExW succeeded; when false, `info` is all zero.
  bool valid = false;
  OSVERSIONINFOEXW info{};
  // The high bit of GetVersion(): set on the Windows 9x platform.
  bool version_high_bit = false;
  // The file version (major << 16 | minor) of Kernel32.dll in the system
  // folder. Read only on the 9x platform with minor version 10, where it
  // tells Windows Me from Windows 98; 0 otherwise or when unreadable.
  DWORD kernel32_version = 0;
};

// The source of the raw facts. The real one asks the system; tests install
// their own with `scoped_system_facts`.
class system_facts {
 public:
  virtual ~system_facts() = default;
  // The version record of the running system.
  virtual os_version_record version() const = 0;
  // GetNativeSystemInfo when kernel32 has it, else GetSystemInfo.
  virtual SYSTEM_INFO native_system_info() const = 0;
  // IsWow64Process of the current process when kernel32 has it, else false.
  virtual bool wow64_process() const = 0;
};

// The provider in force: the one of the innermost `scoped_system_facts`, or
// the real system.
const system_facts& current_system_facts() noexcept;

// Puts `facts` in force for the life of the object, then restores the
// provider that was in force before. `facts` must outlive the object.
class scoped_system_facts {
 public:
  explicit scoped_system_facts(const system_facts& facts) noexcept;
  ~scoped_system_facts();
  scoped_system_facts(const scoped_system_facts&) = delete;
  scoped_system_facts& operator=(const scoped_system_facts&) = delete;

 private:
  const system_facts* previous_;
};

// A version flag and whether the version is one this program recognises.
struct os_flags {
  bool known = false;
  unsigned long flag = 0;
};

// The flag of the version in `record`. Unrecognised versions give
// {false, 0}, except NT major versions above 10, which give
// {false, os_windows_10}: they are taken for the newest known system.
os_flags classify_os_version(const os_version_record& record) noexcept;

// The name of one flag ("Windows XP"); empty for 0 or an unknown flag.
string os_flag_name(unsigned long flag);

// classify_os_version of the running system.
os_flags os_version_flags();

// The name of `flag`, or with 0 of the running system's flag; empty when the
// version is not recognised.
string os_name(unsigned long flag = 0);

// The build number (on the 9x platform the low word only: the high word
// repeats the version there); 0 when the version cannot be read.
DWORD os_build_number();
// The major service-pack number; 0 when the version cannot be read.
DWORD os_service_pack_major();
// The major version; 0 when the version cannot be read.
DWORD os_major_version();
// VER_PLATFORM_WIN32_WINDOWS, VER_PLATFORM_WIN32_NT, ...; 0 when the version
// cannot be read.
DWORD os_platform_id();

// The platform id is VER_PLATFORM_WIN32_NT.
bool running_on_nt();
// GetVersion() has its high bit set (the 9x platform, without user security).
bool running_on_win9x();

// The processor information of the machine rather than of the process's
// emulated view (GetNativeSystemInfo, falling back to GetSystemInfo).
SYSTEM_INFO native_system_info();
// The native processor architecture is AMD64, IA64 or ARM64.
bool os_64bit();
// The process is a 32-bit process on 64-bit Windows.
bool wow64_process();

}  // namespace kx
