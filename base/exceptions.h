// The exceptions thrown where a caller cannot go on: a failed system call,
// a file operation, and a source file on a web server.
//
// Copying any of them never throws, so they can be rethrown and stored
// freely: the message and the file name are shared between copies.
#pragma once

#include <exception>
#include <memory>

#include "base/stringx.h"

namespace kx {

// A failed Win32 call, carried as its error code.
//
// The system's text for the code is made on the first call of what() or
// message() with FormatMessageW from the system's table in the user's default
// language, once (also when that fails), and kept in a buffer that every copy
// shares; the last copy frees it. A code of 0 has no text.
class win32_exception : public std::exception {
 public:
  // Takes the code from the thread's last error (GetLastError), which it
  // leaves unchanged.
  win32_exception() noexcept;
  // Carries `code`; the thread's last error is left unchanged.
  explicit win32_exception(unsigned long code) noexcept;
  win32_exception(const win32_exception& other) noexcept;
  win32_exception& operator=(const win32_exception& other) noexcept;
  ~win32_exception() override;

  // The system's message for the code in UTF-8 (so no character is lost to
  // the ANSI code page), exactly as the system words it, line end included;
  // "" when the code is 0 or the system has no text for it. Valid while any
  // copy of this exception lives. Leaves the thread's last error unchanged.
  const char* what() const noexcept override;

  // The Win32 error code (or the WinInet or HTTP-derived code of an internet
  // failure).
  unsigned long code() const noexcept { return code_; }

  // The same message as what() in UTF-16, as the system gave it; L"" when
  // there is none. Same lifetime as what().
  const wchar_t* message() const noexcept;

 private:
  struct shared_text;

  // Makes the message on the first request by any copy.
  shared_text* text() const noexcept;
  void release() noexcept;

  unsigned long code_;
  // Null for code 0, or when the small shared record could not be allocated
  // (the message then reads as "").
  shared_text* shared_;
};

// A failed operation on a file, with the name of that file.
class file_exception : public virtual win32_exception {
 public:
  // The code comes from the thread's last error, which is left unchanged.
  explicit file_exception(const string& file);
  file_exception(const string& file, unsigned long code);

  // The path or address of the file whose operation failed.
  const string& file_name() const noexcept { return *file_; }

 private:
  // Shared so that copying stays free of allocation.
  std::shared_ptr<const string> file_;
};

// A failed internet transfer; the code is a WinInet code or one derived from
// an HTTP status. Thrown only as part of internet_file_exception.
class internet_exception : public virtual win32_exception {
 public:
  // The code comes from the thread's last error, which is left unchanged.
  internet_exception() noexcept;
  explicit internet_exception(unsigned long code) noexcept;
};

// A source file on a web server that could not be opened, sized, positioned
// or read. One code and one message serve both of its bases, so a handler for
// file_exception, internet_exception or win32_exception sees the same code.
class internet_file_exception : public internet_exception, public file_exception {
 public:
  // The code comes from the thread's last error, which is left unchanged.
  explicit internet_file_exception(const string& url);
  internet_file_exception(const string& url, unsigned long code);
};

}  // namespace kx
