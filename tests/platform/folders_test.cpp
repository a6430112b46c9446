#include "platform/folders.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <optional>
#include <string>

#include "platform/os_version.h"
#include "tests/testing/registry_sandbox.h"

namespace kx {
namespace {

using testing::RegistrySandbox;

constexpr wchar_t kCurrentVersion[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

class fake_facts final : public system_facts {
 public:
  DWORD platform = VER_PLATFORM_WIN32_NT;
  DWORD major = 10;
  WORD architecture = PROCESSOR_ARCHITECTURE_AMD64;
  bool wow64 = false;

  os_version_record version() const override {
    os_version_record r;
    r.valid = true;
    r.info.dwPlatformId = platform;
    r.info.dwMajorVersion = major;
    return r;
  }
  SYSTEM_INFO native_system_info() const override {
    SYSTEM_INFO info{};
    info.wProcessorArchitecture = architecture;
    return info;
  }
  bool wow64_process() const override { return wow64; }
};

// Sets (or, with nullopt, removes) an environment variable for one scope.
class scoped_environment {
 public:
  scoped_environment(const wchar_t* name, std::optional<std::wstring> value) : name_(name) {
    wchar_t buffer[32768];
    const DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
    if (n > 0 && n < 32768) saved_ = std::wstring(buffer, n);
    SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
  }
  ~scoped_environment() { SetEnvironmentVariableW(name_, saved_ ? saved_->c_str() : nullptr); }

 private:
  const wchar_t* name_;
  std::optional<std::wstring> saved_;
};

std::wstring system_directory() {
  wchar_t buffer[MAX_PATH];
  GetSystemDirectoryW(buffer, MAX_PATH);
  return std::wstring(buffer) + L"\\";
}

bool is_folder(const string& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(FoldersTest, SystemFolderKinds) {
  const string windows = windows_folder();
  ASSERT_TRUE(windows.ends_with_i(L"\\"));
  EXPECT_TRUE(is_folder(windows));
  const struct {
    int kind;
    string expected;
  } cases[] = {
      {0, string(system_directory())},  {1, windows + L"sysnative\\"},
      {2, windows + L"syswow64\\"},     {3, string(system_directory())},
      {-1, string(system_directory())},
  };
  for (const auto& c : cases) EXPECT_EQ(system_folder(c.kind).str(), c.expected.str()) << c.kind;
}

TEST(FoldersTest, ProcessFoldersFollowTheArchitectureAndWow64) {
  const string windows = windows_folder();
  const struct {
    const char* what;
    WORD architecture;
    bool wow64;
    string syswow64, sysnative;
  } cases[] = {
      {"32-bit process on 64-bit Windows", PROCESSOR_ARCHITECTURE_AMD64, true,
       windows + L"syswow64\\", windows + L"sysnative\\"},
      {"64-bit process", PROCESSOR_ARCHITECTURE_AMD64, false, windows + L"syswow64\\", L""},
      {"Itanium", PROCESSOR_ARCHITECTURE_IA64, false, windows + L"syswow64\\", L""},
      {"32-bit process on ARM64 Windows", PROCESSOR_ARCHITECTURE_ARM64, true,
       windows + L"syswow64\\", windows + L"sysnative\\"},
      {"32-bit Windows", PROCESSOR_ARCHITECTURE_INTEL, false, L"", L""},
  };
  for (const auto& c : cases) {
    fake_facts facts;
    facts.architecture = c.architecture;
    facts.wow64 = c.wow64;
    scoped_system_facts scope(facts);
    const system_folders f = compute_system_folders();
    EXPECT_EQ(f.system.str(), system_directory()) << c.what;
    EXPECT_EQ(f.windows.str(), windows.str()) << c.what;
    EXPECT_EQ(f.syswow64.str(), c.syswow64.str()) << c.what;
    EXPECT_EQ(f.sysnative.str(), c.sysnative.str()) << c.what;
    EXPECT_EQ(wow64_process(), c.wow64) << c.what;
  }
  // This 64-bit process on 64-bit Wine.
  const system_folders& real = process_system_folders();
  EXPECT_EQ(&real, &process_system_folders());
  EXPECT_EQ(real.syswow64.str(), (windows + L"syswow64\\").str());
  EXPECT_TRUE(real.sysnative.empty());
  EXPECT_TRUE(is_folder(real.syswow64));
}

TEST(FoldersTest, TempFolder) {
  wchar_t expected[MAX_PATH + 1];
  ASSERT_GT(GetTempPathW(MAX_PATH + 1, expected), 0u);
  const string temp = temp_folder();
  EXPECT_EQ(temp, expected);
  EXPECT_TRUE(temp.ends_with_i(L"\\"));
  EXPECT_TRUE(is_folder(temp));
}

TEST(FoldersTest, ProgramFilesFolderComesFromTheRegistry) {
  RegistrySandbox sandbox;
  EXPECT_EQ(program_files_folder(false), L"");
  EXPECT_EQ(program_files_folder(true), L"");
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, L"ProgramFilesDir",
                                       L"X:\\Apps"),
            0);
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, L"CommonFilesDir",
                                       L"X:\\Shared\\"),
            0);
  EXPECT_EQ(program_files_folder(false), L"X:\\Apps\\");
  EXPECT_EQ(program_files_folder(true), L"X:\\Shared\\");
  // Hand-edited values are cleaned like every folder name from the registry.
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, L"ProgramFilesDir",
                                       L" \tX:\\Ap*ps\\\\Sub// \n"),
            0);
  EXPECT_EQ(program_files_folder(false), L"X:\\Apps\\Sub/\\");
}

TEST(FoldersTest, ShellFoldersEndWithABackslash) {
  for (int csidl : {CSIDL_DESKTOP, CSIDL_PERSONAL, CSIDL_APPDATA, CSIDL_PROGRAM_FILES,
                    CSIDL_PROGRAM_FILES_COMMON, CSIDL_FONTS}) {
    const string folder = shell_folder(csidl);
    EXPECT_TRUE(folder.ends_with_i(L"\\")) << csidl;
    EXPECT_TRUE(is_folder(folder)) << csidl;
  }
  EXPECT_EQ(shell_folder(CSIDL_FONTS), windows_folder() + L"Fonts\\");
  // A folder the shell does not know, and no fallback for it.
  EXPECT_EQ(shell_folder(0x7E), L"");
}

TEST(FoldersTest, FallbackLayoutForOldSystems) {
  const string windows = windows_folder();
  const string root = windows.substr(0, 3);  // "C:\"
  RegistrySandbox sandbox;
  const struct {
    const char* what;
    DWORD platform, major;
    const wchar_t* profile;  // null: not set
    int csidl;
    const wchar_t* program_files;  // ProgramFilesDir, null: missing
    const wchar_t* common_files;   // CommonFilesDir, null: missing
    string expected;
  } cases[] = {
      {"NT 4 personal", VER_PLATFORM_WIN32_NT, 4, L"C:\\Profiles\\u", CSIDL_PERSONAL, nullptr,
       nullptr, L"C:\\Profiles\\u\\Personal\\"},
      {"9x personal", VER_PLATFORM_WIN32_WINDOWS, 4, nullptr, CSIDL_PERSONAL, nullptr, nullptr,
       windows + L"Personal\\"},
      {"XP personal", VER_PLATFORM_WIN32_NT, 5, L"C:\\Profiles\\u\\", CSIDL_PERSONAL, nullptr,
       nullptr, L"C:\\Profiles\\u\\My Documents\\"},
      {"NT 4 application data", VER_PLATFORM_WIN32_NT, 4, L"C:\\Profiles\\u", CSIDL_APPDATA,
       nullptr, nullptr, L"C:\\Profiles\\u\\Application Data\\"},
      {"9x application data", VER_PLATFORM_WIN32_WINDOWS, 4, nullptr, CSIDL_APPDATA, nullptr,
       nullptr, windows + L"Application Data\\"},
      {"program files from the registry", VER_PLATFORM_WIN32_NT, 4, nullptr, CSIDL_PROGRAM_FILES,
       L"D:\\Programs", nullptr, L"D:\\Programs\\"},
      {"program files guessed", VER_PLATFORM_WIN32_NT, 4, nullptr, CSIDL_PROGRAM_FILES, nullptr,
       nullptr, root + L"Program Files\\"},
      {"common files from the registry", VER_PLATFORM_WIN32_NT, 4, nullptr,
       CSIDL_PROGRAM_FILES_COMMON, L"D:\\Programs", L"E:\\Common", L"E:\\Common\\"},
      {"common files below program files", VER_PLATFORM_WIN32_NT, 4, nullptr,
       CSIDL_PROGRAM_FILES_COMMON, L"D:\\Programs", nullptr, L"D:\\Programs\\Common Files\\"},
      {"common files guessed", VER_PLATFORM_WIN32_WINDOWS, 4, nullptr, CSIDL_PROGRAM_FILES_COMMON,
       nullptr, nullptr, root + L"Program Files\\Common Files\\"},
      {"fonts", VER_PLATFORM_WIN32_WINDOWS, 4, nullptr, CSIDL_FONTS, nullptr, nullptr,
       windows + L"Fonts\\"},
      {"desktop", VER_PLATFORM_WIN32_NT, 4, L"C:\\Profiles\\u", CSIDL_DESKTOP, nullptr, nullptr,
       L""},
  };
  for (const auto& c : cases) {
    fake_facts facts;
    facts.platform = c.platform;
    facts.major = c.major;
    scoped_system_facts scope(facts);
    scoped_environment profile(L"USERPROFILE",
                               c.profile ? std::optional<std::wstring>(c.profile) : std::nullopt);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kCurrentVersion);
    if (c.program_files)
      RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, L"ProgramFilesDir",
                                 c.program_files);
    if (c.common_files)
      RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kCurrentVersion, L"CommonFilesDir",
                                 c.common_files);
    EXPECT_EQ(shell_folder_fallback(c.csidl).str(), c.expected.str()) << c.what;
  }
}

}  // namespace
}  // namespace kx
