#include "platform/environment.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace kx {
namespace {

TEST(Environment, ExpandsReferencesOfAnyLength) {
  const std::wstring long_value(1000, L'v');
  ASSERT_TRUE(SetEnvironmentVariableW(L"KXT_LONG", long_value.c_str()));
  ASSERT_TRUE(SetEnvironmentVariableW(L"KXT_SHORT", L"short"));
  EXPECT_EQ(expand_environment(L"a%KXT_SHORT%b").str(), L"ashortb");
  EXPECT_EQ(expand_environment(L"[%KXT_LONG%][%KXT_LONG%]").str(),
            L"[" + long_value + L"][" + long_value + L"]");
  EXPECT_EQ(expand_environment(L"%KXT_UNSET_NAME%\\x").str(), L"%KXT_UNSET_NAME%\\x");
  EXPECT_EQ(expand_environment(L"100% sure").str(), L"100% sure");
  EXPECT_EQ(expand_environment(L"").str(), L"");
  SetEnvironmentVariableW(L"KXT_LONG", nullptr);
  SetEnvironmentVariableW(L"KXT_SHORT", nullptr);
}

}  // namespace
}  // namespace kx
