// The source files on web addresses, through a registered stand-in source.
#include "base/web_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/file.h"

namespace kx {
namespace {

// What the stand-in sources were asked, and what they serve.
struct web_log {
  int made = 0;
  std::wstring agent, url;
  DWORD timeout_ms = 0, flags = 0;
  IUnknown* events = nullptr;
  std::string content;
  DWORD open_error = 0;
};
web_log server;

class fake_source : public web_source {
 public:
  DWORD open(const string& url, DWORD flags) override {
    server.url = url.str();
    server.flags = flags;
    return server.open_error;
  }
  DWORD seek(std::uint64_t offset) override {
    if (offset > server.content.size()) return ERROR_NEGATIVE_SEEK;
    position_ = static_cast<std::size_t>(offset);
    return 0;
  }
  DWORD read(void* buffer, DWORD count, DWORD& got) override {
    // Small pieces, as a network delivers them.
    got = static_cast<DWORD>(std::min<std::size_t>({count, 3, server.content.size() - position_}));
    std::copy_n(server.content.data() + position_, got, static_cast<char*>(buffer));
    position_ += got;
    return 0;
  }

 private:
  std::size_t position_ = 0;
};

std::unique_ptr<web_source> make_fake(const web_source_options& options, DWORD& error) {
  ++server.made;
  server.agent = options.agent;
  server.timeout_ms = options.timeout_ms;
  server.events = options.events;
  error = 0;
  return std::make_unique<fake_source>();
}

class WebSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server = web_log{};
    previous_ = set_web_source_factory(&make_fake);
  }
  void TearDown() override { set_web_source_factory(previous_); }

 private:
  web_source_factory previous_ = nullptr;
};

TEST(WebAddressTest, WithoutAFactoryNothingOpens) {
  const web_source_factory previous = set_web_source_factory(nullptr);
  file f;
  EXPECT_EQ(f.open(L"http://host/setup.ini", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING),
            static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_FALSE(f.is_open());
  file_lite lite;
  EXPECT_FALSE(lite.open_read(L"https://host/setup.exe"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  set_web_source_factory(previous);
}

TEST_F(WebSourceTest, FileReadsTextAndDetectsItsEncodingFromTheBytes) {
  server.content = std::string("\xFF\xFE[\0A\0]\0", 8);
  IUnknown* const sink = reinterpret_cast<IUnknown*>(0x1234);
  file f;
  f.set_transfer_events(sink);
  f.set_code_page(65001);  // the mark that arrives wins
  ASSERT_EQ(f.open(L"HTTP://host/Disk1/setup.ini", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING),
            0u);
  EXPECT_EQ(server.agent, L"toys::file");
  EXPECT_EQ(server.timeout_ms, 30000u);
  EXPECT_EQ(server.flags, 0x80400100u);
  EXPECT_EQ(server.events, sink);
  EXPECT_EQ(server.url, L"HTTP://host/Disk1/setup.ini");
  EXPECT_EQ(f.handle(), INVALID_HANDLE_VALUE);
  string text;
  ASSERT_EQ(f.read_text(text), 0u);
  EXPECT_EQ(text, L"[A]");
  EXPECT_EQ(f.code_page(), 1200);
  EXPECT_TRUE(f.has_bom());
  EXPECT_EQ(f.write_lines({L"x"}, false), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

TEST_F(WebSourceTest, OpenErrorsComeBack) {
  server.open_error = 12007;  // the host name could not be resolved
  file f;
  EXPECT_EQ(f.open(L"http://nohost/a", GENERIC_READ, 0, OPEN_EXISTING), 12007u);
  EXPECT_FALSE(f.is_open());
  file_lite lite;
  EXPECT_FALSE(lite.open_read(L"http://nohost/a"));
  EXPECT_EQ(GetLastError(), 12007u);
}

TEST_F(WebSourceTest, FileLiteReadsAndSeeks) {
  server.content = "0123456789";
  file_lite f;
  ASSERT_TRUE(f.open_read(L"https://host/payload.bin"));
  EXPECT_EQ(server.agent, L"toys::file_lite");
  EXPECT_EQ(server.flags, 0x80400100u);
  ASSERT_TRUE(f.seek(4));
  char buf[16] = {};
  EXPECT_EQ(f.read(buf, 2), 2);
  EXPECT_EQ(std::string(buf, 2), "45");
  EXPECT_FALSE(f.seek(11));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  EXPECT_EQ(f.write("x", 1), -1);
}

TEST_F(WebSourceTest, WebAddressesAreNeverWritten) {
  file_lite lite;
  EXPECT_FALSE(lite.open_write(L"http://host/out.bin", CREATE_ALWAYS));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  file f;
  EXPECT_EQ(f.open(L"http://host/a.ini", GENERIC_WRITE, 0, OPEN_EXISTING),
            static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(f.open(L"http://host/a.ini", GENERIC_READ, 0, CREATE_ALWAYS),
            static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(f.create_text(L"https://host/a.ini"), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(server.made, 0);  // no request was even prepared
}

}  // namespace
}  // namespace kx
