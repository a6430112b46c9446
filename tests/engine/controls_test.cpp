// The transfer a test chooses for the engine's Start: the host hears every
// byte at the chosen rate, a cancel stops it, and a malformed choice fails
// Start instead of hanging the run or reporting nothing.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/engine/engine_host.h"
#include "tests/testing/registry_sandbox.h"

namespace kx::testing {
namespace {

class ChosenTransferTest : public ::testing::Test {
 protected:
  // The steps up to the engine set-up, whose Start reports the transfer.
  HRESULT SetUpRun(HostRun& run, const Medium& medium) {
    EXPECT_EQ(run.Create(), S_OK);
    EXPECT_EQ(run.Open(medium.header()), S_OK);
    return run.SetUp(0x0409);
  }
  int RateCalls() const {
    return static_cast<int>(std::count(host_.events.begin(), host_.events.end(), L"Rate"));
  }
  static bool Journaled(const Medium& medium, const std::wstring& line) {
    const auto journal = medium.Journal();
    return std::find(journal.begin(), journal.end(), line) != journal.end();
  }

  RegistrySandbox sandbox_;
  TestHost host_;
};

TEST_F(ChosenTransferTest, StartReportsEveryByteAndTheRate) {
  Medium medium;
  // 0.3 s at this rate: a few slices.
  ScopedEnv transfer(L"KX_ENGINE_TRANSFER", L"300000:1000000");
  HostRun run(&host_);
  ASSERT_EQ(SetUpRun(run, medium), S_OK);
  EXPECT_EQ(host_.progress_total, 300000u);
  EXPECT_GE(host_.progress_calls, 1);
  EXPECT_GE(RateCalls(), 1);
  // The host measures its bar against the size the engine reports.
  EXPECT_EQ(run.size, 300000u);
  EXPECT_TRUE(Journaled(medium, L"Transfer bytes=300000 rate=1000000"));
}

TEST_F(ChosenTransferTest, AChosenSizeWinsOverTheTransfersSize) {
  Medium medium;
  ScopedEnv transfer(L"KX_ENGINE_TRANSFER", L"1000:100000");
  ScopedEnv size(L"KX_ENGINE_SIZE", L"5000");
  HostRun run(&host_);
  ASSERT_EQ(SetUpRun(run, medium), S_OK);
  EXPECT_EQ(run.size, 5000u);
  EXPECT_EQ(host_.progress_total, 1000u);
}

TEST_F(ChosenTransferTest, ACancelAnswerStopsTheTransferAndIsStartsResult) {
  Medium medium;
  ScopedEnv transfer(L"KX_ENGINE_TRANSFER", L"5000000:1000000");
  host_.cancel_at_progress = 2;
  HostRun run(&host_);
  EXPECT_EQ(SetUpRun(run, medium), KX_E_CANCELLED);
  EXPECT_EQ(host_.progress_calls, 2);
  EXPECT_LT(host_.progress_total, 5000000u);
  const auto journal = medium.Journal();
  EXPECT_TRUE(std::any_of(journal.begin(), journal.end(), [](const std::wstring& line) {
    return line.rfind(L"Transfer bytes=", 0) == 0 && line.find(L" failed=0x") != line.npos;
  }));
}

TEST_F(ChosenTransferTest, MalformedChoicesFailStartAndReportNothing) {
  const wchar_t* rows[] = {
      L"300000",           // no rate
      L"300000:",          // empty rate
      L"abc:100",          // no number
      L"300000:0",         // would never end
      L"-5:100",           // negative size
      L"100:-1",           // negative rate
      L"6000000000:1000",  // 100 minutes: beyond the longest wait
      L"0x10:1:2",         // a third part
  };
  for (const wchar_t* value : rows) {
    Medium medium;
    host_ = TestHost();
    ScopedEnv transfer(L"KX_ENGINE_TRANSFER", value);
    HostRun run(&host_);
    EXPECT_EQ(SetUpRun(run, medium), E_INVALIDARG) << value;
    EXPECT_EQ(host_.progress_calls, 0) << value;
    const auto journal = medium.Journal();
    EXPECT_TRUE(std::any_of(journal.begin(), journal.end(), [](const std::wstring& line) {
      return line.rfind(L"Transfer bytes=0 ", 0) == 0 && line.ends_with(L" failed=0x80070057");
    })) << value;
  }
}

TEST_F(ChosenTransferTest, AnEmptyTransferEndsAtOnce) {
  Medium medium;
  ScopedEnv transfer(L"KX_ENGINE_TRANSFER", L"0:1000");
  HostRun run(&host_);
  ASSERT_EQ(SetUpRun(run, medium), S_OK);
  EXPECT_EQ(host_.progress_calls, 0);
  EXPECT_TRUE(Journaled(medium, L"Transfer bytes=0 rate=1000"));
}

}  // namespace
}  // namespace kx::testing
