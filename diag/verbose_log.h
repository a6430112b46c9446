// The verbose log of the prerequisite phase: one UTF-16 line per entry in
// "Kestrix.log", for support engineers.
//
// Off unless the user sets HKEY_CURRENT_USER\SOFTWARE\Kestrix\27.0\Professional
// value "DoVerboseLogging" to the REG_DWORD 1; the same key's "VerboseLogPath"
// names the folder of the file (the running program's folder when missing or
// empty). Logging never fails its caller: nothing is raised, an entry that
// cannot be written is lost, and the thread's last error and the process-wide
// error record are left as they were.
#pragma once

#include <windows.h>

#include "base/stringx.h"

namespace kx {

// The registry key of the switch and of the folder, below HKEY_CURRENT_USER.
inline constexpr const wchar_t* kVerboseLogKey = L"SOFTWARE\\Kestrix\\27.0\\Professional";
// The file name of the log in its folder.
inline constexpr const wchar_t* kVerboseLogFileName = L"Kestrix.log";

// One writer of the log with its own switch cache. The process uses the one
// of process_verbose_log(); tests make their own to start undecided.
class verbose_logger {
 public:
  // False only once the switch has been read and found off; true while it is
  // still undecided, so that a caller that tests it before the first entry
  // still builds that entry (which then decides the switch).
  bool enabled() const noexcept { return state_ != switch_state::off; }

  // Reads the switch on the first call (later registry changes have no effect
  // on this object) and, when it is on, appends one entry for `message`
  // written at `line` of the source file `source_file`.
  void write_entry(const string& message, const string& source_file, int line) noexcept;

  // Formats `format` (printf rules over wide characters, %s takes a wide
  // string; never cut) with the arguments and writes it as an entry for
  // `line` of `source_file` (the caller's __FILE__). Returns at once,
  // formatting nothing, when the log is known to be off.
  void log(const char* source_file, int line, const wchar_t* format, ...) noexcept;

 private:
  enum class switch_state { undecided, on, off };
  switch_state state_ = switch_state::undecided;
  string file_;
};

// The logger of the process.
verbose_logger& process_verbose_log() noexcept;

// process_verbose_log().enabled(): callers test it to skip building messages.
bool verbose_log_enabled() noexcept;

// The pure parts of an entry, exposed for their tests.

// The entry line "<date>[<time>]: <message>  --  File: <source>, Line: <n>"
// ending in CR LF; <source> is the short source name (short_source_name of
// base/path.h).
string verbose_log_line(const string& date, const string& time, const string& message,
                        const string& short_source, int line);

// `moment` as the entry's date ("M-d-yyyy": 1-5-2026) and time
// ("hh':'mm':'ss tt": 09:07:03 AM) in the pictures of the system's default
// locale; empty when the system cannot format it.
string verbose_log_date(const SYSTEMTIME& moment);
string verbose_log_time(const SYSTEMTIME& moment);

// The log file: `configured_folder` (VerboseLogPath as stored) or, when it is
// empty, `program_folder`, joined with "Kestrix.log" by one backslash unless
// the folder already ends with one. Empty when both folders are empty, so
// that no entry lands in the current folder.
string verbose_log_file_path(const string& configured_folder, const string& program_folder);

}  // namespace kx

// Writes one entry for the calling line to `logger` (a verbose_logger); the
// format's arguments are not evaluated while the log is known to be off.
#define KX_VERBOSE_LOG_TO(logger, ...)                                                         \
  do {                                                                                         \
    ::kx::verbose_logger& kx_verbose_logger_ = (logger);                                       \
    if (kx_verbose_logger_.enabled()) kx_verbose_logger_.log(__FILE__, __LINE__, __VA_ARGS__); \
  } while (false)

// Writes one entry for the calling line to the process's log:
// KX_VERBOSE_LOG(L"Checking setup prerequisite '%s'", name.c_str()).
#define KX_VERBOSE_LOG(...) KX_VERBOSE_LOG_TO(::kx::process_verbose_log(), __VA_ARGS__)
