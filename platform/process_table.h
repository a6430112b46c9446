// The processes of the system: who started whom, under which image name,
// and when.
#pragma once

#include <windows.h>

#include <map>

#include "base/stringx.h"

namespace kx {

struct process_entry {
  DWORD parent_id = 0;  // the id of the process that started it
  string image_name;    // the executable's file name; empty when unknown
};

// Process id -> entry.
using process_map = std::map<DWORD, process_entry>;

// Every running process: from a Toolhelp snapshot, or, where Toolhelp is
// missing, from process_table_enumerated. Empty when neither works.
process_map process_table();

// The Toolhelp snapshot (CreateToolhelp32Snapshot, Process32FirstW/NextW or
// their ANSI forms, all looked up by name). False when kernel32 lacks them
// or the snapshot fails.
bool process_table_toolhelp(process_map& out);

// The fallback: the ids from EnumProcesses and, for each process that can be
// opened, its parent id from NtQueryInformationProcess; image names stay
// empty, and processes that cannot be opened are listed with parent 0.
process_map process_table_enumerated();

struct process_time_values {
  FILETIME creation{};
  FILETIME exit{};
  FILETIME kernel{};
  FILETIME user{};
};

// GetProcessTimes of a process given by handle, or by id (opened for the
// query). False, with the thread's last error, when they cannot be read.
bool process_times(HANDLE process, process_time_values& out);
bool process_times(DWORD id, process_time_values& out);

// The id of the process behind `process`: GetProcessId when kernel32 has
// it, else NtQueryInformationProcess; 0 when neither tells.
DWORD process_id_of(HANDLE process);

}  // namespace kx
