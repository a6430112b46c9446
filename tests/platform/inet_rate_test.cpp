#include "platform/inet_rate.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(InetRate, MeasuresWithoutDividingByZero) {
  const struct {
    const char* name;
    std::uint64_t bytes;
    std::uint64_t ticks;
    std::uint64_t frequency;
    std::uint64_t rate;
  } cases[] = {
      {"one second", 1000000, 1000, 1000, 1000000},
      {"nothing counted yet", 0, 0, 0, 0},
      {"below a millisecond", 500, 1, 10000000, 500},  // 0 ms: the byte count
      {"zero ticks count as five", 4096, 0, 1000, 819200},
      {"near 2^32 bytes in 1 ms", 0xFFFFFFFFull, 1, 1000, 0xFFFFFFFFull * 1000},
      {"above 2^32 bytes", 0x100000000ull * 3, 3000, 1000, 0x100000000ull},
      {"performance counter", 10000000, 5000000, 10000000, 20000000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    transfer_rate_meter m(0);
    if (c.bytes || c.ticks) m.add(c.bytes, c.ticks, c.frequency);
    EXPECT_EQ(m.rate(0), c.rate);
  }
}

TEST(InetRate, CarriesMicrosecondsIntoMilliseconds) {
  transfer_rate_meter m(0);
  // 0.4 ms three times: 1.2 ms in all, so one whole millisecond.
  for (int i = 0; i < 3; ++i) m.add(100, 4, 10000);
  EXPECT_EQ(m.window_ms(), 1u);
  EXPECT_EQ(m.rate(0), 300000u);
}

TEST(InetRate, RollsTheWindowAfterThirtySeconds) {
  transfer_rate_meter m(0);
  m.add(1000, 1000, 1000);  // 1000 B/s in both windows
  EXPECT_EQ(m.rate(30000), 1000u);
  // The roll makes the next window current and empties the next one...
  EXPECT_EQ(m.rate(30001), 1000u);
  m.add(10000, 1000, 1000);  // ...which now only sees the fast second
  EXPECT_EQ(m.rate(30002), 5500u);
  EXPECT_EQ(m.rate(60001), 5500u);
  EXPECT_EQ(m.rate(60002), 10000u);
}

}  // namespace
}  // namespace kx
