// A file on an http:// or https:// server.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/web_source.h"
#include "platform/inet_file.h"

namespace kx {

// Reads a remote file with HTTP semantics: a status outside 200-299 fails
// with http_status_error (404 gives 0x8004D554); an https address that a
// redirect took to plain http fails with 12040; a resumed request is
// accepted only when the server's answer fits what was already delivered.
class http_file : public inet_file {
 public:
  // `agent` the user agent, `timeout_ms` the longest wait for one answer,
  // `flags` request flags added to every open. The system's proxy settings
  // are used.
  http_file(std::wstring agent, DWORD timeout_ms, DWORD flags);

  // The file's size: from the response already in, else after sending the
  // request (with the retries of read). 0 or an error code; 12150 when the
  // server announced no length.
  DWORD size(std::uint64_t& bytes);

  // The Last-Modified time; 0 or an error code (12150 when there is none).
  DWORD last_modified(FILETIME& time);

  // The user name and password (and the proxy's) that the request used,
  // read from the request handle after the response is in (before that
  // WinInet has none to give). 0 or why no response came.
  DWORD credentials(web_credentials& out);

 protected:
  DWORD check_response(HINTERNET request) override;
};

}  // namespace kx
