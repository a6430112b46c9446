#include "platform/wininet_async_handle.h"

#include <new>

#include "base/web_source.h"
#include "platform/message_wait.h"
#include "platform/wininet_api.h"

namespace kx {

namespace {

// How often a wait looks at the cancel query.
constexpr DWORD kCancelPollMs = 50;

}  // namespace

wininet_async_handle* wininet_async_handle::create() noexcept {
  auto* object = new (std::nothrow) wininet_async_handle();
  if (!object) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  object->complete_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  object->closing_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!object->complete_ || !object->closing_) {
    const DWORD error = GetLastError();
    delete object;
    SetLastError(error);
    return nullptr;
  }
  return object;
}

wininet_async_handle::~wininet_async_handle() {
  if (complete_) CloseHandle(complete_);
  if (closing_) CloseHandle(closing_);
}

void wininet_async_handle::add_ref() noexcept {
  refs_.fetch_add(1);
}

LONG wininet_async_handle::release() noexcept {
  const LONG left = refs_.fetch_sub(1) - 1;
  if (left == 0) delete this;
  return left;
}

void wininet_async_handle::lend_to_wininet() noexcept {
  if (!creation_ref_.exchange(true)) add_ref();
}

void wininet_async_handle::disown() noexcept {
  if (creation_ref_.exchange(false)) release();
}

void wininet_async_handle::arm() noexcept {
  error_.store(0);
  read_count_ = 0;
  ResetEvent(complete_);
}

DWORD wininet_async_handle::wait_async(DWORD call_error, DWORD timeout_ms) noexcept {
  if (call_error == 0) return 0;
  if (call_error != ERROR_IO_PENDING) return call_error;
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    const web_policy policy = current_web_policy();
    if (policy.cancel_requested && policy.cancel_requested()) return ERROR_CANCELLED;
    const ULONGLONG spent = GetTickCount64() - start;
    if (spent >= timeout_ms) return ERROR_INTERNET_TIMEOUT;
    DWORD slice = static_cast<DWORD>(timeout_ms - spent);
    if (policy.cancel_requested && slice > kCancelPollMs) slice = kCancelPollMs;
    const DWORD r = wait_pumping_messages(complete_, slice);
    if (r == WAIT_OBJECT_0) return error_.load();
    if (r != WAIT_TIMEOUT) return GetLastError() ? GetLastError() : ERROR_INVALID_HANDLE;
  }
}

void wininet_async_handle::close() noexcept {
  const HINTERNET h = handle_.exchange(nullptr);
  if (!h) return;
  if (const wininet_api* api = wininet()) api->InternetCloseHandle(h);
}

std::wstring wininet_async_handle::response_text() const {
  return std::wstring(response_, response_length_.load());
}

void CALLBACK wininet_async_handle::status_callback(HINTERNET handle, DWORD_PTR context,
                                                    DWORD status, LPVOID info, DWORD info_length) {
  // Connections are made with no context: nothing waits on them.
  auto* self = reinterpret_cast<wininet_async_handle*>(context);
  if (!self) return;
  const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(info);
  switch (status) {
    case INTERNET_STATUS_HANDLE_CREATED:
      if (result && info_length >= sizeof(INTERNET_ASYNC_RESULT) && !self->handle_.load())
        self->handle_.store(reinterpret_cast<HINTERNET>(result->dwResult));
      break;
    case INTERNET_STATUS_HANDLE_CLOSING:
      SetEvent(self->closing_);
      // The last callback for the handle: WinInet's reference goes.
      if (self->creation_ref_.exchange(false)) self->release();
      break;
    case INTERNET_STATUS_REQUEST_COMPLETE: {
      if (!result || info_length < sizeof(INTERNET_ASYNC_RESULT)) {
        self->error_.store(ERROR_INVALID_DATA);
      } else if (result->dwResult) {
        self->error_.store(0);
      } else {
        self->error_.store(result->dwError ? result->dwError : ERROR_INTERNET_INTERNAL_ERROR);
        if (result->dwError == ERROR_INTERNET_EXTENDED_ERROR) {
          if (const wininet_api* api = wininet()) {
            DWORD code = 0;
            DWORD length = ARRAYSIZE(self->response_) - 1;
            if (api->InternetGetLastResponseInfoW(&code, self->response_, &length))
              self->response_length_.store(length < ARRAYSIZE(self->response_) ? length : 0);
          }
        }
      }
      SetEvent(self->complete_);
      break;
    }
    default:
      break;
  }
  (void)handle;
}

}  // namespace kx
