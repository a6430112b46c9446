#include "diag/report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "diag/error_info.h"
#include "tests/diag/trace_fixture.h"
#include "tests/testing/scoped_temp_dir.h"
#include "ui/ui_environment.h"

namespace kx::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// A silent run's failure report, with the trace switched on.
class ReportTest : public TraceTest {
 protected:
  ReportTest() {
    saved_ = ui_environment();
    ui_environment() = UiEnvironment{};
    ui_environment().silent = true;
    report.extended_code = static_cast<HRESULT>(0x8000FFFF);
    report.source_file = L"/src/launcher/setup.cpp";
    report.line = 175;
    report.product_name = L"Foo";
    report.vendor_name = L"Acme";
    report.product_guid = L"{G}";
    report.launcher_path = string(dir_.file(L"temp\\setup.exe"));
    report.user_launcher = string(dir_.file(L"setup.exe"));
    report.silent = true;
    report.report_url_template = L"https://h.example/?c=%d";
  }
  ~ReportTest() override { ui_environment() = saved_; }

  FailureReport report;

 private:
  UiEnvironment saved_;
};

TEST_F(ReportTest, ASilentFailureWithCodeZeroIsReportedAsGeneralFailure) {
  StartTrace();
  report_failure(report, false);

  EXPECT_EQ(report.result_code, -5001);
  EXPECT_THAT(report.information.str(), StartsWith(L">launcher\\setup.cpp (175)\r\nPAPP:Foo\r\n"
                                                   L"PVENDOR:Acme\r\nPGUID:{G}\r\n$"));
  const std::string log = ReadBytes(dir_.file(L"setup.log"));
  EXPECT_THAT(log, HasSubstr("[ResponseResult]\r\nResultCode=-5001\r\n"));
  EXPECT_THAT(log, HasSubstr("[ExtendedError]\r\nErrorInfo=>launcher\\setup.cpp (175) PAPP:Foo "
                             "PVENDOR:Acme PGUID:{G} $"));
  const std::vector<std::string> events = EventRecords();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], "KXSetupDLLOp|UnhandledException|");
  EXPECT_THAT(events[1], StartsWith("ErrorCode=-5001\tException=0x8000ffff\tErrorInformation=>"
                                    "launcher\\setup.cpp (175)__PAPP:Foo__PVENDOR:Acme__"));
}

TEST_F(ReportTest, AMediumPasswordReachesNeitherSetupLogNorTheTrace) {
  StartTrace();
  SetComErrorDescription(L"Cannot read http://alice:s3cret@h/Disk1/data1.cab");
  report.step_message = L"http://alice:s3cret@h/Disk1";
  report_failure(report, false);
  EXPECT_THAT(report.information.str(),
              StartsWith(L"Cannot read http://alice:***@h/Disk1/data1.cab>"));
  const std::string log = ReadBytes(dir_.file(L"setup.log"));
  EXPECT_THAT(log, HasSubstr("ErrorInfo=Cannot read http://alice:***@h/Disk1/data1.cab>"));
  EXPECT_THAT(log, Not(HasSubstr("s3cret")));
  for (const std::string& e : EventRecords()) EXPECT_THAT(e, Not(HasSubstr("s3cret")));
}

TEST_F(ReportTest, TheSuppressedFormWritesTheSameFileAndTheOptionChoosesIt) {
  report.result_code = -5003;
  report.result_file_option = string(dir_.file(L"chosen.log"));
  report_failure(report, true);
  EXPECT_EQ(report.result_code, -5003);
  EXPECT_THAT(ReadBytes(dir_.file(L"chosen.log")), HasSubstr("ResultCode=-5003\r\n"));
  EXPECT_EQ(ReadBytes(dir_.file(L"setup.log")), "");
}

TEST_F(ReportTest, RunsWithDialogsWriteNoResultFile) {
  report.silent = false;
  // The windows stay hidden: the UI environment still says silent.
  report_failure(report, false);
  report_failure(report, true);
  EXPECT_EQ(ReadBytes(dir_.file(L"setup.log")), "");
  EXPECT_EQ(report.result_code, -5001);
}

}  // namespace
}  // namespace kx::testing
