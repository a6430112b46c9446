#include "engine/test_hooks.h"

#include <cwchar>
#include <cwctype>

namespace kxe {
namespace {

std::wstring Env(const wchar_t* name) {
  wchar_t buffer[1024];
  const DWORD n = GetEnvironmentVariableW(name, buffer, ARRAYSIZE(buffer));
  if (n == 0 || n >= ARRAYSIZE(buffer)) return {};
  return std::wstring(buffer, n);
}

// A whole decimal or "0x" hexadecimal number (a leading '-' allowed).
std::optional<long long> Number(const std::wstring& text) {
  if (text.empty()) return std::nullopt;
  const wchar_t* p = text.c_str();
  const bool negative = *p == L'-';
  if (negative) ++p;
  if (!iswdigit(*p)) return std::nullopt;
  wchar_t* end = nullptr;
  const unsigned long long value = wcstoull(p, &end, 0);
  if (*end) return std::nullopt;
  return negative ? -static_cast<long long>(value) : static_cast<long long>(value);
}

// The value that the list "<Call>:<value>[,...]" of variable `name` gives
// `call`; nullopt when the call is not listed.
std::optional<std::wstring> ListedValue(const wchar_t* name, const wchar_t* call) {
  const std::wstring list = Env(name);
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(L',', start);
    if (end == std::wstring::npos) end = list.size();
    const std::wstring item = list.substr(start, end - start);
    const size_t colon = item.find(L':');
    if (colon != std::wstring::npos && _wcsicmp(item.substr(0, colon).c_str(), call) == 0)
      return item.substr(colon + 1);
    start = end + 1;
  }
  return std::nullopt;
}

// Waits `ms` milliseconds inside the call while the host's windows (on
// this same thread) keep painting and answering.
void PumpingDelay(DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

}  // namespace

HRESULT ChosenFailure(const wchar_t* call) {
  const auto value = ListedValue(L"KX_ENGINE_FAIL", call);
  if (!value) return S_OK;
  if (auto number = Number(*value)) return static_cast<HRESULT>(*number);
  return E_FAIL;
}

void ChosenDelay(const wchar_t* call) {
  const auto value = ListedValue(L"KX_ENGINE_DELAY", call);
  if (!value) return;
  const auto ms = Number(*value);
  if (ms && *ms > 0) PumpingDelay(static_cast<DWORD>(*ms < 600000 ? *ms : 600000));
}

HRESULT EnterCall(const wchar_t* call, const std::wstring& args) {
  HRESULT chosen = ChosenFailure(call);
  if (SUCCEEDED(chosen)) chosen = S_OK;  // only failures are chosen
  std::wstring line = call + args;
  if (chosen != S_OK) line += HexArg(L"failed", static_cast<unsigned long>(chosen));
  JournalLine(line);
  ChosenDelay(call);
  return chosen;
}

std::optional<long> ChosenResultCode() {
  if (auto value = Number(Env(L"KX_ENGINE_RESULT"))) return static_cast<long>(*value);
  return std::nullopt;
}

bool RestartChosen() {
  return Env(L"KX_ENGINE_RESTART") == L"1";
}

std::optional<ULONGLONG> ChosenSize() {
  auto value = Number(Env(L"KX_ENGINE_SIZE"));
  if (!value || *value < 0) return std::nullopt;
  return static_cast<ULONGLONG>(*value);
}

}  // namespace kxe
