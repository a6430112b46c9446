// The WinInet functions the transfer layer uses, bound on first use from
// the system folder (the DLL is never imported).
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <wininet.h>

namespace kx {

struct wininet_api {
  decltype(&::InternetOpenW) InternetOpenW;
  decltype(&::InternetCloseHandle) InternetCloseHandle;
  decltype(&::InternetSetStatusCallbackW) InternetSetStatusCallbackW;
  decltype(&::InternetQueryOptionW) InternetQueryOptionW;
  decltype(&::InternetConnectW) InternetConnectW;
  decltype(&::HttpOpenRequestW) HttpOpenRequestW;
  decltype(&::HttpSendRequestW) HttpSendRequestW;
  decltype(&::HttpQueryInfoW) HttpQueryInfoW;
  decltype(&::InternetReadFile) InternetReadFile;
  decltype(&::InternetQueryDataAvailable) InternetQueryDataAvailable;
  decltype(&::InternetErrorDlg) InternetErrorDlg;
  decltype(&::InternetGetLastResponseInfoW) InternetGetLastResponseInfoW;
  decltype(&::InternetGetConnectedState) InternetGetConnectedState;
  decltype(&::InternetAutodial) InternetAutodial;
};

// The bound functions, or null (last error set) when wininet.dll or one of
// them is missing. Bound once; safe from any thread after the first call.
const wininet_api* wininet() noexcept;

// The function that shows WinInet's error dialog. Tests replace it with one
// that counts its calls (nullptr restores InternetErrorDlg); returns the one
// set before.
using inet_error_dialog_fn = DWORD(WINAPI*)(HWND owner, HINTERNET request, DWORD error, DWORD flags,
                                            LPVOID* data);
inet_error_dialog_fn set_inet_error_dialog(inet_error_dialog_fn dialog) noexcept;

// The dialog function in force (null when WinInet is missing and none is set).
inet_error_dialog_fn inet_error_dialog() noexcept;

}  // namespace kx
