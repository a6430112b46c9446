// A private trace for one test: the per-user switch set inside a registry
// sandbox, the file in a scratch folder, and the records read back with the
// trace reader's decoder.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/testing/registry_sandbox.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx::testing {

class TraceTest : public ::testing::Test {
 protected:
  TraceTest();
  // Switches tracing off again while the sandbox still stands, so that no
  // later test traces into the real registry's file.
  ~TraceTest() override;

  // Creates HKCU\kxlogit; a non-empty `file_name_path` goes into its
  // "FileNamePath" value.
  void SetSwitch(const std::wstring& file_name_path);
  // SetSwitch with trace_file(), then trace_start for `program`.
  void StartTrace(const std::wstring& program = L"C:\\nowhere\\setup.exe");

  // The scratch folder's trace file.
  std::wstring trace_file() const { return dir_.file(L"trace.bin"); }
  // The texts of the records of `path` (trace_file() when empty); a damaged
  // file fails the test.
  std::vector<std::string> Records(const std::wstring& path = std::wstring()) const;
  // The records after the seven header records.
  std::vector<std::string> EventRecords() const;

  ScopedTempDir dir_;

 private:
  std::unique_ptr<RegistrySandbox> sandbox_;
};

}  // namespace kx::testing
