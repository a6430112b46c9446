#include "prereq/reboot_detection.h"

#include <windows.h>

#include <limits>
#include <utility>
#include <vector>

#include "base/path.h"
#include "platform/folders.h"
#include "platform/os_version.h"
#include "platform/registry.h"
#include "prereq/pending_rename_walk.h"

namespace kx::prereq {
namespace {

constexpr const wchar_t* kRunOnce = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr const wchar_t* kRunOnceEx = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx";
constexpr const wchar_t* kSessionManager = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const wchar_t* kFileRenameOperations =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\FileRenameOperations";
constexpr const wchar_t* kPendingRenames = L"PendingFileRenameOperations";
// The profile-string buffer of the Wininit.ini count, in characters.
constexpr DWORD kWininitBuffer = 1300;

std::int32_t clamp_count(DWORD n) noexcept {
  return n > DWORD(std::numeric_limits<std::int32_t>::max())
             ? std::numeric_limits<std::int32_t>::max()
             : std::int32_t(n);
}

// Counting by RegQueryInfoKeyW rather than by enumeration: enumerating stops
// at the first value whose name does not fit the buffer.
std::int32_t value_count(const wchar_t* path) {
  LONG result = 0;
  const registry_key key = registry_key::open(HKEY_LOCAL_MACHINE, path, KEY_READ, result);
  if (!key) return 0;
  DWORD values = 0;
  if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return 0;
  return clamp_count(values);
}

std::int32_t pending_renames_size() {
  LONG result = 0;
  const registry_key key =
      registry_key::open(HKEY_LOCAL_MACHINE, kSessionManager, KEY_READ, result);
  if (!key) return 0;
  DWORD type = REG_NONE;
  DWORD size = 0;
  result = RegQueryValueExW(key.get(), kPendingRenames, nullptr, &type, nullptr, &size);
  if ((result != ERROR_SUCCESS && result != ERROR_MORE_DATA) || type != REG_MULTI_SZ) return 0;
  return clamp_count(size);
}

std::int32_t wininit_renames(const string& folder) {
  string windows = folder;
  if (windows.empty()) {
    try {
      windows = windows_folder();
    } catch (...) {
      return 0;
    }
  }
  const string file = path_join(windows, L"Wininit.ini");
  wchar_t keys[kWininitBuffer] = {};
  const DWORD length =
      GetPrivateProfileStringW(L"rename", nullptr, L"", keys, kWininitBuffer, file.c_str());
  // Only what the call returned counts: the rest of the buffer is not ours.
  std::int32_t count = 0;
  for (DWORD i = 0; i < length && i < kWininitBuffer; ++i)
    if (keys[i] == L'\0') ++count;
  return count;
}

// The temporary folders a deletion may point into: the system's answer and
// its long form (the answer may come in 8.3 form from TMP).
std::vector<sax::text> temp_folders() {
  std::vector<sax::text> folders;
  string temp;
  try {
    temp = ensure_trailing_backslash(temp_folder());
  } catch (...) {
    return folders;
  }
  if (temp.empty()) return folders;
  folders.emplace_back(temp.data(), temp.size());
  const DWORD needed = GetLongPathNameW(temp.c_str(), nullptr, 0);
  if (needed > 0) {
    std::wstring long_form(needed, L'\0');
    const DWORD n = GetLongPathNameW(temp.c_str(), long_form.data(), needed);
    if (n > 0 && n < needed) {
      long_form.resize(n);
      const string folder = ensure_trailing_backslash(string(long_form));
      folders.emplace_back(folder.data(), folder.size());
    }
  }
  return folders;
}

bool only_temp_renames_added(std::int32_t snapshot_size) {
  LONG result = 0;
  const registry_key key =
      registry_key::open(HKEY_LOCAL_MACHINE, kSessionManager, KEY_READ, result);
  if (!key) return false;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  if (registry_read_bytes(key.get(), kPendingRenames, type, data) != ERROR_SUCCESS ||
      type != REG_MULTI_SZ)
    return false;
  return only_temp_operations_added(data, snapshot_size, temp_folders());
}

}  // namespace

reboot_reason first_reboot_reason(const reboot_counters& before, const reboot_counters& after,
                                  bool ignore_pending_renames) noexcept {
  if (after.run_once > before.run_once) return reboot_reason::run_once;
  if (after.run_once_ex > before.run_once_ex) return reboot_reason::run_once_ex;
  if (!ignore_pending_renames && after.pending_renames_size > before.pending_renames_size)
    return reboot_reason::pending_renames;
  if (after.file_rename_operations > before.file_rename_operations)
    return reboot_reason::file_rename_operations;
  if (after.wininit_renames > before.wininit_renames) return reboot_reason::wininit_renames;
  return reboot_reason::none;
}

string reboot_reason_text(reboot_reason reason) {
  const wchar_t* name = nullptr;
  const wchar_t* what = L" key added";
  switch (reason) {
    case reboot_reason::run_once:
      name = L"RunOnce";
      break;
    case reboot_reason::run_once_ex:
      name = L"RunOnceEx";
      break;
    case reboot_reason::pending_renames:
      name = L"PendingFileRenameOperations";
      what = L" value added";
      break;
    case reboot_reason::file_rename_operations:
      name = L"FileRenameOperations";
      break;
    case reboot_reason::wininit_renames:
      name = L"Wininit.ini rename";
      break;
    case reboot_reason::none:
      return string();
  }
  string text = L"Reboot required - ";
  text += name;
  text += what;
  return text;
}

reboot_counters measure_reboot_counters(const string& wininit_folder) {
  reboot_counters c;
  c.run_once = value_count(kRunOnce);
  c.run_once_ex = value_count(kRunOnceEx);
  c.file_rename_operations = value_count(kFileRenameOperations);
  c.pending_renames_size = pending_renames_size();
  const os_version_record version = current_system_facts().version();
  if (version.valid && version.info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
    c.wininit_renames = wininit_renames(wininit_folder);
  return c;
}

reboot_detector::reboot_detector(string wininit_folder)
    : wininit_folder_(std::move(wininit_folder)) {}

void reboot_detector::snapshot() {
  before_ = measure_reboot_counters(wininit_folder_);
  taken_ = true;
}

bool reboot_detector::check(trace_line& trace, bool& ignore_tmp_rename) {
  if (!taken_) return false;
  const reboot_counters after = measure_reboot_counters(wininit_folder_);
  if (after.pending_renames_size > before_.pending_renames_size && ignore_tmp_rename)
    ignore_tmp_rename = only_temp_renames_added(before_.pending_renames_size);
  const reboot_reason reason = first_reboot_reason(before_, after, ignore_tmp_rename);
  if (reason == reboot_reason::none) return false;
  trace.append(reboot_reason_text(reason).str());
  trace.finish();
  return true;
}

}  // namespace kx::prereq
