#include "platform/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string hex(const kx::sha256::digest& d) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : d) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

TEST(Sha256, KnownVectors) {
  struct row {
    std::string message;
    const char* digest;
  };
  // FIPS 180-2 examples, and the empty message.
  const row rows[] = {
      {"", "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
      {"abc", "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1"},
  };
  for (const row& r : rows) {
    kx::sha256 s;
    ASSERT_TRUE(s.ok()) << s.error();
    ASSERT_TRUE(s.update(r.message.data(), r.message.size()));
    kx::sha256::digest d;
    ASSERT_TRUE(s.final(d));
    EXPECT_EQ(hex(d), r.digest) << r.message;
  }
}

TEST(Sha256, StreamsAMillionBytesInPieces) {
  kx::sha256 s;
  ASSERT_TRUE(s.ok());
  const std::string piece(1000, 'a');
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(s.update(piece.data(), piece.size()));
  kx::sha256::digest d;
  ASSERT_TRUE(s.final(d));
  EXPECT_EQ(hex(d), "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0");
  // Finished: it takes nothing more.
  EXPECT_FALSE(s.update("a", 1));
  EXPECT_FALSE(s.final(d));
}

}  // namespace
