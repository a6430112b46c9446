#include "platform/inet_session.h"

#include <mutex>

#include "platform/wininet_api.h"
#include "platform/wininet_async_handle.h"

namespace kx {

namespace {

std::mutex shared_lock;
std::weak_ptr<void> shared_session;

bool wants_shared_session(const wininet_api& api) {
  INTERNET_VERSION_INFO version{};
  DWORD size = sizeof(version);
  return api.InternetQueryOptionW(nullptr, INTERNET_OPTION_VERSION, &version, &size) &&
         version.dwMajorVersion == 1;
}

std::shared_ptr<void> open_handle(const wininet_api& api, const wchar_t* agent, DWORD& error) {
  HINTERNET h =
      api.InternetOpenW(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC);
  if (!h) {
    error = GetLastError();
    return nullptr;
  }
  if (api.InternetSetStatusCallbackW(h, &wininet_async_handle::status_callback) ==
      INTERNET_INVALID_STATUS_CALLBACK) {
    error = GetLastError() ? GetLastError() : ERROR_INVALID_FUNCTION;
    api.InternetCloseHandle(h);
    return nullptr;
  }
  const auto close = api.InternetCloseHandle;
  return std::shared_ptr<void>(h, [close](void* handle) { close(handle); });
}

}  // namespace

inet_session inet_session::open(const wchar_t* agent, DWORD& error) {
  error = 0;
  inet_session session;
  const wininet_api* api = wininet();
  if (!api) {
    error = GetLastError();
    return session;
  }
  if (!wants_shared_session(*api)) {
    session.handle_ = open_handle(*api, agent, error);
    return session;
  }
  const std::lock_guard<std::mutex> guard(shared_lock);
  session.handle_ = shared_session.lock();
  if (!session.handle_) {
    session.handle_ = open_handle(*api, agent, error);
    shared_session = session.handle_;
  }
  return session;
}

}  // namespace kx
