#include "prereq/os_condition.h"
#include "tests/prereq/prereq_test_support.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace kx::prereq {
namespace {

using testing_support::attributes;
using testing_support::line_sink;
using pairs = testing_support::attribute_pairs;

std::string narrow(sax::text_view text) {
  return std::string(text.begin(), text.end());
}

os_facts windows(std::uint32_t major, std::uint32_t minor, std::uint32_t build,
                 std::uint32_t service_pack = 0, const kx::xchar* csd = KXT("")) {
  os_facts f;
  f.major = major;
  f.minor = minor;
  f.build_field = build;
  f.platform_id = 2;
  f.service_pack_major = service_pack;
  f.csd_version = csd;
  f.product_type = 1;
  f.ui_language = 0x0409;
  f.architecture = kArchitectureAmd64;
  return f;
}

os_facts windows_9x(std::uint32_t minor, std::uint32_t build_field) {
  os_facts f;
  f.major = 4;
  f.minor = minor;
  f.build_field = build_field;
  f.platform_id = 1;
  f.architecture = kArchitectureIntel;
  return f;
}

os_facts with_architecture(os_facts f, std::uint16_t architecture) {
  f.architecture = architecture;
  return f;
}

os_facts with_product(os_facts f, std::uint32_t type) {
  f.product_type = type;
  return f;
}

struct row {
  const char* what;
  os_facts facts;
  pairs attrs;
  bool matches;
  const kx::xchar* line;
};

TEST(OsCondition, AttributesAndTheirTraces) {
  const os_facts seven_sp1 = windows(6, 1, 7601, 1, KXT("Service Pack 1"));
  const os_facts me = windows_9x(90, 0x045A0BB8);
  const row rows[] = {
      {"the example line",
       seven_sp1,
       {{KXT("MajorVersion"), KXT("6")},
        {KXT("MinorVersion"), KXT("1")},
        {KXT("PlatformId"), KXT("2")},
        {KXT("CSDVersion"), KXT("")},
        {KXT("ServicePackMajorMin"), KXT("1")}},
       true,
       KXT("operatingsystemcondition,6,1,1,2, -- Successful")},
      {"no attributes", seven_sp1, {}, true, KXT("operatingsystemcondition, -- Successful")},
      {"major mismatch stops",
       seven_sp1,
       {{KXT("MajorVersion"), KXT("10")}, {KXT("MinorVersion"), KXT("0")}},
       false,
       KXT("operatingsystemcondition,10, -- Failed!")},
      {"sp min met", seven_sp1, {{KXT("ServicePackMajorMin"), KXT("1")}}, true, nullptr},
      {"sp min missed", seven_sp1, {{KXT("ServicePackMajorMin"), KXT("2")}}, false, nullptr},
      {"sp max 0 on sp1",
       seven_sp1,
       {{KXT("ServicePackMajorMax"), KXT("0")}},
       false,
       KXT("operatingsystemcondition,0, -- Failed!")},
      {"sp max 1 on sp1", seven_sp1, {{KXT("ServicePackMajorMax"), KXT("1")}}, true, nullptr},
      {"build at least", seven_sp1, {{KXT("BuildNumber"), KXT("7600")}}, true, nullptr},
      {"build too new", seven_sp1, {{KXT("BuildNumber"), KXT("7602")}}, false, nullptr},
      {"platform", seven_sp1, {{KXT("PlatformId"), KXT("1")}}, false, nullptr},
      {"unparsable number is 0",
       seven_sp1,
       {{KXT("ServicePackMajorMax"), KXT("x")}},
       false,
       KXT("operatingsystemcondition,x, -- Failed!")},
      // The 9x family: the minor version also sits in the build field.
      {"me minor 90", me, {{KXT("MinorVersion"), KXT("90")}}, true, nullptr},
      {"me minor 10", me, {{KXT("MinorVersion"), KXT("10")}}, false, nullptr},
      {"me minor absent", me, {{KXT("MajorVersion"), KXT("4")}}, true, nullptr},
      {"9x minor from the build field",
       windows_9x(0, 0x040A08AE),
       {{KXT("MinorVersion"), KXT("10")}},
       true,
       nullptr},
      {"byte 90 wants minor 90",
       windows_9x(10, 0x045A0BB8),
       {{KXT("MinorVersion"), KXT("10")}},
       false,
       nullptr},
      {"nt has no second minor",
       with_product(windows(4, 0, 0x040A0000), 1),
       {{KXT("MinorVersion"), KXT("10")}},
       false,
       nullptr},
      {"9x build is the low word",
       windows_9x(10, 0x040A08AE),
       {{KXT("BuildNumber"), KXT("2222")}},
       true,
       nullptr},
      {"9x build too new",
       windows_9x(10, 0x040A08AE),
       {{KXT("BuildNumber"), KXT("2223")}},
       false,
       nullptr},
      // Service-pack text: ordinal, case-sensitive, blanks trimmed.
      {"csd against empty text",
       windows(6, 1, 7600),
       {{KXT("CSDVersion"), KXT("Service Pack 1")}},
       false,
       KXT("operatingsystemcondition, -- Failed!")},
      {"csd equal", seven_sp1, {{KXT("CSDVersion"), KXT(" Service Pack 1\t")}}, true, nullptr},
      {"csd older wanted", seven_sp1, {{KXT("CSDVersion"), KXT("Service Pack 0")}}, true, nullptr},
      {"csd newer wanted", seven_sp1, {{KXT("CSDVersion"), KXT("Service Pack 2")}}, false, nullptr},
      {"csd case counts", seven_sp1, {{KXT("CSDVersion"), KXT("service pack 1")}}, false, nullptr},
      {"product list on a server",
       with_product(windows(5, 2, 3790), 3),
       {{KXT("MajorVersion"), KXT("5")}, {KXT("ProductType"), KXT("2|3")}},
       true,
       KXT("operatingsystemcondition,5, -- Successful")},
      {"product list on a workstation",
       windows(5, 2, 3790),
       {{KXT("ProductType"), KXT("2|3")}},
       false,
       nullptr},
      {"product list without numbers",
       windows(5, 2, 3790),
       {{KXT("ProductType"), KXT("|")}},
       false,
       nullptr},
      {"language",
       windows(10, 0, 19045),
       {{KXT("Language"), KXT("1033")}},
       true,
       KXT("operatingsystemcondition, -- Successful")},
      {"other language", windows(10, 0, 19045), {{KXT("Language"), KXT("1031")}}, false, nullptr},
  };
  for (const row& r : rows) {
    line_sink sink;
    trace_line trace(&sink);
    EXPECT_EQ(evaluate_os_condition(attributes(r.attrs), r.facts, trace), r.matches) << r.what;
    ASSERT_EQ(sink.lines.size(), 1u) << r.what;
    if (r.line) {
      EXPECT_EQ(narrow(sink.lines[0]), narrow(sax::text(KXT("PrereqEngine: ")) + r.line)) << r.what;
    }
    EXPECT_EQ(trace.current(), trace_line::kStart) << r.what;
  }
}

TEST(OsCondition, BitsTheFirstSetBitDecides) {
  const os_facts x64 = windows(10, 0, 19045);
  const os_facts x86 = with_architecture(x64, kArchitectureIntel);
  const os_facts itanium = with_architecture(x64, kArchitectureItanium);
  const os_facts arm64 = with_architecture(x64, kArchitectureArm64);
  const struct {
    const os_facts& facts;
    const kx::xchar* bits;
    bool matches;
  } rows[] = {
      {x64, KXT("1"), false},     {x64, KXT("2"), true},      {x64, KXT("3"), false},
      {x64, KXT("4"), true},      {x64, KXT("8"), false},     {x64, KXT("12"), true},
      {x64, KXT("16"), true},     {x64, KXT(""), true},       {x86, KXT("1"), true},
      {x86, KXT("2"), false},     {x86, KXT("6"), false},     {x86, KXT("4"), false},
      {itanium, KXT("8"), true},  {itanium, KXT("4"), false}, {itanium, KXT("2"), true},
      {itanium, KXT("1"), false}, {arm64, KXT("2"), true},    {arm64, KXT("1"), false},
      {arm64, KXT("4"), false},
  };
  for (const auto& r : rows) {
    trace_line trace;
    EXPECT_EQ(evaluate_os_condition(attributes({{KXT("Bits"), r.bits}}), r.facts, trace), r.matches)
        << narrow(r.bits) << " on architecture " << r.facts.architecture;
  }
}

// A definition's list is a set of alternatives: evaluated in order until one
// matches.
std::vector<std::string> first_match(const std::vector<sax::AttributeList>& list,
                                     const os_facts& facts, bool& matched) {
  line_sink sink;
  trace_line trace(&sink);
  matched = false;
  for (const sax::AttributeList& entry : list) {
    if ((matched = evaluate_os_condition(entry, facts, trace))) break;
  }
  std::vector<std::string> lines;
  for (const sax::text& l : sink.lines) lines.push_back(narrow(l));
  return lines;
}

TEST(OsCondition, ListOfSystems) {
  const std::vector<sax::AttributeList> list = {
      attributes({{KXT("MajorVersion"), KXT("6")},
                  {KXT("MinorVersion"), KXT("0")},
                  {KXT("ServicePackMajorMin"), KXT("2")},
                  {KXT("PlatformId"), KXT("2")}}),
      attributes({{KXT("MajorVersion"), KXT("6")},
                  {KXT("MinorVersion"), KXT("1")},
                  {KXT("ServicePackMajorMin"), KXT("1")},
                  {KXT("PlatformId"), KXT("2")}}),
      attributes({{KXT("MajorVersion"), KXT("6")}, {KXT("MinorVersion"), KXT("2")}}),
      attributes({{KXT("MajorVersion"), KXT("6")}, {KXT("MinorVersion"), KXT("3")}}),
      attributes({{KXT("MajorVersion"), KXT("5")},
                  {KXT("MinorVersion"), KXT("2")},
                  {KXT("ProductType"), KXT("2|3")}}),
      attributes({{KXT("MajorVersion"), KXT("10")},
                  {KXT("MinorVersion"), KXT("0")},
                  {KXT("PlatformId"), KXT("2")}}),
  };
  bool matched = false;
  EXPECT_EQ(first_match(list, windows(10, 0, 19045), matched),
            (std::vector<std::string>{
                "PrereqEngine: operatingsystemcondition,6, -- Failed!",
                "PrereqEngine: operatingsystemcondition,6, -- Failed!",
                "PrereqEngine: operatingsystemcondition,6, -- Failed!",
                "PrereqEngine: operatingsystemcondition,6, -- Failed!",
                "PrereqEngine: operatingsystemcondition,5, -- Failed!",
                "PrereqEngine: operatingsystemcondition,10,0,2, -- Successful",
            }));
  EXPECT_TRUE(matched);

  EXPECT_EQ(first_match(list, windows(6, 1, 7600), matched),
            (std::vector<std::string>{
                "PrereqEngine: operatingsystemcondition,6,0, -- Failed!",
                "PrereqEngine: operatingsystemcondition,6,1,1, -- Failed!",
                "PrereqEngine: operatingsystemcondition,6,2, -- Failed!",
                "PrereqEngine: operatingsystemcondition,6,3, -- Failed!",
                "PrereqEngine: operatingsystemcondition,5, -- Failed!",
                "PrereqEngine: operatingsystemcondition,10, -- Failed!",
            }));
  EXPECT_FALSE(matched);

  // 6.1 with its service pack: the second entry wins.
  EXPECT_EQ(first_match(list, windows(6, 1, 7601, 1, KXT("Service Pack 1")), matched).back(),
            "PrereqEngine: operatingsystemcondition,6,1,1,2, -- Successful");
  EXPECT_TRUE(matched);
}

}  // namespace
}  // namespace kx::prereq
