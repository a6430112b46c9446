#include "platform/error_record.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace kx {
namespace {

TEST(ErrorRecordTest, KeepsTheLastCodeAndPath) {
  EXPECT_EQ(record_error(ERROR_ACCESS_DENIED, L"C:\\x"), 5u);
  EXPECT_EQ(last_error_record().code, 5u);
  EXPECT_EQ(last_error_record().path, L"c:\\X");
  record_error(0);
  EXPECT_TRUE(last_error_record().path.empty());
}

}  // namespace
}  // namespace kx
