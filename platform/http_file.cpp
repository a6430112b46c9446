#include "platform/http_file.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "base/secret_wipe.h"
#include "platform/inet_resume.h"
#include "platform/inet_status.h"
#include "platform/inet_url.h"
#include "platform/wininet_api.h"

namespace kx {

namespace {

// A header of the response as text; false when it is missing.
bool query_text(HINTERNET request, DWORD info, std::wstring& text) {
  const wininet_api* api = wininet();
  std::vector<wchar_t> buffer(64);
  for (int tries = 0; tries < 4; ++tries) {
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (api->HttpQueryInfoW(request, info, buffer.data(), &bytes, nullptr)) {
      text.assign(buffer.data(), bytes / sizeof(wchar_t));
      return true;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    buffer.resize(bytes / sizeof(wchar_t) + 1);
  }
  return false;
}

// Overwrites a buffer that may hold a password when it goes.
struct wipe_on_exit {
  std::wstring& text;
  ~wipe_on_exit() { wipe_secret(text); }
};

// A text option of a handle into `out`; false (and `out` empty) when
// WinInet has none to give.
bool query_option(HINTERNET handle, DWORD option, std::wstring& out) {
  const wininet_api* api = wininet();
  out.clear();
  std::wstring buffer(256, L'\0');
  const wipe_on_exit wipe{buffer};
  for (int tries = 0; tries < 8; ++tries) {
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    // The text ends at its NUL: WinInet versions disagree on whether the
    // size they hand back counts bytes or characters.
    if (api->InternetQueryOptionW(handle, option, buffer.data(), &bytes)) {
      out.assign(buffer.data(), wcsnlen(buffer.data(), buffer.size() - 1));
      return true;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    // At least doubled, so that a size in characters still converges.
    const std::size_t wanted =
        std::max<std::size_t>(buffer.size() * 2, bytes / sizeof(wchar_t) + 1);
    wipe_secret(buffer);
    buffer.assign(wanted, L'\0');
  }
  return false;
}

}  // namespace

http_file::http_file(std::wstring agent, DWORD timeout_ms, DWORD flags)
    : inet_file(std::move(agent), timeout_ms, flags) {}

DWORD http_file::check_response(HINTERNET request) {
  const wininet_api* api = wininet();
  // Redirects may have changed the scheme: https must stay https. Where
  // the request ended cannot be read, the answer is not trusted either.
  if (url().secure) {
    std::wstring final_url;
    query_option(request, INTERNET_OPTION_URL, final_url);
    if (is_https_downgrade(true, final_url)) return ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR;
  }

  resume_response r;
  r.offset = position();
  DWORD status = 0;
  DWORD bytes = sizeof(status);
  // A response without a readable status is taken as it comes.
  if (api->HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &bytes,
                          nullptr))
    r.status = status;
  std::wstring text;
  r.has_length =
      query_text(request, HTTP_QUERY_CONTENT_LENGTH, text) && parse_content_length(text, r.length);
  r.has_range =
      query_text(request, HTTP_QUERY_CONTENT_RANGE, text) && parse_content_range(text, r.range);
  r.has_total = total_known_;
  r.total = total_;

  const resume_plan plan = plan_resume(r);
  skip_ = 0;
  end_known_ = false;
  at_end_ = false;
  switch (plan.kind) {
    case resume_plan::fail:
      return plan.error;
    case resume_plan::end:
      at_end_ = true;
      return 0;
    case resume_plan::read:
      break;
  }
  skip_ = plan.skip;
  end_known_ = plan.has_end;
  end_ = plan.end_position;
  if (!total_known_) {
    if (r.status == 206 && r.range.total_known) {
      total_known_ = true;
      total_ = r.range.total;
    } else if (r.status != 206 && r.has_length) {
      total_known_ = true;
      total_ = r.length;
    }
  }
  return 0;
}

DWORD http_file::size(std::uint64_t& bytes) {
  bytes = 0;
  if (!total_known_) {
    if (const DWORD error = ensure_response()) return error;
    if (!total_known_) return ERROR_HTTP_HEADER_NOT_FOUND;
  }
  bytes = total_;
  return 0;
}

DWORD http_file::last_modified(FILETIME& time) {
  time = FILETIME{};
  if (const DWORD error = ensure_response()) return error;
  SYSTEMTIME st{};
  DWORD bytes = sizeof(st);
  if (!wininet()->HttpQueryInfoW(request(), HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME,
                                 &st, &bytes, nullptr))
    return GetLastError() ? GetLastError() : static_cast<DWORD>(ERROR_HTTP_HEADER_NOT_FOUND);
  return SystemTimeToFileTime(&st, &time) ? 0 : GetLastError();
}

DWORD http_file::credentials(web_credentials& out) {
  out = web_credentials{};
  if (const DWORD error = ensure_response()) return error;
  // An option WinInet cannot give stays empty.
  query_option(request(), INTERNET_OPTION_USERNAME, out.user);
  query_option(request(), INTERNET_OPTION_PASSWORD, out.password);
  query_option(request(), INTERNET_OPTION_PROXY_USERNAME, out.proxy_user);
  query_option(request(), INTERNET_OPTION_PROXY_PASSWORD, out.proxy_password);
  return 0;
}

}  // namespace kx
