#include "diag/trace.h"

#include <windows.h>
// After windows.h, which they need.
#include <shlobj.h>

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cwchar>
#include <string>

#include "base/string_win.h"
#include "diag/trace_mask.h"
#include "diag/trace_scramble.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "platform/unique_handle.h"
#include "platform/version_info.h"

namespace kx {

namespace {

constexpr const wchar_t* kSwitchKey = L"kxlogit";
constexpr const wchar_t* kFileNameValue = L"FileNamePath";
// The details buffer holds 16384 characters; the formatting may fill all but
// the room the line end and its NUL need.
constexpr size_t kDetailsBufferChars = 16384;
constexpr size_t kMaxDetailsChars = kDetailsBufferChars - 3;
constexpr const wchar_t* kFallbackRecord = L"KXException|KXTracingInternal_TraceEx\r\n";
// Every trace file begins with this record; a file that does not is none
// of ours and is never written to.
constexpr const wchar_t* kFormatRecord = L"FormatVersion=00000112\r\n\r\n";

string system_desktop_folder() {
  return shell_folder(CSIDL_DESKTOP);
}

std::atomic<desktop_folder_fn> desktop_folder{&system_desktop_folder};

class critical_section {
 public:
  critical_section() noexcept { InitializeCriticalSection(&cs_); }
  ~critical_section() { DeleteCriticalSection(&cs_); }
  critical_section(const critical_section&) = delete;
  critical_section& operator=(const critical_section&) = delete;
  void lock() noexcept { EnterCriticalSection(&cs_); }
  void unlock() noexcept { LeaveCriticalSection(&cs_); }

 private:
  CRITICAL_SECTION cs_;
};

// Leaves the section however the scope ends, exceptions included.
class section_lock {
 public:
  explicit section_lock(critical_section& cs) noexcept : cs_(cs) { cs_.lock(); }
  ~section_lock() { cs_.unlock(); }
  section_lock(const section_lock&) = delete;
  section_lock& operator=(const section_lock&) = delete;

 private:
  critical_section& cs_;
};

struct trace_state {
  std::atomic<bool> enabled{false};
  critical_section lock;
  string path;  // guarded by `lock`
};

// Never destroyed: a thread still tracing while the process ends must not
// meet a deleted critical section.
trace_state& state() {
  static trace_state* s = new trace_state;
  return *s;
}

const std::string& encoded_format_record() {
  // Plain ASCII: the same bytes in every ANSI code page.
  static const std::string* record =
      new std::string(trace_format::encode_record(narrow(string(kFormatRecord), CP_THREAD_ACP)));
  return *record;
}

// Whether `file` may take `record`: it begins with the format record, or it
// is empty and `record` is that record. Any other file - one that the
// per-user FileNamePath value names while an elevated launcher runs - is
// left as it is.
bool may_append(HANDLE file, const std::string& record) {
  const std::string& format = encoded_format_record();
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) return false;
  if (size.QuadPart == 0) return record == format;
  if (static_cast<std::uint64_t>(size.QuadPart) < format.size()) return false;
  std::string head(format.size(), '\0');
  DWORD got = 0;
  LARGE_INTEGER zero{};
  return SetFilePointerEx(file, zero, nullptr, FILE_BEGIN) &&
         ReadFile(file, head.data(), static_cast<DWORD>(head.size()), &got, nullptr) &&
         got == head.size() && head == format;
}

// Writes one record; throws what the conversion throws (std::bad_alloc).
// Only the first record of a new file may create it: once the file exists,
// one that has gone is not made again without its header.
void write_record(const string& text, DWORD disposition = OPEN_EXISTING) {
  trace_state& s = state();
  if (!s.enabled.load()) return;
  const std::string record = trace_format::encode_record(narrow(text, CP_THREAD_ACP));
  section_lock guard(s.lock);
  // Checked on the handle that writes, so a file swapped for another after
  // trace_start is refused as well.
  unique_handle file(CreateFileW(s.path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                 nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file || !may_append(file.get(), record)) return;
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(file.get(), zero, nullptr, FILE_END)) return;
  DWORD written = 0;
  WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
}

string details_line(string details) {
  details = mask_url_credentials(details);
  if (details.size() > kMaxDetailsChars) details.resize(kMaxDetailsChars);
  if (!details.empty() && details.back() == L'\n') details.pop_back();
  if (!details.empty() && details.back() == L'\r') details.pop_back();
  for (wchar_t& c : details)
    if (c == L'\r' || c == L'\n') c = L'_';
  details += L"\r\n";
  return details;
}

string format_details(const wchar_t* details_format, va_list args) {
  std::wstring buffer(kDetailsBufferChars, L'\0');
  // Longer output is cut: the count keeps the last characters of the buffer
  // free, so a cut text still ends in a NUL.
  _vsnwprintf(buffer.data(), kMaxDetailsChars, details_format, args);
  buffer.resize(wcsnlen(buffer.c_str(), kMaxDetailsChars));
  return string(buffer);
}

void write_header(const string& program_path) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  version_info version;
  version.load(program_path);
  const VS_FIXEDFILEINFO& fixed = version.fixed();
  write_record(kFormatRecord, OPEN_ALWAYS);
  write_record(L"Setup trace of one launcher process; print it with the kxtrace reader.\r\n\r\n");
  write_record(format(L"TraceStarted: %.2ld/%.2ld/%.2ld %.2ld:%.2ld:%.2ld\r\n",
                      static_cast<long>(now.wMonth), static_cast<long>(now.wDay),
                      static_cast<long>(now.wYear), static_cast<long>(now.wHour),
                      static_cast<long>(now.wMinute), static_cast<long>(now.wSecond)));
  write_record(format(L"SetupExe: %ls\r\n", program_path.c_str()));
  write_record(format(L"SetupExeVersion: %ld.%ld.%ld.%ld\r\n",
                      static_cast<long>(HIWORD(fixed.dwFileVersionMS)),
                      static_cast<long>(LOWORD(fixed.dwFileVersionMS)),
                      static_cast<long>(HIWORD(fixed.dwFileVersionLS)),
                      static_cast<long>(LOWORD(fixed.dwFileVersionLS))));
  write_record(L"\r\nTraceData:\r\n");
  write_record(L"Category|SubCategory|Details\r\n");
}

enum class trace_file_kind { missing, empty, trace, foreign };

// What lies at `path` before the first record: nothing, an empty file, a
// trace file (it begins with the format record), or anything else,
// including a folder or a file that cannot be read.
trace_file_kind existing_trace_file(const string& path) {
  unique_handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? trace_file_kind::missing : trace_file_kind::foreign;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return trace_file_kind::foreign;
  if (size.QuadPart == 0) return trace_file_kind::empty;
  return may_append(file.get(), std::string()) ? trace_file_kind::trace : trace_file_kind::foreign;
}

}  // namespace

desktop_folder_fn set_desktop_folder(desktop_folder_fn folder) noexcept {
  return desktop_folder.exchange(folder ? folder : &system_desktop_folder);
}

void trace_start(const string& program_path) {
  keep_last_error keep;
  trace_state& s = state();
  s.enabled = false;
  try {
    LONG result = 0;
    if (!registry_key::open(HKEY_CURRENT_USER, kSwitchKey, KEY_READ, result)) return;
    string path =
        registry_read_string(HKEY_CURRENT_USER, kSwitchKey, kFileNameValue, KEY_READ, string());
    if (path.empty()) {
      // Without a desktop the name alone would land in the current folder.
      const string desktop = desktop_folder.load()();
      if (desktop.empty()) return;
      path = format(L"%s%s%d.%s", desktop.c_str(), L"setuptrace",
                    static_cast<int>(GetCurrentProcessId()), L"bin");
    }
    const trace_file_kind kind = existing_trace_file(path);
    if (kind == trace_file_kind::foreign) return;
    {
      section_lock guard(s.lock);
      s.path = path;
    }
    s.enabled = true;
    if (kind != trace_file_kind::trace) write_header(program_path);
  } catch (...) {
    // The header is incomplete at worst; events go on being written.
  }
}

bool trace_enabled() noexcept {
  return state().enabled.load();
}

string trace_file_path() {
  trace_state& s = state();
  if (!s.enabled.load()) return string();
  section_lock guard(s.lock);
  return s.path;
}

void trace_write(const string& text) {
  keep_last_error keep;
  try {
    write_record(text);
  } catch (...) {
    // Dropped: tracing never fails its caller.
  }
}

void trace_event(const wchar_t* category, const wchar_t* subcategory,
                 const std::function<string()>& build) {
  keep_last_error keep;
  if (!trace_enabled()) return;
  try {
    const string line = details_line(build());
    write_record(format(L"%ls|%ls|", category, subcategory));
    write_record(line);
  } catch (...) {
    trace_write(kFallbackRecord);
  }
}

void trace_event(const wchar_t* category, const wchar_t* subcategory, const string& details) {
  trace_event(category, subcategory, std::function<string()>([&details] { return details; }));
}

void trace(const wchar_t* category, const wchar_t* subcategory, const wchar_t* details_format,
           ...) {
  if (!trace_enabled()) return;
  va_list args;
  va_start(args, details_format);
  trace_event(category, subcategory,
              std::function<string()>([&] { return format_details(details_format, args); }));
  va_end(args);
}

}  // namespace kx
