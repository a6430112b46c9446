#include "platform/process_launch.h"

// After windows.h, which it needs.
#include <shellapi.h>

#include <set>

#include "base/path.h"
#include "platform/error_record.h"
#include "platform/message_wait.h"
#include "platform/process_table.h"

namespace kx {

namespace {

// Remaining milliseconds of one overall time-out.
class deadline {
 public:
  explicit deadline(DWORD timeout_ms) : start_(GetTickCount()), timeout_(timeout_ms) {}
  DWORD remaining() const {
    if (timeout_ == INFINITE) return INFINITE;
    const DWORD elapsed = GetTickCount() - start_;
    return elapsed >= timeout_ ? 0 : timeout_ - elapsed;
  }

 private:
  DWORD start_;
  DWORD timeout_;
};

// Only what the wait needs: PROCESS_ALL_ACCESS as defined for Vista is
// refused on XP, and full access is refused for an installer's children that
// run under another account.
HANDLE open_for_wait(DWORD id) {
  constexpr DWORD kLimitedQuery = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION
  HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id);
  return h ? h : OpenProcess(SYNCHRONIZE | kLimitedQuery, FALSE, id);
}

// The process on the way up from `id` whose parent is `ancestor` (`id`
// itself for a child), or 0 when the way does not lead there.
DWORD link_below(const process_map& table, DWORD id, DWORD ancestor, bool any_generation) {
  auto it = table.find(id);
  // A bounded walk: reused ids can make the parent links circular.
  for (size_t steps = 0; it != table.end() && steps <= table.size(); ++steps) {
    const DWORD parent = it->second.parent_id;
    if (parent == ancestor) return it->first;
    if (!any_generation || parent == 0 || parent == it->first) return 0;
    it = table.find(parent);
  }
  return 0;
}

bool earlier(const FILETIME& a, const FILETIME& b) {
  return CompareFileTime(&a, &b) < 0;
}

DWORD wait_tree(DWORD id, HANDLE process, unsigned flags, const deadline& time,
                std::set<DWORD>& seen) {
  const DWORD r = wait_pumping_messages(process, time.remaining());
  if (r != WAIT_OBJECT_0 || !(flags & wait_children) || id == 0) return r;

  process_time_values ended;
  const bool ended_known = process_times(process, ended);
  for (;;) {
    const process_map table = process_table();
    unique_handle next;
    DWORD next_id = 0;
    for (const auto& [candidate, entry] : table) {
      if (seen.count(candidate) || candidate == GetCurrentProcessId()) continue;
      if (entry.image_name.find(L"PSTORES.EXE") != string::npos) continue;
      const DWORD link = link_below(table, candidate, id, (flags & wait_descendants) != 0);
      if (!link) continue;
      unique_handle h(open_for_wait(candidate));
      process_time_values created;
      if (!h || !process_times(h.get(), created)) continue;
      if (ended_known) {
        // Ids are reused at once: a process older than the ended one names
        // an earlier holder of its id as parent, and one started after it
        // ended names a later holder.
        if (earlier(created.creation, ended.creation)) continue;
        process_time_values link_times = created;
        if (link != candidate && !process_times(link, link_times)) continue;
        if (earlier(ended.exit, link_times.creation)) continue;
      }
      next = std::move(h);
      next_id = candidate;
      break;
    }
    if (!next) return WAIT_OBJECT_0;
    seen.insert(next_id);
    const DWORD child = wait_tree(next_id, next.get(), flags, time, seen);
    if (child != WAIT_OBJECT_0) return child;
  }
}

string command_line_of(const string& program, const string& arguments) {
  string line = quote_if_needed(program);
  if (!arguments.empty()) line += L" " + arguments;
  return line;
}

// Starts the program; the process handle (possibly null for the shell) in
// `process`. False with the error in the thread's last error.
bool start(const string& program, const string& arguments, const string& verb, const string& folder,
           unsigned wait_flags, int show, DWORD creation_flags, unique_handle& process, DWORD& id) {
  if (wait_flags & launch_shell) {
    SHELLEXECUTEINFOW sei{};
    sei.cbSize = sizeof sei;
    sei.fMask = creation_flags | SEE_MASK_NOCLOSEPROCESS;
    sei.lpVerb = verb.empty() ? nullptr : verb.c_str();
    sei.lpFile = program.c_str();
    sei.lpParameters = arguments.empty() ? nullptr : arguments.c_str();
    sei.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    sei.nShow = show;
    SetLastError(ERROR_SUCCESS);
    const BOOL ok = ShellExecuteExW(&sei);
    const auto instance = reinterpret_cast<INT_PTR>(sei.hInstApp);
    if (!ok && instance <= 32) {
      const DWORD error = GetLastError();
      SetLastError(error ? error : static_cast<DWORD>(instance));
      return false;
    }
    process.reset(sei.hProcess);
    id = process ? process_id_of(process.get()) : 0;
    return true;
  }
  string line = command_line_of(program, arguments);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, creation_flags, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  process.reset(pi.hProcess);
  id = pi.dwProcessId;
  return true;
}

}  // namespace

launched_process& last_launch() noexcept {
  static launched_process last;
  return last;
}

DWORD wait_for_process_tree(DWORD id, HANDLE process, unsigned flags, DWORD timeout_ms) {
  if (flags & wait_descendants) flags |= wait_children;
  if (flags & wait_children) flags |= wait_process;
  if (!(flags & wait_process) || timeout_ms == 0) return WAIT_OBJECT_0;
  std::set<DWORD> seen{id};
  return wait_tree(id, process, flags, deadline(timeout_ms), seen);
}

DWORD wait_for_process(HANDLE process, DWORD timeout_ms) {
  const DWORD r = wait_pumping_messages(process, timeout_ms);
  if (r != WAIT_OBJECT_0) return r;
  DWORD code = 0;
  if (GetExitCodeProcess(process, &code)) last_launch().exit_code = code;
  return 0;
}

int launch(const string& program, const string& arguments, const string& verb, const string& folder,
           unsigned wait_flags, DWORD timeout_ms, int show, DWORD creation_flags) {
  unique_handle process;
  DWORD id = 0;
  if (!start(program, arguments, verb, folder, wait_flags, show, creation_flags, process, id)) {
    const DWORD error = GetLastError();
    // Nothing of an earlier launch may pass for this one's.
    last_launch() = launched_process{};
    record_error(error, program);
    SetLastError(error);
    return launch_not_started;
  }
  int result = launch_ok;
  DWORD exit_code = 0;
  if (process) {
    WaitForInputIdle(process.get(), 1000);
    const DWORD r = wait_for_process_tree(id, process.get(), wait_flags, timeout_ms);
    if (r == WAIT_TIMEOUT)
      result = launch_timed_out;
    else if (r != WAIT_OBJECT_0)
      result = launch_wait_failed;
    GetExitCodeProcess(process.get(), &exit_code);
  }
  // Stored only now: a window procedure run during the wait may launch too.
  launched_process& last = last_launch();
  last.handle = std::move(process);
  last.id = id;
  last.exit_code = exit_code;
  return result;
}

}  // namespace kx
