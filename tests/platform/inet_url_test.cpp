#include "platform/inet_url.h"

#include <gtest/gtest.h>

#include <utility>

namespace kx {
namespace {

struct SplitCase {
  const wchar_t* url;
  bool secure;
  const wchar_t* host;
  unsigned port;
  const wchar_t* object;
  bool has_credentials;
  const wchar_t* user;
  const wchar_t* password;
};

TEST(InetUrl, SplitsBeforeDecoding) {
  const SplitCase cases[] = {
      {L"http://h/f.bin", false, L"h", 80, L"/f.bin", false, L"", L""},
      {L"HTTPS://Host:8443/a", true, L"Host", 8443, L"/a", false, L"", L""},
      {L"http://h", false, L"h", 80, L"/", false, L"", L""},
      {L"http://h?q=1", false, L"h", 80, L"/?q=1", false, L"", L""},
      // Escapes in the path stay escapes: %23 is a '#' in a name, not a fragment.
      {L"http://h/a%23b.txt", false, L"h", 80, L"/a%23b.txt", false, L"", L""},
      {L"http://h/a%3Fb.txt", false, L"h", 80, L"/a%3Fb.txt", false, L"", L""},
      {L"http://h/a%25b.txt", false, L"h", 80, L"/a%25b.txt", false, L"", L""},
      {L"http://h/a b/c#frag", false, L"h", 80, L"/a%20b/c", false, L"", L""},
      {L"http://h/Disk1\\data1.hdr", false, L"h", 80, L"/Disk1/data1.hdr", false, L"", L""},
      {L"http://h\\Disk1\\x", false, L"h", 80, L"/Disk1/x", false, L"", L""},
      // Only the user-info is decoded, after the split.
      {L"http://u:pa%2Fss@h/f", false, L"h", 80, L"/f", true, L"u", L"pa/ss"},
      {L"http://u:p%40ss@h/f", false, L"h", 80, L"/f", true, L"u", L"p@ss"},
      {L"http://u:p@ss@h/f", false, L"h", 80, L"/f", true, L"u", L"p@ss"},
      {L"http://DOM\\user:pw@h:81/f", false, L"h", 81, L"/f", true, L"DOM\\user", L"pw"},
      {L"http://u%C3%A9:p%3A%23x@h/", false, L"h", 80, L"/", true, L"u\u00e9", L"p:#x"},
      {L"http://@h/", false, L"h", 80, L"/", true, L"", L""},
      {L"https://[::1]:444/x", true, L"[::1]", 444, L"/x", false, L"", L""},
      // An '@' after the authority is part of the path.
      {L"http://h/a@b", false, L"h", 80, L"/a@b", false, L"", L""},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.url);
    inet_url u;
    ASSERT_EQ(split_inet_url(c.url, u), inet_url_error::none);
    EXPECT_EQ(u.secure, c.secure);
    EXPECT_EQ(u.host, c.host);
    EXPECT_EQ(u.port, c.port);
    EXPECT_EQ(u.object, c.object);
    EXPECT_EQ(u.has_credentials, c.has_credentials);
    EXPECT_EQ(u.user, c.user);
    EXPECT_EQ(u.password, c.password);
  }
}

TEST(InetUrl, RefusesWhatCannotBeSent) {
  const struct {
    const wchar_t* url;
    inet_url_error error;
  } cases[] = {
      {L"ftp://h/f", inet_url_error::scheme},
      {L"file:///C:/x", inet_url_error::scheme},
      {L"http:/h", inet_url_error::scheme},
      {L"http://", inet_url_error::host},
      {L"http:///f", inet_url_error::host},
      {L"http://u:p@/f", inet_url_error::host},
      {L"http://h:0/", inet_url_error::port},
      {L"http://h:65536/", inet_url_error::port},
      {L"http://h:8a/", inet_url_error::port},
      {L"http://h:/", inet_url_error::port},
      {L"http://[::1/", inet_url_error::host},
      {L"http://u:p%0D%0AX:y@h/", inet_url_error::credentials},
      {L"http://u:p%4@h/", inet_url_error::credentials},
      {L"http://u:%C3@h/", inet_url_error::credentials},
      {L"http://u:%C0%AF@h/", inet_url_error::credentials},
      {L"http://h/a\r\nX: y", inet_url_error::object},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    inet_url u;
    EXPECT_EQ(split_inet_url(c.url, u), c.error);
    // No half-decoded password is left behind.
    EXPECT_TRUE(u.user.empty() && u.password.empty());
  }
}

TEST(InetUrl, HttpsMustEndOnHttps) {
  const struct {
    bool secure;
    const wchar_t* final_url;
    bool downgrade;
  } cases[] = {
      {true, L"https://h/f", false},
      {true, L"HTTPS://h/f", false},
      {true, L"http://h/f", true},
      {true, L"HTTP://h/f", true},
      {true, L"ftp://h/f", true},
      {true, L"https:/h/f", true},
      {true, L" https://h/f", true},
      {false, L"http://h/f", false},
      {false, L"https://h/f", false},
      // Where the request ended could not be read: not trusted.
      {true, L"", true},
      {false, L"", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(is_https_downgrade(c.secure, c.final_url), c.downgrade) << c.final_url;
}

// The credentials are never left in an object that is passed on or
// overwritten.
TEST(InetUrl, CredentialsDoNotOutliveTheirUse) {
  inet_url a;
  ASSERT_EQ(split_inet_url(L"http://alice:a-long-password-1@h/f", a), inet_url_error::none);
  inet_url moved(std::move(a));
  EXPECT_EQ(moved.password, L"a-long-password-1");
  EXPECT_TRUE(a.user.empty() && a.password.empty());
  inet_url target;
  target = std::move(moved);
  EXPECT_TRUE(moved.user.empty() && moved.password.empty());
  EXPECT_EQ(target.user, L"alice");
  inet_url copy(target);
  ASSERT_EQ(split_inet_url(L"http://bob:pw@h/f", copy), inet_url_error::none);
  EXPECT_EQ(copy.password, L"pw");
  EXPECT_EQ(target.password, L"a-long-password-1");
  target.wipe_credentials();
  EXPECT_TRUE(target.user.empty() && target.password.empty());
  EXPECT_EQ(target.host, L"h");
}

}  // namespace
}  // namespace kx
