// Step results of the run and the exit codes the launcher ends with.
#pragma once

#include <windows.h>

#include <exception>

namespace kx {

// The user cancelled (everywhere in the launcher).
constexpr HRESULT kCancelled = static_cast<HRESULT>(0x80042000);
// An administrator installed the product; this user may not maintain it.
constexpr HRESULT kAdminInstalled = static_cast<HRESULT>(0x80042002);

// The launcher's own error codes, used as the exit code after a failure.
constexpr int kErrorGeneral = -5001;
constexpr int kErrorEngineDll = -5003;
constexpr int kErrorEngineCreate = -5004;
constexpr int kErrorCabinetHeader = -5005;
constexpr int kErrorEngineSetup = -5006;
constexpr int kErrorEngineArguments = -5008;
constexpr int kErrorRunner = -5009;
constexpr int kErrorRun = -5011;
constexpr int kErrorFinish = -5012;
constexpr int kErrorRelaunch = -5017;

// Where a step failed: its result, the check site's number (shown in failure
// reports) and the source position of the check.
struct StepFailure {
  HRESULT code = S_OK;
  int site = 0;
  const char* file = "";
  int line = 0;
};

// Thrown by a failed check to the nearest abort point (the run, an engine
// step, a file copy); carries where the failure started.
class StepAbort : public std::exception {
 public:
  explicit StepAbort(const StepFailure& f) noexcept : failure_(f) {}
  const StepFailure& failure() const noexcept { return failure_; }
  HRESULT code() const noexcept { return failure_.code; }
  const char* what() const noexcept override { return "setup step failed"; }

 private:
  StepFailure failure_;
};

}  // namespace kx
