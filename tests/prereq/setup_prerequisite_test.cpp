#include "prereq/setup_prerequisite.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/text_encoding.h"
#include "diag/verbose_log.h"
#include "tests/testing/registry_sandbox.h"
#include "tests/testing/scoped_temp_dir.h"

namespace {

using kx::string;
using kx::testing::RegistrySandbox;
using kx::testing::ScopedTempDir;

std::string utf16le_with_mark(const std::wstring& text) {
  std::string out;
  EXPECT_EQ(
      kx::encode_text(string::view(text.data(), text.size()), kx::kCodePageUtf16Le, true, out), 0u);
  return out;
}

std::wstring prq(const std::wstring& body) {
  return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<SetupPrereq>" + body +
         L"</SetupPrereq>\r\n";
}

// An environment variable for the life of a test.
class scoped_variable {
 public:
  scoped_variable(const wchar_t* name, const std::wstring& value) : name_(name) {
    SetEnvironmentVariableW(name, value.c_str());
  }
  ~scoped_variable() { SetEnvironmentVariableW(name_, nullptr); }

 private:
  const wchar_t* name_;
};

class SetupPreRequisiteTest : public ::testing::Test {
 protected:
  std::wstring write(const std::wstring& name, const std::wstring& body) {
    const std::wstring path = dir_.file(name);
    EXPECT_TRUE(kx::testing::WriteBytes(path, utf16le_with_mark(prq(body))));
    return path;
  }

  ScopedTempDir dir_;
  kx::SetupSettings settings_;
};

TEST_F(SetupPreRequisiteTest, LoadsADefinitionFile) {
  const std::wstring path = write(
      L"vc.prq",
      L"<files><file LocalFile=\".\\Redist\\vc.exe\" URL=\"https://h/vc.exe\" CheckSum=\"AB\"/>"
      L"</files><execute file=\"vc.EXE\" cmdline=\"/q\" cmdlinesilent=\"/quiet\"/>"
      L"<properties Id=\"{1}\" AltPrqURL=\"https://h/vc.prq\"/><dependency File=\"x.prq\"/>"
      L"<behavior Optional=\"1\" Hidden=\"1\" MsiProgress=\"1\"/>");
  bool cancel = false;
  CSetupPreRequisite p(nullptr, nullptr, settings_, &cancel);
  ASSERT_TRUE(p.Load(string(path.c_str()), false, string()));
  EXPECT_EQ(p.GetDefinitionPath().str(), path);
  ASSERT_EQ(p.GetFileCount(), 1u);
  EXPECT_EQ(p.GetLocalFile(0).str(), L".\\Redist\\vc.exe");
  EXPECT_EQ(p.GetUrl(0).str(), L"https://h/vc.exe");
  EXPECT_EQ(p.GetCheckSum(0).str(), L"AB");
  EXPECT_TRUE(p.GetUrl(1).empty());
  EXPECT_EQ(p.GetExecuteFile().str(), L"vc.EXE");
  EXPECT_TRUE(p.HasExeExtension());
  EXPECT_FALSE(p.HasMsiExtension());
  EXPECT_EQ(p.Record().commandLine.str(), L"/q");
  EXPECT_EQ(p.GetId().str(), L"{1}");
  EXPECT_EQ(p.GetAltPrqUrl().str(), L"https://h/vc.prq");
  ASSERT_EQ(p.GetDependencies().size(), 1u);
  EXPECT_TRUE(p.IsOptional() && p.IsHidden() && p.IsMsiProgress());
  EXPECT_TRUE(p.ConditionsSatisfied());
  EXPECT_FALSE(p.NamesRefused());
  EXPECT_EQ(p.resultFlag, &cancel);
}

TEST_F(SetupPreRequisiteTest, MissingOrUnreadableFilesLoadNothing) {
  CSetupPreRequisite p(nullptr, nullptr, settings_, nullptr);
  EXPECT_FALSE(p.Load(string(dir_.file(L"missing.prq").c_str()), true, string(L"/o")));
  EXPECT_TRUE(p.ConditionsSatisfied());
  EXPECT_EQ(p.GetFileCount(), 0u);
  EXPECT_TRUE(p.Record().commandLine.empty());
  // A folder exists but is no file to read.
  EXPECT_FALSE(p.Load(string(dir_.path().c_str()), false, string()));

  // A file held open without sharing cannot be read either; what was loaded
  // before stays.
  const std::wstring path = write(L"a.prq", L"<file LocalFile=\"a.exe\"/>");
  ASSERT_TRUE(p.Load(string(path.c_str()), false, string()));
  HANDLE locked = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(p.Load(string(path.c_str()), false, string()));
  CloseHandle(locked);
  EXPECT_EQ(p.GetFileCount(), 1u);
}

TEST_F(SetupPreRequisiteTest, CommandLinesAreExpandedWhateverTheirLength) {
  const std::wstring long_value(300, L'v');
  scoped_variable variable(L"KX_PRQ_LONG", long_value);
  const std::wstring path =
      write(L"a.prq",
            L"<execute file=\"a.exe\" cmdline=\"/a %KX_PRQ_LONG%\" cmdlinesilent=\"/s "
            L"%KX_PRQ_UNSET%\" returncodetoreboot=\"%KX_PRQ_LONG%\"/>");
  CSetupPreRequisite p(nullptr, nullptr, settings_, nullptr);
  ASSERT_TRUE(p.Load(string(path.c_str()), false, string()));
  EXPECT_EQ(p.Record().commandLine.str(), L"/a " + long_value);
  EXPECT_EQ(p.Record().silentCommandLine.str(), L"/s %KX_PRQ_UNSET%");
  EXPECT_EQ(p.Record().rebootReturnCodes.str(), L"%KX_PRQ_LONG%");
}

TEST_F(SetupPreRequisiteTest, AReplacementOfTheSameNameKeepsTheCommandLines) {
  ScopedTempDir downloads;
  const std::wstring first =
      write(L"vc.prq",
            L"<execute file=\"a.exe\" cmdline=\"/one\" cmdlinesilent=\"/s1\"/>"
            L"<properties AltPrqURL=\"https://h/vc.prq\"/>");
  const std::wstring replacement = downloads.file(L"VC.PRQ");
  ASSERT_TRUE(kx::testing::WriteBytes(
      replacement, utf16le_with_mark(prq(L"<execute file=\"b.exe\" cmdline=\"/two\" "
                                         L"cmdlinesilent=\"/s2\"/>"))));
  const std::wstring other = write(L"other.prq", L"<execute file=\"c.exe\" cmdline=\"/three\"/>");

  CSetupPreRequisite p(nullptr, nullptr, settings_, nullptr);
  ASSERT_TRUE(p.Load(string(first.c_str()), false, string()));
  ASSERT_TRUE(p.Load(string(replacement.c_str()), false, string()));
  EXPECT_EQ(p.GetExecuteFile().str(), L"b.exe");
  EXPECT_EQ(p.Record().commandLine.str(), L"/one");
  EXPECT_EQ(p.Record().silentCommandLine.str(), L"/s1");
  // The replacement names no AltPrqURL of its own: the next load is a new
  // definition.
  ASSERT_TRUE(p.Load(string(other.c_str()), false, string()));
  EXPECT_EQ(p.Record().commandLine.str(), L"/three");

  // Without an AltPrqURL the same name is no replacement.
  CSetupPreRequisite q(nullptr, nullptr, settings_, nullptr);
  const std::wstring plain = write(L"p.prq", L"<execute file=\"a.exe\" cmdline=\"/one\"/>");
  ASSERT_TRUE(q.Load(string(plain.c_str()), false, string()));
  ASSERT_TRUE(q.Load(string(replacement.c_str()), false, string()));
  EXPECT_EQ(q.Record().commandLine.str(), L"/two");
  EXPECT_EQ(q.Record().silentCommandLine.str(), L"/s2");
  // An override wins over both.
  ASSERT_TRUE(q.Load(string(first.c_str()), false, string(L"/o")));
  EXPECT_EQ(q.Record().commandLine.str(), L"/o");
  EXPECT_EQ(q.Record().silentCommandLine.str(), L"/o");
}

TEST_F(SetupPreRequisiteTest, ConditionsAreJudgedOnThisMachine) {
  RegistrySandbox sandbox;
  const std::wstring path = write(
      L"c.prq",
      L"<conditions><condition Type=\"1\" Comparison=\"2\" "
      L"Path=\"HKEY_LOCAL_MACHINE\\SOFTWARE\\KxPrqRuntime\"/></conditions><file LocalFile=\"a\"/>");
  CSetupPreRequisite p(nullptr, nullptr, settings_, nullptr);
  ASSERT_TRUE(p.Load(string(path.c_str()), true, string()));
  EXPECT_TRUE(p.Record().hasConditions);
  EXPECT_TRUE(p.ConditionsSatisfied());  // the runtime is missing: install it
  ASSERT_EQ(RegistrySandbox::CreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KxPrqRuntime"),
            ERROR_SUCCESS);
  ASSERT_TRUE(p.Load(string(path.c_str()), true, string()));
  EXPECT_FALSE(p.ConditionsSatisfied());
  // Without evaluation nothing is judged.
  ASSERT_TRUE(p.Load(string(path.c_str()), false, string()));
  EXPECT_TRUE(p.ConditionsSatisfied());
  EXPECT_FALSE(p.Record().hasConditions);
}

TEST_F(SetupPreRequisiteTest, TraceWindowMirrorsTheLinesAndTheRebootCheck) {
  // The window comes first: the window system reads the real registry
  // when it starts.
  HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_POPUP | ES_MULTILINE | WS_VSCROLL, 0, 0, 200, 100,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(edit, nullptr);
  const auto text = [edit] {
    std::wstring t(GetWindowTextLengthW(edit) + 1, L'\0');
    t.resize(GetWindowTextW(edit, t.data(), int(t.size())));
    return t;
  };
  const std::wstring path = write(L"d.prq", L"<dependency File=\"x.prq\"/>");
  RegistrySandbox sandbox;
  CSetupPreRequisite p(nullptr, nullptr, settings_, nullptr);
  p.SetTraceWindow(edit);
  ASSERT_TRUE(p.Load(string(path.c_str()), false, string()));
  EXPECT_EQ(text(), L"PrereqEngine: dependency,x.prq, -- Successful\r\n");

  EXPECT_FALSE(p.Check());  // no snapshot yet
  p.Snapshot();
  EXPECT_FALSE(p.Check());
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_LOCAL_MACHINE,
                                       L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                                       L"KxPrqTest", L"cmd /c rem"),
            ERROR_SUCCESS);
  EXPECT_TRUE(p.Check());
  EXPECT_TRUE(p.RebootRequired());
  EXPECT_EQ(text(), L"PrereqEngine: Reboot required - RunOnce key added\r\n");
  DestroyWindow(edit);
}

TEST_F(SetupPreRequisiteTest, TraceLinesReachTheVerboseLogAsWritten) {
  RegistrySandbox sandbox(RegistrySandbox::kCurrentUser);
  ASSERT_EQ(
      RegistrySandbox::SetDword(HKEY_CURRENT_USER, kx::kVerboseLogKey, L"DoVerboseLogging", 1),
      ERROR_SUCCESS);
  ASSERT_EQ(RegistrySandbox::SetString(HKEY_CURRENT_USER, kx::kVerboseLogKey, L"VerboseLogPath",
                                       dir_.path()),
            ERROR_SUCCESS);
  const std::wstring path =
      write(L"v.prq",
            L"<file LocalFile=\"%s.exe\" URL=\"http://me:s3cret@h/%n\" CheckSum=\"\"/>"
            L"<properties Id=\"..\"/>");
  CSetupPreRequisite p(nullptr, nullptr, settings_, nullptr);
  ASSERT_TRUE(p.Load(string(path.c_str()), false, string()));
  EXPECT_TRUE(p.NamesRefused());

  const std::string bytes = kx::testing::ReadBytes(dir_.file(kx::kVerboseLogFileName));
  ASSERT_GE(bytes.size(), 2u);
  ASSERT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE"));
  const std::wstring log(reinterpret_cast<const wchar_t*>(bytes.data() + 2),
                         (bytes.size() - 2) / 2);
  const std::wstring suffix = L"  --  File: SetupPreRequisite.cpp, Line: 657\r\n";
  const wchar_t* const expected[] = {
      L"]: PrereqEngine: file,,%s.exe,http://me:***@h/%n,,, -- Successful",
      L"]: PrereqEngine: Id,..,, -- Successful",
      L"]: PrereqEngine: unsafe name,Id,..,a '.' or '..' path part, -- Failed!",
  };
  std::size_t at = 0;
  for (const wchar_t* line : expected) {
    at = log.find(line + suffix, at);
    EXPECT_NE(at, std::wstring::npos) << line << "\n" << log;
    if (at == std::wstring::npos) break;
  }
  EXPECT_EQ(log.find(L"s3cret"), std::wstring::npos);
}

}  // namespace
