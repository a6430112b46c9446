#include "platform/copy_file.h"

#include <vector>

#include "base/file.h"
#include "base/path.h"
#include "platform/error_record.h"
#include "platform/files.h"
#include "platform/unique_handle.h"

namespace kx {

namespace {

copy_callback_registration registered;
bool size_wanted = false;

int notify(int event, const wchar_t* text, std::uint64_t number = 0) {
  if (!registered.function) return copy_continue;
  keep_last_error k;
  return registered.function(registered.context, event, text ? text : L"",
                             static_cast<DWORD>(number), static_cast<DWORD>(number >> 32));
}

enum class pass_result { done, stopped, cancelled, failed };

// Ends a failed pass: the error goes to the record with `path` and stays
// the thread's last error.
pass_result fail(DWORD error, const string& path) {
  record_error(error, path);
  SetLastError(error);
  return pass_result::failed;
}

bool put_times(const string& target, const WIN32_FILE_ATTRIBUTE_DATA& times) {
  unique_handle h(create_file(target, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
  return h && SetFileTime(h.get(), &times.ftCreationTime, &times.ftLastAccessTime,
                          &times.ftLastWriteTime);
}

// One pass of the copy, from the folder to the last chunk. `target_made`
// tells whether the target was created (and so must go when incomplete).
pass_result copy_pass(const string& source, const string& target, bool keep_file_times,
                      std::vector<char>& buffer, std::uint64_t& total, bool& target_made) {
  total = 0;
  target_made = false;
  if (!create_folder_of(target)) return pass_result::failed;
  notify(copy_source, source.c_str());
  notify(copy_target, target.c_str());

  file_lite in;
  if (!in.open_read(source)) return fail(GetLastError(), source);
  WIN32_FILE_ATTRIBUTE_DATA info{};
  const bool local_info = !has_url_scheme(source, url_schemes::web) &&
                          GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &info);
  if (size_wanted && local_info)
    notify(copy_size, nullptr,
           (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
  // A web source's size comes from its response; without one (no length
  // announced) the copy goes on without a size event.
  std::uint64_t web_size = 0;
  if (size_wanted && !local_info && has_url_scheme(source, url_schemes::web) && in.size(web_size))
    notify(copy_size, nullptr, web_size);

  file_lite out;
  if (!out.open_write(target, CREATE_ALWAYS)) return fail(GetLastError(), target);
  target_made = true;
  if (notify(copy_started, nullptr) == copy_stop) return pass_result::stopped;
  for (;;) {
    const long long got = in.read(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (got < 0) return fail(GetLastError(), source);
    if (got == 0) break;
    if (out.write(buffer.data(), static_cast<DWORD>(got)) < 0) return fail(GetLastError(), target);
    total += static_cast<std::uint64_t>(got);
    if (notify(copy_progress, nullptr, total) == copy_stop) return pass_result::cancelled;
  }
  out.close();
  if (keep_file_times && local_info) put_times(target, info);
  return pass_result::done;
}

}  // namespace

copy_callback_registration set_copy_callback(copy_callback function, void* context) {
  const copy_callback_registration previous = registered;
  registered = {function, context};
  return previous;
}

void set_copy_size_wanted(bool wanted) noexcept {
  size_wanted = wanted;
}

bool copy_file(const string& source, const string& target, bool keep_file_times, DWORD buffer_bytes,
               std::uint64_t* copied) {
  std::vector<char> buffer(buffer_bytes ? buffer_bytes : kCopyBufferBytes);
  for (;;) {
    std::uint64_t total = 0;
    bool target_made = false;
    const pass_result r = copy_pass(source, target, keep_file_times, buffer, total, target_made);
    if (copied) *copied = total;
    if (r != pass_result::done && target_made) {
      keep_last_error k;
      delete_file(target);
    }
    if (r == pass_result::failed) return false;
    // Ended at copy_started: nothing was copied, nothing more is said.
    if (r == pass_result::stopped) {
      SetLastError(ERROR_CANCELLED);
      return false;
    }
    const int answer = notify(r == pass_result::done ? copy_done : copy_cancelled, nullptr, total);
    if (answer == copy_repeat) continue;
    SetLastError(r == pass_result::done ? ERROR_SUCCESS : ERROR_CANCELLED);
    return r == pass_result::done;
  }
}

}  // namespace kx
