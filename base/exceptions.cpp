#include "base/exceptions.h"

#include <windows.h>

#include <new>

#include "base/last_error.h"

namespace kx {

// The record that every copy of one exception points to. Both texts are
// LocalAlloc'd (the wide one by FormatMessageW itself) and freed with the
// record by the last copy.
struct win32_exception::shared_text {
  enum : LONG { not_made, making, made };

  volatile LONG refs = 1;
  volatile LONG state = not_made;
  wchar_t* wide = nullptr;
  char* narrow = nullptr;
};

namespace {

// The message as UTF-8 in a LocalAlloc'd buffer; null when it cannot be made.
char* to_utf8(const wchar_t* wide, DWORD length) {
  const int wide_length = static_cast<int>(length);
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, wide_length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return nullptr;
  auto* narrow = static_cast<char*>(LocalAlloc(LMEM_FIXED, static_cast<SIZE_T>(size) + 1));
  if (!narrow) return nullptr;
  if (WideCharToMultiByte(CP_UTF8, 0, wide, wide_length, narrow, size, nullptr, nullptr) != size) {
    LocalFree(narrow);
    return nullptr;
  }
  narrow[size] = '\0';
  return narrow;
}

}  // namespace

win32_exception::win32_exception() noexcept : win32_exception(GetLastError()) {}

win32_exception::win32_exception(unsigned long code) noexcept : code_(code), shared_(nullptr) {
  keep_last_error keep;
  if (code_ != 0) shared_ = new (std::nothrow) shared_text;
}

win32_exception::win32_exception(const win32_exception& other) noexcept
    : std::exception(other), code_(other.code_), shared_(other.shared_) {
  if (shared_) InterlockedIncrement(&shared_->refs);
}

win32_exception& win32_exception::operator=(const win32_exception& other) noexcept {
  // Both are read and the new reference taken before the old one goes, so
  // that assigning an exception to itself keeps its text.
  shared_text* const shared = other.shared_;
  const unsigned long code = other.code_;
  if (shared) InterlockedIncrement(&shared->refs);
  release();
  code_ = code;
  shared_ = shared;
  return *this;
}

win32_exception::~win32_exception() {
  release();
}

void win32_exception::release() noexcept {
  if (!shared_) return;
  if (InterlockedDecrement(&shared_->refs) == 0) {
    keep_last_error keep;
    if (shared_->wide) LocalFree(shared_->wide);
    if (shared_->narrow) LocalFree(shared_->narrow);
    delete shared_;
  }
  shared_ = nullptr;
}

win32_exception::shared_text* win32_exception::text() const noexcept {
  if (!shared_) return nullptr;
  shared_text& t = *shared_;
  if (InterlockedCompareExchange(&t.state, shared_text::making, shared_text::not_made) ==
      shared_text::not_made) {
    keep_last_error keep;
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, code_, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    if (length != 0 && buffer) {
      t.wide = buffer;
      t.narrow = to_utf8(buffer, length);
    } else if (buffer) {
      LocalFree(buffer);
    }
    InterlockedExchange(&t.state, shared_text::made);
  } else {
    // Another thread is asking FormatMessageW for the same text; it is short.
    while (InterlockedCompareExchange(&t.state, shared_text::made, shared_text::made) !=
           shared_text::made)
      Sleep(0);
  }
  return &t;
}

const char* win32_exception::what() const noexcept {
  const shared_text* t = text();
  return t && t->narrow ? t->narrow : "";
}

const wchar_t* win32_exception::message() const noexcept {
  const shared_text* t = text();
  return t && t->wide ? t->wide : L"";
}

namespace {

std::shared_ptr<const string> share_name(const string& file) {
  keep_last_error keep;
  return std::make_shared<const string>(file);
}

}  // namespace

file_exception::file_exception(const string& file) : win32_exception(), file_(share_name(file)) {}

file_exception::file_exception(const string& file, unsigned long code)
    : win32_exception(code), file_(share_name(file)) {}

internet_exception::internet_exception() noexcept : win32_exception() {}

internet_exception::internet_exception(unsigned long code) noexcept : win32_exception(code) {}

internet_file_exception::internet_file_exception(const string& url)
    : win32_exception(), internet_exception(), file_exception(url, code()) {}

internet_file_exception::internet_file_exception(const string& url, unsigned long code)
    : win32_exception(code), internet_exception(code), file_exception(url, code) {}

}  // namespace kx
