#include "prereq/trace_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace kx::prereq {
namespace {

struct collecting_sink : trace_sink {
  std::vector<string> lines;
  int pieces = 0;
  void line(const string& finished) override { lines.push_back(finished); }
  void progress(const string&, bool finished) override { pieces += finished ? 0 : 1; }
};

TEST(TraceLine, BuildsLinesFromPiecesAndStartsAfresh) {
  collecting_sink sink;
  trace_line line(&sink);
  line.append_field(KXT("execute"));
  line.append_group(KXT("a.exe"), KXT("/q %s"), KXT(""), KXT("3010"), KXT(""), KXT(""));
  line.end(true);
  line.append_field(KXT("condition"));
  line.end(false);
  ASSERT_EQ(sink.lines.size(), 2u);
  EXPECT_EQ(sink.lines[0].str(), KXT("PrereqEngine: execute,a.exe,/q %s,,3010,, -- Successful"));
  EXPECT_EQ(sink.lines[1].str(), KXT("PrereqEngine: condition, -- Failed!"));
  EXPECT_EQ(sink.pieces, 3);
  EXPECT_EQ(line.current().str(), KXT("PrereqEngine: "));
}

}  // namespace
}  // namespace kx::prereq
