// The setup trace: a per-process record of the launcher's milestones for
// support engineers, switched on per user by the registry key
// HKEY_CURRENT_USER\kxlogit.
//
// The file is a run of length-prefixed, scrambled text records in the
// thread's ANSI code page (diag/trace_scramble.h); the trace reader under
// tools/trace_reader prints it as text. Any thread may trace: one lock makes
// each record's write whole. Tracing never fails its caller and keeps the
// thread's last-error value.
#pragma once

#include <functional>

#include "base/stringx.h"

namespace kx {

// Reads the switch and, when the key HKEY_CURRENT_USER\kxlogit opens,
// switches tracing on for the process: the file is the key's "FileNamePath"
// value, or "setuptrace<process id>.bin" on the user's desktop when that is
// missing or empty. A file that does not exist yet, or an empty one, starts
// with the header records (format version, notice, start time,
// `program_path` and its file version); a trace file (one that begins with
// the format-version record) is appended to. Tracing stays off, and nothing
// is written, for any other file of that name - any program of the user can
// set the value, while the launcher usually runs elevated - and when the
// desktop is needed but cannot be found. Without the key tracing stays off
// and nothing else is read. Called once at the start of the process, before
// any event; a later call reads the switch again and replaces what the
// earlier one set.
void trace_start(const string& program_path);

// Where trace_start finds the user's desktop (with a trailing backslash;
// empty when there is none): the shell's folder, or a replacement for tests
// (nullptr restores the shell's). Returns the one set before.
using desktop_folder_fn = string (*)();
desktop_folder_fn set_desktop_folder(desktop_folder_fn folder) noexcept;

// True when the last trace_start switched tracing on.
bool trace_enabled() noexcept;

// The file the records go to; empty while tracing is off.
string trace_file_path();

// One event: the record "<category>|<subcategory>|", then the details
// record. The details are formatted with printf rules over wide characters
// (%s takes a wide string) and cut at 16381 characters; then one trailing LF
// and after it one trailing CR are dropped, every other CR and LF becomes
// "_", the password of any "scheme://user:password@" address becomes "***",
// and "\r\n" ends the line. Does nothing while tracing is off.
void trace(const wchar_t* category, const wchar_t* subcategory, const wchar_t* details_format, ...);

// trace with details already made (the same cut and line rules).
void trace_event(const wchar_t* category, const wchar_t* subcategory, const string& details);

// trace with details made by `build`, which runs only while tracing is on.
// When `build` or the writing throws, the single record
// "KXException|KXTracingInternal_TraceEx\r\n" stands in for the event.
void trace_event(const wchar_t* category, const wchar_t* subcategory,
                 const std::function<string()>& build);

// Appends one record holding `text` (converted to the thread's ANSI code
// page, cut at 16384 bytes) to the trace file, opened and closed for this
// record alone. A record that cannot be written is dropped, and so is one
// for a file that no longer begins with the format-version record (or has
// gone). Does nothing while tracing is off.
void trace_write(const string& text);

}  // namespace kx
