#include "prereq/file_condition.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "platform/folders.h"
#include "platform/version_info.h"
#include "tests/testing/probe_support.h"
#include "tests/testing/registry_sandbox.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx::prereq {
namespace {

using testing::RegistrySandbox;
using testing::ScopedTempDir;

constexpr const wchar_t* kEnvironment =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

// Makes `dir` the current directory for the life of the object.
class scoped_current_directory {
 public:
  explicit scoped_current_directory(const std::wstring& dir) {
    GetCurrentDirectoryW(MAX_PATH, previous_);
    EXPECT_TRUE(SetCurrentDirectoryW(dir.c_str()));
  }
  ~scoped_current_directory() { SetCurrentDirectoryW(previous_); }

 private:
  wchar_t previous_[MAX_PATH] = {};
};

std::wstring narrow_free(const string& s) {
  return s.str();
}

TEST(FileCondition, Candidates) {
  RegistrySandbox sandbox;
  ScopedTempDir dir;
  const scoped_current_directory here(dir.path());
  ASSERT_TRUE(SetEnvironmentVariableW(L"KXT_DIR", L"Q:\\kxt"));
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kEnvironment, L"PATH",
                                       L"%KXT_DIR%\\bin;;R:\\other\\;", REG_EXPAND_SZ),
            ERROR_SUCCESS);

  const auto candidates = [](const wchar_t* path) {
    std::vector<std::wstring> out;
    for (const string& c : file_candidates(path)) out.push_back(narrow_free(c));
    return out;
  };
  EXPECT_EQ(candidates(L"tool.exe"),
            (std::vector<std::wstring>{dir.file(L"tool.exe"), L"Q:\\kxt\\bin\\tool.exe",
                                       L"R:\\other\\tool.exe"}));
  EXPECT_EQ(candidates(L"sub\\tool.exe"), std::vector<std::wstring>{L"sub\\tool.exe"});
  EXPECT_EQ(candidates(L"C:\\x\\tool.exe"), std::vector<std::wstring>{L"C:\\x\\tool.exe"});
  EXPECT_TRUE(candidates(L"").empty());
  EXPECT_TRUE(file_candidates(string(L"a\0b", 3)).empty());
  SetEnvironmentVariableW(L"KXT_DIR", nullptr);
}

TEST(FileCondition, ExistenceThroughTheMachinePath) {
  RegistrySandbox sandbox;
  ScopedTempDir dir;
  ScopedTempDir elsewhere;
  ASSERT_TRUE(CreateDirectoryW(dir.file(L"bin").c_str(), nullptr));
  ASSERT_TRUE(testing::WriteBytes(dir.file(L"bin\\found.txt"), "x"));
  ASSERT_TRUE(testing::WriteBytes(elsewhere.file(L"here.txt"), "x"));
  ASSERT_TRUE(SetEnvironmentVariableW(L"KXT_DIR", dir.path().c_str()));
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kEnvironment, L"PATH", L"%KXT_DIR%\\bin",
                                       REG_EXPAND_SZ),
            ERROR_SUCCESS);
  const scoped_current_directory here(elsewhere.path());

  EXPECT_TRUE(evaluate_file_condition(4, 1, L"", L"found.txt", L""));
  EXPECT_FALSE(evaluate_file_condition(4, 2, L"", L"found.txt", L""));
  EXPECT_TRUE(evaluate_file_condition(4, 1, L"", L"here.txt", L""));
  EXPECT_FALSE(evaluate_file_condition(4, 1, L"", L"nowhere.txt", L""));
  EXPECT_TRUE(evaluate_file_condition(4, 2, L"", L"nowhere.txt", L""));
  // A folder of its own: no search.
  EXPECT_FALSE(evaluate_file_condition(4, 1, elsewhere.path(), L"found.txt", L""));
  EXPECT_TRUE(evaluate_file_condition(4, 1, dir.path(), L"bin\\found.txt", L""));
  SetEnvironmentVariableW(L"KXT_DIR", nullptr);
}

TEST(FileCondition, MissingFiles) {
  ScopedTempDir dir;
  const struct {
    std::uint32_t type, comparison;
    bool holds;
  } rows[] = {{4, 1, false}, {4, 2, true},   {4, 32, false}, {8, 1, false}, {8, 2, true},
              {8, 4, false}, {16, 1, false}, {16, 2, true},  {16, 4, false}};
  for (const auto& r : rows)
    EXPECT_EQ(evaluate_file_condition(r.type, r.comparison, dir.path(), L"missing.dll", L"1.0"),
              r.holds)
        << r.type << "/" << r.comparison;
}

TEST(FileCondition, DatesAreLocalFileTimes) {
  ScopedTempDir dir;
  const std::wstring file = dir.file(L"dated.txt");
  ASSERT_TRUE(testing::WriteBytes(file, "x"));

  FILETIME local{0x12345678u, 0x01D9A000u};
  FILETIME utc{};
  ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc));
  HANDLE h =
      CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &utc));
  CloseHandle(h);
  // What the condition will see: the stored time made local again.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data));
  FILETIME seen{};
  ASSERT_TRUE(FileTimeToLocalFileTime(&data.ftLastWriteTime, &seen));
  const unsigned long long t = (unsigned long long)seen.dwHighDateTime << 32 | seen.dwLowDateTime;
  const auto text = [](unsigned long long v) {
    return std::to_wstring(v >> 32) + L"." + std::to_wstring(v & 0xFFFFFFFFu);
  };

  const struct {
    std::uint32_t comparison;
    std::wstring expected;
    bool holds;
  } rows[] = {
      {1, text(t), true},      {1, text(t + 1), false}, {1, text(t - 1), false},
      {2, text(t), true},      {2, text(t + 1), true},  {2, text(t - 1), false},
      {4, text(t - 1), false}, {4, text(t + 1), false}, {8, text(t), false},
  };
  for (const auto& r : rows)
    EXPECT_EQ(evaluate_file_condition(8, r.comparison, dir.path(), L"dated.txt", r.expected),
              r.holds)
        << r.comparison << " " << std::string(r.expected.begin(), r.expected.end());
  EXPECT_EQ(parse_file_time(L"1.2"), (1ull << 32) | 2u);
  EXPECT_EQ(parse_file_time(L"7"), 7ull << 32);
  EXPECT_EQ(parse_file_time(L".9"), 9u);
}

TEST(FileCondition, Versions) {
  ScopedTempDir dir;
  const std::wstring probe = testing::ProbePath();
  ASSERT_TRUE(CopyFileW(probe.c_str(), dir.file(L"probe.exe").c_str(), FALSE));
  ASSERT_TRUE(testing::WriteBytes(dir.file(L"plain.txt"), "no resource"));
  const struct {
    const wchar_t* name;
    std::uint32_t comparison;
    const wchar_t* expected;
    bool holds;
  } rows[] = {
      {L"probe.exe", 1, L"12.0.3456.7", true}, {L"probe.exe", 1, L"12.0.3456", false},
      {L"probe.exe", 2, L"12.0.3456.8", true}, {L"probe.exe", 2, L"12.0.3456.7", false},
      {L"probe.exe", 4, L"12.0.3456.6", true}, {L"probe.exe", 4, L"12.0.3456.7", false},
      {L"probe.exe", 4, L"11.99999", true},    {L"probe.exe", 8, L"12", false},
      {L"probe.exe", 32, L"1.0", false},       {L"plain.txt", 1, L"0.0.0.0", true},
      {L"plain.txt", 2, L"0.0.0.1", true},     {L"plain.txt", 4, L"0", false},
  };
  for (const auto& r : rows)
    EXPECT_EQ(evaluate_file_condition(16, r.comparison, dir.path(), r.name, r.expected), r.holds)
        << std::wstring(r.name).size() << " " << r.comparison;
}

std::set<std::wstring> temp_copies() {
  std::set<std::wstring> names;
  const std::wstring pattern = temp_folder().str() + L"_kx*.tmp";
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(pattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.insert(data.cFileName);
  while (FindNextFileW(h, &data));
  FindClose(h);
  return names;
}

TEST(FileCondition, LoadedModuleIsReadFromACopy) {
  const string kernel32 = system_folder() + L"kernel32.dll";
  ASSERT_NE(GetModuleHandleW(kernel32.c_str()), nullptr);
  version_info direct;
  ASSERT_TRUE(direct.load(kernel32));
  const VS_FIXEDFILEINFO& f = direct.fixed();
  const std::wstring version = std::to_wstring(f.dwFileVersionMS >> 16) + L"." +
                               std::to_wstring(f.dwFileVersionMS & 0xFFFF) + L"." +
                               std::to_wstring(f.dwFileVersionLS >> 16) + L"." +
                               std::to_wstring(f.dwFileVersionLS & 0xFFFF);

  const std::set<std::wstring> before = temp_copies();
  EXPECT_TRUE(evaluate_file_condition(16, 1, L"[SystemFolder]", L"kernel32.dll", version));
  EXPECT_FALSE(evaluate_file_condition(16, 4, L"[SystemFolder]", L"kernel32.dll", version));
  EXPECT_EQ(temp_copies(), before);
}

}  // namespace
}  // namespace kx::prereq
