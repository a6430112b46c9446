#include "base/file.h"

#include <algorithm>
#include <string>

#include "base/path.h"
#include "base/text_encoding.h"

namespace kx {

namespace {

constexpr const wchar_t* kAgent = L"toys::file";
constexpr DWORD kChunk = 64 * 1024;

bool wants_write(DWORD access, DWORD disposition) {
  constexpr DWORD kWriting = GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA;
  return (access & kWriting) != 0 || disposition == CREATE_ALWAYS || disposition == CREATE_NEW ||
         disposition == TRUNCATE_EXISTING;
}

DWORD rewind(HANDLE h) {
  LARGE_INTEGER zero{};
  return SetFilePointerEx(h, zero, nullptr, FILE_BEGIN) ? 0 : GetLastError();
}

}  // namespace

struct file::shared_state {
  long references = 1;
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::unique_ptr<web_source> web;
};

file::file(const file& other) noexcept
    : path_(other.path_),
      shared_(other.shared_),
      code_page_(other.code_page_),
      bom_(other.bom_),
      events_(other.events_) {
  if (shared_) ++shared_->references;
}

file& file::operator=(const file& other) noexcept {
  if (this == &other) return *this;
  if (other.shared_) ++other.shared_->references;
  close();
  path_ = other.path_;
  shared_ = other.shared_;
  code_page_ = other.code_page_;
  bom_ = other.bom_;
  events_ = other.events_;
  return *this;
}

file::~file() {
  close();
}

void file::close() noexcept {
  keep_last_error keep;
  if (shared_ && --shared_->references == 0) {
    if (shared_->handle != INVALID_HANDLE_VALUE) CloseHandle(shared_->handle);
    delete shared_;
  }
  shared_ = nullptr;
  code_page_ = kCodePageAnsi;
  bom_ = false;
}

HANDLE file::handle() const noexcept {
  return shared_ ? shared_->handle : INVALID_HANDLE_VALUE;
}

DWORD file::open(const string& path, DWORD access, DWORD share_mode, DWORD disposition,
                 DWORD attributes, SECURITY_ATTRIBUTES* security, HANDLE template_file) {
  close();
  path_ = path;
  auto state = std::make_unique<shared_state>();
  if (has_url_scheme(path, url_schemes::web)) {
    DWORD error = ERROR_NOT_SUPPORTED;
    if (!wants_write(access, disposition)) {
      web_source_options options;
      options.agent = kAgent;
      options.events = events_;
      state->web = make_web_source(options, error);
      if (state->web) error = state->web->open(path, kWebOpenFlags);
    }
    if (error == 0) shared_ = state.release();
    SetLastError(error);
    return error;
  }
  // A NUL would cut the path short and open another file.
  if (path.find(L'\0') != string::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return ERROR_INVALID_NAME;
  }
  state->handle = CreateFileW(path.c_str(), access, share_mode, security, disposition, attributes,
                              template_file);
  if (state->handle == INVALID_HANDLE_VALUE) return GetLastError();
  // Only a readable disk file can say what it holds (a pipe or console
  // would block the read); the position goes back to the start either way.
  unsigned char head[3];
  DWORD got = 0;
  if (GetFileType(state->handle) == FILE_TYPE_DISK &&
      ReadFile(state->handle, head, sizeof head, &got, nullptr)) {
    const detected_encoding found = detect_encoding(head, got);
    code_page_ = found.code_page;
    bom_ = found.mark_length != 0;
  }
  rewind(state->handle);
  shared_ = state.release();
  return 0;
}

DWORD file::create_text(const string& path) {
  close();
  if (has_url_scheme(path, url_schemes::web) || path.find(L'\0') != string::npos) {
    // Nothing may be deleted for a path that cannot be created.
    return open(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  }
  DeleteFileW(path.c_str());
  return open(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
}

void file::set_code_page(int code_page) noexcept {
  if (bom_) return;
  code_page_ = code_page;
}

DWORD file::read_all(std::string& bytes) {
  bytes.clear();
  if (!shared_) return ERROR_INVALID_HANDLE;
  std::string chunk(kChunk, '\0');
  if (shared_->web) {
    if (const DWORD error = shared_->web->seek(0)) return error;
    for (;;) {
      DWORD got = 0;
      if (const DWORD error = shared_->web->read(chunk.data(), kChunk, got)) return error;
      if (got == 0) return 0;
      if (got > kChunk) return ERROR_INVALID_DATA;
      if (bytes.size() + got > kMaxTextBytes) return ERROR_FILE_TOO_LARGE;
      bytes.append(chunk.data(), got);
    }
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(shared_->handle, &size)) return GetLastError();
  if (static_cast<std::uint64_t>(size.QuadPart) > kMaxTextBytes) return ERROR_FILE_TOO_LARGE;
  if (const DWORD error = rewind(shared_->handle)) return error;
  bytes.reserve(static_cast<std::size_t>(size.QuadPart));
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(shared_->handle, chunk.data(), kChunk, &got, nullptr)) return GetLastError();
    if (got == 0) return 0;
    if (bytes.size() + got > kMaxTextBytes) return ERROR_FILE_TOO_LARGE;
    bytes.append(chunk.data(), got);
  }
}

DWORD file::read_text(string& text) {
  text.clear();
  std::string bytes;
  if (const DWORD error = read_all(bytes)) return error;
  if (!bom_) {
    const detected_encoding found = detect_encoding(bytes.data(), bytes.size());
    if (found.mark_length) {
      code_page_ = found.code_page;
      bom_ = true;
    }
  }
  const std::size_t skip = bom_ ? mark_length(code_page_) : 0;
  if (bytes.size() < skip) return 0;
  return decode_text(bytes.data() + skip, bytes.size() - skip, code_page_, text);
}

DWORD file::write_lines(const std::vector<string>& lines, bool with_mark) {
  if (!shared_) return ERROR_INVALID_HANDLE;
  if (shared_->web) return ERROR_NOT_SUPPORTED;
  string text;
  for (const string& line : lines) {
    text += line;
    text += L"\r\n";
  }
  std::string bytes;
  if (const DWORD error = encode_text(text.as_view(), code_page_, with_mark, bytes)) return error;
  for (std::size_t done = 0; done < bytes.size();) {
    const DWORD part = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, kChunk));
    DWORD written = 0;
    if (!WriteFile(shared_->handle, bytes.data() + done, part, &written, nullptr))
      return GetLastError();
    if (written == 0) return ERROR_WRITE_FAULT;
    done += written;
  }
  return 0;
}

}  // namespace kx
