// Package downloads against the local test server (tests/testing/
// http_server.py, a CTest fixture): what is verified, what is refused and
// left behind (nothing), the file held until the package ran, cancelling,
// and the AltPrqURL replacement.
#include "prereq/prereq_download.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/md5.h"
#include "base/web_source.h"
#include "platform/sha256.h"
#include "platform/web_source_factory.h"
#include "prereq/alt_prq_url.h"
#include "prereq/setup_prereq_mgr.h"
#include "prereq/setup_prerequisite.h"
#include "tests/testing/http_server_log.h"
#include "tests/testing/registry_sandbox.h"
#include "tests/testing/scoped_temp_dir.h"

namespace {

using kx::string;
using kx::prereq::download_outcome;
using kx::testing::HttpServerFile;
using kx::testing::HttpServerPort;
using kx::testing::HttpServerRequests;
using kx::testing::ScopedTempDir;
using kx::testing::WriteBytes;

std::string package_bytes() {
  std::string s(150000, '\0');
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>(i * 13 + i / 509);
  return s;
}

std::wstring md5_text(const std::string& bytes) {
  const kx::md5::digest d = kx::md5_of(bytes.data(), bytes.size());
  return kx::hex_digits(d.data(), d.size()).str();
}

std::wstring sha_text(const std::string& bytes) {
  kx::sha256 s;
  kx::sha256::digest d{};
  if (!s.update(bytes.data(), bytes.size()) || !s.final(d)) return L"";
  return kx::hex_digits(d.data(), d.size()).str();
}

std::string narrow(const std::wstring& w) {
  return std::string(w.begin(), w.end());
}

std::wstring lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(towlower(c));
  return s;
}

// The names in `folder`, "." and ".." left out.
std::vector<std::wstring> listing(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring n = d.cFileName;
    if (n != L"." && n != L"..") names.push_back(n);
  } while (FindNextFileW(h, &d));
  FindClose(h);
  return names;
}

// Records what a download shows; stops it when told to.
class recording_progress final : public kx::prereq::download_progress {
 public:
  void begin(const string& name, std::uint64_t total) override {
    begun.push_back(name.str());
    declared = total;
  }
  bool progress(std::uint64_t done, std::uint64_t) override {
    // Asked again without new bytes: the transfer is waiting.
    if (done == last_done && done > 0) ++waiting;
    last_done = done;
    if (stop_when_waiting && waiting >= 3) return false;
    if (stop_after && done >= stop_after) {
      if (flag) {
        *flag = true;
        return true;
      }
      return false;
    }
    return true;
  }
  void end() override { ++ended; }

  std::vector<std::wstring> begun;
  std::uint64_t declared = 0, last_done = 0, stop_after = 0;
  bool* flag = nullptr;  // set instead of answering false
  bool stop_when_waiting = false;
  int waiting = 0;
  int ended = 0;
};

class PrereqDownload : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(HttpServerFile(L"port").empty()) << "KX_HTTP_SERVER_DIR is not set";
    kx::register_web_source_factory();
    previous_ = kx::set_web_policy(kx::web_policy{true, nullptr, nullptr});
    // Each test serves its files from a folder of its own.
    const std::wstring files = HttpServerFile(L"files");
    CreateDirectoryW(files.c_str(), nullptr);
    sub_ = L"dl" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter_);
    served_ = files + L"\\" + sub_;
    CreateDirectoryW(served_.c_str(), nullptr);
  }
  void TearDown() override {
    kx::set_web_policy(previous_);
    kx::testing::RemoveTree(served_);
  }

  std::wstring serve(const std::wstring& name, const std::string& bytes) {
    WriteBytes(served_ + L"\\" + name, bytes);
    return url(name);
  }
  std::wstring url(const std::wstring& name, const std::wstring& tag = L"") {
    return L"http://127.0.0.1:" + HttpServerPort(L"port") + L"/files/" + sub_ + L"/" + name +
           (tag.empty() ? L"" : L"?t=" + unique(tag));
  }
  // Tags are unique to the test, as the server's log outlives it.
  std::wstring unique(const std::wstring& tag) const { return sub_ + L"_" + tag; }
  std::size_t requests(const std::wstring& tag) const {
    return HttpServerRequests(narrow(unique(tag))).size();
  }
  kx::prereq::download_request request(const std::wstring& address, const std::wstring& sum) {
    kx::prereq::download_request r;
    r.url = string(address.c_str());
    r.folder = string(dir_.path().c_str());
    r.file_name = string(L"pkg.exe");
    r.check_sum = string(sum.c_str());
    return r;
  }

  static inline int counter_ = 0;
  kx::web_policy previous_;
  ScopedTempDir dir_;
  std::wstring sub_, served_;
};

TEST_F(PrereqDownload, OnlyAVerifiedFileGetsItsName) {
  const std::string good = package_bytes();
  std::string flipped = good;
  flipped[77777] ^= 0x01;
  const std::wstring sum = md5_text(good);
  serve(L"good.exe", good);
  serve(L"flipped.exe", flipped);
  serve(L"error.html", "<html><body>Service unavailable</body></html>");
  struct row {
    const wchar_t* tag;
    const wchar_t* file;
    std::wstring check_sum;
    const wchar_t* file_size;
    download_outcome outcome;
    int attempts;  // transfers started; a failed or wrong one is tried once more
  };
  const row rows[] = {
      {L"lower", L"good.exe", lower(sum), L"", download_outcome::verified, 1},
      {L"sized", L"good.exe", sum, L"0,150000", download_outcome::verified, 1},
      {L"sha", L"good.exe", L" " + lower(sha_text(good)), L"", download_outcome::verified, 1},
      {L"nosum", L"good.exe", L"", L"", download_outcome::verified, 1},
      // Wrong bytes are fetched once more from the start, then refused.
      {L"flip", L"flipped.exe", sum, L"", download_outcome::mismatch, 2},
      {L"shaflip", L"flipped.exe", sha_text(good), L"", download_outcome::mismatch, 2},
      {L"html", L"error.html", sum, L"", download_outcome::mismatch, 2},
      // The size is judged before the digest, and a wrong size fails even
      // where no digest is given.
      {L"size", L"error.html", L"", L"0,150000", download_outcome::mismatch, 2},
      {L"missing", L"absent.exe", sum, L"", download_outcome::failed, 2},
      // A digest nobody can match is not worth a request.
      {L"badsum", L"good.exe", sum.substr(0, 31), L"", download_outcome::mismatch, 0},
      {L"badsum2", L"good.exe", L"  ", L"", download_outcome::verified, 1},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.tag);
    kx::prereq::download_request q = request(url(r.file, r.tag), r.check_sum);
    q.file_size = string(r.file_size);
    kx::prereq::held_files held;
    const kx::prereq::download_result got =
        kx::prereq::download_verified(q, nullptr, nullptr, &held);
    EXPECT_EQ(got.outcome, r.outcome) << "error " << got.error;
    EXPECT_EQ(got.attempts, r.attempts);
    // No attempt, no request; each attempt reaches the server.
    if (r.attempts == 0) {
      EXPECT_EQ(requests(r.tag), 0u);
    } else {
      EXPECT_GE(requests(r.tag), static_cast<std::size_t>(r.attempts));
    }
    const std::vector<std::wstring> left = listing(dir_.path());
    if (r.outcome == download_outcome::verified) {
      EXPECT_EQ(left, std::vector<std::wstring>{L"pkg.exe"});
      EXPECT_TRUE(kx::testing::ReadBytes(dir_.file(L"pkg.exe")) == good);
      EXPECT_EQ(held.size(), 1u);
    } else {
      EXPECT_TRUE(left.empty()) << "left behind: " << narrow(left.empty() ? L"" : left[0]);
      EXPECT_EQ(held.size(), 0u);
    }
    if (r.outcome == download_outcome::mismatch && r.attempts) {
      EXPECT_FALSE(got.expected.empty());
      EXPECT_FALSE(got.actual.empty());
      EXPECT_FALSE(got.expected == got.actual);
    }
    if (std::wstring(r.tag) == L"missing") {
      EXPECT_EQ(got.error, 0x8004D554u);
    }
    held.release();
    DeleteFileW(dir_.file(L"pkg.exe").c_str());
  }
}

TEST_F(PrereqDownload, AddressesThatAreNotWebAddressesAreRefused) {
  const std::wstring local = dir_.file(L"source.exe");
  WriteBytes(local, package_bytes());
  for (const std::wstring& address : {local, L"file:///" + local, std::wstring(L"http://")}) {
    kx::prereq::download_request q = request(address, L"");
    q.file_name = string(L"copy.exe");
    EXPECT_EQ(kx::prereq::download_verified(q, nullptr, nullptr, nullptr).outcome,
              download_outcome::failed)
        << narrow(address);
    EXPECT_EQ(GetFileAttributesW(dir_.file(L"copy.exe").c_str()), INVALID_FILE_ATTRIBUTES);
  }
}

TEST_F(PrereqDownload, TheVerifiedFileCannotBeChangedWhileHeld) {
  const std::string good = package_bytes();
  serve(L"good.exe", good);
  kx::prereq::held_files held;
  ASSERT_EQ(kx::prereq::download_verified(request(url(L"good.exe"), md5_text(good)), nullptr,
                                          nullptr, &held)
                .outcome,
            download_outcome::verified);
  const std::wstring path = dir_.file(L"pkg.exe");
  HANDLE w = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(w, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  if (w != INVALID_HANDLE_VALUE) CloseHandle(w);
  EXPECT_FALSE(DeleteFileW(path.c_str()));
  EXPECT_FALSE(MoveFileW(path.c_str(), dir_.file(L"other.exe").c_str()));
  // Reading, as a package start does, is allowed.
  HANDLE r =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(r, INVALID_HANDLE_VALUE);
  if (r != INVALID_HANDLE_VALUE) CloseHandle(r);
  held.release();
  EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST_F(PrereqDownload, CancelStopsAStalledDownloadAndLeavesNothing) {
  struct row {
    const wchar_t* tag;
    bool by_flag;     // the run's cancel flag rather than the progress answer
    bool when_stuck;  // only once the server has gone quiet
  };
  for (const row& r : {row{L"cancelanswer", false, false}, row{L"cancelflag", true, false},
                       row{L"cancelwait", false, true}}) {
    SCOPED_TRACE(r.tag);
    // 100000 bytes come, then the server says nothing for a minute.
    const std::wstring address = L"http://127.0.0.1:" + HttpServerPort(L"port") +
                                 L"/stall/400000?at=100000&t=" + unique(r.tag);
    recording_progress progress;
    progress.stop_after = r.when_stuck ? 0 : 1;
    progress.stop_when_waiting = r.when_stuck;
    bool cancel = false;
    if (r.by_flag) progress.flag = &cancel;
    const ULONGLONG start = GetTickCount64();
    const kx::prereq::download_result got = kx::prereq::download_verified(
        request(address, md5_text(package_bytes())), &progress, &cancel, nullptr);
    EXPECT_EQ(got.outcome, download_outcome::cancelled);
    EXPECT_LT(GetTickCount64() - start, 10000u);
    if (r.when_stuck) {
      EXPECT_GE(progress.waiting, 3);
    }
    // Not tried again: a cancel is the person's answer.
    EXPECT_EQ(requests(r.tag), 1u);
    EXPECT_EQ(progress.begun, std::vector<std::wstring>{L"pkg.exe"});
    EXPECT_EQ(progress.ended, 1);
    EXPECT_TRUE(listing(dir_.path()).empty());
  }
}

TEST_F(PrereqDownload, ProgressSeesEachTransferFromBeginToEnd) {
  const std::string good = package_bytes();
  serve(L"good.exe", good);
  recording_progress progress;
  kx::prereq::download_request q = request(url(L"good.exe"), md5_text(good));
  q.file_size = string(L"0,150000");
  ASSERT_EQ(kx::prereq::download_verified(q, &progress, nullptr, nullptr).outcome,
            download_outcome::verified);
  EXPECT_EQ(progress.begun, std::vector<std::wstring>{L"pkg.exe"});
  EXPECT_EQ(progress.declared, 150000u);
  EXPECT_EQ(progress.last_done, 150000u);
  EXPECT_EQ(progress.ended, 1);
}

TEST(AltPrqFileName, OnlyAPlainDefinitionNameIsKept) {
  struct row {
    const wchar_t* url;
    const wchar_t* name;
  };
  const row rows[] = {
      {L"http://h/a/vc.prq", L"vc.prq"},
      {L"https://h/a/VC.PRQ?v=2#top", L"VC.PRQ"},
      {L"http://h/p?f=..\\..\\x.prq", L"Default.prq"},
      {L"http://h/a/..", L"Default.prq"},
      {L"http://h/", L"Default.prq"},
      {L"http://h", L"Default.prq"},
      {L"http://h/a/setup.exe", L"Default.prq"},
      {L"http://h/a/con.prq", L"Default.prq"},
      {L"http://h/a/x:y.prq", L"Default.prq"},
  };
  for (const row& r : rows)
    EXPECT_EQ(kx::prereq::alt_prq_file_name(string(r.url)).str(), r.name) << narrow(r.url);
}

// A definition on disk whose AltPrqURL names `replacement_url`.
class AltPrqUrl : public PrereqDownload {
 protected:
  std::string definition(const std::wstring& id, const std::wstring& file_url,
                         const std::wstring& alt, const std::wstring& cmd = L"/first",
                         const std::wstring& exe = L"pkg.exe") {
    return "<SetupPrereq><files><file LocalFile=\"pkg.exe\" URL=\"" + narrow(file_url) +
           "\"/></files><execute file=\"" + narrow(exe) + "\" cmdline=\"" + narrow(cmd) +
           "\"/><properties Id=\"" + narrow(id) + "\" AltPrqURL=\"" + narrow(alt) +
           "\"/></SetupPrereq>";
  }
  kx::SetupSettings settings_;
};

TEST_F(AltPrqUrl, TheReplacementIsTakenOnlyForTheSameDefinition) {
  struct row {
    const wchar_t* tag;
    std::string replacement;  // served as vc.prq; empty: not served
    kx::prereq::replacement outcome;
    const wchar_t* url_after;
  };
  const std::wstring self = url(L"vc.prq", L"self");
  const row rows[] = {
      {L"same", definition(L"{A}", L"http://new/pkg.exe", L"", L"/second"),
       kx::prereq::replacement::replaced, L"http://new/pkg.exe"},
      // Its own AltPrqURL (here: itself) is never followed.
      {L"self", definition(L"{a}", L"http://new/pkg.exe", self), kx::prereq::replacement::replaced,
       L"http://new/pkg.exe"},
      {L"otherid", definition(L"{B}", L"http://new/pkg.exe", L""), kx::prereq::replacement::kept,
       L"http://old/pkg.exe"},
      {L"unsafe", definition(L"{A}", L"http://new/pkg.exe", L"", L"/x", L"..\\..\\pkg.exe"),
       kx::prereq::replacement::kept, L"http://old/pkg.exe"},
      {L"nofiles", "<SetupPrereq><properties Id=\"{A}\"/></SetupPrereq>",
       kx::prereq::replacement::kept, L"http://old/pkg.exe"},
      {L"missing", "", kx::prereq::replacement::kept, L"http://old/pkg.exe"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.tag);
    DeleteFileW((served_ + L"\\vc.prq").c_str());
    if (!r.replacement.empty()) serve(L"vc.prq", r.replacement);
    const std::wstring original = dir_.file(L"vc.prq");
    WriteBytes(original, definition(L"{A}", L"http://old/pkg.exe", url(L"vc.prq", r.tag)));
    CSetupPreRequisite p(nullptr, nullptr, settings_, nullptr);
    ASSERT_TRUE(p.Load(string(original.c_str()), false, string()));
    const std::wstring work = dir_.file(L"work");
    CreateDirectoryW(work.c_str(), nullptr);
    EXPECT_EQ(kx::prereq::apply_alt_prq_url(p, string(work.c_str()), nullptr, nullptr), r.outcome);
    EXPECT_EQ(p.GetUrl(0).str(), r.url_after);
    // The command line chosen first stays; the fetched file is gone.
    EXPECT_EQ(p.Record().commandLine.str(), L"/first");
    EXPECT_TRUE(listing(work).empty());
    // One fetch, never a second hop (a failed fetch is tried once more).
    if (r.replacement.empty()) {
      EXPECT_GE(requests(r.tag), 2u);
    } else {
      EXPECT_EQ(requests(r.tag), 1u);
    }
  }
}

// The whole phase with a recording runner: a package that fails its check
// is never started; a verified one is, from the working folder, and cannot
// be written while it runs.
class recording_callback final : public kx::CSetupPrereqMgrCallback {
 public:
  kx::SetupSettings& Settings() override { return settings; }
  void ReportWorkingFolder(const string&) override {}
  string RewriteCommandLine(const string& text) override { return text; }
  string GetString(UINT id) override { return string(std::to_wstring(id).c_str()) + L" %s"; }
  int ShowMessage(const string& text, UINT) override {
    asked.push_back(text.str());
    return IDNO;
  }
  kx::SetupSettings settings;
  std::vector<std::wstring> asked;
};

class recording_runner final : public kx::prereq_package_runner {
 public:
  kx::package_run Run(CSetupPreRequisite& p, const string& location, bool) override {
    ran.push_back(location.str());
    const std::wstring file = location.str() + L"\\" + p.GetExecuteFile().str();
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    writable = h != INVALID_HANDLE_VALUE;
    if (writable) CloseHandle(h);
    return {kx::package_outcome::ran, false};
  }
  std::vector<std::wstring> ran;
  bool writable = true;
};

TEST_F(PrereqDownload, APackageThatFailsItsCheckNeverRuns) {
  const std::string good = package_bytes();
  std::string flipped = good;
  flipped[3] ^= 0x20;
  serve(L"good.exe", good);
  serve(L"flipped.exe", flipped);
  struct row {
    const wchar_t* file;
    int result;
    std::size_t runs;
  };
  for (const row& r : {row{L"flipped.exe", 2, 0}, row{L"good.exe", 0, 1}}) {
    SCOPED_TRACE(narrow(r.file));
    kx::testing::RegistrySandbox sandbox;
    ScopedTempDir medium;
    CreateDirectoryW(medium.file(L"KXSetupPrerequisites").c_str(), nullptr);
    // The package is not on the medium: only the server has it.
    WriteBytes(medium.file(L"KXSetupPrerequisites\\a.prq"),
               "<SetupPrereq><files><file LocalFile=\"pkg.exe\" URL=\"" + narrow(url(r.file)) +
                   "\" CheckSum=\"" + narrow(lower(md5_text(good))) +
                   "\"/></files><execute file=\"pkg.exe\"/><properties Id=\"a\"/></SetupPrereq>");
    WriteBytes(medium.file(L"setup.ini"), "[KXSetupPrerequisites]\r\nPreReq0=a.prq\r\n");
    recording_callback cb;
    cb.settings.SourceFolder = string(medium.path().c_str());
    cb.settings.TempFolder = string(medium.file(L"t\\").c_str());
    cb.settings.SetupIniPath = string(medium.file(L"setup.ini").c_str());
    cb.settings.Silent = true;
    recording_runner runner;
    kx::CSetupPrereqMgr manager(cb, runner);
    EXPECT_EQ(manager.Run(1, string(), false, nullptr), r.result);
    ASSERT_EQ(runner.ran.size(), r.runs);
    const std::wstring work = medium.file(L"t\\KXPrereq\\a");
    if (r.runs) {
      EXPECT_EQ(runner.ran[0], work);
      EXPECT_FALSE(runner.writable) << "the package could be changed before it ran";
      EXPECT_TRUE(cb.asked.empty());
    } else {
      EXPECT_TRUE(listing(work).empty());
      ASSERT_EQ(cb.asked.size(), 1u);
      EXPECT_EQ(cb.asked[0].rfind(L"1655 ", 0), 0u);
    }
  }
}

}  // namespace
