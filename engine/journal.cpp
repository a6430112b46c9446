#include "engine/test_hooks.h"

#include <kxengine.h>

#include <cwchar>
#include <string>

namespace kxe {
namespace {

std::wstring JournalPath() {
  wchar_t buffer[MAX_PATH * 2];
  const DWORD n = GetEnvironmentVariableW(L"KX_ENGINE_JOURNAL", buffer, ARRAYSIZE(buffer));
  if (n == 0 || n >= ARRAYSIZE(buffer)) return {};
  return std::wstring(buffer, n);
}

}  // namespace

void JournalLine(const std::wstring& line) {
  const DWORD saved_error = GetLastError();
  const std::wstring path = JournalPath();
  if (!path.empty()) {
    const std::wstring text = line + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size : 0, '\0');
    if (size > 0) {
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                          nullptr, nullptr);
    }
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
      CloseHandle(file);
    }
  }
  SetLastError(saved_error);
}

std::wstring Arg(const wchar_t* name, const wchar_t* value) {
  std::wstring out = L" ";
  out += name;
  out += L'=';
  for (const wchar_t* p = value; p && *p; ++p) out += (*p < L' ' || *p == 0x7f) ? L'?' : *p;
  return out;
}

std::wstring Arg(const wchar_t* name, const std::wstring& value) {
  return Arg(name, value.c_str());
}

std::wstring Arg(const wchar_t* name, long long value) {
  return Arg(name, std::to_wstring(value));
}

std::wstring HexArg(const wchar_t* name, unsigned long value) {
  wchar_t text[16];
  swprintf(text, ARRAYSIZE(text), L"0x%08lx", value);
  return Arg(name, text);
}

std::wstring SecretArg(const wchar_t* name, const wchar_t* value) {
  return Arg(name, value && *value ? L"***" : L"");
}

std::wstring AddressArg(const wchar_t* name, const std::wstring& value) {
  std::wstring shown = value;
  const size_t scheme = shown.find(L"://");
  if (scheme != std::wstring::npos) {
    const size_t host = scheme + 3;
    const size_t end = shown.find_first_of(L"/?#", host);
    const size_t at = shown.rfind(L'@', end == std::wstring::npos ? shown.size() : end);
    if (at != std::wstring::npos && at >= host) {
      const size_t colon = shown.find(L':', host);
      if (colon != std::wstring::npos && colon < at)
        shown.replace(colon + 1, at - colon - 1, L"***");
    }
  }
  return Arg(name, shown);
}

const wchar_t* InterfaceName(REFIID iid) {
  static const struct {
    const IID* iid;
    const wchar_t* name;
  } kNames[] = {
      {&IID_IKxEngine, L"IKxEngine"},
      {&IID_IKxPropertyProvider, L"IKxPropertyProvider"},
      {&IID_IKxProperties, L"IKxProperties"},
      {&IID_IKxSetupInfo, L"IKxSetupInfo"},
      {&IID_IKxFileOperations, L"IKxFileOperations"},
      {&IID_IKxCabinet, L"IKxCabinet"},
      {&IID_IKxMedia, L"IKxMedia"},
      {&IID_IKxComponent, L"IKxComponent"},
      {&IID_IKxRunner, L"IKxRunner"},
      {&IID_IKxCompletion, L"IKxCompletion"},
      {&IID_IKxTransferEvents, L"IKxTransferEvents"},
      {&IID_IKxTransferEvents2, L"IKxTransferEvents2"},
      {&IID_IKxTransferEvents3, L"IKxTransferEvents3"},
  };
  for (const auto& entry : kNames) {
    if (*entry.iid == iid) return entry.name;
  }
  return nullptr;
}

void JournalQuery(const wchar_t* object, REFIID iid) {
  const wchar_t* name = InterfaceName(iid);
  if (name)
    JournalLine(std::wstring(L"QueryInterface") + Arg(L"object", object) + Arg(L"iid", name));
}

}  // namespace kxe
