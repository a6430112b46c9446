// A WinInet session, shared by the files that use it.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <wininet.h>

#include <memory>

namespace kx {

// One asynchronous session handle (InternetOpenW with the system's proxy
// settings and INTERNET_FLAG_ASYNC) with the transfer layer's status
// callback installed; copies share it and the last one closes it.
class inet_session {
 public:
  inet_session() noexcept = default;
  virtual ~inet_session() = default;

  // The session for a file with user agent `agent`. WinInet 1.x (which
  // keeps one connection pool per process anyway) gets one process-wide
  // session, made with the agent of the first file; later versions a
  // session of their own. An empty session with `error` set when WinInet is
  // missing or refuses the callback.
  static inet_session open(const wchar_t* agent, DWORD& error);

  HINTERNET get() const noexcept { return handle_ ? handle_.get() : nullptr; }
  explicit operator bool() const noexcept { return handle_ != nullptr; }

 private:
  std::shared_ptr<void> handle_;
};

}  // namespace kx
