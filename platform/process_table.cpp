#include "platform/process_table.h"

// After windows.h, which they need.
#include <tlhelp32.h>

#include <vector>

#include "platform/module_function.h"
#include "platform/system_library.h"
#include "platform/unique_handle.h"

namespace kx {

namespace {

// The part of PROCESS_BASIC_INFORMATION that is read here, laid out as the
// system fills it on both 32- and 64-bit Windows.
struct basic_information {
  LONG exit_status;
  void* peb;
  ULONG_PTR affinity;
  LONG base_priority;
  ULONG_PTR unique_process_id;
  ULONG_PTR parent_process_id;
};

using nt_query_fn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);

bool basic_info(HANDLE process, basic_information& out) {
  static const auto query = module_function<nt_query_fn>(L"ntdll.dll", "NtQueryInformationProcess");
  ULONG got = 0;
  return query && query(process, 0 /* ProcessBasicInformation */, &out, sizeof out, &got) >= 0;
}

template <class Entry>
bool walk_snapshot(const char* first_name, const char* next_name, process_map& out) {
  using walk_fn = BOOL(WINAPI*)(HANDLE, Entry*);
  using snapshot_fn = HANDLE(WINAPI*)(DWORD, DWORD);
  static const auto snapshot =
      module_function<snapshot_fn>(L"kernel32.dll", "CreateToolhelp32Snapshot");
  const auto first = module_function<walk_fn>(L"kernel32.dll", first_name);
  const auto next = module_function<walk_fn>(L"kernel32.dll", next_name);
  if (!snapshot || !first || !next) return false;
  unique_handle snap(snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snap) return false;
  Entry e{};
  e.dwSize = sizeof e;
  for (BOOL ok = first(snap.get(), &e); ok; ok = next(snap.get(), &e)) {
    process_entry& entry = out[e.th32ProcessID];
    entry.parent_id = e.th32ParentProcessID;
    if constexpr (sizeof(e.szExeFile[0]) == sizeof(wchar_t)) {
      entry.image_name = e.szExeFile;
    } else {
      wchar_t wide[MAX_PATH];
      const int n = MultiByteToWideChar(CP_ACP, 0, e.szExeFile, -1, wide, MAX_PATH);
      entry.image_name.assign(wide, n > 0 ? static_cast<size_t>(n - 1) : 0);
    }
    e.dwSize = sizeof e;
  }
  return true;
}

}  // namespace

bool process_table_toolhelp(process_map& out) {
  out.clear();
  return walk_snapshot<PROCESSENTRY32W>("Process32FirstW", "Process32NextW", out) ||
         walk_snapshot<tagPROCESSENTRY32>("Process32First", "Process32Next", out);
}

process_map process_table_enumerated() {
  using enum_fn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
  static const auto enum_processes = system_function<enum_fn>(L"psapi.dll", "EnumProcesses");
  process_map out;
  if (!enum_processes) return out;
  // EnumProcesses cannot say how many ids there are; a full buffer may have
  // cut the list, so it is asked again with a larger one.
  std::vector<DWORD> ids(256);
  DWORD bytes = 0;
  for (;;) {
    const DWORD capacity = static_cast<DWORD>(ids.size() * sizeof(DWORD));
    if (!enum_processes(ids.data(), capacity, &bytes)) return out;
    if (bytes < capacity || ids.size() >= 65536) break;
    ids.resize(ids.size() * 2);
  }
  ids.resize(bytes / sizeof(DWORD));
  for (DWORD id : ids) {
    process_entry& entry = out[id];
    unique_handle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id));
    basic_information info{};
    if (process && basic_info(process.get(), info))
      entry.parent_id = static_cast<DWORD>(info.parent_process_id);
  }
  return out;
}

process_map process_table() {
  process_map out;
  if (process_table_toolhelp(out)) return out;
  return process_table_enumerated();
}

bool process_times(HANDLE process, process_time_values& out) {
  return GetProcessTimes(process, &out.creation, &out.exit, &out.kernel, &out.user) != FALSE;
}

bool process_times(DWORD id, process_time_values& out) {
  unique_handle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id));
  return process && process_times(process.get(), out);
}

DWORD process_id_of(HANDLE process) {
  using id_fn = DWORD(WINAPI*)(HANDLE);
  static const auto get_id = module_function<id_fn>(L"kernel32.dll", "GetProcessId");
  if (get_id) return get_id(process);
  basic_information info{};
  return basic_info(process, info) ? static_cast<DWORD>(info.unique_process_id) : 0;
}

}  // namespace kx
