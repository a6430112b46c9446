// Splitting a web address into what a request needs, before anything is
// decoded.
//
// A percent escape stands for a character that would otherwise have a
// meaning in the address ("%23" is a '#' in a file name, "%40" an '@' in a
// password), so the address is split first and only the user name and the
// password, which go into the Authorization header rather than onto the
// request line, are decoded. The path travels encoded, exactly as written.
// Windows-free: it reads addresses from media and command lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

// The parts of an http:// or https:// address. The user name and password
// are overwritten before their memory is given back: when the object ends,
// is assigned to, or is moved from.
struct inet_url {
  bool secure = false;           // https
  std::wstring host;             // as written (brackets kept for IPv6)
  std::uint16_t port = 0;        // explicit, or 80 / 443
  std::wstring object;           // path and query, encoded, starting with '/'
  bool has_credentials = false;  // a user-info part was present
  std::wstring user;             // decoded (UTF-8 escapes)
  std::wstring password;         // decoded (UTF-8 escapes)

  inet_url() = default;
  inet_url(const inet_url& other) = default;
  // Leaves `other` without credentials.
  inet_url(inet_url&& other) noexcept;
  inet_url& operator=(const inet_url& other);
  // Leaves `other` without credentials.
  inet_url& operator=(inet_url&& other) noexcept;
  ~inet_url();

  // Overwrites and empties the user name and password.
  void wipe_credentials() noexcept;
};

// Why an address was refused.
enum class inet_url_error {
  none,
  scheme,       // not http:// or https:// (any case)
  host,         // empty, or a character that cannot be in a host name
  port,         // not a number from 1 to 65535
  credentials,  // a bad escape, invalid UTF-8 or a control character
  object,       // a control character in the path
};

// Splits `url`. The user-info is everything before the last '@' of the
// authority; a '\' inside it stays part of the user name (DOMAIN\user),
// while a '\' after the host separates path segments and becomes '/', as
// does every '\' of the path. Blanks in the path become "%20"; a fragment
// ('#' and after) is dropped, since it is never sent. Other escapes stay.
inet_url_error split_inet_url(std::wstring_view url, inet_url& out);

// Decodes the %XX escapes of `text` as UTF-8 into `out`; false for a bad
// escape, invalid UTF-8, or a decoded control character (below 0x20 or
// 0x7F), which could end a header line.
bool decode_url_credential(std::wstring_view text, std::wstring& out);

// Whether a request for an https address (`asked_secure`) ended, after
// redirects, on `final_url` that is not https: such a download must fail
// rather than come over plain http. An empty `final_url` (WinInet could
// not say where the request ended) counts as a downgrade: a secure
// download that cannot show it stayed secure is not trusted.
bool is_https_downgrade(bool asked_secure, std::wstring_view final_url) noexcept;

}  // namespace kx
