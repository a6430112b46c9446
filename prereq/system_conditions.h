// The condition evaluator of a real run: operating-system conditions against
// the running system, registry and file conditions against this machine.
#pragma once

#include "prereq/condition_evaluator.h"
#include "prereq/os_condition.h"

namespace kx::prereq {

// The system facts in force now (platform/os_version.h, so that
// scoped_system_facts stands in for them), with the system's default UI
// language. A failed extended version query leaves the extended fields 0.
os_facts current_os_facts();

// Evaluates condition elements on this machine. The system facts are taken
// once, when the evaluator is made.
class system_condition_evaluator final : public condition_evaluator {
 public:
  // Takes current_os_facts().
  system_condition_evaluator();
  // Judges against `facts` instead of the running system's.
  explicit system_condition_evaluator(os_facts facts);

  // One "operatingsystemcondition" (evaluate_os_condition).
  bool os_condition(const sax::AttributeList& attributes, trace_line& trace) override;
  // One "condition": traces "condition," and the group Type, Comparison,
  // Path, FileName, Bits, ReturnValue as written; Types 1, 2 and 32 are
  // registry tests, 4, 8 and 16 file tests, any other Type holds. Ends the
  // line.
  bool condition(const sax::AttributeList& attributes, trace_line& trace) override;

  const os_facts& facts() const noexcept { return facts_; }

 private:
  os_facts facts_;
};

}  // namespace kx::prereq
