#include "platform/registry.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/error_record.h"
#include "tests/testing/registry_sandbox.h"

namespace kx {
namespace {

using testing::RegistrySandbox;

constexpr wchar_t kKey[] = L"Software\\KxValues";

class RegistryTest : public ::testing::Test {
 protected:
  RegistrySandbox sandbox_;
};

TEST_F(RegistryTest, ReadsStringsAsStoredAndRejectsMalformedData) {
  const std::wstring no_nul = L"abc";
  const std::wstring embedded = std::wstring(L"left\0right", 10);
  const BYTE odd[] = {'a', 0, 'b', 0, 0, 0, 'c'};
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kKey, L"Plain", L"C:\\Apps"), 0);
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kKey, L"Expand", L"%WINDIR%\\x",
                                       REG_EXPAND_SZ),
            0);
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kKey, L"Empty", L""), 0);
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kKey, L"", L"the default"), 0);
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kKey, L"Embedded", embedded), 0);
  ASSERT_EQ(RegistrySandbox::SetRaw(HKEY_LOCAL_MACHINE, kKey, L"NoNul", REG_SZ, no_nul.data(),
                                    static_cast<DWORD>(no_nul.size() * sizeof(wchar_t))),
            0);
  ASSERT_EQ(RegistrySandbox::SetRaw(HKEY_LOCAL_MACHINE, kKey, L"Odd", REG_SZ, odd, sizeof odd), 0);
  ASSERT_EQ(RegistrySandbox::SetRaw(HKEY_LOCAL_MACHINE, kKey, L"Zero", REG_SZ, odd, 0), 0);
  ASSERT_EQ(RegistrySandbox::SetRaw(HKEY_LOCAL_MACHINE, kKey, L"Binary", REG_BINARY, L"x\0", 4), 0);
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kKey, L"Multi", L"one", REG_MULTI_SZ),
            0);
  ASSERT_EQ(RegistrySandbox::SetDword(HKEY_LOCAL_MACHINE, kKey, L"Number", 5), 0);

  const struct {
    const wchar_t* name;
    const wchar_t* expected;
    unsigned long recorded;
  } cases[] = {
      {L"Plain", L"C:\\Apps", 0},
      {L"Expand", L"%WINDIR%\\x", 0},  // never expanded
      {L"Empty", L"", 0},
      {L"", L"the default", 0},
      {L"Embedded", L"left", 0},
      {L"NoNul", L"<default>", ERROR_INVALID_DATA},
      {L"Odd", L"<default>", ERROR_INVALID_DATA},
      {L"Zero", L"<default>", ERROR_INVALID_DATA},
      {L"Binary", L"<default>", ERROR_INVALID_DATA},
      {L"Multi", L"<default>", ERROR_INVALID_DATA},
      {L"Number", L"<default>", ERROR_INVALID_DATA},
      {L"Missing", L"<default>", ERROR_FILE_NOT_FOUND},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
    record_error(12345);
    EXPECT_EQ(registry_read_string(HKEY_LOCAL_MACHINE, kKey, c.name, KEY_READ, L"<default>"),
              c.expected);
    EXPECT_EQ(last_error_record().code, c.recorded);
    EXPECT_EQ(GetLastError(), c.recorded);
  }
}

TEST_F(RegistryTest, ReadsLongStrings) {
  const std::wstring long_text(5000, L'q');
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_CURRENT_USER, kKey, L"Long", long_text), 0);
  EXPECT_EQ(registry_read_string(HKEY_CURRENT_USER, kKey, L"Long", KEY_READ, L"").str(), long_text);
}

TEST_F(RegistryTest, AMissingKeyGivesTheDefaultAndRecordsWhy) {
  record_error(0);
  EXPECT_EQ(registry_read_string(HKEY_LOCAL_MACHINE, L"Software\\Nowhere", L"V", KEY_READ, L"d"),
            L"d");
  EXPECT_EQ(last_error_record().code, static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
  record_error(0);
  EXPECT_EQ(registry_read_dword(HKEY_LOCAL_MACHINE, L"Software\\Nowhere", L"V", KEY_READ, 42), 42u);
  EXPECT_EQ(last_error_record().code, static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegistryTest, ReadsOnlyFourByteDwords) {
  const ULONGLONG big = 0x100000002ull;
  ASSERT_EQ(RegistrySandbox::SetDword(HKEY_LOCAL_MACHINE, kKey, L"Dword", 3010), 0);
  ASSERT_EQ(RegistrySandbox::SetRaw(HKEY_LOCAL_MACHINE, kKey, L"Qword", REG_QWORD, &big, 8), 0);
  ASSERT_EQ(RegistrySandbox::SetRaw(HKEY_LOCAL_MACHINE, kKey, L"Short", REG_DWORD, &big, 2), 0);
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, kKey, L"Text", L"7"), 0);
  ASSERT_EQ(RegistrySandbox::SetRaw(HKEY_LOCAL_MACHINE, kKey, L"Bin4", REG_BINARY, &big, 4), 0);
  const struct {
    const wchar_t* name;
    DWORD expected;
    unsigned long recorded;
  } cases[] = {
      {L"Dword", 3010, 0},
      {L"Qword", 99, ERROR_MORE_DATA},
      {L"Short", 99, ERROR_INVALID_DATA},
      {L"Text", 99, ERROR_INVALID_DATA},
      {L"Bin4", 99, ERROR_INVALID_DATA},
      {L"Missing", 99, ERROR_FILE_NOT_FOUND},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
    EXPECT_EQ(registry_read_dword(HKEY_LOCAL_MACHINE, kKey, c.name, KEY_READ, 99), c.expected);
    EXPECT_EQ(last_error_record().code, c.recorded);
  }
}

TEST_F(RegistryTest, KeyExistsRecordsTheOpenResult) {
  ASSERT_EQ(RegistrySandbox::CreateKey(HKEY_LOCAL_MACHINE, L"Software\\Present"), 0);
  record_error(7);
  EXPECT_TRUE(registry_key_exists(HKEY_LOCAL_MACHINE, L"Software\\Present"));
  EXPECT_EQ(last_error_record().code, 0u);
  EXPECT_TRUE(registry_key_exists(HKEY_LOCAL_MACHINE, L"software\\PRESENT"));
  EXPECT_FALSE(registry_key_exists(HKEY_LOCAL_MACHINE, L"Software\\Absent"));
  EXPECT_EQ(last_error_record().code, static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(registry_key_exists(HKEY_LOCAL_MACHINE, L"Software\\Present", KEY_WOW64_64KEY));
}

TEST_F(RegistryTest, ListsSubkeysInEnumerationOrderAndAppends) {
  const std::wstring longest(255, L'z');  // the longest name Windows allows
  for (const wchar_t* name : {L"b", L"A", L"c", L"B2", L"a1"})
    ASSERT_EQ(RegistrySandbox::CreateKey(HKEY_LOCAL_MACHINE, std::wstring(kKey) + L"\\" + name), 0);
  ASSERT_EQ(RegistrySandbox::CreateKey(HKEY_LOCAL_MACHINE, std::wstring(kKey) + L"\\" + longest),
            0);
  ASSERT_EQ(RegistrySandbox::CreateKey(HKEY_LOCAL_MACHINE, std::wstring(kKey) + L"\\b\\deeper"), 0);

  std::vector<string> names = {L"kept"};
  EXPECT_TRUE(registry_subkeys(HKEY_LOCAL_MACHINE, kKey, names));
  EXPECT_EQ(last_error_record().code, 0u);
  const std::vector<string> expected = {L"kept", L"A", L"a1", L"b", L"B2", L"c", longest.c_str()};
  ASSERT_EQ(names.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(names[i].str(), expected[i].str()) << i;
}

TEST_F(RegistryTest, SubkeysOfAMissingOrEmptyKey) {
  std::vector<string> names;
  EXPECT_FALSE(registry_subkeys(HKEY_LOCAL_MACHINE, L"Software\\Absent", names));
  EXPECT_EQ(last_error_record().code, static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
  ASSERT_EQ(RegistrySandbox::CreateKey(HKEY_LOCAL_MACHINE, L"Software\\Leaf"), 0);
  EXPECT_TRUE(registry_subkeys(HKEY_LOCAL_MACHINE, L"Software\\Leaf", names));
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(last_error_record().code, 0u);
}

TEST_F(RegistryTest, InternetExplorerVersion) {
  EXPECT_EQ(internet_explorer_version(), L"");
  EXPECT_EQ(last_error_record().code, static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
  ASSERT_EQ(
      RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Internet Explorer",
                                 L"Version", L"9.11.19041.0"),
      0);
  EXPECT_EQ(internet_explorer_version(), L"9.11.19041.0");
}

TEST(RegistryKeyTest, OwnsAndClosesTheKey) {
  LONG result = -1;
  registry_key key = registry_key::open(HKEY_LOCAL_MACHINE, L"SOFTWARE", KEY_READ, result);
  EXPECT_EQ(result, ERROR_SUCCESS);
  ASSERT_TRUE(key);
  registry_key moved = std::move(key);
  EXPECT_FALSE(key);
  ASSERT_TRUE(moved);
  HKEY raw = moved.get();
  SetLastError(1234);
  moved.reset();
  EXPECT_EQ(GetLastError(), 1234u);
  EXPECT_FALSE(moved);
  // The handle was closed: querying it now fails.
  EXPECT_EQ(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_HANDLE);
  registry_key missing =
      registry_key::open(HKEY_LOCAL_MACHINE, L"NoSuchKey\\At\\All", KEY_READ, result);
  EXPECT_EQ(result, ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(missing);
}

}  // namespace
}  // namespace kx
