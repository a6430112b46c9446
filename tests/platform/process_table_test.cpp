#include "platform/process_table.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/process_launch.h"
#include "tests/testing/probe_support.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

TEST(ProcessTableTest, ToolhelpNamesEveryProcessAndItsParent) {
  process_map table;
  ASSERT_TRUE(process_table_toolhelp(table));
  const auto self = table.find(GetCurrentProcessId());
  ASSERT_NE(self, table.end());
  EXPECT_EQ(self->second.image_name, L"PLATFORM_TESTS.EXE");
  EXPECT_GT(process_table().size(), 1u);
}

TEST(ProcessTableTest, FallbackFindsTheSameParentsWithoutNames) {
  process_map toolhelp;
  ASSERT_TRUE(process_table_toolhelp(toolhelp));
  const process_map enumerated = process_table_enumerated();
  const auto self = enumerated.find(GetCurrentProcessId());
  ASSERT_NE(self, enumerated.end());
  EXPECT_EQ(self->second.parent_id, toolhelp.at(GetCurrentProcessId()).parent_id);
  EXPECT_TRUE(self->second.image_name.empty());
}

TEST(ProcessTableTest, AStartedProcessShowsUnderItsParentUntilItEnds) {
  testing::ScopedTempDir dir;
  const std::wstring release = dir.file(L"release");
  ASSERT_EQ(launch(string(testing::ProbePath()), string(L"--wait-for=\"" + release + L"\""), L"",
                   L"", 0, 0, SW_HIDE, 0),
            launch_ok);
  const DWORD id = last_launch().id;
  for (const process_map& table : {process_table(), process_table_enumerated()}) {
    const auto child = table.find(id);
    ASSERT_NE(child, table.end());
    EXPECT_EQ(child->second.parent_id, GetCurrentProcessId());
  }
  EXPECT_EQ(process_table().at(id).image_name, L"kx_probe.exe");
  EXPECT_EQ(process_id_of(last_launch().handle.get()), id);

  process_time_values by_handle, by_id, self;
  ASSERT_TRUE(process_times(last_launch().handle.get(), by_handle));
  ASSERT_TRUE(process_times(id, by_id));
  ASSERT_TRUE(process_times(GetCurrentProcess(), self));
  EXPECT_EQ(CompareFileTime(&by_handle.creation, &by_id.creation), 0);
  EXPECT_GE(CompareFileTime(&by_handle.creation, &self.creation), 0);

  testing::WriteBytes(release, "go");
  ASSERT_EQ(wait_for_process(last_launch().handle.get(), 60000), 0u);
  EXPECT_EQ(process_table().count(id), 0u);
}

TEST(ProcessTableTest, IdsOfHandlesAndMissingProcesses) {
  EXPECT_EQ(process_id_of(GetCurrentProcess()), GetCurrentProcessId());
  process_time_values t;
  EXPECT_FALSE(process_times(static_cast<DWORD>(0xFFFFFFF0), t));
}

}  // namespace
}  // namespace kx
