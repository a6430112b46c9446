// How a definition asks whether its conditions hold on this machine. The
// definition reader stays free of the system; the launcher gives it the
// evaluator that reads the real registry, files and version facts.
#pragma once

#include "prereq/trace_line.h"
#include "prereq/xml/attribute_list.h"

namespace kx::prereq {

// Judges condition elements as they are read. Each call traces what it
// tested on `trace` and ends the line itself (" -- Successful" or
// " -- Failed!").
class condition_evaluator {
 public:
  virtual ~condition_evaluator() = default;
  // One "operatingsystemcondition": true when the running system matches.
  virtual bool os_condition(const sax::AttributeList& attributes, trace_line& trace) = 0;
  // One "condition": true when it holds.
  virtual bool condition(const sax::AttributeList& attributes, trace_line& trace) = 0;
};

}  // namespace kx::prereq
