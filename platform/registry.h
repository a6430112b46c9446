// Reading the registry: keys, subkey names, DWORD and text values.
//
// Every reader stores its Win32 result (0 on success) in the process-wide
// error record (platform/error_record.h) and as the thread's last error, so
// a caller that got the default can still tell a missing value from a
// refused one.
#pragma once

#include <windows.h>

#include <utility>
#include <vector>

#include "base/stringx.h"

namespace kx {

// Owns one open registry key, closed on destruction.
class registry_key {
 public:
  registry_key() noexcept = default;
  explicit registry_key(HKEY key) noexcept : key_(key) {}
  registry_key(registry_key&& o) noexcept : key_(o.release()) {}
  registry_key& operator=(registry_key&& o) noexcept {
    reset(o.release());
    return *this;
  }
  registry_key(const registry_key&) = delete;
  registry_key& operator=(const registry_key&) = delete;
  ~registry_key() { reset(); }

  // Opens `root`\`path` with `access`; the Win32 result comes back in
  // `result` and, on failure, the returned object is empty.
  static registry_key open(HKEY root, const string& path, REGSAM access, LONG& result) noexcept;

  HKEY get() const noexcept { return key_; }
  explicit operator bool() const noexcept { return key_ != nullptr; }
  // Gives up ownership without closing.
  HKEY release() noexcept { return std::exchange(key_, nullptr); }
  // Closes the owned key (if any) and takes `key`. Keeps the last error.
  void reset(HKEY key = nullptr) noexcept;

 private:
  HKEY key_ = nullptr;
};

// True when `root`\`path` opens with KEY_READ (plus `view`, such as
// KEY_WOW64_64KEY).
bool registry_key_exists(HKEY root, const string& path, REGSAM view = 0);

// Appends the names of the subkeys of `root`\`path` to `names`, in the
// registry's enumeration order, until the first failure (normally the end of
// the list). False when the key does not open.
bool registry_subkeys(HKEY root, const string& path, std::vector<string>& names, REGSAM view = 0);

// The REG_DWORD value `name` of `root`\`path` opened with `access`, or
// `default_value` when the key or value is missing, or the value is not a
// four-byte REG_DWORD (recorded as ERROR_INVALID_DATA).
DWORD registry_read_dword(HKEY root, const string& path, const string& name, REGSAM access,
                          DWORD default_value);

// The REG_SZ or REG_EXPAND_SZ value `name` of `root`\`path` opened with
// `access`, unexpanded and up to its first NUL; `default_value` when the key
// or value is missing, has another type, or its data is not a whole number
// of characters ending in a NUL (the last two recorded as
// ERROR_INVALID_DATA).
string registry_read_string(HKEY root, const string& path, const string& name, REGSAM access,
                            const string& default_value);

// The raw data and type of the value `name` of the open `key`, read whole
// (re-read while the value grows). Returns the Win32 result; on failure
// `data` is empty and `type` REG_NONE. Records nothing.
LONG registry_read_bytes(HKEY key, const string& name, DWORD& type, std::vector<BYTE>& data);

// The REG_SZ or REG_EXPAND_SZ value `name` of the open `key`, read for
// comparisons that must not trip over hand-written data: up to its first NUL
// or, for a value stored without one, to the end of the data, with an odd
// last byte dropped. A missing value and other types give "". `type`, when
// given, receives the value's type (REG_NONE when it cannot be read).
string registry_read_text_lenient(HKEY key, const string& name, DWORD* type = nullptr);

// The "Version" text of the installed Internet Explorer; empty when missing.
string internet_explorer_version();

}  // namespace kx
