#include "platform/temp_names.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cwctype>
#include <vector>

#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

using testing::ScopedTempDir;

bool Exists(const string& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

size_t EntriesIn(const std::wstring& folder) {
  size_t n = 0;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do {
    if (wcscmp(fd.cFileName, L".") && wcscmp(fd.cFileName, L"..")) ++n;
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return n;
}

TEST(TempNamesTest, GuidStringsAreLowerCaseWithoutBraces) {
  const string a = new_guid_string();
  ASSERT_EQ(a.size(), 36u);
  for (size_t i = 0; i < a.size(); ++i) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      EXPECT_EQ(a[i], L'-');
    } else {
      EXPECT_TRUE(std::iswxdigit(a[i]) && !std::iswupper(a[i])) << i;
    }
  }
  EXPECT_NE(new_guid_string(), a);
}

TEST(TempNamesTest, CounterNamesLeaveNothingBehind) {
  ScopedTempDir dir;
  const string plain = temp_name(string(dir.path()));
  ASSERT_FALSE(plain.empty());
  EXPECT_TRUE(plain.starts_with_i(string(dir.path() + L"\\_kx")));
  EXPECT_TRUE(plain.ends_with_i(L".tmp"));
  EXPECT_FALSE(Exists(plain));

  const string log = temp_name(string(dir.path()), L".log");
  EXPECT_TRUE(log.starts_with_i(string(dir.path() + L"\\_kx")));
  EXPECT_TRUE(log.ends_with_i(L".log"));
  EXPECT_EQ(log.find(L".tmp"), string::npos);
  EXPECT_TRUE(temp_name(string(dir.path()), L"ini").ends_with_i(L".ini"));
  EXPECT_EQ(EntriesIn(dir.path()), 0u);
}

TEST(TempNamesTest, OnlyTheFinalTmpIsReplaced) {
  ScopedTempDir dir;
  const std::wstring folder = dir.file(L"cache.tmp");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const string name = temp_name(string(folder), L".dat");
  EXPECT_TRUE(name.starts_with_i(string(folder + L"\\_kx"))) << name.str();
  EXPECT_TRUE(name.ends_with_i(L".dat"));
}

TEST(TempNamesTest, DefaultFolderIsTheTemporaryFolder) {
  wchar_t temp[MAX_PATH];
  ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
  const string name = temp_name();
  EXPECT_TRUE(name.starts_with_i(temp)) << name.str();
  EXPECT_FALSE(Exists(name));
  EXPECT_TRUE(temp_name(string(), string(), false).starts_with_i(temp));
}

TEST(TempNamesTest, UnusableFolderGivesNoName) {
  ScopedTempDir dir;
  EXPECT_EQ(temp_name(string(dir.file(L"missing"))), L"");
}

// A GUID source that hands out names from a list, the last one forever.
std::vector<std::wstring> guid_list;
size_t guid_next = 0;
string ListedGuid() {
  const std::wstring& g =
      guid_list[guid_next < guid_list.size() ? guid_next++ : guid_list.size() - 1];
  return string(g);
}

class GuidNamesTest : public ::testing::Test {
 protected:
  void SetUp() override { guid_next = 0; }
  void TearDown() override { detail::set_guid_source(nullptr); }
  ScopedTempDir dir_;
};

TEST_F(GuidNamesTest, SkipsNamesTakenByFilesAndFolders) {
  guid_list = {L"taken-file", L"taken-folder", L"free"};
  ASSERT_TRUE(testing::WriteBytes(dir_.file(L"taken-file.cab"), "x"));
  ASSERT_TRUE(CreateDirectoryW(dir_.file(L"taken-folder.cab").c_str(), nullptr));
  detail::set_guid_source(ListedGuid);
  EXPECT_EQ(temp_name(string(dir_.path() + L"\\"), L".cab", false).str(), dir_.file(L"free.cab"));
  guid_next = 0;
  EXPECT_EQ(temp_name(string(dir_.path()), string(), false).str(), dir_.file(L"taken-file"));
}

TEST_F(GuidNamesTest, GivesUpWhenTheCounterRunsOut) {
  guid_list = {L"always"};
  ASSERT_TRUE(testing::WriteBytes(dir_.file(L"always"), "x"));
  detail::set_guid_source(ListedGuid);
  EXPECT_EQ(temp_name(string(dir_.path()), string(), false), L"");
}

TEST(SecureTempFolderTest, DescriptorGrantsUsersReadAndAdministratorsAll) {
  security_descriptor_ptr sd = secure_folder_descriptor();
  ASSERT_TRUE(sd);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(sd.get(), &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED);
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(sd.get(), &present, &dacl, &defaulted));
  ASSERT_TRUE(present && dacl);
  ASSERT_EQ(dacl->AceCount, 2);

  struct Expected {
    WELL_KNOWN_SID_TYPE sid;
    ACCESS_MASK mask;
  } expected[] = {{WinBuiltinUsersSid, 0x1200A9}, {WinBuiltinAdministratorsSid, 0x1F01FF}};
  for (DWORD i = 0; i < 2; ++i) {
    void* raw = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, &raw));
    const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    EXPECT_EQ(ace->Mask, expected[i].mask);
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    ASSERT_TRUE(CreateWellKnownSid(expected[i].sid, nullptr, sid, &size));
    EXPECT_TRUE(EqualSid(const_cast<DWORD*>(&ace->SidStart), sid)) << i;
  }
}

TEST(SecureTempFolderTest, CreatesABracedGuidFolderInTheTemporaryFolder) {
  wchar_t temp[MAX_PATH];
  ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
  const string folder = create_secure_temp_folder();
  ASSERT_FALSE(folder.empty());
  const std::wstring plain = folder.str();
  EXPECT_TRUE(folder.starts_with_i(string(std::wstring(temp) + L"{")));
  EXPECT_TRUE(folder.ends_with_i(L"}\\"));
  EXPECT_EQ(plain.size(), wcslen(temp) + 1 + 36 + 1 + 1);
  const DWORD attributes = GetFileAttributesW(plain.c_str());
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_TRUE(RemoveDirectoryW(plain.c_str()));
  const string second = create_secure_temp_folder();
  EXPECT_NE(second, folder);
  EXPECT_TRUE(RemoveDirectoryW(second.c_str()));
}

}  // namespace
}  // namespace kx
