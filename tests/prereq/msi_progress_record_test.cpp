#include "prereq/msi_progress_record.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using kx::prereq::parse_progress_record;
using kx::prereq::progress_model;

TEST(ProgressRecord, ReadsNumberedFieldsUntilTheFirstBadOne) {
  const std::pair<const wchar_t*, std::vector<std::int32_t>> table[] = {
      {L"1: 0 2: 37206 3: 0 4: 0 ", {0, 37206, 0, 0}},
      {L"1: 2 2: 1024", {2, 1024}},
      {L"", {}},
      {L"garbage", {}},
      {L"2: 5", {}},
      {L"1: 1 3: 4", {1}},
      {L"1: x 2: 3", {}},
      {L"1: -5 2: 99999999999999999999", {-5, 2147483647}},
      {L"1:0 2:-99999999999", {0, -2147483647 - 1}},
      {L"1: 1 2: 2 3: 3 4: 4 5: 5 6: 6 7: 7 8: 8 9: 9", {1, 2, 3, 4, 5, 6, 7, 8}}};
  for (const auto& [text, fields] : table) {
    const kx::prereq::progress_record r = parse_progress_record(kx::string::view(text));
    ASSERT_EQ(r.count, fields.size()) << text;
    for (std::size_t i = 0; i < fields.size(); ++i) EXPECT_EQ(r.field[i], fields[i]) << text;
  }
}

progress_model::bar feed(progress_model& m, const wchar_t* text) {
  return m.apply(parse_progress_record(kx::string::view(text)));
}

TEST(ProgressModel, DrivesTheBarForwardAndBackward) {
  progress_model m;
  // A report before any reset has no total to move within.
  EXPECT_FALSE(feed(m, L"1: 2 2: 10").setPosition);
  EXPECT_FALSE(m.action_data().stepIt);

  progress_model::bar b = feed(m, L"1: 0 2: 1000 3: 0 4: 1");
  EXPECT_TRUE(b.setRange && b.setPosition);
  EXPECT_EQ(b.total, 1000);
  EXPECT_EQ(b.position, 0);
  b = feed(m, L"1: 2 2: 300");
  EXPECT_EQ(b.position, 300);
  b = feed(m, L"1: 2 2: 5000");
  EXPECT_EQ(b.position, 1000) << "never past the total";

  b = feed(m, L"1: 0 2: 100 3: 1 4: 0");
  EXPECT_EQ(m.position(), 100) << "moving backward starts at the total";
  EXPECT_EQ(b.position, 100);
  b = feed(m, L"1: 1 2: 10 3: 1");
  EXPECT_TRUE(b.setStep);
  EXPECT_EQ(b.step, -10);
  b = m.action_data();
  EXPECT_TRUE(b.stepIt);
  EXPECT_EQ(m.position(), 90);
  m.action_start();
  EXPECT_FALSE(m.action_data().stepIt) << "an action start ends the step mode";

  // Short records change nothing.
  EXPECT_FALSE(feed(m, L"1: 0 2: 5 3: 0").setRange);
  EXPECT_FALSE(feed(m, L"1: 1 2: 5").setStep);
  EXPECT_EQ(m.total(), 100);
  b = feed(m, L"1: 0 2: -7 3: 0 4: 0");
  EXPECT_EQ(b.total, 0);
  EXPECT_FALSE(m.has_total());
}

TEST(ProgressModel, ActionStartTextFollowsTheFirstDot) {
  EXPECT_EQ(kx::prereq::action_start_text(
                kx::string::view(L"Action 10:58:11: CostInitialize. Computing space"), 100)
                .str(),
            L"Computing space");
  EXPECT_EQ(kx::prereq::action_start_text(kx::string::view(L"No dot"), 100).str(), L"");
  EXPECT_EQ(kx::prereq::action_start_text(kx::string::view(L"a."), 100).str(), L"");
  EXPECT_EQ(kx::prereq::action_start_text(kx::string::view(L"a. 123456"), 3).str(), L"123");
}

}  // namespace
