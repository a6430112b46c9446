#include "platform/inet_file.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "base/web_source.h"
#include "platform/inet_resume.h"
#include "platform/inet_status.h"
#include "platform/wininet_api.h"

namespace kx {

namespace {

// At most this much of an unwanted body is read away before a request is
// sent again on the same handle; a larger one is cheaper to abandon.
constexpr std::uint64_t kDrainLimit = 1024 * 1024;

constexpr DWORD kDialogFlags = FLAGS_ERROR_UI_FILTER_FOR_ERRORS |
                               FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                               FLAGS_ERROR_UI_FLAGS_GENERATE_DATA;

DWORD last_error_or(DWORD fallback) {
  const DWORD error = GetLastError();
  return error ? error : fallback;
}

bool fail(DWORD error) {
  SetLastError(error);
  return false;
}

}  // namespace

inet_file::inet_file(std::wstring agent, DWORD timeout_ms, DWORD flags)
    : agent_(std::move(agent)), timeout_ms_(timeout_ms ? timeout_ms : 30000), base_flags_(flags) {
  if (!QueryPerformanceFrequency(&frequency_) || frequency_.QuadPart <= 0) frequency_.QuadPart = 0;
  rate_.reset(GetTickCount64());
}

inet_file::~inet_file() {
  close_request();
  close_connection();
}

bool inet_file::open(const std::wstring& url, const std::wstring& headers, DWORD flags) {
  close_request();
  opened_ = false;
  position_ = 0;
  skip_ = 0;
  end_known_ = false;
  at_end_ = false;
  total_known_ = false;
  total_ = 0;
  rate_.reset(GetTickCount64());

  inet_url parts;
  switch (split_inet_url(url, parts)) {
    case inet_url_error::none:
      break;
    case inet_url_error::scheme:
      return fail(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    default:
      return fail(ERROR_INTERNET_INVALID_URL);
  }
  // Another server, or other credentials, need another connection.
  if (connection_ &&
      (_wcsicmp(parts.host.c_str(), url_.host.c_str()) != 0 || parts.port != url_.port ||
       parts.user != url_.user || parts.password != url_.password || parts.secure != url_.secure))
    close_connection();
  url_ = std::move(parts);
  flags_ = base_flags_ | flags;
  headers_ = headers;
  if (!session_) {
    DWORD error = 0;
    session_ = inet_session::open(agent_.c_str(), error);
    if (!session_) return fail(error ? error : ERROR_INTERNET_INTERNAL_ERROR);
  }
  opened_ = true;
  SetLastError(0);
  return true;
}

void inet_file::seek(std::uint64_t position) {
  if (position == position_) return;
  close_request();
  position_ = position;
  skip_ = 0;
  end_known_ = false;
  at_end_ = false;
}

std::uint64_t inet_file::transfer_rate() {
  return rate_.rate(GetTickCount64());
}

DWORD inet_file::check_response(HINTERNET) {
  skip_ = 0;
  end_known_ = false;
  at_end_ = false;
  return 0;
}

DWORD inet_file::autodial() {
  const wininet_api* api = wininet();
  DWORD state = 0;
  if (api->InternetGetConnectedState(&state, 0)) return 0;
  if (!(state & (INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_CONFIGURED))) return 0;
  const web_policy policy = current_web_policy();
  // An unattended run must not put up the dial-up window.
  const DWORD mode =
      policy.silent ? INTERNET_AUTODIAL_FORCE_UNATTENDED : INTERNET_AUTODIAL_FORCE_ONLINE;
  if (api->InternetAutodial(mode, policy.owner)) return 0;
  return last_error_or(ERROR_INTERNET_CANNOT_CONNECT);
}

DWORD inet_file::connect() {
  if (connection_) return 0;
  const wininet_api* api = wininet();
  const wchar_t* user = url_.has_credentials ? url_.user.c_str() : nullptr;
  const wchar_t* password = url_.has_credentials ? url_.password.c_str() : nullptr;
  // No context: nothing waits on the connection itself.
  connection_ = api->InternetConnectW(session_.get(), url_.host.c_str(), url_.port, user, password,
                                      INTERNET_SERVICE_HTTP, 0, 0);
  if (!connection_) return last_error_or(ERROR_INTERNET_CANNOT_CONNECT);
  return 0;
}

DWORD inet_file::send(bool resend) {
  const wininet_api* api = wininet();
  if (!api) return last_error_or(ERROR_PROC_NOT_FOUND);
  if (resend && request_) {
    if (const DWORD error = drain()) return error;
  } else {
    close_request();
    if (const DWORD error = autodial()) return error;
    if (const DWORD error = connect()) return error;
    wininet_async_handle* r = wininet_async_handle::create();
    if (!r) return last_error_or(ERROR_NOT_ENOUGH_MEMORY);
    r->lend_to_wininet();
    const DWORD flags = flags_ | (url_.secure ? INTERNET_FLAG_SECURE : 0);
    HINTERNET h = api->HttpOpenRequestW(connection_, L"GET", url_.object.c_str(), nullptr, nullptr,
                                        nullptr, flags, r->context());
    if (!h) {
      const DWORD error = last_error_or(ERROR_INTERNET_INTERNAL_ERROR);
      r->disown();
      r->release();
      return error;
    }
    r->set_handle(h);
    request_ = r;
  }
  held_at_ = held_end_ = 0;
  std::wstring headers;
  if (position_ != 0) headers = range_header(position_);
  headers += headers_;
  ++requests_;
  request_->arm();
  const BOOL sent =
      api->HttpSendRequestW(request_->handle(), headers.empty() ? nullptr : headers.c_str(),
                            static_cast<DWORD>(headers.size()), nullptr, 0);
  const DWORD error = request_->wait_async(sent ? 0 : last_error_or(ERROR_IO_PENDING), timeout_ms_);
  if (error) return error;
  return check_response(request_->handle());
}

DWORD inet_file::ensure_response() {
  if (request_) return 0;
  if (!opened_) return ERROR_INVALID_HANDLE;
  bool resend = false;
  for (unsigned attempt = 0;; ++attempt) {
    const DWORD error = send(resend);
    if (!error) return 0;
    bool asked = false;
    const DWORD answer =
        attempt < kMaxRetries ? handle_error(error, asked) : static_cast<DWORD>(ERROR_CANCELLED);
    if (answer != ERROR_INTERNET_FORCE_RETRY) {
      close_request();
      return error;
    }
    resend = asked;
    if (!asked) close_request();
  }
}

DWORD inet_file::read_block(DWORD wanted, DWORD& got) {
  got = 0;
  const wininet_api* api = wininet();
  // InternetReadFile waits until the whole block has come; asking first
  // what is there lets a slow or stalled body hand over what did arrive.
  // Once the body flows, whole blocks are read directly: a stall then ends
  // in the time-out and the read resumes from what was kept.
  if (!streaming_) {
    request_->arm();
    BOOL ready = api->InternetQueryDataAvailable(request_->handle(), request_->read_count(), 0, 0);
    if (!ready) {
      if (const DWORD error = request_->wait_async(last_error_or(ERROR_IO_PENDING), timeout_ms_))
        return error;
      request_->arm();
      ready = api->InternetQueryDataAvailable(request_->handle(), request_->read_count(), 0, 0);
      if (!ready) return last_error_or(ERROR_INTERNET_INTERNAL_ERROR);
    }
    const DWORD available = *request_->read_count();
    if (available == 0) return 0;
    wanted = std::min(wanted, available);
  }
  request_->arm();
  LARGE_INTEGER start{};
  const ULONGLONG start_ms = GetTickCount64();
  if (frequency_.QuadPart) QueryPerformanceCounter(&start);
  const BOOL done =
      api->InternetReadFile(request_->handle(), request_->buffer(), wanted, request_->read_count());
  DWORD error = request_->wait_async(done ? 0 : last_error_or(ERROR_IO_PENDING), timeout_ms_);
  if (error) return error;
  got = *request_->read_count();
  if (got > wanted) return ERROR_INVALID_DATA;
  streaming_ = got > 0;
  if (frequency_.QuadPart) {
    LARGE_INTEGER end{};
    QueryPerformanceCounter(&end);
    rate_.add(got, static_cast<std::uint64_t>(end.QuadPart - start.QuadPart),
              static_cast<std::uint64_t>(frequency_.QuadPart));
  } else {
    rate_.add(got, GetTickCount64() - start_ms, 1000);
  }
  return 0;
}

DWORD inet_file::drain() {
  std::uint64_t drained = 0;
  for (;;) {
    DWORD got = 0;
    if (const DWORD error = read_block(wininet_async_handle::kBufferBytes, got)) return error;
    if (got == 0) return 0;
    drained += got;
    if (drained > kDrainLimit) return ERROR_INTERNET_CONNECTION_RESET;
  }
}

DWORD inet_file::read_some(BYTE* out, DWORD length, DWORD& got) {
  got = 0;
  while (skip_ > 0) {
    DWORD n = 0;
    const DWORD wanted =
        static_cast<DWORD>(std::min<std::uint64_t>(skip_, wininet_async_handle::kBufferBytes));
    if (const DWORD error = read_block(wanted, n)) return error;
    if (n == 0) return ERROR_INTERNET_CONNECTION_RESET;
    skip_ -= n;
  }
  while (got < length) {
    if (held_at_ < held_end_) {
      const DWORD n = std::min(length - got, held_end_ - held_at_);
      std::memcpy(out + got, request_->buffer() + held_at_, n);
      held_at_ += n;
      got += n;
      position_ += n;
      continue;
    }
    if (at_end_ || (end_known_ && position_ >= end_)) {
      at_end_ = true;
      break;
    }
    std::uint64_t wanted = wininet_async_handle::kBufferBytes;
    if (end_known_) wanted = std::min(wanted, end_ - position_);
    DWORD n = 0;
    if (const DWORD error = read_block(static_cast<DWORD>(wanted), n)) return error;
    if (n == 0) {
      // A body that ends before its announced length was cut, however
      // cleanly the connection closed.
      if (end_known_) return ERROR_INTERNET_CONNECTION_RESET;
      at_end_ = true;
      break;
    }
    held_at_ = 0;
    held_end_ = n;
  }
  return 0;
}

bool inet_file::read(void* buffer, DWORD length, DWORD& got) {
  got = 0;
  if (!opened_) return fail(ERROR_INVALID_HANDLE);
  if (length == 0) {
    SetLastError(0);
    return true;
  }
  auto* out = static_cast<BYTE*>(buffer);
  bool resend = false;
  for (unsigned attempt = 0;; ++attempt) {
    DWORD error = 0;
    if (!request_ || resend) error = send(resend);
    resend = false;
    if (!error) {
      DWORD n = 0;
      error = read_some(out + got, length - got, n);
      got += n;
    }
    if (!error) {
      SetLastError(0);
      return true;
    }
    bool asked = false;
    const DWORD answer =
        attempt < kMaxRetries ? handle_error(error, asked) : static_cast<DWORD>(ERROR_CANCELLED);
    if (answer != ERROR_INTERNET_FORCE_RETRY) {
      close_request();
      return fail(error);
    }
    // The next attempt asks for the rest, from the position reached.
    if (asked)
      resend = true;
    else
      close_request();
  }
}

DWORD inet_file::handle_error(DWORD error, bool& asked) {
  const DWORD kept = GetLastError();
  asked = false;
  DWORD answer = ERROR_CANCELLED;
  const web_policy policy = current_web_policy();
  switch (decide_inet_error(error, policy.silent)) {
    case inet_error_action::retry:
      answer = ERROR_INTERNET_FORCE_RETRY;
      break;
    case inet_error_action::give_up:
      break;
    case inet_error_action::ask_person: {
      const inet_error_dialog_fn dialog = inet_error_dialog();
      if (!dialog || !request()) break;
      const bool credentials = classify_inet_error(error) == inet_error_kind::credentials;
      // For 401 and 407 the dialog looks at the response's status only
      // when it is given this code.
      const DWORD code = credentials ? ERROR_INTERNET_INCORRECT_PASSWORD : error;
      HWND owner = policy.owner ? policy.owner : GetDesktopWindow();
      const DWORD r = dialog(owner, request(), code, kDialogFlags, nullptr);
      asked = true;
      // A password retries only when one was entered; a certificate is
      // accepted by the person's click.
      if (r == ERROR_INTERNET_FORCE_RETRY || (!credentials && r == ERROR_SUCCESS))
        answer = ERROR_INTERNET_FORCE_RETRY;
      break;
    }
  }
  SetLastError(kept);
  return answer;
}

void inet_file::close_request() noexcept {
  streaming_ = false;
  held_at_ = held_end_ = 0;
  if (!request_) return;
  request_->close();
  request_->release();
  request_ = nullptr;
}

void inet_file::close_connection() noexcept {
  if (!connection_) return;
  if (const wininet_api* api = wininet()) api->InternetCloseHandle(connection_);
  connection_ = nullptr;
}

}  // namespace kx
