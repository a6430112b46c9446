#include "platform/pending_operations.h"

#include <algorithm>
#include <string>

#include "base/string_win.h"
#include "platform/group_member.h"
#include "platform/os_version.h"
#include "platform/registry.h"

namespace kx {

namespace {

constexpr const wchar_t* kSoftware = L"Software";
constexpr const wchar_t* kPendingKey = L"KestrixPendingOperation";
constexpr size_t kMaxPathChars = 260;

// The text value `name` of `key`; false when it is missing, not text or too
// long for a path.
bool read_path(HKEY key, const string& name, string& value) {
  value = registry_read_string(key, string(), name, KEY_READ, string());
  return GetLastError() == ERROR_SUCCESS && value.size() <= kMaxPathChars;
}

// RegDeleteTreeW is missing before Vista: the subkeys go one by one.
LONG delete_key_tree(HKEY parent, const wchar_t* name) {
  HKEY key = nullptr;
  LONG result = RegOpenKeyExW(parent, name, 0, KEY_READ | KEY_WRITE, &key);
  if (result != ERROR_SUCCESS) return result;
  const registry_key owner(key);
  wchar_t child[256];
  for (;;) {
    DWORD length = 256;
    if (RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    if (delete_key_tree(key, child) != ERROR_SUCCESS) break;
  }
  return RegDeleteKeyW(parent, name);
}

// The highest index n of a "source<n>" or "dest<n>" value in `key`: entries
// past it have nothing to read, so a damaged Count cannot keep the loop
// going for billions of empty entries.
unsigned long long highest_entry_index(HKEY key) {
  unsigned long long highest = 0;
  wchar_t name[64];
  for (DWORD index = 0;; ++index) {
    DWORD length = 64;
    const LONG result =
        RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA) continue;  // a name too long to be one of ours
    if (result != ERROR_SUCCESS) break;
    const string text(name, length);
    size_t digits = 0;
    if (text.starts_with_i(L"source"))
      digits = 6;
    else if (text.starts_with_i(L"dest"))
      digits = 4;
    else
      continue;
    if (digits == text.size() || text.size() - digits > 10) continue;
    unsigned long long n = 0;
    bool number = true;
    for (size_t i = digits; i < text.size() && number; ++i) {
      number = text[i] >= L'0' && text[i] <= L'9';
      n = n * 10 + (text[i] - L'0');
    }
    if (number && n > highest) highest = n;
  }
  return highest;
}

}  // namespace

HKEY pending_operations_root() {
  const bool machine = running_on_win9x() || group_member(true, true) || group_member(false, true);
  return machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

HRESULT run_pending_operations(HKEY root) {
  LONG result = 0;
  const registry_key software = registry_key::open(root, kSoftware, KEY_READ, result);
  if (!software) return S_OK;
  const registry_key pending =
      registry_key::open(software.get(), kPendingKey, KEY_READ | KEY_WRITE, result);
  if (!pending) return S_OK;

  const DWORD count = registry_read_dword(pending.get(), string(), L"Count", KEY_READ, 0);
  const unsigned long long last =
      std::min<unsigned long long>(count, highest_entry_index(pending.get()));
  DWORD move_error = ERROR_SUCCESS;
  for (unsigned long long i = 1; i <= last; ++i) {
    string destination;
    string source;
    if (!read_path(pending.get(), format(L"dest%I64u", i), destination) ||
        !read_path(pending.get(), format(L"source%I64u", i), source))
      continue;
    if (!destination.empty()) {
      if (!MoveFileExW(source.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING))
        move_error = GetLastError();
    } else {
      DeleteFileW(source.c_str());
    }
  }
  delete_key_tree(software.get(), kPendingKey);
  return move_error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(move_error);
}

HRESULT run_pending_operations() {
  return run_pending_operations(pending_operations_root());
}

}  // namespace kx
