#include "platform/registry.h"

#include <cstring>
#include <cwchar>

#include "base/last_error.h"
#include "platform/error_record.h"

namespace kx {
namespace {

// Enough for any key name Windows allows (255) and then some.
constexpr DWORD kMaxKeyName = 260;

// Far beyond any value a setup reads; a larger one is refused rather than
// allocated.
constexpr DWORD kMaxValueBytes = 64u << 20;

// Stores `result` in the error record and as the thread's last error.
void record(LONG result) {
  record_error(static_cast<unsigned long>(result));
  SetLastError(static_cast<DWORD>(result));
}

}  // namespace

registry_key registry_key::open(HKEY root, const string& path, REGSAM access,
                                LONG& result) noexcept {
  HKEY key = nullptr;
  result = RegOpenKeyExW(root, path.c_str(), 0, access, &key);
  return registry_key(result == ERROR_SUCCESS ? key : nullptr);
}

void registry_key::reset(HKEY key) noexcept {
  if (key_ && key_ != key) {
    keep_last_error k;
    RegCloseKey(key_);
  }
  key_ = key;
}

bool registry_key_exists(HKEY root, const string& path, REGSAM view) {
  LONG result = 0;
  const registry_key key = registry_key::open(root, path, KEY_READ | view, result);
  record(result);
  return static_cast<bool>(key);
}

bool registry_subkeys(HKEY root, const string& path, std::vector<string>& names, REGSAM view) {
  LONG result = 0;
  const registry_key key = registry_key::open(root, path, KEY_READ | view, result);
  if (!key) {
    record(result);
    return false;
  }
  wchar_t name[kMaxKeyName + 1];
  for (DWORD index = 0;; ++index) {
    result = RegEnumKeyW(key.get(), index, name, kMaxKeyName + 1);
    if (result != ERROR_SUCCESS) break;
    names.emplace_back(name);
  }
  record(result == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : result);
  return true;
}

DWORD registry_read_dword(HKEY root, const string& path, const string& name, REGSAM access,
                          DWORD default_value) {
  LONG result = 0;
  const registry_key key = registry_key::open(root, path, access, result);
  if (!key) {
    record(result);
    return default_value;
  }
  DWORD type = REG_NONE;
  DWORD value = 0;
  DWORD size = sizeof value;
  result = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type,
                            reinterpret_cast<BYTE*>(&value), &size);
  if (result == ERROR_SUCCESS && (type != REG_DWORD || size != sizeof value))
    result = ERROR_INVALID_DATA;
  record(result);
  return result == ERROR_SUCCESS ? value : default_value;
}

string registry_read_string(HKEY root, const string& path, const string& name, REGSAM access,
                            const string& default_value) {
  LONG result = 0;
  const registry_key key = registry_key::open(root, path, access, result);
  if (!key) {
    record(result);
    return default_value;
  }
  std::vector<BYTE> data;
  DWORD type = REG_NONE;
  result = registry_read_bytes(key.get(), name, type, data);
  if (result != ERROR_SUCCESS) {
    record(result);
    return default_value;
  }
  const bool text_type = type == REG_SZ || type == REG_EXPAND_SZ;
  const size_t count = data.size() / sizeof(wchar_t);
  bool terminated = false;
  if (text_type && count > 0 && data.size() % sizeof(wchar_t) == 0) {
    wchar_t last = 0;
    std::memcpy(&last, data.data() + data.size() - sizeof last, sizeof last);
    terminated = last == L'\0';
  }
  if (!terminated) {
    record(ERROR_INVALID_DATA);
    return default_value;
  }
  // The data need not be aligned for wchar_t; copy it out.
  std::wstring text(count, L'\0');
  std::memcpy(text.data(), data.data(), count * sizeof(wchar_t));
  text.resize(std::wcslen(text.c_str()));
  record(ERROR_SUCCESS);
  return string(text);
}

LONG registry_read_bytes(HKEY key, const string& name, DWORD& type, std::vector<BYTE>& data) {
  // The value may grow between asking its size and reading it.
  data.clear();
  type = REG_NONE;
  DWORD size = 0;
  LONG result = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
  for (int attempt = 0; result == ERROR_SUCCESS && size > 0; ++attempt) {
    if (size > kMaxValueBytes) {
      result = ERROR_MORE_DATA;
      break;
    }
    data.resize(size);
    result = RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size);
    if (result == ERROR_MORE_DATA && attempt < 8) {
      // HKEY_PERFORMANCE_DATA leaves the size undefined: grow by doubling,
      // within bounds.
      if (size <= data.size()) size = static_cast<DWORD>(data.size() * 2);
      result = ERROR_SUCCESS;
      continue;
    }
    if (result == ERROR_SUCCESS) data.resize(size);
    break;
  }
  if (result != ERROR_SUCCESS) {
    data.clear();
    type = REG_NONE;
  }
  return result;
}

string registry_read_text_lenient(HKEY key, const string& name, DWORD* type) {
  std::vector<BYTE> data;
  DWORD value_type = REG_NONE;
  registry_read_bytes(key, name, value_type, data);
  if (type) *type = value_type;
  if (value_type != REG_SZ && value_type != REG_EXPAND_SZ) return string();
  // The data need not be aligned for wchar_t; copy it out.
  std::wstring text(data.size() / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
  text.resize(std::wcslen(text.c_str()));
  return string(text);
}

string internet_explorer_version() {
  return registry_read_string(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Internet Explorer",
                              L"Version", KEY_READ, string());
}

}  // namespace kx
