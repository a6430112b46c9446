// Medium files on disk or on a web server: `kx::file` for text (with its
// encoding) and `kx::file_lite` for plain bytes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "base/stringx.h"
#include "base/web_source.h"

namespace kx {

// Text files are read whole; anything larger is refused
// (ERROR_FILE_TOO_LARGE) rather than exhausting memory.
inline constexpr std::uint64_t kMaxTextBytes = 64ull << 20;

// A file opened by path or web address. Copies share the open file (the
// last copy closes it) but keep their own encoding settings.
class file {
 public:
  file() noexcept = default;
  file(const file& other) noexcept;
  file& operator=(const file& other) noexcept;
  ~file();

  // Closes what is open, then opens `path`. A web address ("http://",
  // "https://", any case) is opened for reading through the registered web
  // source (agent "toys::file", 30000 ms, kWebOpenFlags, this file's
  // transfer-events sink); asking to write it fails with
  // ERROR_NOT_SUPPORTED. Anything else goes to CreateFileW with these
  // arguments unchanged, and a readable file's encoding is detected from
  // its first bytes. Returns 0 or the Win32 error.
  DWORD open(const string& path, DWORD access, DWORD share_mode, DWORD disposition,
             DWORD attributes = FILE_ATTRIBUTE_NORMAL, SECURITY_ATTRIBUTES* security = nullptr,
             HANDLE template_file = nullptr);

  // Replaces the local file at `path` by a new, empty one for writing text:
  // the file is deleted first, then created (generic write, share read,
  // create always, normal attributes). Returns 0 or the Win32 error.
  DWORD create_text(const string& path);

  // Drops this object's share of the open file.
  void close() noexcept;

  bool is_open() const noexcept { return shared_ != nullptr; }
  const string& path() const noexcept { return path_; }
  // The system handle; INVALID_HANDLE_VALUE when closed or on the web.
  HANDLE handle() const noexcept;

  // The encoding: 1200, 1201 or 65001 with a mark, else the code page in
  // use (0, the ANSI code page, unless one was imposed).
  int code_page() const noexcept { return code_page_; }
  bool has_bom() const noexcept { return bom_; }
  // Imposes the code page for reading and writing; a Unicode byte-order
  // mark found in the file wins over it.
  void set_code_page(int code_page) noexcept;

  // The sink handed to web sources opened later (not owned; may be null).
  void set_transfer_events(IUnknown* sink) noexcept { events_ = sink; }

  // Reads the whole file from its start as text in the file's encoding,
  // without the byte-order mark (a web file's encoding is detected from
  // the bytes that arrive). Returns 0 or the Win32 error; text above
  // kMaxTextBytes gives ERROR_FILE_TOO_LARGE.
  DWORD read_text(string& text);

  // Writes `lines` at the current position, each followed by CR LF, in
  // the file's code page, preceded by the code page's byte-order mark when
  // `with_mark` is set and it has one. Returns 0 or the Win32 error.
  DWORD write_lines(const std::vector<string>& lines, bool with_mark);

 private:
  struct shared_state;

  DWORD read_all(std::string& bytes);

  string path_;
  shared_state* shared_ = nullptr;  // holds the handle or web source and the copies' count
  int code_page_ = 0;
  bool bom_ = false;
  IUnknown* events_ = nullptr;
};

// A file opened by path or web address for plain reading or writing (used
// for unpacking and copying). Failures leave the reason as the thread's
// last error.
class file_lite {
 public:
  file_lite() noexcept = default;
  file_lite(const file_lite&) = delete;
  file_lite& operator=(const file_lite&) = delete;
  ~file_lite();

  // Closes what is open, then opens `path` for reading: a web address
  // through the registered web source (agent "toys::file_lite", 30000 ms,
  // kWebOpenFlags), anything else with generic read, share read, open
  // existing.
  bool open_read(const string& path);

  // Closes what is open, then opens the local `path` for writing (generic
  // write, share read, `disposition`). An attempt that fails because another
  // process holds the file (ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION)
  // is repeated after 500 ms, four attempts in all, so that a file still
  // held by a scanner or an exiting process can be written; any other
  // failure (the name exists, the folder is missing, access is denied) ends
  // the call at once. A web address fails at once with ERROR_NOT_SUPPORTED.
  bool open_write(const string& path, DWORD disposition);

  // Makes the next read or write start `offset` bytes from the start.
  bool seek(std::uint64_t offset);
  // Reads up to `count` bytes: how many came (0 at the end), or -1.
  long long read(void* buffer, DWORD count);
  // The size of the open file (for a web address: from its response);
  // false with the last error set when it is not known.
  bool size(std::uint64_t& bytes);
  // Writes all `count` bytes: `count`, or -1.
  long long write(const void* buffer, DWORD count);
  void close() noexcept;

  bool is_open() const noexcept { return handle_ != INVALID_HANDLE_VALUE || web_ != nullptr; }
  const string& path() const noexcept { return path_; }

  // The wait between write attempts: Sleep, or a replacement for tests
  // (nullptr restores Sleep). Returns the one set before.
  using retry_wait_fn = void (*)(DWORD milliseconds);
  static retry_wait_fn set_retry_wait(retry_wait_fn wait) noexcept;

  static constexpr int kWriteAttempts = 4;
  static constexpr DWORD kWriteRetryDelayMs = 500;

 private:
  string path_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::unique_ptr<web_source> web_;
};

}  // namespace kx
