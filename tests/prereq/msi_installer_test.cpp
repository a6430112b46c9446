#include "prereq/msi_installer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using kx::prereq::busy_retry_result;
using kx::prereq::kBusyWaitLimitMs;

// A clock that only moves when the code under test pauses.
struct fake_clock {
  std::uint64_t now = 1000;
  std::vector<std::uint32_t> pauses;
  unsigned cancelAfter = 0;  // 0: never
  kx::prereq::busy_wait_clock clock() {
    kx::prereq::busy_wait_clock c;
    c.now_ms = [this] { return now; };
    c.pause = [this](std::uint32_t ms) {
      pauses.push_back(ms);
      now += ms;
      return cancelAfter == 0 || pauses.size() < cancelAfter;
    };
    return c;
  }
};

TEST(BusyInstaller, PausesGrowToAMinute) {
  const std::uint32_t expected[] = {5000, 10000, 20000, 40000, 60000, 60000};
  for (unsigned i = 0; i < 6; ++i) EXPECT_EQ(kx::prereq::busy_retry_pause_ms(i + 1), expected[i]);
  EXPECT_EQ(kx::prereq::busy_retry_pause_ms(1000), 60000u);
}

TEST(BusyInstaller, RetriesUntilTheInstallerFrees) {
  fake_clock fake;
  std::vector<std::uint32_t> results = {1618, 1618, 0};
  std::vector<unsigned> logged;
  unsigned calls = 0;
  const busy_retry_result r = kx::prereq::run_with_busy_retry(
      [&] { return results[calls++]; }, fake.clock(),
      [&](unsigned retry, std::uint32_t) { logged.push_back(retry); });
  EXPECT_EQ(r.code, 0u);
  EXPECT_EQ(r.attempts, 3u);
  EXPECT_FALSE(r.gaveUp || r.cancelled);
  EXPECT_EQ(fake.pauses, (std::vector<std::uint32_t>{5000, 10000}));
  EXPECT_EQ(logged, (std::vector<unsigned>{1, 2}));
}

TEST(BusyInstaller, GivesUpWith1618AfterTheLimit) {
  fake_clock fake;
  unsigned calls = 0;
  const busy_retry_result r = kx::prereq::run_with_busy_retry(
      [&] {
        ++calls;
        return 1618u;
      },
      fake.clock(), nullptr);
  EXPECT_EQ(r.code, 1618u);
  EXPECT_TRUE(r.gaveUp);
  EXPECT_FALSE(r.cancelled);
  EXPECT_EQ(r.attempts, calls);
  std::uint64_t waited = 0;
  for (std::uint32_t p : fake.pauses) waited += p;
  EXPECT_EQ(waited, kBusyWaitLimitMs) << "the last pause is cut to the limit";
  EXPECT_EQ(fake.pauses.size() + 1, calls);
}

TEST(BusyInstaller, ACancelledPauseEndsTheWait) {
  fake_clock fake;
  fake.cancelAfter = 2;
  unsigned calls = 0;
  const busy_retry_result r = kx::prereq::run_with_busy_retry(
      [&] {
        ++calls;
        return 1618u;
      },
      fake.clock(), nullptr);
  EXPECT_TRUE(r.cancelled);
  EXPECT_FALSE(r.gaveUp);
  EXPECT_EQ(calls, 2u);
}

TEST(BusyInstaller, OtherResultsAreNotRetried) {
  fake_clock fake;
  for (std::uint32_t code : {0u, 1603u, 3010u, 1602u}) {
    const busy_retry_result r =
        kx::prereq::run_with_busy_retry([&] { return code; }, fake.clock(), nullptr);
    EXPECT_EQ(r.code, code);
    EXPECT_EQ(r.attempts, 1u);
  }
  EXPECT_TRUE(fake.pauses.empty());
}

TEST(BusyInstaller, SystemClockPauseStopsOnTheCancelFlag) {
  bool cancel = true;
  const kx::prereq::busy_wait_clock c = kx::prereq::system_busy_wait_clock(&cancel);
  EXPECT_FALSE(c.pause(60000));
  cancel = false;
  EXPECT_TRUE(c.pause(10));
}

TEST(SystemInstaller, BindsAllFourFunctions) {
  const kx::prereq::msi_functions* f = kx::prereq::system_msi_functions();
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(f->complete());
}

}  // namespace
