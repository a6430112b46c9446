#include "platform/pending_operations.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/group_member.h"
#include "tests/testing/registry_sandbox.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

using testing::ReadBytes;
using testing::RegistrySandbox;
using testing::ScopedTempDir;
using testing::WriteBytes;

constexpr const wchar_t* kKey = L"Software\\KestrixPendingOperation";

bool exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool key_exists(HKEY root) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void set(HKEY root, const std::wstring& name, const std::wstring& value) {
  ASSERT_EQ(RegistrySandbox::SetString(root, kKey, name, value), ERROR_SUCCESS);
}

void set_count(HKEY root, DWORD count) {
  ASSERT_EQ(RegistrySandbox::SetDword(root, kKey, L"Count", count), ERROR_SUCCESS);
}

BOOL WINAPI refuse_thread_token(HANDLE, DWORD, BOOL, HANDLE*) {
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}
BOOL WINAPI refuse_process_token(HANDLE, DWORD, HANDLE*) {
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

TEST(PendingOperationsTest, DeletesAndMovesThenRemovesTheKey) {
  RegistrySandbox sandbox;
  ScopedTempDir dir;
  const std::wstring doomed = dir.file(L"doomed.dll");
  const std::wstring fresh = dir.file(L"fresh.dll");
  const std::wstring in_place = dir.file(L"in_place.dll");
  ASSERT_TRUE(WriteBytes(doomed, "old"));
  ASSERT_TRUE(WriteBytes(fresh, "new version"));
  ASSERT_TRUE(WriteBytes(in_place, "old version"));
  set_count(HKEY_LOCAL_MACHINE, 2);
  set(HKEY_LOCAL_MACHINE, L"source1", doomed);
  set(HKEY_LOCAL_MACHINE, L"dest1", L"");
  set(HKEY_LOCAL_MACHINE, L"source2", fresh);
  set(HKEY_LOCAL_MACHINE, L"dest2", in_place);
  // A subkey goes with the key.
  ASSERT_EQ(RegistrySandbox::CreateKey(HKEY_LOCAL_MACHINE, std::wstring(kKey) + L"\\Extra"),
            ERROR_SUCCESS);

  EXPECT_EQ(run_pending_operations(HKEY_LOCAL_MACHINE), S_OK);
  EXPECT_FALSE(exists(doomed));
  EXPECT_FALSE(exists(fresh));
  EXPECT_EQ(ReadBytes(in_place), "new version");
  EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE));
}

TEST(PendingOperationsTest, AnIncompleteEntryIsSkippedAndTheRestGoesOn) {
  RegistrySandbox sandbox;
  ScopedTempDir dir;
  const std::wstring kept = dir.file(L"kept.txt");
  const std::wstring doomed = dir.file(L"doomed.txt");
  const std::wstring moved = dir.file(L"moved.txt");
  ASSERT_TRUE(WriteBytes(kept, "k"));
  ASSERT_TRUE(WriteBytes(doomed, "d"));
  ASSERT_TRUE(WriteBytes(moved, "m"));
  set_count(HKEY_LOCAL_MACHINE, 4);
  // 1: no source1; 2: no dest2; 3: a delete; 4: a move.
  set(HKEY_LOCAL_MACHINE, L"dest1", kept);
  set(HKEY_LOCAL_MACHINE, L"source2", kept);
  set(HKEY_LOCAL_MACHINE, L"source3", doomed);
  set(HKEY_LOCAL_MACHINE, L"dest3", L"");
  set(HKEY_LOCAL_MACHINE, L"source4", moved);
  set(HKEY_LOCAL_MACHINE, L"dest4", dir.file(L"arrived.txt"));

  EXPECT_EQ(run_pending_operations(HKEY_LOCAL_MACHINE), S_OK);
  EXPECT_EQ(ReadBytes(kept), "k");
  EXPECT_FALSE(exists(doomed));
  EXPECT_EQ(ReadBytes(dir.file(L"arrived.txt")), "m");
  EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE));
}

TEST(PendingOperationsTest, AFailedMoveIsReportedAndTheKeyStillGoes) {
  RegistrySandbox sandbox;
  ScopedTempDir dir;
  const std::wstring doomed = dir.file(L"doomed.txt");
  ASSERT_TRUE(WriteBytes(doomed, "d"));
  set_count(HKEY_LOCAL_MACHINE, 3);
  set(HKEY_LOCAL_MACHINE, L"source1", dir.file(L"missing.txt"));
  set(HKEY_LOCAL_MACHINE, L"dest1", dir.file(L"target.txt"));
  // A failed delete is not reported.
  set(HKEY_LOCAL_MACHINE, L"source2", dir.file(L"also_missing.txt"));
  set(HKEY_LOCAL_MACHINE, L"dest2", L"");
  set(HKEY_LOCAL_MACHINE, L"source3", doomed);
  set(HKEY_LOCAL_MACHINE, L"dest3", L"");

  EXPECT_EQ(run_pending_operations(HKEY_LOCAL_MACHINE),
            static_cast<HRESULT>(0x80070000 | ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(exists(doomed));
  EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE));
}

TEST(PendingOperationsTest, WithoutEntriesTheKeyGoesToo) {
  RegistrySandbox sandbox;
  EXPECT_EQ(run_pending_operations(HKEY_LOCAL_MACHINE), S_OK) << "no key at all";
  ASSERT_EQ(RegistrySandbox::CreateKey(HKEY_LOCAL_MACHINE, kKey), ERROR_SUCCESS);
  EXPECT_EQ(run_pending_operations(HKEY_LOCAL_MACHINE), S_OK) << "no Count";
  EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE));
  set_count(HKEY_LOCAL_MACHINE, 0);
  set(HKEY_LOCAL_MACHINE, L"source1", L"C:\\never\\touched.txt");
  EXPECT_EQ(run_pending_operations(HKEY_LOCAL_MACHINE), S_OK) << "Count 0";
  EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE));
}

TEST(PendingOperationsTest, ADamagedCountEndsWithTheLastEntry) {
  RegistrySandbox sandbox;
  ScopedTempDir dir;
  const std::wstring doomed = dir.file(L"doomed.txt");
  ASSERT_TRUE(WriteBytes(doomed, "d"));
  set_count(HKEY_LOCAL_MACHINE, 0xFFFFFFFF);
  set(HKEY_LOCAL_MACHINE, L"source2", doomed);
  set(HKEY_LOCAL_MACHINE, L"dest2", L"");
  EXPECT_EQ(run_pending_operations(HKEY_LOCAL_MACHINE), S_OK);
  EXPECT_FALSE(exists(doomed));
  EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE));
}

TEST(PendingOperationsTest, TheRootFollowsTheUsersGroups) {
  RegistrySandbox sandbox;
  ScopedTempDir dir;
  // The test user is an administrator: the machine's key.
  EXPECT_EQ(pending_operations_root(), HKEY_LOCAL_MACHINE);

  // A user whose token cannot be shown to hold either group: the user's key.
  const scoped_token_openers refused({&refuse_thread_token, &refuse_process_token});
  EXPECT_EQ(pending_operations_root(), HKEY_CURRENT_USER);
  const std::wstring doomed = dir.file(L"doomed.txt");
  ASSERT_TRUE(WriteBytes(doomed, "d"));
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    set_count(root, 1);
    set(root, L"source1", doomed);
    set(root, L"dest1", L"");
  }
  EXPECT_EQ(run_pending_operations(), S_OK);
  EXPECT_FALSE(exists(doomed));
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER));
  EXPECT_TRUE(key_exists(HKEY_LOCAL_MACHINE)) << "the machine's key is not this user's to run";
}

}  // namespace
}  // namespace kx
