#include "launcher/engine_host.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "launcher/step_result.h"
#include "tests/launcher/engine_host_fixture.h"

namespace kx {
namespace {

using testing::FakeEngineObject;
using testing::QuietServices;
using testing::TypelibExports;

class StepRecorder : public EngineProgressObserver {
 public:
  std::vector<int> steps;
  void StepReached(int percent) override { steps.push_back(percent); }
  void BytesTransferred(ULONGLONG, ULONGLONG) override {}
  void RateChanged(ULONG) override {}
  void EnginePhase() override {}
  void Close() override {}
  HWND Window() override { return nullptr; }
  bool TakeCancelRequest() override { return false; }
};

class CancellingInterface : public EngineUserInterface {
 public:
  HRESULT Prepare(CSetup&, const std::function<HRESULT()>&) override { return kCancelled; }
};

class EngineHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TypelibExports::answer = TRUE;
    TypelibExports::installs = 0;
    TypelibExports::removes = 0;
    setup_ = testing::MakeSilentSetup(services_);
    parts_ = DefaultEngineHostParts();
    parts_.progress = &recorder_;
  }

  // Runs the session; returns the abort's code (S_OK when it ended).
  HRESULT RunSession() {
    try {
      return EngineHost(*setup_, parts_).Run() == S_OK ? S_OK : E_UNEXPECTED;
    } catch (const StepAbort& abort) {
      return abort.code();
    }
  }

  QuietServices services_;
  StepRecorder recorder_;
  EngineHostParts parts_;
  std::unique_ptr<CSetup> setup_;
};

TEST_F(EngineHostTest, AFailingTypeLibraryEndsWithTheEngineCode) {
  TypelibExports::answer = FALSE;
  EXPECT_EQ(RunSession(), static_cast<HRESULT>(kErrorEngineDll));
  EXPECT_EQ(setup_->ErrorCode, kErrorEngineDll);
  EXPECT_EQ(setup_->RunFailure.site, 430);
  EXPECT_EQ(TypelibExports::installs, 1);
  EXPECT_EQ(recorder_.steps, (std::vector<int>{5, 10}));
}

TEST_F(EngineHostTest, AModuleWithoutClassObjectEndsTheCreationStep) {
  EXPECT_EQ(RunSession(), HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(setup_->ErrorCode, kErrorEngineCreate);
  EXPECT_EQ(setup_->RunFailure.site, 433);
  EXPECT_FALSE(setup_->Engine);
  EXPECT_EQ(recorder_.steps, (std::vector<int>{5, 10, 15, 20}));
}

TEST_F(EngineHostTest, WithoutAModuleTheTypeLibraryStepFails) {
  setup_->EngineModule = nullptr;
  EXPECT_EQ(RunSession(), static_cast<HRESULT>(kErrorEngineDll));
  EXPECT_EQ(setup_->ErrorCode, kErrorEngineDll);
}

TEST_F(EngineHostTest, ThePrivilegeRequirementComesBeforeTheEngine) {
  setup_->Settings().ShowErrMsgInvalidIdentity = true;
  EXPECT_EQ(RunSession(), kAdminInstalled);
  EXPECT_EQ(setup_->RunFailure.site, 427);
  EXPECT_EQ(setup_->ErrorCode, 0) << "the abort handler shows its own message";
  EXPECT_EQ(TypelibExports::installs, 0);
}

TEST_F(EngineHostTest, AWindowedRunCancelledInItsPreparationStopsThere) {
  CancellingInterface ui;
  parts_.ui = &ui;
  setup_->Settings().Silent = false;
  EXPECT_EQ(RunSession(), kCancelled);
  EXPECT_EQ(setup_->RunFailure.site, 420);
  EXPECT_TRUE(recorder_.steps.empty());
  EXPECT_EQ(TypelibExports::installs, 0);

  // A silent run never shows the windows.
  setup_ = testing::MakeSilentSetup(services_);
  EXPECT_EQ(RunSession(), HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
}

TEST_F(EngineHostTest, TheTypeLibraryIsRemovedAtTheEndUnlessRunWithoutEngine) {
  setup_.reset();
  EXPECT_EQ(TypelibExports::removes, 1);
  setup_ = testing::MakeSilentSetup(services_);
  setup_->Settings().NoEngine = true;
  setup_.reset();
  EXPECT_EQ(TypelibExports::removes, 1);
  setup_ = testing::MakeSilentSetup(services_);
  setup_->EngineModule = nullptr;
  setup_.reset();
  EXPECT_EQ(TypelibExports::removes, 1) << "no module, nothing to remove";
}

TEST_F(EngineHostTest, TheResultCodeComesFromTheCabinetAndNeverHidesAFailure) {
  FakeEngineObject cabinet;
  EXPECT_EQ(EngineResultCode(*setup_), 0) << "no cabinet";
  cabinet.result_code = 3010;
  setup_->CabinetObject.reset(cabinet.share_cabinet());
  EXPECT_EQ(EngineResultCode(*setup_), 3010);
  cabinet.fail = L"GetResultCode";
  EXPECT_EQ(EngineResultCode(*setup_), static_cast<long>(E_FAIL));
  setup_.reset();
  EXPECT_EQ(cabinet.refs, 1) << "the launcher let go of the cabinet";
}

TEST_F(EngineHostTest, AnAbortTellsTheDriverAndCompletesTheRunner) {
  FakeEngineObject engine;
  NotifyEngineAbort(*setup_);
  EXPECT_EQ(setup_->EngineState, 3) << "nothing to tell without a driver";

  EngineSinkContext context;
  setup_->EngineSink.reset(NewEngineSink(context));
  setup_->EngineDriver.reset(engine.share_component());
  setup_->EngineRunner.reset(engine.share_runner());
  NotifyEngineAbort(*setup_);
  EXPECT_EQ(setup_->EngineState, 5);
  EXPECT_EQ(engine.calls,
            (std::vector<std::wstring>{L"Abort set", L"QueryCompletion", L"Complete"}));
  setup_.reset();
  EXPECT_EQ(engine.refs, 1) << "driver, runner and completion were all released";
}

}  // namespace
}  // namespace kx
