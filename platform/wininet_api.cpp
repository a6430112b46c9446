#include "platform/wininet_api.h"

#include <atomic>

#include "platform/system_library.h"

namespace kx {

namespace {

constexpr const wchar_t* kDll = L"wininet.dll";

template <class F>
bool bind(F& function, const char* name) {
  function = system_function<F>(kDll, name);
  return function != nullptr;
}

bool bind_all(wininet_api& api) {
  return bind(api.InternetOpenW, "InternetOpenW") &&
         bind(api.InternetCloseHandle, "InternetCloseHandle") &&
         bind(api.InternetSetStatusCallbackW, "InternetSetStatusCallbackW") &&
         bind(api.InternetQueryOptionW, "InternetQueryOptionW") &&
         bind(api.InternetConnectW, "InternetConnectW") &&
         bind(api.HttpOpenRequestW, "HttpOpenRequestW") &&
         bind(api.HttpSendRequestW, "HttpSendRequestW") &&
         bind(api.HttpQueryInfoW, "HttpQueryInfoW") &&
         bind(api.InternetReadFile, "InternetReadFile") &&
         bind(api.InternetQueryDataAvailable, "InternetQueryDataAvailable") &&
         bind(api.InternetErrorDlg, "InternetErrorDlg") &&
         bind(api.InternetGetLastResponseInfoW, "InternetGetLastResponseInfoW") &&
         bind(api.InternetGetConnectedState, "InternetGetConnectedState") &&
         bind(api.InternetAutodial, "InternetAutodial");
}

std::atomic<inet_error_dialog_fn> dialog_override{nullptr};

}  // namespace

const wininet_api* wininet() noexcept {
  static wininet_api api{};
  static const bool bound = bind_all(api);
  if (!bound) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return &api;
}

inet_error_dialog_fn set_inet_error_dialog(inet_error_dialog_fn dialog) noexcept {
  return dialog_override.exchange(dialog);
}

inet_error_dialog_fn inet_error_dialog() noexcept {
  if (const inet_error_dialog_fn f = dialog_override.load()) return f;
  const wininet_api* api = wininet();
  return api ? api->InternetErrorDlg : nullptr;
}

}  // namespace kx
