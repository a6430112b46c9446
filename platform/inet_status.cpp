#include "platform/inet_status.h"

namespace kx {

namespace {

// WinInet codes (wininet.h), kept here so that the rules stay Windows-free.
constexpr std::uint32_t kTimeout = 12002;
constexpr std::uint32_t kNameNotResolved = 12007;
constexpr std::uint32_t kCannotConnect = 12029;
constexpr std::uint32_t kConnectionAborted = 12030;
constexpr std::uint32_t kConnectionReset = 12031;
constexpr std::uint32_t kInvalidServerResponse = 12152;
constexpr std::uint32_t kSecCertDateInvalid = 12037;
constexpr std::uint32_t kSecCertCnInvalid = 12038;
constexpr std::uint32_t kClientAuthCertNeeded = 12044;
constexpr std::uint32_t kInvalidCa = 12045;
constexpr std::uint32_t kSecCertErrors = 12055;
constexpr std::uint32_t kSecCertRevoked = 12170;
constexpr std::uint32_t kSecCertRevFailed = 12057;
constexpr std::uint32_t kSecInvalidCert = 12169;
constexpr std::uint32_t kSecCertWeak = 12180;

}  // namespace

unsigned http_status_of(std::uint32_t error) noexcept {
  if ((error & 0xFFFF0000u) != 0x80040000u) return 0;
  const std::uint32_t low = error & 0xFFFFu;
  // Statuses 100-599 map to 0xD424-0xD617; the OR with the high word is a
  // plain add for all of them.
  if (low < 0xD3C0u + 100 || low > 0xD3C0u + 599) return 0;
  return low - 0xD3C0u;
}

inet_error_kind classify_inet_error(std::uint32_t error) noexcept {
  if (const unsigned status = http_status_of(error)) {
    if (status == 401 || status == 407) return inet_error_kind::credentials;
    if (status == 408 || status == 429 || status >= 500) return inet_error_kind::transient;
    return inet_error_kind::permanent;
  }
  switch (error) {
    case kTimeout:
    case kNameNotResolved:
    case kCannotConnect:
    case kConnectionAborted:
    case kConnectionReset:
    case kInvalidServerResponse:
      return inet_error_kind::transient;
    case kSecCertDateInvalid:
    case kSecCertCnInvalid:
    case kClientAuthCertNeeded:
    case kInvalidCa:
    case kSecCertErrors:
    case kSecCertRevoked:
    case kSecCertRevFailed:
    case kSecInvalidCert:
    case kSecCertWeak:
      return inet_error_kind::certificate;
    default:
      return inet_error_kind::permanent;
  }
}

inet_error_action decide_inet_error(std::uint32_t error, bool silent) noexcept {
  switch (classify_inet_error(error)) {
    case inet_error_kind::transient:
      return inet_error_action::retry;
    case inet_error_kind::credentials:
    case inet_error_kind::certificate:
      return silent ? inet_error_action::give_up : inet_error_action::ask_person;
    case inet_error_kind::permanent:
      break;
  }
  return inet_error_action::give_up;
}

}  // namespace kx
