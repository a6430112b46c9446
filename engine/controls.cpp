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

}  // namespace

HRESULT ChosenFailure(const wchar_t* call) {
  const std::wstring failures = Env(L"KX_ENGINE_FAIL");
  size_t start = 0;
  while (start < failures.size()) {
    size_t end = failures.find(L',', start);
    if (end == std::wstring::npos) end = failures.size();
    const std::wstring item = failures.substr(start, end - start);
    const size_t colon = item.find(L':');
    if (colon != std::wstring::npos && _wcsicmp(item.substr(0, colon).c_str(), call) == 0) {
      if (auto value = Number(item.substr(colon + 1))) return static_cast<HRESULT>(*value);
      return E_FAIL;
    }
    start = end + 1;
  }
  return S_OK;
}

HRESULT EnterCall(const wchar_t* call, const std::wstring& args) {
  HRESULT chosen = ChosenFailure(call);
  if (SUCCEEDED(chosen)) chosen = S_OK;  // only failures are chosen
  std::wstring line = call + args;
  if (chosen != S_OK) line += HexArg(L"failed", static_cast<unsigned long>(chosen));
  JournalLine(line);
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
