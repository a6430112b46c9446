// http_file and the web source factory against the local test server
// (tests/testing/http_server.py, started by CTest as a fixture).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/file.h"
#include "base/web_source.h"
#include "platform/copy_file.h"
#include "platform/http_file.h"
#include "platform/inet_status.h"
#include "platform/web_source_factory.h"
#include "platform/wininet_api.h"
#include "tests/testing/http_server_log.h"
#include "tests/testing/scoped_temp_dir.h"

namespace kx {
namespace {

using testing::HttpServerFile;
using testing::LogField;

std::wstring base_url() {
  return L"http://127.0.0.1:" + testing::HttpServerPort(L"port");
}

std::vector<std::string> requests(const std::string& tag) {
  return testing::HttpServerRequests(tag);
}

std::string field(const std::string& line, const std::string& name) {
  return LogField(line, name);
}

std::string body(std::size_t n) {
  return testing::ServerBody(n);
}

// Compares without printing a body that differs.
void ExpectBody(const std::string& got, std::size_t n) {
  EXPECT_EQ(got.size(), n);
  EXPECT_TRUE(got == body(n)) << "the bytes differ";
}

// Reads the whole file in `chunk` pieces; false with the error at the first
// failed read.
bool read_all(http_file& f, std::string& out, DWORD& error, DWORD chunk = 100000) {
  std::vector<char> buffer(chunk);
  for (;;) {
    DWORD got = 0;
    if (!f.read(buffer.data(), chunk, got)) {
      error = GetLastError();
      return false;
    }
    out.append(buffer.data(), got);
    if (got < chunk) return true;
  }
}

class InetTransfer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(HttpServerFile(L"port").empty()) << "KX_HTTP_SERVER_DIR is not set";
    previous_policy_ = set_web_policy(web_policy{true, nullptr, nullptr});
    previous_dialog_ = set_inet_error_dialog(&CountingDialog);
    dialog_calls = 0;
    dialog_answer = ERROR_CANCELLED;
  }
  void TearDown() override {
    set_web_policy(previous_policy_);
    set_inet_error_dialog(previous_dialog_);
  }

  static DWORD WINAPI CountingDialog(HWND, HINTERNET, DWORD, DWORD, LPVOID*) {
    ++dialog_calls;
    return dialog_answer;
  }

  static inline int dialog_calls = 0;
  static inline DWORD dialog_answer = ERROR_CANCELLED;
  web_policy previous_policy_;
  inet_error_dialog_fn previous_dialog_ = nullptr;
};

TEST_F(InetTransfer, DownloadsByteExactInOneRequest) {
  http_file f(L"kx-test", 5000, kWebOpenFlags);
  ASSERT_TRUE(f.open(base_url() + L"/data/300000?t=exact", L"", 0));
  std::uint64_t size = 0;
  ASSERT_EQ(f.size(size), 0u);
  EXPECT_EQ(size, 300000u);
  std::string got;
  DWORD error = 0;
  ASSERT_TRUE(read_all(f, got, error)) << error;
  ExpectBody(got, 300000);
  const auto log = requests("exact");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(field(log[0], "user_agent"), "kx-test");
  FILETIME time{};
  EXPECT_EQ(f.last_modified(time), 0u);
  SYSTEMTIME st{};
  FileTimeToSystemTime(&time, &st);
  EXPECT_EQ(st.wYear, 2010);
}

// Each route cuts or twists the first answer; what arrives must be the file.
TEST_F(InetTransfer, ResumesOnlyWithFittingAnswers) {
  const struct {
    const char* tag;
    const wchar_t* route;
    bool ok;
    DWORD error;
    std::size_t requests;
    const char* second_range;
  } cases[] = {
      {"cut", L"/cut/200000?at=70000", true, 0, 2, "bytes=70000-"},
      {"norange", L"/norange/200000?at=70000", true, 0, 2, "bytes=70000-"},
      {"wrong206", L"/wrong206/200000?at=70000", false, 12152, 6, "bytes=70000-"},
      {"alwayscut", L"/alwayscut/100000?at=30000", false, 12031, 6, "bytes=30000-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tag);
    http_file f(L"kx-test", 5000, kWebOpenFlags);
    ASSERT_TRUE(
        f.open(base_url() + c.route + L"&t=" + std::wstring(c.tag, c.tag + strlen(c.tag)), L"", 0));
    std::string got;
    DWORD error = 0;
    EXPECT_EQ(read_all(f, got, error), c.ok) << error << " after " << got.size() << " bytes";
    if (c.ok) {
      ExpectBody(got, 200000);
    } else {
      EXPECT_EQ(error, c.error);
    }
    const auto log = requests(c.tag);
    ASSERT_EQ(log.size(), c.requests);
    EXPECT_EQ(field(log[0], "range"), "null");
    EXPECT_EQ(field(log[1], "range"), c.second_range);
  }
}

TEST_F(InetTransfer, RangeAtTheEndIsTheEnd) {
  http_file f(L"kx-test", 5000, kWebOpenFlags);
  ASSERT_TRUE(f.open(base_url() + L"/data/1000?t=end416", L"", 0));
  f.seek(1000);
  char buffer[16];
  DWORD got = 99;
  ASSERT_TRUE(f.read(buffer, sizeof(buffer), got));
  EXPECT_EQ(got, 0u);
  const auto log = requests("end416");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(field(log[0], "range"), "bytes=1000-");
  // Seeking back reads the tail with a Range.
  f.seek(990);
  ASSERT_TRUE(f.read(buffer, sizeof(buffer), got));
  ASSERT_EQ(got, 10u);
  EXPECT_EQ(std::string(buffer, 10), body(1000).substr(990));
}

TEST_F(InetTransfer, PermanentErrorsAreNotRetried) {
  const struct {
    const char* tag;
    const wchar_t* route;
    DWORD error;
    std::size_t requests;
  } cases[] = {
      {"e404", L"/status/404?t=e404", 0x8004D554, 1},
      {"e403", L"/status/403?t=e403", 0x8004D553, 1},
      {"e401", L"/auth/10?t=e401", 0x8004D551, 1},
      {"tofile", L"/redirect?to=file:///C:/windows/win.ini&t=tofile", 0x8004D4EE, 1},
      {"toftp", L"/redirect?to=ftp://127.0.0.1/x&t=toftp", 0x8004D4EE, 1},
      {"e500", L"/status/500?t=e500", 0x8004D5B4, 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tag);
    http_file f(L"kx-test", 5000, kWebOpenFlags);
    ASSERT_TRUE(f.open(base_url() + c.route, L"", 0));
    std::uint64_t size = 0;
    EXPECT_EQ(f.size(size), c.error);
    EXPECT_EQ(requests(c.tag).size(), c.requests);
  }
  EXPECT_EQ(dialog_calls, 0);
}

TEST_F(InetTransfer, UnknownSchemeFailsWithoutARequest) {
  http_file f(L"kx-test", 5000, kWebOpenFlags);
  EXPECT_FALSE(f.open(L"ftp://127.0.0.1/x", L"", 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_UNRECOGNIZED_SCHEME));
  EXPECT_EQ(f.requests_sent(), 0u);
}

TEST_F(InetTransfer, StallsTimeOutAndResume) {
  http_file f(L"kx-test", 1000, kWebOpenFlags);
  ASSERT_TRUE(f.open(base_url() + L"/stall/200000?at=50000&t=stall", L"", 0));
  std::string got;
  DWORD error = 0;
  ASSERT_TRUE(read_all(f, got, error, 200000)) << error;
  ExpectBody(got, 200000);
  const auto log = requests("stall");
  ASSERT_EQ(log.size(), 2u);
  const std::string range = field(log[1], "range");
  ASSERT_EQ(range.rfind("bytes=", 0), 0u) << range;
  const long long from = std::stoll(range.substr(6));
  EXPECT_GT(from, 0);
  EXPECT_LE(from, 50000);
}

TEST_F(InetTransfer, NoAnswerFailsWithTimeOut) {
  http_file f(L"kx-test", 1000, kWebOpenFlags);
  ASSERT_TRUE(f.open(base_url() + L"/hang?t=hang", L"", 0));
  std::uint64_t size = 0;
  EXPECT_EQ(f.size(size), static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
  EXPECT_EQ(requests("hang").size(), 6u);
}

TEST_F(InetTransfer, CancelEndsAWait) {
  static int polls = 0;
  polls = 0;
  set_web_policy(web_policy{true, nullptr, [] { return ++polls > 3; }});
  http_file f(L"kx-test", 20000, kWebOpenFlags);
  ASSERT_TRUE(f.open(base_url() + L"/hang?t=cancel", L"", 0));
  const ULONGLONG start = GetTickCount64();
  std::uint64_t size = 0;
  EXPECT_EQ(f.size(size), static_cast<DWORD>(ERROR_CANCELLED));
  EXPECT_LT(GetTickCount64() - start, 10000u);
  EXPECT_EQ(requests("cancel").size(), 1u);
}

TEST_F(InetTransfer, SilentRunsNeverAskInteractiveRunsDo) {
  const struct {
    const char* tag;
    bool silent;
    DWORD answer;
    int calls;
    std::size_t requests;
  } cases[] = {
      {"silent401", true, ERROR_INTERNET_FORCE_RETRY, 0, 1},
      {"cancel401", false, ERROR_CANCELLED, 1, 1},
      // Nothing entered: the request is not sent again.
      {"nothing401", false, ERROR_SUCCESS, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tag);
    set_web_policy(web_policy{c.silent, nullptr, nullptr});
    dialog_calls = 0;
    dialog_answer = c.answer;
    http_file f(L"kx-test", 5000, kWebOpenFlags);
    ASSERT_TRUE(
        f.open(base_url() + L"/auth/10?t=" + std::wstring(c.tag, c.tag + strlen(c.tag)), L"", 0));
    std::uint64_t size = 0;
    EXPECT_EQ(f.size(size), 0x8004D551u);
    EXPECT_EQ(dialog_calls, c.calls);
    EXPECT_EQ(requests(c.tag).size(), c.requests);
  }
}

TEST_F(InetTransfer, CredentialsTravelOnlyAsAuthorization) {
  http_file f(L"kx-test", 5000, kWebOpenFlags);
  const std::wstring url = base_url();
  // "%63" is 'c': only the decoded password is right.
  ASSERT_TRUE(f.open(L"http://alice:s3%63ret@" + url.substr(7) + L"/auth/100?t=cred", L"", 0));
  std::string got;
  DWORD error = 0;
  ASSERT_TRUE(read_all(f, got, error)) << error;
  ExpectBody(got, 100);
  web_credentials creds;
  ASSERT_EQ(f.credentials(creds), 0u);
  EXPECT_EQ(creds.user, L"alice");
  EXPECT_EQ(creds.password, L"s3cret");
  const auto log = requests("cred");
  ASSERT_FALSE(log.empty());
  for (const std::string& line : log) {
    EXPECT_EQ(field(line, "path").find("alice"), std::string::npos);
    EXPECT_EQ(field(line, "path").find("s3"), std::string::npos);
  }
  EXPECT_EQ(field(log.back(), "authorization"), "Basic YWxpY2U6czNjcmV0");
}

TEST_F(InetTransfer, FactoryServesTheFileClassesAndCopies) {
  register_web_source_factory();
  testing::ScopedTempDir dir;
  struct Sizes {
    static int Callback(void* context, int event, const wchar_t*, DWORD low, DWORD high) {
      if (event == copy_size)
        static_cast<std::vector<std::uint64_t>*>(context)->push_back(
            (static_cast<std::uint64_t>(high) << 32) | low);
      return copy_continue;
    }
  };
  std::vector<std::uint64_t> sizes;
  const copy_callback_registration previous = set_copy_callback(&Sizes::Callback, &sizes);
  set_copy_size_wanted(true);
  const std::wstring target = dir.file(L"got.bin");
  const string source(base_url() + L"/data/150000?t=copy");
  EXPECT_TRUE(copy_file(source, string(target), false));
  ExpectBody(testing::ReadBytes(target), 150000);
  EXPECT_EQ(sizes, std::vector<std::uint64_t>{150000});
  const auto log = requests("copy");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(field(log[0], "user_agent"), "toys::file_lite");

  // A body that never completes leaves no file behind.
  const std::wstring cut = dir.file(L"cut.bin");
  EXPECT_FALSE(
      copy_file(string(base_url() + L"/alwayscut/100000?at=30000&t=copycut"), string(cut), false));
  EXPECT_EQ(GetLastError(), 12031u);
  EXPECT_EQ(GetFileAttributesW(cut.c_str()), INVALID_FILE_ATTRIBUTES);
  set_copy_size_wanted(false);
  set_copy_callback(previous.function, previous.context);
  set_web_source_factory(nullptr);
}

}  // namespace
}  // namespace kx
