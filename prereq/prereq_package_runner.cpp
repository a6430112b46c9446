#include "prereq/setup_prereq_mgr.h"
#include "prereq/setup_prerequisite.h"

namespace kx {

namespace {

class system_runner final : public prereq_package_runner {
 public:
  package_run Run(CSetupPreRequisite& prerequisite, const string& location, bool silent) override {
    const prereq::run_result& result = prerequisite.ExecutePrerequisite(location, silent);
    return {outcome(result.verdict), result.rebootRequired};
  }

 private:
  static package_outcome outcome(prereq::run_verdict verdict) {
    switch (verdict) {
      case prereq::run_verdict::installed:
      case prereq::run_verdict::reboot_needed:
        return package_outcome::ran;
      case prereq::run_verdict::failed:
        return package_outcome::failed;
      case prereq::run_verdict::cancelled_optional:
      case prereq::run_verdict::not_run:
        return package_outcome::skipped;
    }
    return package_outcome::failed;
  }
};

}  // namespace

prereq_package_runner& system_package_runner() {
  static system_runner runner;
  return runner;
}

}  // namespace kx
