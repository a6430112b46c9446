// The web medium's addresses, transfer policy and credentials, with a
// stand-in web source registered in place of WinInet.
#include "launcher/web_medium.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/setup_settings.h"
#include "ui/cancel_request.h"

namespace kx {
namespace {

TEST(MediumFilePath, JoinsWebAddressesWithSlashAndFoldersWithBackslash) {
  struct Row {
    const wchar_t* folder;
    const wchar_t* path;
  } rows[] = {
      {L"http://h:8080/Disk1", L"http://h:8080/Disk1/data1.hdr"},
      {L"HTTPS://u:p@h/m/Disk1/", L"HTTPS://u:p@h/m/Disk1/data1.hdr"},
      {L"http://h/Disk1\\", L"http://h/Disk1\\data1.hdr"},
      {L"C:\\media\\Disk1", L"C:\\media\\Disk1\\data1.hdr"},
      {L"C:\\", L"C:\\data1.hdr"},
      {L"\\\\server\\share", L"\\\\server\\share\\data1.hdr"},
      // Only http(s) is read from the web; an ftp medium is no address here.
      {L"ftp://h/Disk1", L"ftp://h/Disk1\\data1.hdr"},
      {L"", L"data1.hdr"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(MediumFilePath(row.folder, L"data1.hdr").str(), row.path) << row.folder;
}

TEST(WebPolicyOf, SilentRunsNeverAskAndCancelEndsTheWait) {
  struct Row {
    bool silent, automatic, policy_silent;
  } rows[] = {{false, false, false}, {true, false, true}, {false, true, true}, {true, true, true}};
  for (const Row& row : rows) {
    SetupSettings s;
    s.Silent = row.silent;
    s.Auto = row.automatic;
    const web_policy p = WebPolicyOf(s);
    EXPECT_EQ(p.silent, row.policy_silent) << row.silent << row.automatic;
    EXPECT_EQ(p.owner, nullptr);
    ASSERT_NE(p.cancel_requested, nullptr);
  }
  const web_policy p = WebPolicyOf(SetupSettings{});
  EXPECT_FALSE(p.cancel_requested());
  RequestCancel();
  EXPECT_TRUE(p.cancel_requested());
  EXPECT_TRUE(TakeCancelRequest());
  EXPECT_FALSE(p.cancel_requested());
}

// What the stand-in source was asked, in order, and what it answers.
struct credential_server {
  std::vector<std::wstring> calls;
  std::wstring agent;
  DWORD factory_error = 0, open_error = 0, credentials_error = 0;
  web_credentials answer;
};
credential_server server;

class credential_source : public web_source {
 public:
  DWORD open(const string& url, DWORD flags) override {
    server.calls.push_back(L"open " + url.str() + (flags == kWebOpenFlags ? L" flags" : L" ?"));
    return server.open_error;
  }
  DWORD seek(std::uint64_t) override {
    server.calls.push_back(L"seek");
    return 0;
  }
  DWORD read(void*, DWORD, DWORD& got) override {
    server.calls.push_back(L"read");
    got = 0;
    return 0;
  }
  DWORD credentials(web_credentials& out) override {
    server.calls.push_back(L"credentials");
    out = server.answer;
    return server.credentials_error;
  }
};

std::unique_ptr<web_source> make_credential_source(const web_source_options& options,
                                                   DWORD& error) {
  server.agent = options.agent ? options.agent : L"";
  error = server.factory_error;
  if (error) return nullptr;
  return std::make_unique<credential_source>();
}

class MediumCredentialsTest : public ::testing::Test {
 protected:
  MediumCredentialsTest() : previous_(set_web_source_factory(make_credential_source)) {
    server = credential_server{};
    server.answer = {L"alice", L"s3cret", L"proxy", L"pw"};
  }
  ~MediumCredentialsTest() override { set_web_source_factory(previous_); }

 private:
  web_source_factory previous_;
};

TEST_F(MediumCredentialsTest, AreAskedOfTheOpenHeaderWithoutReadingIt) {
  web_credentials c;
  ASSERT_TRUE(QueryMediumCredentials(L"http://alice:s3cret@h/Disk1/data1.hdr", c));
  EXPECT_EQ(server.agent, L"toys::file_lite");
  EXPECT_EQ(server.calls,
            (std::vector<std::wstring>{L"open http://alice:s3cret@h/Disk1/data1.hdr flags",
                                       L"credentials"}));
  EXPECT_EQ(c.user, L"alice");
  EXPECT_EQ(c.password, L"s3cret");
  EXPECT_EQ(c.proxy_user, L"proxy");
  EXPECT_EQ(c.proxy_password, L"pw");
}

TEST_F(MediumCredentialsTest, EveryFailureLeavesThemEmpty) {
  struct Row {
    const char* what;
    const wchar_t* header;
    DWORD factory_error, open_error, credentials_error;
    size_t calls;
  } rows[] = {
      {"a folder on disk sends nothing", L"C:\\media\\Disk1\\data1.hdr", 0, 0, 0, 0},
      {"an ftp medium sends nothing", L"ftp://h/Disk1/data1.hdr", 0, 0, 0, 0},
      {"no web source", L"http://h/data1.hdr", ERROR_NOT_SUPPORTED, 0, 0, 0},
      {"the header cannot be opened", L"http://h/data1.hdr", 0, 12007, 0, 1},
      // A 404 on the header: the copies of step 437 report it later.
      {"the request fails", L"https://h/data1.hdr", 0, 0, 0x8004D554, 2},
  };
  for (const Row& row : rows) {
    server.calls.clear();
    server.factory_error = row.factory_error;
    server.open_error = row.open_error;
    server.credentials_error = row.credentials_error;
    web_credentials c{L"stale", L"stale", L"stale", L"stale"};
    EXPECT_FALSE(QueryMediumCredentials(row.header, c)) << row.what;
    EXPECT_EQ(server.calls.size(), row.calls) << row.what;
    EXPECT_TRUE(c.user.empty() && c.password.empty() && c.proxy_user.empty() &&
                c.proxy_password.empty())
        << row.what;
  }
}

}  // namespace
}  // namespace kx
