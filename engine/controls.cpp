#include "engine/test_hooks.h"

#include <cwchar>
#include <cwctype>

#include "engine/objects.h"

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

// The longest wait a test may choose, so that a typing error cannot hang a
// run for good.
constexpr DWORD kLongestWaitMs = 600000;
// How often a chosen transfer reports its bytes.
constexpr DWORD kTransferSliceMs = 100;

// Waits `ms` milliseconds inside the call while the host's windows (on
// this same thread) keep painting and answering. False when a WM_QUIT cut
// the wait short; it is posted again for the loop that owns it.
bool PumpingDelay(DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

struct Transfer {
  ULONGLONG bytes = 0;
  ULONGLONG per_second = 0;
};

// KX_ENGINE_TRANSFER: S_FALSE when unset, E_INVALIDARG unless it is
// "<bytes>:<per second>" with a rate that ends within the longest wait.
HRESULT ChosenTransfer(Transfer* out) {
  const std::wstring text = Env(L"KX_ENGINE_TRANSFER");
  if (text.empty()) return S_FALSE;
  const size_t colon = text.find(L':');
  if (colon == std::wstring::npos) return E_INVALIDARG;
  const auto bytes = Number(text.substr(0, colon));
  const auto rate = Number(text.substr(colon + 1));
  if (!bytes || !rate || *bytes < 0 || *rate <= 0) return E_INVALIDARG;
  out->bytes = static_cast<ULONGLONG>(*bytes);
  out->per_second = static_cast<ULONGLONG>(*rate);
  // In floating point: bytes x 1000 would overflow 64 bits for large sizes.
  const double ms = static_cast<double>(out->bytes) * 1000.0 / static_cast<double>(out->per_second);
  return ms <= kLongestWaitMs ? S_OK : E_INVALIDARG;
}

// The bytes a transfer at `t`'s rate has reached `elapsed_ms` after its
// start, never more than its size.
ULONGLONG BytesDue(const Transfer& t, DWORD elapsed_ms) {
  const double due = static_cast<double>(t.per_second) * elapsed_ms / 1000.0;
  return due >= static_cast<double>(t.bytes) ? t.bytes : static_cast<ULONGLONG>(due);
}

// Reports `t` to `host` slice by slice; `reported` counts what the host
// was told.
HRESULT ReportTransfer(IKxTransferEvents* host, const Transfer& t, ULONGLONG* reported) {
  IKxTransferEvents2* rated = nullptr;
  if (FAILED(host->QueryInterface(IID_IKxTransferEvents2, reinterpret_cast<void**>(&rated))))
    rated = nullptr;
  const Ref<IKxTransferEvents2> rate_sink(rated);
  const ULONG rate = t.per_second > MAXDWORD ? MAXDWORD : static_cast<ULONG>(t.per_second);
  const DWORD start = GetTickCount();
  while (*reported < t.bytes) {
    if (!PumpingDelay(kTransferSliceMs)) return HRESULT_FROM_WIN32(ERROR_CANCELLED);
    const ULONGLONG due = BytesDue(t, GetTickCount() - start);
    while (*reported < due) {
      // One call carries at most what its 32-bit count can.
      const ULONGLONG left = due - *reported;
      const ULONG piece = left > MAXDWORD ? MAXDWORD : static_cast<ULONG>(left);
      const HRESULT hr = host->Progress(piece);
      if (FAILED(hr)) return hr;
      *reported += piece;
    }
    if (rate_sink) rate_sink->Rate(rate);
  }
  return S_OK;
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
  if (ms && *ms > 0) PumpingDelay(static_cast<DWORD>(*ms < kLongestWaitMs ? *ms : kLongestWaitMs));
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
  if (value && *value >= 0) return static_cast<ULONGLONG>(*value);
  Transfer t;
  if (ChosenTransfer(&t) == S_OK) return t.bytes;
  return std::nullopt;
}

HRESULT ReportChosenTransfer(IKxTransferEvents* host) {
  Transfer t;
  HRESULT hr = ChosenTransfer(&t);
  if (hr == S_FALSE) return S_OK;
  ULONGLONG reported = 0;
  if (SUCCEEDED(hr) && host) hr = ReportTransfer(host, t, &reported);
  std::wstring line = L"Transfer";
  line += Arg(L"bytes", static_cast<long long>(reported));
  line += Arg(L"rate", static_cast<long long>(t.per_second));
  if (FAILED(hr)) line += HexArg(L"failed", static_cast<unsigned long>(hr));
  JournalLine(line);
  return hr;
}

}  // namespace kxe
