#include "diag/verbose_log.h"

#include <cstdarg>
#include <cwchar>
#include <string>

#include "base/path.h"
#include "base/string_win.h"
#include "diag/trace_mask.h"
#include "platform/error_record.h"
#include "platform/registry.h"
#include "platform/unique_handle.h"

namespace kx {
namespace {

constexpr const wchar_t* kSwitchValue = L"DoVerboseLogging";
constexpr const wchar_t* kFolderValue = L"VerboseLogPath";
// The folder value is read into room for 260 characters with the NUL; a
// longer one does not fit and counts as missing rather than naming a cut
// folder.
constexpr size_t kMaxFolderChars = 259;
constexpr wchar_t kByteOrderMark = 0xFEFF;

// Puts the process-wide error record back as it was: the switch and folder
// reads store their results there, and a log entry written between a
// failure and its report must not change what the report says.
class keep_error_record {
 public:
  keep_error_record() : saved_(last_error_record()) {}
  ~keep_error_record() {
    try {
      last_error_record() = saved_;
    } catch (...) {
      // Only the copy of the path can fail; the code is kept regardless.
      last_error_record().code = saved_.code;
    }
  }
  keep_error_record(const keep_error_record&) = delete;
  keep_error_record& operator=(const keep_error_record&) = delete;

 private:
  error_record saved_;
};

// Logging is on only for the REG_DWORD 1; any other type or value is off.
bool read_switch() {
  return registry_read_dword(HKEY_CURRENT_USER, kVerboseLogKey, kSwitchValue, KEY_READ, 0) == 1;
}

// The folder of the running program, without its final backslash.
string program_folder() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      return path_directory(string(buffer));
    }
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

string log_file() {
  string folder =
      registry_read_string(HKEY_CURRENT_USER, kVerboseLogKey, kFolderValue, KEY_READ, string());
  if (folder.size() > kMaxFolderChars) folder.clear();
  return verbose_log_file_path(folder, folder.empty() ? program_folder() : string());
}

// Appends `line` to `path`, opened for this entry alone, with the byte-order
// mark first when the file is empty. Failures lose the entry.
void append_line(const string& path, const string& line) {
  unique_handle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return;
  // The mark goes into every empty file, not only at the first entry of the
  // process: a log deleted during a run must not come back without it.
  // An existing file that does not start with the mark was not written here;
  // entries are appended to it as they are.
  std::wstring bytes;
  if (size.QuadPart == 0) bytes += kByteOrderMark;
  bytes.append(line.data(), line.size());
  const size_t byte_count = bytes.size() * sizeof(wchar_t);
  if (byte_count > MAXDWORD) return;
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(file.get(), zero, nullptr, FILE_END)) return;
  DWORD written = 0;
  WriteFile(file.get(), bytes.data(), static_cast<DWORD>(byte_count), &written, nullptr);
}

}  // namespace

void verbose_logger::write_entry(const string& message, const string& source_file,
                                 int line) noexcept {
  if (state_ == switch_state::off) return;
  keep_last_error keep;
  try {
    keep_error_record keep_record;
    if (state_ == switch_state::undecided) {
      state_ = read_switch() ? switch_state::on : switch_state::off;
      if (state_ == switch_state::on) file_ = log_file();
    }
    if (state_ != switch_state::on) return;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    // The prerequisite phase logs download addresses; a medium's password
    // in one of them must not land in a file that support collects.
    append_line(file_, verbose_log_line(verbose_log_date(now), verbose_log_time(now),
                                        mask_url_credentials(message),
                                        short_source_name(source_file), line));
  } catch (...) {
    // Out of memory while building the entry: the entry is lost.
  }
}

verbose_logger& process_verbose_log() noexcept {
  static verbose_logger logger;
  return logger;
}

bool verbose_log_enabled() noexcept {
  return process_verbose_log().enabled();
}

void verbose_logger::log(const char* source_file, int line, const wchar_t* format, ...) noexcept {
  if (!enabled()) return;
  keep_last_error keep;
  string message;
  bool made = true;
  va_list args;
  va_start(args, format);
  try {
    message = format_v(format, args);
  } catch (...) {
    made = false;
  }
  va_end(args);
  if (!made) return;
  try {
    write_entry(message, from_bytes(source_file ? source_file : "", -1, CP_ACP), line);
  } catch (...) {
    // Converting the file name ran out of memory: the entry is lost.
  }
}

string verbose_log_line(const string& date, const string& time, const string& message,
                        const string& short_source, int line) {
  return format(L"%s[%s]: %s  --  File: %s, Line: %d\r\n", date.c_str(), time.c_str(),
                message.c_str(), short_source.c_str(), line);
}

string verbose_log_date(const SYSTEMTIME& moment) {
  wchar_t buffer[64];
  const int n = GetDateFormatW(LOCALE_SYSTEM_DEFAULT, 0, &moment, L"M-d-yyyy", buffer, 64);
  return n > 0 ? string(buffer, static_cast<size_t>(n - 1)) : string();
}

string verbose_log_time(const SYSTEMTIME& moment) {
  wchar_t buffer[64];
  const int n = GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, 0, &moment, L"hh':'mm':'ss tt", buffer, 64);
  return n > 0 ? string(buffer, static_cast<size_t>(n - 1)) : string();
}

string verbose_log_file_path(const string& configured_folder, const string& program_folder) {
  string folder = configured_folder.empty() ? program_folder : configured_folder;
  // Without any folder the name alone would land in whatever the current
  // folder happens to be.
  if (folder.empty()) return {};
  if (folder.back() != L'\\') folder += L'\\';
  return folder + kVerboseLogFileName;
}

}  // namespace kx
