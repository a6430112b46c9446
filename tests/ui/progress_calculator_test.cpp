#include "ui/progress_calculator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>

#include "resources/resource_ids.h"

namespace kx {
namespace {

constexpr std::uint64_t kGiB = 1ull << 30;

string english(unsigned id) {
  static const std::map<unsigned, const wchar_t*> texts = {
      {IDS_UNIT_HOURS, L"hr"},
      {IDS_UNIT_MINUTES, L"min"},
      {IDS_UNIT_SECONDS, L"sec"},
      {IDS_UNIT_MB, L"MB"},
      {IDS_UNIT_KB, L"KB"},
      {IDS_TIME_REMAINING, L"Estimated time remaining: "},
      {IDS_TRANSFER_PROGRESS, L"%1 %4 of %2 %4 downloaded at %3 %4/sec"},
  };
  const auto it = texts.find(id);
  return it == texts.end() ? string() : string(it->second);
}

std::wstring w(const string& s) {
  return std::wstring(s.c_str());
}

TEST(TransferBarPositionTest, StaysBetweenBaseAndTheLimit) {
  const struct {
    std::uint64_t done, total;
    int base, expected;
  } rows[] = {
      {0, 1000, 5, 5},
      {500, 1000, 5, 50},
      {1000, 1000, 5, 95},    // complete: 95, never 100
      {5000, 1000, 5, 95},    // more than expected: held at the limit
      {10, 0, 40, 40},        // total not known yet: unchanged
      {500, 1000, 100, 100},  // steps already done: no wrap
      {500, 1000, 95, 95},
      {1, 1ull << 40, 5, 5},  // one byte of a terabyte
      {1ull << 39, 1ull << 40, 5, 50},
      {UINT64_MAX, UINT64_MAX, 0, 95},
      {UINT64_MAX / 2, UINT64_MAX, 0, 47},
      {1, 3, 50, 64},     // a tiny total keeps its share
      {7, 1000, -10, 0},  // a negative base reads as 0
  };
  for (const auto& r : rows)
    EXPECT_EQ(TransferBarPosition(r.done, r.total, r.base), r.expected)
        << r.done << " of " << r.total << " from " << r.base;
}

TEST(TransferRateTest, WholeSecondsAcrossATickWrap) {
  EXPECT_EQ(ElapsedSeconds(2500, 500), 2u);
  EXPECT_EQ(ElapsedSeconds(999, 0), 0u);
  EXPECT_EQ(ElapsedSeconds(1500, 0xFFFFFC18u), 2u);  // 1000 ms before the wrap
  EXPECT_EQ(TransferRate(5, 10000, 0), 0u);          // 5 bytes in 10 s
  EXPECT_EQ(TransferRate(3000, 999, 0), 0u);
  EXPECT_EQ(TransferRate(3000, 3000, 0), 1000u);
}

TEST(TransferTimeLeftTest, PageTexts) {
  const string min(L"min"), sec(L"sec");
  const struct {
    std::uint64_t done, total;
    std::uint32_t now;
    const wchar_t* expected;
  } rows[] = {
      // 1000 B/s after 10 s.
      {10000, 10000 + 3725000, 10000, L"62 min 5 sec"},
      {10000, 10000 + 60000, 10000, L"1 min"},
      {10000, 10000 + 5000, 10000, L"5 sec"},
      {10000, 10000 + 500, 10000, L""},  // under a second left: old text stays
      {10000, 10000, 10000, L""},        // complete
      {20000, 10000, 10000, L""},        // past the total: no absurd time
      {10000, 0, 10000, L""},            // total unknown
      {5, 1000000, 10000, L""},          // rate rounds to 0: no division
      {0, 1000000, 10000, L""},
      {10000, 1000000, 999, L""},  // not a whole second yet
      {1, UINT64_MAX, 1000, L"307445734561825860 min 14 sec"},
  };
  for (const auto& r : rows)
    EXPECT_EQ(w(PageTimeText(TransferTimeLeft(r.done, r.total, r.now, 0), min, sec)), r.expected)
        << r.done << " of " << r.total;
}

TEST(RateTextTest, UnitsAndTenthsInSixtyFourBits) {
  const string per(L"/s");
  const struct {
    std::uint64_t rate;
    const wchar_t* expected;
  } rows[] = {
      {0, L"0.0 KB/s"},
      {1536, L"1.5 KB/s"},
      {1048576, L"1024.0 KB/s"},
      {1048577, L"1.0 MB/s"},
      {1572864, L"1.5 MB/s"},
      {429496730, L"409.6 MB/s"},  // rate * 10 passes 32 bits here
      {0xFFFFFFFFull, L"4095.9 MB/s"},
      {UINT64_MAX, L"17592186044415.9 MB/s"},
  };
  for (const auto& r : rows) {
    const RateFigure f = RateInUnits(r.rate);
    EXPECT_EQ(w(RateText(f, f.megabytes ? string(L"MB") : string(L"KB"), per)), r.expected)
        << r.rate;
  }
}

TEST(ProgressCalculatorTest, UpdateInSixtyFourBits) {
  ProgressCalculator c(english);
  const struct {
    std::uint64_t total, done;
    std::uint32_t start, now;
    unsigned percent;
    std::uint64_t rate, left;
  } rows[] = {
      {1000, 500, 0, 1000, 50, 0, 0},  // first second: no rate
      {1000, 500, 0, 2000, 50, 250, 2},
      {1000, 1500, 0, 3000, 100, 500, 0},  // past the total: capped, nothing left
      {99, 50, 0, 2000, 0, 25, 1},         // under 100 bytes: no percent
      {400 * kGiB, 200 * kGiB, 0, 2000, 50, 100 * kGiB, 2},
      {6 * kGiB, 5 * kGiB, 0xFFFFF000u, 0x1000u, 83, 5 * kGiB / 8, 1},  // tick wrap
  };
  for (const auto& r : rows) {
    c.Start(r.total, r.start);
    const ProgressFigures f = c.Update(r.done, r.now);
    EXPECT_EQ(f.percent, r.percent) << r.done << " of " << r.total;
    EXPECT_EQ(f.bytes_per_second, r.rate) << r.done << " of " << r.total;
    EXPECT_EQ(f.seconds_left, r.left) << r.done << " of " << r.total;
  }
}

TEST(ProgressCalculatorTest, TimeText) {
  const ProgressCalculator c(english);
  const struct {
    std::uint64_t seconds;
    const wchar_t* expected;
  } rows[] = {
      {3725, L"Estimated time remaining:  1 hr 2 min 5 sec"},
      {59, L"Estimated time remaining:  59 sec"},
      {3600, L"Estimated time remaining:  1 hr 0 sec"},
      {0, L"Estimated time remaining:  0 sec"},
      {60, L"Estimated time remaining:  1 min 0 sec"},
      {360000000000ull, L"Estimated time remaining:  100000000 hr 0 sec"},
  };
  for (const auto& r : rows) EXPECT_EQ(w(c.TimeText(r.seconds)), r.expected) << r.seconds;
}

TEST(ProgressCalculatorTest, TransferText) {
  ProgressCalculator c(english);
  c.Start(10 * kGiB, 0);
  const struct {
    std::uint64_t rate, done, override_total;
    const wchar_t* expected;
  } rows[] = {
      {0, 5 * kGiB, 0, L""},
      {2 * 1048576, 5 * kGiB, 0, L"5120 MB of 10240 MB downloaded at 2.0 MB/sec"},
      {1536, 3072, 10240, L"3 KB of 10 KB downloaded at 1.5 KB/sec"},
      {1048576, 1048576, 0, L"1024 KB of 10485760 KB downloaded at 1024.0 KB/sec"},
      {1048576 + 104857, 0, 0, L"0 MB of 10240 MB downloaded at 1.1 MB/sec"},
      {2047, 0, 2048, L"0 KB of 2 KB downloaded at 2.0 KB/sec"},  // rounds as %.1f
  };
  for (const auto& r : rows)
    EXPECT_EQ(w(c.TransferText(r.rate, r.done, r.override_total)), r.expected) << r.rate;
}

}  // namespace
}  // namespace kx
