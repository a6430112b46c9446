// A remote file read as if it were local: requests, retries and resuming.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <wininet.h>

#include <cstdint>
#include <string>

#include "platform/inet_rate.h"
#include "platform/inet_session.h"
#include "platform/inet_url.h"
#include "platform/wininet_async_handle.h"

namespace kx {

// One remote file over a WinInet session. A read that is cut goes on with
// a Range request from the position reached; what the server answers to it
// is judged by check_response before a byte is used. Calls come from the
// thread that owns the windows; they dispatch its messages while they wait.
// Errors are Win32/WinInet codes or HTTP errors (inet_status.h), left as the
// thread's last error where a call returns false.
class inet_file {
 public:
  // `agent` the user agent, `timeout_ms` the longest wait for one answer or
  // one block of data, `flags` request flags added to those of open.
  inet_file(std::wstring agent, DWORD timeout_ms, DWORD flags);
  virtual ~inet_file();
  inet_file(const inet_file&) = delete;
  inet_file& operator=(const inet_file&) = delete;

  // Prepares `url` (http:// or https://) with the extra request `headers`
  // (each line ending in "\r\n", or empty) and request `flags`; nothing is
  // sent. False with the last error: 12006 for another scheme, 12005 for an
  // address that cannot be split, or why no session could be made.
  bool open(const std::wstring& url, const std::wstring& headers, DWORD flags);

  // Reads `length` bytes, fewer only at the end of the file; `got` receives
  // how many. A short body, a cut connection or a time-out is resumed, up to
  // kMaxRetries times, when the error is one that trying again can help.
  bool read(void* buffer, DWORD length, DWORD& got);

  // Makes the next read start at `position`; a new position ends the open
  // request, and the next read asks for the rest with a Range header.
  void seek(std::uint64_t position);

  std::uint64_t position() const noexcept { return position_; }

  // Bytes per second over the current window of the rate measurement.
  std::uint64_t transfer_rate();

  // The number of requests sent so far (each attempt is one).
  unsigned requests_sent() const noexcept { return requests_; }

  static constexpr unsigned kMaxRetries = 5;

 protected:
  // Judges the response of a request just sent at resume offset
  // `position_`: 0 to read it, or the error that ends the attempt. Sets
  // skip_, end_known_, end_ and at_end_ for the read that follows.
  virtual DWORD check_response(HINTERNET request);

  // Makes sure a response is in (sending with retries when none is).
  DWORD ensure_response();
  // The open request, or null.
  HINTERNET request() const noexcept { return request_ ? request_->handle() : nullptr; }

  const inet_url& url() const noexcept { return url_; }

  std::uint64_t skip_ = 0;  // bytes of the body to drop first
  bool end_known_ = false;  // the body's end position is known
  std::uint64_t end_ = 0;
  bool at_end_ = false;       // nothing more to read
  bool total_known_ = false;  // the file's size, once an answer told it
  std::uint64_t total_ = 0;

 private:
  DWORD send(bool resend);
  DWORD connect();
  DWORD read_some(BYTE* out, DWORD length, DWORD& got);
  DWORD read_block(DWORD wanted, DWORD& got);
  DWORD drain();
  // 12032 to try again, ERROR_CANCELLED to stop; may ask a person when the
  // policy allows. The last error is the same afterwards.
  DWORD handle_error(DWORD error, bool& asked);
  void close_request() noexcept;
  void close_connection() noexcept;
  DWORD autodial();

  std::wstring agent_;
  DWORD timeout_ms_;
  DWORD base_flags_;
  DWORD flags_ = 0;
  std::wstring headers_;
  inet_url url_;
  bool opened_ = false;
  inet_session session_;
  HINTERNET connection_ = nullptr;
  std::wstring connection_host_;
  std::uint16_t connection_port_ = 0;
  wininet_async_handle* request_ = nullptr;
  std::uint64_t position_ = 0;
  unsigned requests_ = 0;
  transfer_rate_meter rate_;
  LARGE_INTEGER frequency_{};
  // The body has been flowing: read whole blocks without asking first what
  // is there, which costs two more round trips a block.
  bool streaming_ = false;
  // Bytes of the request's buffer read ahead but not yet handed out: the
  // body is read in whole buffers, whatever size the caller asks for, since
  // every read costs a round trip through WinInet's worker. They count in
  // position_ only once handed out, so a resumed request fetches them again.
  DWORD held_at_ = 0;
  DWORD held_end_ = 0;
};

}  // namespace kx
