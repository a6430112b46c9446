// The engine session against an engine that keeps to the contract and
// nothing more (tests/launcher/contract_engine.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "launcher/engine_host.h"
#include "launcher/setup.h"
#include "launcher/step_result.h"
#include "tests/launcher/contract_engine.h"
#include "tests/launcher/engine_host_fixture.h"

namespace kx {
namespace {

using testing::ContractEngineReferences;
using testing::ContractEngineScript;
using testing::QuietServices;

class EngineHostContractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setup_ = testing::MakeSilentSetup(services_);
    setup_->EngineModule = testing::LoadContractEngine(script_);
    ASSERT_NE(setup_->EngineModule, nullptr);
  }

  // Runs the normal start or the resume; the abort's code, or S_OK.
  HRESULT Session(bool resume) {
    try {
      EngineHost host(*setup_, DefaultEngineHostParts());
      return resume ? host.Resume() : host.Run();
    } catch (const StepAbort& abort) {
      return abort.code();
    }
  }

  bool Called(const wchar_t* call) const {
    return std::find(script_.calls.begin(), script_.calls.end(), call) != script_.calls.end();
  }

  QuietServices services_;
  ContractEngineScript script_;
  std::unique_ptr<CSetup> setup_;
};

TEST_F(EngineHostContractTest, BothStartsRunThroughAndLetGoOfEveryObject) {
  for (const bool resume : {false, true}) {
    SetUp();
    EXPECT_EQ(Session(resume), S_OK)
        << "resume " << resume << " failed at site " << setup_->RunFailure.site;
    EXPECT_EQ(setup_->ErrorCode, 0);
    EXPECT_TRUE(Called(L"SetIniPath") && Called(L"SetArguments") && Called(L"GetValue"));
    EXPECT_EQ(Called(L"Run"), !resume);
    EXPECT_EQ(Called(L"Complete"), resume);
    EXPECT_TRUE(Called(L"Finish"));
    EXPECT_EQ(setup_->EngineLogFile.str(), L"C:\\engine.log");
    setup_.reset();
    EXPECT_EQ(ContractEngineReferences(), 0) << "resume " << resume;
    script_ = ContractEngineScript();
  }
}

TEST_F(EngineHostContractTest, EachFailingCallEndsWithItsStepsCode) {
  struct Case {
    const wchar_t* call;
    bool resume;
    int error_code;
  };
  const Case cases[] = {
      {L"OpenCabinet", false, kErrorCabinetHeader},
      {L"SetProperty", false, kErrorEngineSetup},
      {L"SetArguments", false, kErrorEngineArguments},
      {L"GetRunner", false, kErrorRunner},
      {L"Run", false, kErrorRun},
      {L"Finish", false, kErrorFinish},
      {L"GetRunner", true, kErrorRunner},
      {L"Complete", true, kErrorRunner},
      {L"Finish", true, kErrorFinish},
  };
  for (const Case& c : cases) {
    SetUp();
    script_.fail = c.call;
    EXPECT_EQ(Session(c.resume), E_FAIL) << c.call << " resume " << c.resume;
    EXPECT_EQ(setup_->ErrorCode, c.error_code) << c.call << " resume " << c.resume;
    setup_.reset();
    script_ = ContractEngineScript();
  }
}

TEST_F(EngineHostContractTest, TooLittleDiskSpaceIsAFailureOfTheEngineSetUp) {
  script_.size = 1ull << 60;
  script_.support_dir = L"C:\\";
  EXPECT_EQ(Session(false), kDiskSpaceShort);
  EXPECT_EQ(setup_->ErrorCode, kErrorEngineSetup);
  EXPECT_EQ(setup_->RunFailure.site, 443);
  const std::wstring message = setup_->FailureMessage.str();
  EXPECT_EQ(message.rfind(L"Free ", 0), 0u) << message;
  EXPECT_NE(message.find(L" KB on C:."), std::wstring::npos) << message;
  EXPECT_FALSE(Called(L"Run"));
}

}  // namespace
}  // namespace kx
