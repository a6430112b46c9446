// The seam through which the source-file classes read web addresses.
//
// The file classes know only this interface; the internet-transfer layer
// registers a factory for it at start-up. Without one, opening a web
// address fails with ERROR_NOT_SUPPORTED and nothing touches the network.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <unknwn.h>

#include <cstdint>
#include <memory>
#include <string>

#include "base/secret_wipe.h"
#include "base/stringx.h"

namespace kx {

// The request flags of the source files: reload, keep the connection, send
// a no-cache pragma.
inline constexpr DWORD kWebOpenFlags = 0x80400100;
// The time-out of the source files' web requests.
inline constexpr DWORD kWebTimeoutMs = 30000;

// The connection credentials that a web request used (empty when none).
struct web_credentials {
  std::wstring user;
  std::wstring password;
  std::wstring proxy_user;
  std::wstring proxy_password;
  // The passwords are overwritten before their memory is given back.
  ~web_credentials() {
    wipe_secret(password);
    wipe_secret(proxy_password);
  }
};

// One file on a web server, read sequentially from a position.
class web_source {
 public:
  virtual ~web_source() = default;
  // Prepares reading `url` with the request `flags`; it need not send
  // anything yet. Returns 0 or a Win32/WinInet error code.
  virtual DWORD open(const string& url, DWORD flags) = 0;
  // Makes the next read start `offset` bytes from the start of the file.
  // Returns 0 or an error code.
  virtual DWORD seek(std::uint64_t offset) = 0;
  // Reads up to `count` bytes into `buffer`; `got` receives how many came
  // (0 at the end of the data). Returns 0 or an error code.
  virtual DWORD read(void* buffer, DWORD count, DWORD& got) = 0;
  // The file's size in bytes, from the response already in when there is
  // one (sending the request otherwise). Returns 0 or an error code.
  virtual DWORD size(std::uint64_t& bytes) {
    bytes = 0;
    return ERROR_NOT_SUPPORTED;
  }
  // The file's last-modified time as the server states it. Returns 0 or an
  // error code (12150 when the server sends none).
  virtual DWORD last_modified(FILETIME& time) {
    time = FILETIME{};
    return ERROR_NOT_SUPPORTED;
  }
  // The credentials of the connection, after a response exists (the
  // request is sent first when none is in). Returns 0 or an error code.
  virtual DWORD credentials(web_credentials& out) {
    out = web_credentials{};
    return ERROR_NOT_SUPPORTED;
  }
};

// How web transfers of this process may involve a person.
struct web_policy {
  // No window ever (the "s"/"auto" switches): certificate, password and
  // proxy problems fail with their code instead of asking.
  bool silent = false;
  // The owner of the system's dialogs when not silent (null: the desktop).
  HWND owner = nullptr;
  // Asked while a transfer waits; true ends it with ERROR_CANCELLED.
  bool (*cancel_requested)() = nullptr;
};

// Sets the policy for every later web transfer; set on the main thread
// before the first web access. Returns the one set before.
web_policy set_web_policy(const web_policy& policy) noexcept;
// The current policy (interactive, no owner, no cancel query at start).
web_policy current_web_policy() noexcept;

// How a file class wants its web source made.
struct web_source_options {
  const wchar_t* agent = nullptr;  // the user agent, e.g. "toys::file"
  DWORD timeout_ms = kWebTimeoutMs;
  IUnknown* events = nullptr;  // transfer-events sink (not owned); may be null
};

// Makes a web source; nullptr (with the reason in `error`) when it cannot.
using web_source_factory = std::unique_ptr<web_source> (*)(const web_source_options& options,
                                                           DWORD& error);

// Registers the factory used for every later web address (nullptr: none);
// returns the one registered before.
web_source_factory set_web_source_factory(web_source_factory factory) noexcept;

// A new source from the registered factory; nullptr with `error` set
// (ERROR_NOT_SUPPORTED when no factory is registered).
std::unique_ptr<web_source> make_web_source(const web_source_options& options, DWORD& error);

}  // namespace kx
