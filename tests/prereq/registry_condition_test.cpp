#include "prereq/registry_condition.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/temp_names.h"
#include "tests/testing/registry_sandbox.h"

namespace kx::prereq {
namespace {

using testing::RegistrySandbox;

constexpr const wchar_t* kKey = L"SOFTWARE\\KxCond";
constexpr const kx::xchar* kPath = KXT("HKEY_LOCAL_MACHINE\\SOFTWARE\\KxCond");
constexpr const kx::xchar* kMissing = KXT("HKEY_LOCAL_MACHINE\\SOFTWARE\\KxCondMissing");

std::string narrow(sax::text_view text) {
  return std::string(text.begin(), text.end());
}

TEST(RegistryCondition, RootNamesAreExact) {
  const kx::xchar* names[] = {KXT("HKEY_CLASSES_ROOT"),     KXT("HKEY_CURRENT_USER"),
                              KXT("HKEY_LOCAL_MACHINE"),    KXT("HKEY_USERS"),
                              KXT("HKEY_PERFORMANCE_DATA"), KXT("HKEY_CURRENT_CONFIG"),
                              KXT("HKEY_DYN_DATA")};
  for (std::size_t i = 0; i < std::size(names); ++i)
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(registry_root(names[i])),
              static_cast<ULONG_PTR>(static_cast<LONG>(0x80000000u + i)))
        << narrow(names[i]);
  EXPECT_EQ(registry_root(KXT("HKEY_LOCAL_MACHINe")), nullptr);
  EXPECT_EQ(registry_root(KXT("hkey_local_machine")), nullptr);
  EXPECT_EQ(registry_root(KXT("HKLM")), nullptr);
  EXPECT_EQ(registry_root(KXT("HKEY_LOCAL_MACHINE ")), nullptr);
  EXPECT_EQ(registry_root(KXT("")), nullptr);

  HKEY root = nullptr;
  string key;
  EXPECT_TRUE(split_registry_path(KXT("HKEY_USERS\\.DEFAULT\\Control Panel"), root, key));
  EXPECT_EQ(root, HKEY_USERS);
  EXPECT_EQ(key.str(), L".DEFAULT\\Control Panel");
  EXPECT_FALSE(split_registry_path(KXT("HKEY_USERS\\"), root, key));
  EXPECT_FALSE(split_registry_path(KXT("HKEY_USERS"), root, key));
  EXPECT_FALSE(split_registry_path(KXT("HKCU\\Software"), root, key));
}

TEST(RegistryCondition, ViewsOnlyOnA64BitSystem) {
  EXPECT_EQ(registry_view(1, true), REGSAM(KEY_WOW64_32KEY));
  EXPECT_EQ(registry_view(2, true), REGSAM(KEY_WOW64_64KEY));
  EXPECT_EQ(registry_view(3, true), REGSAM(KEY_WOW64_32KEY));
  EXPECT_EQ(registry_view(0, true), REGSAM(0));
  EXPECT_EQ(registry_view(4, true), REGSAM(0));
  EXPECT_EQ(registry_view(1, false), REGSAM(0));
  EXPECT_EQ(registry_view(2, false), REGSAM(0));
}

struct row {
  std::uint32_t type;
  std::uint32_t comparison;
  const kx::xchar* path;
  const kx::xchar* value;
  const kx::xchar* expected;
  bool holds;
};

class RegistryConditionValues : public ::testing::Test {
 protected:
  void SetUp() override {
    HKEY m = HKEY_LOCAL_MACHINE;
    ASSERT_EQ(RegistrySandbox::SetDword(m, kKey, L"Dword", 5), ERROR_SUCCESS);
    ASSERT_EQ(RegistrySandbox::SetString(m, kKey, L"Text", L"Hello World"), ERROR_SUCCESS);
    ASSERT_EQ(RegistrySandbox::SetString(m, kKey, L"Version", L"10.0.30319"), ERROR_SUCCESS);
    ASSERT_EQ(RegistrySandbox::SetString(m, kKey, L"Nine", L"9"), ERROR_SUCCESS);
    ASSERT_EQ(RegistrySandbox::SetString(m, kKey, L"One", L"1"), ERROR_SUCCESS);
    ASSERT_EQ(RegistrySandbox::SetString(m, kKey, L"Expand", L"%SystemRoot%\\x", REG_EXPAND_SZ),
              ERROR_SUCCESS);
    const BYTE binary[] = {'a', 0, 'b', 0};
    ASSERT_EQ(RegistrySandbox::SetRaw(m, kKey, L"Binary", REG_BINARY, binary, 4), ERROR_SUCCESS);
    const unsigned long long qword = 0x100000005ull;
    ASSERT_EQ(RegistrySandbox::SetRaw(m, kKey, L"Qword", REG_QWORD, &qword, 8), ERROR_SUCCESS);
    const BYTE short_dword[] = {5, 0};
    ASSERT_EQ(RegistrySandbox::SetRaw(m, kKey, L"ShortDword", REG_DWORD, short_dword, 2),
              ERROR_SUCCESS);
    // Hand-written data: no NUL, and an odd size.
    ASSERT_EQ(RegistrySandbox::SetRaw(m, kKey, L"Unterminated", REG_SZ, L"abc", 6), ERROR_SUCCESS);
    const BYTE odd[] = {'a', 0, 'b', 0, 'c', 0, 'd'};
    ASSERT_EQ(RegistrySandbox::SetRaw(m, kKey, L"Odd", REG_SZ, odd, sizeof odd), ERROR_SUCCESS);
    ASSERT_EQ(RegistrySandbox::SetRaw(m, kKey, L"EarlyNul", REG_SZ, L"ab\0cd", 10), ERROR_SUCCESS);
  }

  void Check(const row* rows, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      const row& r = rows[i];
      EXPECT_EQ(evaluate_registry_condition(r.type, r.comparison, r.path, r.value, r.expected, 0),
                r.holds)
          << "row " << i << ": type " << r.type << " comparison " << r.comparison << " "
          << narrow(r.path) << " " << narrow(r.value) << " '" << narrow(r.expected) << "'";
    }
  }

  RegistrySandbox sandbox_;
};

TEST_F(RegistryConditionValues, KeysAndMissingValues) {
  const row rows[] = {
      // Type 1 on a present key: only "exists" holds.
      {1, 1, kPath, KXT(""), KXT(""), true},
      {1, 2, kPath, KXT(""), KXT(""), false},
      {1, 32, kPath, KXT(""), KXT(""), false},
      {1, 4, kPath, KXT(""), KXT(""), false},
      // ... and on a missing one: only "does not exist"; 32 fails on both.
      {1, 1, kMissing, KXT(""), KXT(""), false},
      {1, 2, kMissing, KXT(""), KXT(""), true},
      {1, 32, kMissing, KXT(""), KXT(""), false},
      // Values below a missing key.
      {2, 2, kMissing, KXT("Dword"), KXT("5"), true},
      {2, 32, kMissing, KXT("Dword"), KXT("5"), true},
      {32, 32, kMissing, KXT("Dword"), KXT("5"), true},
      {2, 1, kMissing, KXT("Dword"), KXT("5"), false},
      {2, 8, kMissing, KXT("Dword"), KXT(""), false},
      // A missing value.
      {2, 2, kPath, KXT("Nothing"), KXT("5"), true},
      {2, 32, kPath, KXT("Nothing"), KXT("5"), true},
      {2, 1, kPath, KXT("Nothing"), KXT(""), false},
      {2, 16, kPath, KXT("Nothing"), KXT(""), false},
      // Malformed paths fail whatever the comparison.
      {1, 2, KXT("hkey_local_machine\\SOFTWARE\\KxCond"), KXT(""), KXT(""), false},
      {1, 1, KXT("hkey_local_machine\\SOFTWARE\\KxCond"), KXT(""), KXT(""), false},
      {1, 2, KXT("HKEY_LOCAL_MACHINE\\"), KXT(""), KXT(""), false},
      {2, 32, KXT("HKEY_LOCAL_MACHINE"), KXT("Dword"), KXT(""), false},
      {1, 2, KXT("HKLM\\SOFTWARE\\KxCondMissing"), KXT(""), KXT(""), false},
  };
  Check(rows, std::size(rows));
}

TEST_F(RegistryConditionValues, Numbers) {
  const row rows[] = {
      {2, 1, kPath, KXT("Dword"), KXT("5"), true},  {2, 1, kPath, KXT("Dword"), KXT("6"), false},
      {2, 2, kPath, KXT("Dword"), KXT("6"), true},  {2, 2, kPath, KXT("Dword"), KXT("5"), false},
      {2, 4, kPath, KXT("Dword"), KXT("4"), true},  {2, 4, kPath, KXT("Dword"), KXT("5"), false},
      {2, 16, kPath, KXT("Dword"), KXT("4"), true}, {2, 16, kPath, KXT("Dword"), KXT("6"), false},
      {2, 32, kPath, KXT("Dword"), KXT("6"), true}, {2, 32, kPath, KXT("Dword"), KXT("5"), false},
      {2, 8, kPath, KXT("Dword"), KXT("99"), true}, {2, 64, kPath, KXT("Dword"), KXT("99"), true},
      {2, 1, kPath, KXT("Dword"), KXT("x"), false}, {32, 1, kPath, KXT("Dword"), KXT("5"), true},
  };
  Check(rows, std::size(rows));
}

TEST_F(RegistryConditionValues, TextsAndVersions) {
  const row rows[] = {
      {2, 1, kPath, KXT("Text"), KXT("hello world"), true},
      {2, 1, kPath, KXT("Text"), KXT("Hello"), false},
      {2, 2, kPath, KXT("Text"), KXT("Hellp"), true},
      {2, 2, kPath, KXT("Text"), KXT("Hello"), false},
      {2, 4, kPath, KXT("Text"), KXT("Hello"), true},
      {2, 4, kPath, KXT("Text"), KXT("hello world"), false},
      {2, 8, kPath, KXT("Text"), KXT("hello"), true},
      {2, 8, kPath, KXT("Text"), KXT("World"), false},
      {2, 16, kPath, KXT("Text"), KXT("WORLD"), true},
      {2, 16, kPath, KXT("Text"), KXT("xyz"), false},
      {2, 8, kPath, KXT("Text"), KXT(""), true},
      {2, 16, kPath, KXT("Text"), KXT(""), true},
      {2, 32, kPath, KXT("Text"), KXT("Hello"), true},
      {2, 32, kPath, KXT("Text"), KXT("HELLO WORLD"), false},
      {2, 128, kPath, KXT("Text"), KXT("anything"), true},
      // Text order for type 2, version order for type 32.
      {2, 2, kPath, KXT("Nine"), KXT("10"), false},
      {32, 2, kPath, KXT("Nine"), KXT("10"), true},
      {32, 4, kPath, KXT("Version"), KXT("10.0.0"), true},
      {32, 1, kPath, KXT("Version"), KXT("10.0.30319.0"), true},
      {32, 2, kPath, KXT("Version"), KXT("10.1"), true},
      {32, 32, kPath, KXT("Version"), KXT("10.0.30319"), false},
      {2, 4, kPath, KXT("Version"), KXT("10.0.4"), false},
      {32, 8, kPath, KXT("Version"), KXT("10.0"), true},
      // A four-byte REG_SZ is text, not a number ("1" would read 49).
      {2, 1, kPath, KXT("One"), KXT("1"), true},
      {2, 1, kPath, KXT("One"), KXT("49"), false},
      {2, 1, kPath, KXT("Expand"), KXT("%SystemRoot%\\x"), true},
  };
  Check(rows, std::size(rows));
}

TEST_F(RegistryConditionValues, OtherTypesAndMalformedText) {
  const row rows[] = {
      // Not text: the value reads "".
      {2, 1, kPath, KXT("Binary"), KXT(""), true},
      {2, 1, kPath, KXT("Binary"), KXT("ab"), false},
      {2, 32, kPath, KXT("Binary"), KXT(""), false},
      {2, 1, kPath, KXT("Qword"), KXT(""), true},
      {2, 1, kPath, KXT("Qword"), KXT("5"), false},
      {2, 16, kPath, KXT("Qword"), KXT(""), true},
      {2, 1, kPath, KXT("ShortDword"), KXT("5"), false},
      {2, 1, kPath, KXT("ShortDword"), KXT(""), true},
      // Text stored without its NUL, with an odd byte, with an early NUL.
      {2, 1, kPath, KXT("Unterminated"), KXT("abc"), true},
      {2, 32, kPath, KXT("Unterminated"), KXT("abc"), false},
      {2, 1, kPath, KXT("Odd"), KXT("abc"), true},
      {2, 1, kPath, KXT("EarlyNul"), KXT("ab"), true},
  };
  Check(rows, std::size(rows));
}

// The real machine registry: the sandbox merges the two views, Windows and
// Wine keep them apart.
class real_test_key {
 public:
  real_test_key() : path_(L"SOFTWARE\\KxTest" + new_guid_string().str()) {}
  ~real_test_key() {
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), KEY_WOW64_32KEY, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), KEY_WOW64_64KEY, 0);
  }
  real_test_key(const real_test_key&) = delete;
  real_test_key& operator=(const real_test_key&) = delete;

  LONG write(REGSAM view, const std::wstring& text) const {
    HKEY key = nullptr;
    LONG r = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view,
                             nullptr, &key, nullptr);
    if (r != ERROR_SUCCESS) return r;
    r = RegSetValueExW(key, L"Which", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return r;
  }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

TEST(RegistryConditionViews, BitsSelectTheView) {
  const real_test_key key;
  ASSERT_EQ(key.write(KEY_WOW64_32KEY, L"thirty-two"), ERROR_SUCCESS);
  ASSERT_EQ(key.write(KEY_WOW64_64KEY, L"sixty-four"), ERROR_SUCCESS);
  const std::wstring path = L"HKEY_LOCAL_MACHINE\\" + key.path();
  const auto holds = [&](REGSAM view, const wchar_t* expected) {
    return evaluate_registry_condition(2, 1, path, L"Which", expected, view);
  };
  EXPECT_TRUE(holds(registry_view(1, true), L"thirty-two"));
  EXPECT_FALSE(holds(registry_view(1, true), L"sixty-four"));
  EXPECT_TRUE(holds(registry_view(2, true), L"sixty-four"));
  EXPECT_FALSE(holds(registry_view(2, true), L"thirty-two"));
  EXPECT_TRUE(holds(registry_view(3, true), L"thirty-two"));
  // The default view of this process.
  const wchar_t* own = sizeof(void*) == 8 ? L"sixty-four" : L"thirty-two";
  EXPECT_TRUE(holds(registry_view(1, false), own));
  EXPECT_TRUE(holds(registry_view(2, false), own));
}

}  // namespace
}  // namespace kx::prereq
