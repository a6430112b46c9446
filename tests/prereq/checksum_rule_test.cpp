#include "prereq/checksum_rule.h"

#include <gtest/gtest.h>

namespace {

using kx::string;
using kx::prereq::checksum_kind;

constexpr const wchar_t* kMd5 = L"24E8177B25C072F4FB0D37496CCDBB34";
constexpr const wchar_t* kSha = L"E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855";

TEST(ChecksumRule, WhatACheckSumPromises) {
  struct row {
    const wchar_t* written;
    checksum_kind kind;
  };
  const row rows[] = {
      {L"", checksum_kind::none},
      {L"   \t ", checksum_kind::none},
      {kMd5, checksum_kind::md5},
      {L"  24e8177b25c072f4fb0d37496ccdbb34\t", checksum_kind::md5},
      {kSha, checksum_kind::sha256},
      // Too short, too long, between the two lengths, not hexadecimal,
      // blanks inside, a prefix: none of these can be met.
      {L"24E8177B25C072F4FB0D37496CCDBB3", checksum_kind::invalid},
      {L"24E8177B25C072F4FB0D37496CCDBB345", checksum_kind::invalid},
      {L"24E8177B25C072F4FB0D37496CCDBB3424E8177B25C072F4FB0D37496CCDBB3", checksum_kind::invalid},
      {L"24E8177B25C072F4FB0D37496CCDBB3G", checksum_kind::invalid},
      {L"24E8177B25C072F4 FB0D37496CCDBB34", checksum_kind::invalid},
      {L"0x24E8177B25C072F4FB0D37496CCDBB", checksum_kind::invalid},
      {L"-", checksum_kind::invalid},
  };
  for (const row& r : rows)
    EXPECT_EQ(kx::prereq::read_checksum(string(r.written)).kind, r.kind) << r.written;
}

TEST(ChecksumRule, ComparesDigitsIgnoringCase) {
  struct row {
    const wchar_t* written;
    const wchar_t* actual;
    bool matches;
  };
  const row rows[] = {
      {kMd5, kMd5, true},
      {L"24e8177b25c072f4fb0d37496ccdbb34", kMd5, true},
      {kMd5, L"24e8177b25c072f4fb0d37496ccdbb34", true},
      {kMd5, L"24E8177B25C072F4FB0D37496CCDBB35", false},
      {kMd5, L"", false},
      // The kind follows the length: an MD5 never matches a SHA-256 digest.
      {kMd5, kSha, false},
      {kSha, kSha, true},
      {L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", kSha, true},
      // Unchecked passes anything; an unreadable CheckSum fails everything,
      // the text it was written as included.
      {L"", L"whatever", true},
      {L"24E8177B", L"24E8177B", false},
      {L"not a digest", L"not a digest", false},
  };
  for (const row& r : rows) {
    const auto expected = kx::prereq::read_checksum(string(r.written));
    EXPECT_EQ(kx::prereq::checksum_matches(expected, string(r.actual)), r.matches)
        << r.written << " / " << r.actual;
  }
}

TEST(ChecksumRule, FileSizeAsMediaBuildersWriteIt) {
  struct row {
    const wchar_t* written;
    bool given;
    std::uint64_t bytes;
    bool readable;
  };
  const row rows[] = {
      {L"0,14364440", true, 14364440, true},
      {L"1,0", true, 0x100000000ull, true},
      {L" 2 , 5 ", true, 0x200000005ull, true},
      {L"14364440", true, 14364440, true},
      {L"", false, 0, true},
      {L"0,0", false, 0, true},
      {L"0", false, 0, true},
      // A half above 32 bits, signs, words and empty halves are not sizes.
      {L"0,4294967296", false, 0, false},
      {L"-1", false, 0, false},
      {L"0,", false, 0, false},
      {L",12", false, 0, false},
      {L"12 MB", false, 0, false},
      {L"1,2,3", false, 0, false},
  };
  for (const row& r : rows) {
    std::uint64_t bytes = 99;
    bool readable = false;
    EXPECT_EQ(kx::prereq::read_file_size(string(r.written), bytes, readable), r.given) << r.written;
    EXPECT_EQ(bytes, r.bytes) << r.written;
    EXPECT_EQ(readable, r.readable) << r.written;
  }
}

}  // namespace
