#include "platform/web_source_factory.h"

#include <new>

#include "base/web_source.h"
#include "platform/http_file.h"

namespace kx {

namespace {

// The seam's calls on an http_file, with its errors as codes.
class http_web_source final : public web_source {
 public:
  explicit http_web_source(const web_source_options& options)
      : file_(options.agent ? options.agent : L"", options.timeout_ms, 0) {}

  DWORD open(const string& url, DWORD flags) override {
    const std::wstring text(reinterpret_cast<const wchar_t*>(url.c_str()), url.size());
    return file_.open(text, std::wstring(), flags) ? 0 : error_or(ERROR_INTERNET_INTERNAL_ERROR);
  }

  DWORD seek(std::uint64_t offset) override {
    file_.seek(offset);
    return 0;
  }

  DWORD read(void* buffer, DWORD count, DWORD& got) override {
    return file_.read(buffer, count, got) ? 0 : error_or(ERROR_INTERNET_INTERNAL_ERROR);
  }

  DWORD size(std::uint64_t& bytes) override { return file_.size(bytes); }
  DWORD last_modified(FILETIME& time) override { return file_.last_modified(time); }
  DWORD credentials(web_credentials& out) override { return file_.credentials(out); }

 private:
  static DWORD error_or(DWORD fallback) {
    const DWORD error = GetLastError();
    return error ? error : fallback;
  }

  http_file file_;
};

std::unique_ptr<web_source> make_http_source(const web_source_options& options, DWORD& error) {
  std::unique_ptr<web_source> source(new (std::nothrow) http_web_source(options));
  error = source ? 0 : static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY);
  return source;
}

}  // namespace

void register_web_source_factory() noexcept {
  set_web_source_factory(&make_http_source);
}

}  // namespace kx
