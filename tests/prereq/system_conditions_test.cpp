#include "prereq/system_conditions.h"
#include "tests/prereq/prereq_test_support.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/os_version.h"
#include "platform/system_language.h"
#include "tests/testing/registry_sandbox.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx::prereq {
namespace {

using testing_support::attributes;
using testing_support::line_sink;
using pairs = testing_support::attribute_pairs;

using testing::RegistrySandbox;

class fake_facts final : public system_facts {
 public:
  os_version_record record;
  WORD architecture = PROCESSOR_ARCHITECTURE_AMD64;
  os_version_record version() const override { return record; }
  SYSTEM_INFO native_system_info() const override {
    SYSTEM_INFO info{};
    info.wProcessorArchitecture = architecture;
    return info;
  }
  bool wow64_process() const override { return true; }
};

TEST(SystemConditions, FactsComeFromTheSystemFactsInForce) {
  fake_facts fake;
  fake.record.valid = true;
  fake.record.info.dwMajorVersion = 6;
  fake.record.info.dwMinorVersion = 1;
  fake.record.info.dwBuildNumber = 7601;
  fake.record.info.dwPlatformId = VER_PLATFORM_WIN32_NT;
  wcscpy(fake.record.info.szCSDVersion, L"Service Pack 1");
  fake.record.info.wServicePackMajor = 1;
  fake.record.info.wProductType = VER_NT_SERVER;
  fake.architecture = PROCESSOR_ARCHITECTURE_IA64;
  {
    const scoped_system_facts in_force(fake);
    const os_facts f = current_os_facts();
    EXPECT_EQ(f.major, 6u);
    EXPECT_EQ(f.minor, 1u);
    EXPECT_EQ(f.build_field, 7601u);
    EXPECT_EQ(f.platform_id, 2u);
    EXPECT_EQ(f.csd_version, L"Service Pack 1");
    EXPECT_EQ(f.service_pack_major, 1u);
    EXPECT_EQ(f.product_type, 3u);
    EXPECT_EQ(f.architecture, kArchitectureItanium);
    EXPECT_EQ(f.ui_language, system_ui_language());

    // The evaluator takes them once, when it is made.
    system_condition_evaluator evaluator;
    trace_line trace;
    EXPECT_TRUE(evaluator.os_condition(
        attributes({{L"MajorVersion", L"6"}, {L"ProductType", L"2|3"}, {L"Bits", L"8"}}), trace));
    fake.record.info.dwMajorVersion = 10;
    EXPECT_TRUE(evaluator.os_condition(attributes({{L"MajorVersion", L"6"}}), trace));
    EXPECT_FALSE(
        system_condition_evaluator().os_condition(attributes({{L"MajorVersion", L"6"}}), trace));
  }
  // A record that could not be read leaves the version fields 0.
  fake_facts unreadable;
  const scoped_system_facts in_force(unreadable);
  const os_facts f = current_os_facts();
  EXPECT_EQ(f.major, 0u);
  EXPECT_EQ(f.platform_id, 0u);
  EXPECT_TRUE(f.csd_version.empty());
  EXPECT_EQ(f.architecture, kArchitectureAmd64);
}

TEST(SystemConditions, ConditionsTraceAsWrittenAndDispatchByType) {
  RegistrySandbox sandbox;
  testing::ScopedTempDir dir;
  ASSERT_TRUE(testing::WriteBytes(dir.file(L"here.txt"), "x"));
  ASSERT_EQ(
      RegistrySandbox::SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KxSys", L"Version", L"10.0.30319"),
      ERROR_SUCCESS);
  os_facts facts;
  facts.architecture = kArchitectureIntel;
  system_condition_evaluator evaluator(facts);
  line_sink sink;
  trace_line trace(&sink);

  const std::wstring uninstall =
      L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{f65db027-"
      L"aff3-4070-886a-0d87064aabb1}";
  const struct {
    pairs attrs;
    bool holds;
    std::wstring line;
  } rows[] = {
      {{{L"Type", L"1"}, {L"Comparison", L"2"}, {L"Path", uninstall}},
       true,
       L"condition,1,2," + uninstall + L",,, -- Successful"},
      {{{L"Type", L"1"}, {L"Comparison", L"1"}, {L"Path", uninstall}, {L"Bits", L"1"}},
       false,
       L"condition,1,1," + uninstall + L",,1, -- Failed!"},
      {{{L"Type", L"32"},
        {L"Comparison", L"4"},
        {L"Path", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\KxSys"},
        {L"FileName", L"Version"},
        {L"ReturnValue", L"10.0.0"}},
       true,
       L"condition,32,4,HKEY_LOCAL_MACHINE\\SOFTWARE\\KxSys,Version,,10.0.0 -- Successful"},
      {{{L"Type", L"4"}, {L"Comparison", L"1"}, {L"Path", dir.path()}, {L"FileName", L"here.txt"}},
       true,
       L"condition,4,1," + dir.path() + L",here.txt,, -- Successful"},
      {{{L"Type", L"16"},
        {L"Comparison", L"1"},
        {L"Path", dir.path()},
        {L"FileName", L"gone.dll"},
        {L"ReturnValue", L"1.0"}},
       false,
       L"condition,16,1," + dir.path() + L",gone.dll,,1.0 -- Failed!"},
      // Unknown types hold.
      {{{L"Type", L"3"}, {L"Comparison", L"1"}}, true, L"condition,3,1,,,, -- Successful"},
      {{}, true, L"condition,,,,,, -- Successful"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(evaluator.condition(attributes(r.attrs), trace), r.holds)
        << std::string(r.line.begin(), r.line.end());
    ASSERT_FALSE(sink.lines.empty());
    EXPECT_EQ(sink.lines.back(), L"PrereqEngine: " + r.line);
  }
  EXPECT_EQ(sink.lines.size(), std::size(rows));
}

}  // namespace
}  // namespace kx::prereq
