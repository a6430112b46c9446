#include "base/secret_wipe.h"

#include <gtest/gtest.h>

#include <string>

namespace kx {
namespace {

// The whole storage is zero afterwards, including what a longer earlier
// value left beyond the current one, and the storage is kept for the next
// value.
TEST(SecretWipe, ZeroesTheWholeStorageAndKeepsIt) {
  for (const wchar_t* earlier : {L"pw", L"a-password-long-enough-for-the-heap"}) {
    SCOPED_TRACE(testing::Message() << std::wstring(earlier).size());
    std::wstring s = earlier;
    s = L"x";  // the rest of `earlier` stays in the storage
    const std::size_t capacity = s.capacity();
    const wchar_t* storage = s.data();
    wipe_secret(s);
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(s.capacity(), capacity);
    ASSERT_EQ(s.data(), storage);
    std::size_t dirty = 0;
    for (std::size_t i = 0; i < capacity; ++i)
      if (storage[i] != L'\0') ++dirty;
    EXPECT_EQ(dirty, 0u);
  }
}

}  // namespace
}  // namespace kx
