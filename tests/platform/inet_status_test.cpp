#include "platform/inet_status.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(InetStatus, MapsHttpStatuses) {
  const struct {
    unsigned status;
    std::uint32_t error;
  } cases[] = {{404, 0x8004D554}, {401, 0x8004D551}, {407, 0x8004D557}, {416, 0x8004D560},
               {302, 0x8004D4EE}, {500, 0x8004D5B4}, {503, 0x8004D5B7}};
  for (const auto& c : cases) {
    EXPECT_EQ(http_status_error(c.status), c.error) << c.status;
    EXPECT_EQ(http_status_of(c.error), c.status) << c.status;
  }
  EXPECT_EQ(http_status_of(12002), 0u);
  EXPECT_EQ(http_status_of(0x80070005), 0u);
}

TEST(InetStatus, DecidesBySilenceAndKind) {
  using a = inet_error_action;
  const struct {
    std::uint32_t error;
    a interactive;
    a silent;
  } cases[] = {
      {12002, a::retry, a::retry},  // time-out
      {12029, a::retry, a::retry},  // cannot connect
      {12031, a::retry, a::retry},  // connection reset (a short body)
      {12152, a::retry, a::retry},  // a Range answer that does not fit
      {http_status_error(500), a::retry, a::retry},
      {http_status_error(503), a::retry, a::retry},
      {http_status_error(429), a::retry, a::retry},
      {http_status_error(404), a::give_up, a::give_up},
      {http_status_error(403), a::give_up, a::give_up},
      {http_status_error(302), a::give_up, a::give_up},
      {http_status_error(416), a::give_up, a::give_up},
      {12006, a::give_up, a::give_up},  // scheme
      {12040, a::give_up, a::give_up},  // https to http
      {1223, a::give_up, a::give_up},
      {http_status_error(401), a::ask_person, a::give_up},
      {http_status_error(407), a::ask_person, a::give_up},
      {12045, a::ask_person, a::give_up},  // unknown CA
      {12038, a::ask_person, a::give_up},  // name mismatch
      {12037, a::ask_person, a::give_up},  // expired
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decide_inet_error(c.error, false), c.interactive) << std::hex << c.error;
    EXPECT_EQ(decide_inet_error(c.error, true), c.silent) << std::hex << c.error;
  }
}

}  // namespace
}  // namespace kx
