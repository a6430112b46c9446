#include <gtest/gtest.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  // Unbuffered, so a program that dies mid-test still shows how far it got,
  // and one that shows nothing at all never reached this line (which the
  // test driver tells apart from a failed case).
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
