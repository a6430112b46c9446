// What a failed transfer means: the HTTP status as an error code, and
// whether trying again can help.
// Windows-free, so the rules can be checked on their own.
#pragma once

#include <cstdint>

namespace kx {

// The error code of an HTTP status outside 200-299: (status + 0xD3C0) |
// 0x80040000, so 404 gives 0x8004D554.
constexpr std::uint32_t http_status_error(unsigned status) noexcept {
  return (status + 0xD3C0u) | 0x80040000u;
}

// The HTTP status behind an error made by http_status_error, or 0.
unsigned http_status_of(std::uint32_t error) noexcept;

// Kinds of transfer failure.
enum class inet_error_kind {
  transient,    // the network or the server may do better next time
  permanent,    // the same request will fail the same way (404, 12006, ...)
  credentials,  // 401 or 407: only a person with a password can help
  certificate,  // only a person's click on the system's dialog can accept it
};

// The kind of the Win32/WinInet code or HTTP error `error`.
inet_error_kind classify_inet_error(std::uint32_t error) noexcept;

// What to do after a failed attempt.
enum class inet_error_action {
  retry,       // try again without asking anybody
  give_up,     // fail with the error as it is
  ask_person,  // show the system's dialog, then retry or give up as answered
};

// The decision for `error` in a run that may (`silent` false) or may not
// show windows. A silent run never asks: credentials and certificates fail
// there with their code.
inet_error_action decide_inet_error(std::uint32_t error, bool silent) noexcept;

}  // namespace kx
