#include <atomic>

#include "base/file.h"
#include "base/path.h"

namespace kx {

namespace {

constexpr const wchar_t* kAgent = L"toys::file_lite";

void system_sleep(DWORD milliseconds) {
  Sleep(milliseconds);
}

std::atomic<file_lite::retry_wait_fn> retry_wait{&system_sleep};

// Fails with `error` as the thread's last error.
bool fail(DWORD error) {
  SetLastError(error);
  return false;
}
long long fail_count(DWORD error) {
  SetLastError(error);
  return -1;
}

}  // namespace

file_lite::retry_wait_fn file_lite::set_retry_wait(retry_wait_fn wait) noexcept {
  return retry_wait.exchange(wait ? wait : &system_sleep);
}

file_lite::~file_lite() {
  close();
}

void file_lite::close() noexcept {
  keep_last_error keep;
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  web_.reset();
}

bool file_lite::open_read(const string& path) {
  close();
  path_ = path;
  if (has_url_scheme(path, url_schemes::web)) {
    web_source_options options;
    options.agent = kAgent;
    DWORD error = 0;
    std::unique_ptr<web_source> source = make_web_source(options, error);
    if (!source) return fail(error);
    if ((error = source->open(path, kWebOpenFlags)) != 0) return fail(error);
    web_ = std::move(source);
    return true;
  }
  if (path.find(L'\0') != string::npos) return fail(ERROR_INVALID_NAME);
  handle_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  return handle_ != INVALID_HANDLE_VALUE;
}

bool file_lite::open_write(const string& path, DWORD disposition) {
  close();
  path_ = path;
  if (has_url_scheme(path, url_schemes::web)) return fail(ERROR_NOT_SUPPORTED);
  // A NUL would cut the path short and write another file.
  if (path.find(L'\0') != string::npos) return fail(ERROR_INVALID_NAME);
  for (int attempt = 1;; ++attempt) {
    handle_ = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ != INVALID_HANDLE_VALUE) return true;
    // Only a file that another process holds can come free by waiting; a
    // name that exists, a missing folder or a refusal stay as they are.
    const DWORD error = GetLastError();
    if (attempt == kWriteAttempts ||
        (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION))
      return false;
    keep_last_error keep;
    retry_wait.load()(kWriteRetryDelayMs);
  }
}

bool file_lite::seek(std::uint64_t offset) {
  if (web_) {
    const DWORD error = web_->seek(offset);
    return error == 0 || fail(error);
  }
  if (handle_ == INVALID_HANDLE_VALUE) return fail(ERROR_INVALID_HANDLE);
  if (offset > static_cast<std::uint64_t>(INT64_MAX)) return fail(ERROR_NEGATIVE_SEEK);
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(handle_, distance, nullptr, FILE_BEGIN) != FALSE;
}

long long file_lite::read(void* buffer, DWORD count) {
  DWORD got = 0;
  if (web_) {
    const DWORD error = web_->read(buffer, count, got);
    if (error) return fail_count(error);
    return got <= count ? static_cast<long long>(got) : fail_count(ERROR_INVALID_DATA);
  }
  if (handle_ == INVALID_HANDLE_VALUE) return fail_count(ERROR_INVALID_HANDLE);
  return ReadFile(handle_, buffer, count, &got, nullptr) ? static_cast<long long>(got) : -1;
}

bool file_lite::size(std::uint64_t& bytes) {
  bytes = 0;
  if (web_) {
    const DWORD error = web_->size(bytes);
    return error == 0 || fail(error);
  }
  if (handle_ == INVALID_HANDLE_VALUE) return fail(ERROR_INVALID_HANDLE);
  LARGE_INTEGER value{};
  if (!GetFileSizeEx(handle_, &value)) return false;
  bytes = static_cast<std::uint64_t>(value.QuadPart);
  return true;
}

long long file_lite::write(const void* buffer, DWORD count) {
  if (handle_ == INVALID_HANDLE_VALUE)
    return fail_count(web_ ? ERROR_NOT_SUPPORTED : ERROR_INVALID_HANDLE);
  const auto* bytes = static_cast<const char*>(buffer);
  for (DWORD done = 0; done < count;) {
    DWORD written = 0;
    if (!WriteFile(handle_, bytes + done, count - done, &written, nullptr)) return -1;
    if (written == 0) return fail_count(ERROR_WRITE_FAULT);
    done += written;
  }
  return count;
}

}  // namespace kx
