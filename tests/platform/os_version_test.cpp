#include "platform/os_version.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

constexpr DWORD k9x = VER_PLATFORM_WIN32_WINDOWS;
constexpr DWORD kNt = VER_PLATFORM_WIN32_NT;

os_version_record make_record(DWORD platform, DWORD major, DWORD minor, DWORD build = 0,
                              DWORD kernel32 = 0) {
  os_version_record r;
  r.valid = true;
  r.info.dwOSVersionInfoSize = sizeof r.info;
  r.info.dwPlatformId = platform;
  r.info.dwMajorVersion = major;
  r.info.dwMinorVersion = minor;
  r.info.dwBuildNumber = build;
  r.version_high_bit = platform == k9x;
  r.kernel32_version = kernel32;
  return r;
}

// Answers from fixed facts instead of the running system.
class fake_facts final : public system_facts {
 public:
  os_version_record record;
  WORD architecture = PROCESSOR_ARCHITECTURE_INTEL;
  bool wow64 = false;

  os_version_record version() const override { return record; }
  SYSTEM_INFO native_system_info() const override {
    SYSTEM_INFO info{};
    info.wProcessorArchitecture = architecture;
    return info;
  }
  bool wow64_process() const override { return wow64; }
};

struct flag_case {
  DWORD platform, major, minor, kernel32;
  bool known;
  unsigned long flag;
  const wchar_t* name;
};

TEST(OsVersionTest, ClassifiesEveryVersionOfTheTableAndRejectsTheRest) {
  const flag_case cases[] = {
      {k9x, 4, 0, 0, true, 0x10, L"Windows 95"},
      {k9x, 4, 10, 0, true, 0x40, L"Windows 98"},
      {k9x, 4, 10, MAKELONG(10, 4), true, 0x40, L"Windows 98"},
      {k9x, 4, 10, MAKELONG(90, 4), true, 0x80, L"Windows Me"},
      {k9x, 4, 90, 0, true, 0x80, L"Windows Me"},
      {kNt, 4, 0, 0, true, 0x10000, L"Windows NT 4.0"},
      {kNt, 4, 1, 0, true, 0x10000, L"Windows NT 4.0"},
      {kNt, 5, 0, 0, true, 0x100000, L"Windows 2000"},
      {kNt, 5, 1, 0, true, 0x400000, L"Windows XP"},
      {kNt, 5, 2, 0, true, 0x800000, L"Windows Server 2003"},
      {kNt, 6, 0, 0, true, 0x1000000, L"Windows Vista / Server 2008"},
      {kNt, 6, 1, 0, true, 0x2000000, L"Windows 7 / Server 2008 R2"},
      {kNt, 6, 2, 0, true, 0x4000000, L"Windows 8 / Server 2012"},
      {kNt, 6, 3, 0, true, 0x8000000, L"Windows 8.1 / Server 2012 R2"},
      {kNt, 10, 0, 0, true, 0x10000000, L"Windows 10 / Server 2016"},
      // Not recognised.
      {k9x, 4, 5, 0, false, 0, L""},
      {k9x, 4, 5, MAKELONG(90, 4), false, 0, L""},
      {kNt, 5, 3, 0, false, 0, L""},
      {kNt, 6, 4, 0, false, 0, L""},
      {kNt, 10, 1, 0, false, 0, L""},
      {kNt, 7, 0, 0, false, 0, L""},
      {kNt, 9, 0, 0, false, 0, L""},
      {kNt, 3, 51, 0, false, 0, L""},
      {VER_PLATFORM_WIN32s, 3, 10, 0, false, 0, L""},
      // Newer than anything known: taken for the newest, but not recognised.
      {kNt, 11, 0, 0, false, 0x10000000, L"Windows 10 / Server 2016"},
  };
  for (const flag_case& c : cases) {
    SCOPED_TRACE(testing::Message() << "platform " << c.platform << " " << c.major << "." << c.minor
                                    << " kernel32 " << std::hex << c.kernel32);
    fake_facts facts;
    facts.record = make_record(c.platform, c.major, c.minor, 0, c.kernel32);
    const os_flags pure = classify_os_version(facts.record);
    EXPECT_EQ(pure.known, c.known);
    EXPECT_EQ(pure.flag, c.flag);

    scoped_system_facts scope(facts);
    const os_flags live = os_version_flags();
    EXPECT_EQ(live.known, c.known);
    EXPECT_EQ(live.flag, c.flag);
    EXPECT_EQ(os_name(), c.name);
  }
}

TEST(OsVersionTest, NamesAGivenFlagWithoutAskingTheSystem) {
  fake_facts facts;
  facts.record = make_record(kNt, 6, 1);
  scoped_system_facts scope(facts);
  EXPECT_EQ(os_name(os_windows_xp), L"Windows XP");
  EXPECT_EQ(os_name(os_windows_95), L"Windows 95");
  EXPECT_EQ(os_name(0x20), L"");
  EXPECT_EQ(os_name(os_windows_xp | os_windows_7), L"");
}

TEST(OsVersionTest, AnUnreadableVersionGivesZeroEverywhere) {
  fake_facts facts;  // valid = false
  scoped_system_facts scope(facts);
  const os_flags flags = os_version_flags();
  EXPECT_FALSE(flags.known);
  EXPECT_EQ(flags.flag, 0u);
  EXPECT_EQ(os_name(), L"");
  EXPECT_EQ(os_build_number(), 0u);
  EXPECT_EQ(os_service_pack_major(), 0u);
  EXPECT_EQ(os_major_version(), 0u);
  EXPECT_EQ(os_platform_id(), 0u);
  EXPECT_FALSE(running_on_nt());
  EXPECT_FALSE(running_on_win9x());
}

TEST(OsVersionTest, ReportsTheFieldsOfTheRecord) {
  fake_facts facts;
  facts.record = make_record(kNt, 5, 1, 2600);
  facts.record.info.wServicePackMajor = 3;
  {
    scoped_system_facts scope(facts);
    EXPECT_EQ(os_build_number(), 2600u);
    EXPECT_EQ(os_service_pack_major(), 3u);
    EXPECT_EQ(os_major_version(), 5u);
    EXPECT_EQ(os_platform_id(), kNt);
    EXPECT_TRUE(running_on_nt());
    EXPECT_FALSE(running_on_win9x());
  }
  // Windows 98 SE: the high word of the build number repeats 4.10.
  facts.record = make_record(k9x, 4, 10, 0x040A08AE);
  scoped_system_facts scope(facts);
  EXPECT_EQ(os_build_number(), 2222u);
  EXPECT_FALSE(running_on_nt());
  EXPECT_TRUE(running_on_win9x());
}

TEST(OsVersionTest, SixtyFourBitMeansAnAmd64ItaniumOrArm64Machine) {
  const struct {
    WORD architecture;
    bool is64;
  } cases[] = {
      {PROCESSOR_ARCHITECTURE_INTEL, false}, {PROCESSOR_ARCHITECTURE_AMD64, true},
      {PROCESSOR_ARCHITECTURE_IA64, true},   {PROCESSOR_ARCHITECTURE_ARM64, true},
      {PROCESSOR_ARCHITECTURE_ARM, false},   {PROCESSOR_ARCHITECTURE_UNKNOWN, false},
  };
  for (const auto& c : cases) {
    fake_facts facts;
    facts.architecture = c.architecture;
    scoped_system_facts scope(facts);
    EXPECT_EQ(os_64bit(), c.is64) << c.architecture;
    EXPECT_EQ(native_system_info().wProcessorArchitecture, c.architecture);
  }
}

TEST(OsVersionTest, ScopesNestAndRestoreTheRealSystem) {
  fake_facts outer, inner;
  outer.wow64 = true;
  inner.wow64 = false;
  inner.architecture = PROCESSOR_ARCHITECTURE_IA64;
  const system_facts* real = &current_system_facts();
  {
    scoped_system_facts a(outer);
    EXPECT_TRUE(wow64_process());
    {
      scoped_system_facts b(inner);
      EXPECT_FALSE(wow64_process());
      EXPECT_EQ(&current_system_facts(), &inner);
    }
    EXPECT_EQ(&current_system_facts(), &outer);
  }
  EXPECT_EQ(&current_system_facts(), real);
}

// The 64-bit test program under 64-bit Wine (7 or 10 depending on the
// prefix; the test program has no compatibility manifest).
TEST(OsVersionTest, TheRealSystemIsA64BitNtWithoutWow64) {
  EXPECT_TRUE(running_on_nt());
  EXPECT_FALSE(running_on_win9x());
  EXPECT_EQ(os_platform_id(), kNt);
  EXPECT_GE(os_major_version(), 6u);
  EXPECT_GT(os_build_number(), 0u);
  const os_flags flags = os_version_flags();
  EXPECT_TRUE(flags.known);
  EXPECT_NE(flags.flag, 0u);
  EXPECT_FALSE(os_name().empty());
  EXPECT_TRUE(os_64bit());
  EXPECT_EQ(native_system_info().wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
  EXPECT_FALSE(wow64_process());
}

}  // namespace
}  // namespace kx
