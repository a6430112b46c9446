// The transfer-event sink of the test host: records what the engine reports
// and answers as a launcher would.
#include <cwchar>

#include "tests/engine/engine_host.h"

namespace kx::testing {
namespace {

std::wstring Hex(HRESULT value) {
  wchar_t text[16];
  swprintf(text, ARRAYSIZE(text), L"0x%08lx", static_cast<unsigned long>(value));
  return text;
}

const wchar_t* Text(BSTR text) {
  return text ? text : L"";
}

}  // namespace

STDMETHODIMP TestHost::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IKxTransferEvents || iid == IID_IKxTransferEvents2 ||
      iid == IID_IKxTransferEvents3) {
    *object = static_cast<IKxTransferEvents3*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP TestHost::OnTransferBegin(BSTR source, BSTR target) {
  events.push_back(std::wstring(L"OnTransferBegin ") + Text(source) + L" " + Text(target));
  return S_FALSE;
}

STDMETHODIMP TestHost::OnTransferEnd(BSTR source, HRESULT result) {
  events.push_back(std::wstring(L"OnTransferEnd ") + Text(source) + L" " + Hex(result));
  return S_FALSE;
}

STDMETHODIMP TestHost::OnFileBegin(BSTR name, ULONGLONG size) {
  events.push_back(std::wstring(L"OnFileBegin ") + Text(name) + L" " + std::to_wstring(size));
  return S_FALSE;
}

STDMETHODIMP TestHost::OnFileEnd(BSTR name, HRESULT result) {
  events.push_back(std::wstring(L"OnFileEnd ") + Text(name) + L" " + Hex(result));
  return S_FALSE;
}

STDMETHODIMP TestHost::Progress(ULONG bytes) {
  events.push_back(L"Progress " + std::to_wstring(bytes));
  progress_total += bytes;
  return ++progress_calls == cancel_at_progress ? KX_E_CANCELLED : S_OK;
}

STDMETHODIMP TestHost::QueryRetryCount(LONG* count) {
  *count = 6;
  return S_OK;
}

STDMETHODIMP TestHost::QueryRetryDelay(LONG* seconds) {
  *seconds = 5;
  return S_OK;
}

STDMETHODIMP TestHost::QueryReplaceAction(BSTR, BSTR target, LONG* action) {
  events.push_back(std::wstring(L"QueryReplaceAction ") + Text(target));
  *action = replace_answer;
  return S_OK;
}

STDMETHODIMP TestHost::QueryFileMode(BSTR, LONG* mode) {
  *mode = 4;
  return S_OK;
}

STDMETHODIMP TestHost::QueryLockedAction(BSTR, LONG, LONG, LONG* action) {
  *action = KX_REPLACE_ALWAYS;
  return S_OK;
}

STDMETHODIMP TestHost::OnConnect(BSTR) {
  return S_FALSE;
}

STDMETHODIMP TestHost::OnDisconnect(BSTR) {
  return S_FALSE;
}

STDMETHODIMP TestHost::QueryConnectRetryCount(LONG* count) {
  *count = 6;
  return S_OK;
}

STDMETHODIMP TestHost::Rate(ULONG) {
  events.push_back(L"Rate");
  return S_OK;
}

STDMETHODIMP TestHost::QueryCacheMode(LONG* mode) {
  *mode = 3;
  return S_FALSE;
}

STDMETHODIMP TestHost::OnStatus(BSTR text) {
  events.push_back(std::wstring(L"OnStatus ") + Text(text));
  return S_OK;
}

}  // namespace kx::testing
