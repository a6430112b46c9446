#include "base/md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

std::wstring digest_of(const std::string& s) {
  const kx::md5::digest d = kx::md5_of(s.data(), s.size());
  return kx::hex_digits(d.data(), d.size()).str();
}

TEST(Md5, RfcTestSuite) {
  struct row {
    const char* message;
    const wchar_t* digest;
  };
  // RFC 1321, appendix A.5.
  const row rows[] = {
      {"", L"D41D8CD98F00B204E9800998ECF8427E"},
      {"a", L"0CC175B9C0F1B6A831C399E269772661"},
      {"abc", L"900150983CD24FB0D6963F7D28E17F72"},
      {"message digest", L"F96B697D7CB7938D525A2F31AAF161D0"},
      {"abcdefghijklmnopqrstuvwxyz", L"C3FCD3D76192E4007DFB496CCA67E13B"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       L"D174AB98D277D9F5A5611C2C9F419D9F"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       L"57EDF4A22BE3C955AC49DA2E2107B67A"},
  };
  for (const row& r : rows) EXPECT_EQ(digest_of(r.message), r.digest) << r.message;
}

TEST(Md5, PaddingEdges) {
  struct row {
    std::size_t length;  // of a message of 'a's
    const wchar_t* digest;
  };
  // 55 bytes leave room for the length in the block, 56 do not; 64 fills
  // one block exactly; the 4 KiB neighbours cross many blocks.
  const row rows[] = {
      {55, L"EF1772B6DFF9A122358552954AD0DF65"},   {56, L"3B0C8AC703F828B04C6C197006D17218"},
      {57, L"652B906D60AF96844EBD21B674F35E93"},   {63, L"B06521F39153D618550606BE297466D5"},
      {64, L"014842D480B571495A4A0363793F7367"},   {65, L"C743A45E0D2E6A95CB859ADAE0248435"},
      {119, L"8A7BD0732ED6A28CE75F6DABC90E1613"},  {120, L"5F61C0CCAD4CAC44C75FF505E1F1E537"},
      {4095, L"559110BAA849C7608EE70ABE1D76273E"}, {4096, L"21A199C53F422A380E20B162FB6EBE9C"},
      {4097, L"8CFC1A0BD8CD76599E76E5E721C6E62E"},
  };
  for (const row& r : rows) EXPECT_EQ(digest_of(std::string(r.length, 'a')), r.digest) << r.length;
}

TEST(Md5, PiecesOfAnySizeGiveTheDigestOfTheWhole) {
  std::string message(1000, '\0');
  for (std::size_t i = 0; i < message.size(); ++i) message[i] = static_cast<char>(i * 31 + 7);
  const std::wstring whole = digest_of(message);
  for (std::size_t piece : {1u, 3u, 55u, 63u, 64u, 65u, 129u, 999u}) {
    kx::md5 m;
    for (std::size_t at = 0; at < message.size(); at += piece)
      m.update(message.data() + at, std::min(piece, message.size() - at));
    const kx::md5::digest d = m.final();
    EXPECT_EQ(kx::hex_digits(d.data(), d.size()).str(), whole) << piece;
  }
  // final starts a new message.
  kx::md5 m;
  m.update("junk", 4);
  m.final();
  m.update("abc", 3);
  const kx::md5::digest d = m.final();
  EXPECT_EQ(kx::hex_digits(d.data(), d.size()).str(), L"900150983CD24FB0D6963F7D28E17F72");
}

}  // namespace
