// One asynchronous WinInet request and what its status callback reports.
//
// WinInet's worker threads may call back for a request after the caller
// gave up on it (a time-out, a cancel): a late completion, a read that
// still lands, the closing notice. Everything they touch therefore lives in
// this reference-counted object, including the read buffer and its count;
// each request gets an object of its own, so a late callback can never wake
// or feed the next attempt.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <wininet.h>

#include <atomic>
#include <string>

namespace kx {

class wininet_async_handle {
 public:
  // The size of the buffer that reads land in.
  static constexpr DWORD kBufferBytes = 64 * 1024;

  // A new object with one reference (the caller's); null when out of
  // resources (last error set).
  static wininet_async_handle* create() noexcept;

  wininet_async_handle(const wininet_async_handle&) = delete;
  wininet_async_handle& operator=(const wininet_async_handle&) = delete;

  // Reference counting; release returns the new count and deletes the
  // object at 0.
  void add_ref() noexcept;
  LONG release() noexcept;

  // Takes the reference that WinInet holds while it may call back for this
  // object; call it before passing context() to WinInet. The closing notice
  // drops it; disown() drops it when no handle was made after all.
  void lend_to_wininet() noexcept;
  void disown() noexcept;

  // The WinInet handle (null when closed or not yet made). The context
  // value given to WinInet for it is this object's address.
  HINTERNET handle() const noexcept { return handle_.load(); }
  void set_handle(HINTERNET handle) noexcept { handle_.store(handle); }
  DWORD_PTR context() noexcept { return reinterpret_cast<DWORD_PTR>(this); }

  // Prepares for the next asynchronous call: clears the error, resets the
  // completion event.
  void arm() noexcept;

  // The result of a call that returned `call_error` (its GetLastError, or 0
  // for a synchronous success): 0, the callback's error, 12002 when
  // `timeout_ms` passed first, or ERROR_CANCELLED when the process's cancel
  // query said so. Window messages are dispatched meanwhile.
  DWORD wait_async(DWORD call_error, DWORD timeout_ms) noexcept;

  // Closes the WinInet handle (null afterwards). The closing notice, when
  // WinInet sends one, drops WinInet's reference; when it never comes, the
  // object stays allocated rather than being freed under a late callback.
  void close() noexcept;

  // The read buffer and the byte count WinInet fills (owned here, see above).
  BYTE* buffer() noexcept { return buffer_; }
  DWORD* read_count() noexcept { return &read_count_; }

  // The server's text for ERROR_INTERNET_EXTENDED_ERROR, as last reported.
  std::wstring response_text() const;

  // The callback installed on every session; `context` is the object.
  static void CALLBACK status_callback(HINTERNET handle, DWORD_PTR context, DWORD status,
                                       LPVOID info, DWORD info_length);

 private:
  wininet_async_handle() noexcept = default;
  ~wininet_async_handle();

  std::atomic<LONG> refs_{1};
  std::atomic<HINTERNET> handle_{nullptr};
  std::atomic<DWORD> error_{0};
  std::atomic<bool> creation_ref_{false};
  HANDLE complete_ = nullptr;
  HANDLE closing_ = nullptr;
  wchar_t response_[1024] = {};
  std::atomic<DWORD> response_length_{0};
  DWORD read_count_ = 0;
  BYTE buffer_[kBufferBytes] = {};
};

}  // namespace kx
