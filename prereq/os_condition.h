// The "operatingsystemcondition" rule: does the running system match one
// entry of a definition's list of systems?
//
// Windows-free: the rule reads a plain record of facts, so that systems the
// tests cannot run on (the 9x family, Itanium, domain controllers) are just
// other records.
#pragma once

#include <cstdint>

#include "prereq/trace_line.h"
#include "prereq/xml/attribute_list.h"

namespace kx::prereq {

// Processor architectures as the system reports them
// (PROCESSOR_ARCHITECTURE_*).
enum : std::uint16_t {
  kArchitectureIntel = 0,
  kArchitectureItanium = 6,
  kArchitectureAmd64 = 9,
  kArchitectureArm64 = 12,
};

// What the rule knows about the running system.
struct os_facts {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  // The build-number field as the system reports it; the 9x family keeps
  // its major and minor version in the upper two bytes.
  std::uint32_t build_field = 0;
  std::uint32_t platform_id = 0;
  // The service-pack text ("Service Pack 1"), as reported.
  sax::text csd_version;
  std::uint32_t service_pack_major = 0;
  // 1 workstation, 2 domain controller, 3 server; 0 when unknown.
  std::uint32_t product_type = 0;
  // The system default UI language id.
  std::uint32_t ui_language = 0;
  // The native processor architecture.
  std::uint16_t architecture = kArchitectureIntel;

  // The build number proper: on the 9x family (platform id 1) the low word
  // of the field, else the whole field.
  std::uint32_t build_number() const noexcept;
  // A 64-bit system: x64, Itanium or ARM64.
  bool is_64bit() const noexcept;
};

// Judges one "operatingsystemcondition" element against `facts`. Traces
// "operatingsystemcondition", then each numeric attribute it tested
// (MajorVersion, MinorVersion, ServicePackMajorMin, ServicePackMajorMax,
// BuildNumber, PlatformId, as written and followed by ","), and ends the
// line with " -- Successful" or " -- Failed!". True when the system matches.
bool evaluate_os_condition(const sax::AttributeList& attributes, const os_facts& facts,
                           trace_line& trace);

}  // namespace kx::prereq
