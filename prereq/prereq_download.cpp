#include "prereq/prereq_download.h"

#include "base/path.h"
#include "base/web_source.h"
#include "diag/verbose_log.h"
#include "platform/copy_file.h"
#include "platform/files.h"
#include "prereq/checksum_rule.h"
#include "prereq/file_digest.h"

namespace kx::prereq {

namespace {

constexpr const char* kSource = "KxPreReqDlg.cpp";
// A transfer that fails or mismatches is tried once more from byte 0.
constexpr int kAttempts = 2;

// What the copy and the waits of one transfer report to.
struct transfer_watch {
  download_progress* progress = nullptr;
  const bool* cancel = nullptr;
  web_policy outer;  // the policy in force before, whose cancel query still counts
  std::uint64_t done = 0;
  std::uint64_t total = 0;
  std::uint64_t limit = 0;
  bool cancelled = false;
  bool over_limit = false;

  // True when the transfer must stop for the person.
  bool stop_requested() {
    if (cancelled) return true;
    if ((cancel && *cancel) || (progress && !progress->progress(done, total)) ||
        (outer.cancel_requested && outer.cancel_requested()))
      cancelled = true;
    return cancelled;
  }
};

// The transfer in progress; downloads run one at a time on the phase's thread.
transfer_watch* active = nullptr;

bool active_cancel_query() {
  return active && active->stop_requested();
}

int on_copy_event(void* context, int event, const wchar_t*, DWORD low, DWORD high) {
  auto& w = *static_cast<transfer_watch*>(context);
  const std::uint64_t n = static_cast<std::uint64_t>(high) << 32 | low;
  switch (event) {
    case copy_size:
      w.total = n;
      // A server that announces more than the definition allows is not
      // worth reading.
      if (w.limit && n > w.limit) w.over_limit = true;
      return copy_continue;
    case copy_started:
      return w.over_limit || w.stop_requested() ? copy_stop : copy_continue;
    case copy_progress:
      w.done = n;
      if (w.limit && n > w.limit) {
        w.over_limit = true;
        return copy_stop;
      }
      return w.stop_requested() ? copy_stop : copy_continue;
    default:
      return copy_continue;
  }
}

// Installs the copy callback and the cancel query for one transfer, and
// puts back what was there before.
class transfer_scope {
 public:
  explicit transfer_scope(transfer_watch& w)
      : previous_copy_(set_copy_callback(&on_copy_event, &w)) {
    w.outer = current_web_policy();
    web_policy mine = w.outer;
    mine.cancel_requested = &active_cancel_query;
    previous_policy_ = set_web_policy(mine);
    previous_active_ = active;
    active = &w;
    set_copy_size_wanted(true);
  }
  ~transfer_scope() {
    set_copy_size_wanted(false);
    active = previous_active_;
    set_web_policy(previous_policy_);
    set_copy_callback(previous_copy_.function, previous_copy_.context);
  }
  transfer_scope(const transfer_scope&) = delete;
  transfer_scope& operator=(const transfer_scope&) = delete;

 private:
  copy_callback_registration previous_copy_;
  web_policy previous_policy_;
  transfer_watch* previous_active_ = nullptr;
};

string decimal(std::uint64_t n) {
  wchar_t text[24];
  int k = 23;
  text[k] = 0;
  do {
    text[--k] = static_cast<wchar_t>(L'0' + n % 10);
    n /= 10;
  } while (n);
  return string(text + k);
}

// Both names are in one folder, so one volume: the file index tells the
// file. (Wine reports the volume serial of a handle opened before a rename
// as 0, so the serial cannot be compared.)
bool same_file(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION x{}, y{};
  return GetFileInformationByHandle(a, &x) && GetFileInformationByHandle(b, &y) &&
         x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow &&
         x.nFileSizeHigh == y.nFileSizeHigh && x.nFileSizeLow == y.nFileSizeLow &&
         CompareFileTime(&x.ftLastWriteTime, &y.ftLastWriteTime) == 0;
}

// What one transfer and its check came to.
struct attempt {
  download_outcome outcome = download_outcome::failed;
  DWORD error = 0;
  string expected, actual;
};

class downloader {
 public:
  downloader(const download_request& r, download_progress* progress, const bool* cancel)
      : r_(r), progress_(progress), cancel_(cancel) {
    sum_ = read_checksum(r.check_sum);
    bool readable = true;
    has_size_ = read_file_size(r.file_size, size_, readable);
    if (!readable)
      process_verbose_log().log(kSource, __LINE__,
                                L"FileSize '%s' of %s cannot be read; the size is not checked",
                                r.file_size.c_str(), r.url.c_str());
    final_ = path_join(r.folder, r.file_name);
    part_ = final_ + L".kxdownload";
  }

  const string& final_path() const { return final_; }
  const expected_checksum& sum() const { return sum_; }

  // One transfer into the temporary name, checked; the verified file is
  // renamed and opened into `held`.
  attempt run(unique_handle& held) {
    attempt a;
    delete_file(part_);
    transfer_watch w;
    w.progress = progress_;
    w.cancel = cancel_;
    w.limit = r_.max_bytes;
    if (has_size_ && (!w.limit || size_ < w.limit)) w.limit = size_;
    if (progress_) progress_->begin(r_.file_name, has_size_ ? size_ : 0);
    bool copied = false;
    {
      transfer_scope scope(w);
      copied = copy_file(r_.url, part_, false);
      a.error = copied ? 0 : GetLastError();
    }
    if (progress_) progress_->end();
    if (!copied) {
      delete_file(part_);
      if (w.cancelled) {
        a.outcome = download_outcome::cancelled;
      } else if (w.over_limit) {
        a.outcome = download_outcome::mismatch;
        a.expected = decimal(w.limit);
        a.actual = decimal(w.total > w.done ? w.total : w.done);
        process_verbose_log().log(kSource, __LINE__,
                                  L"Download of %s stopped: more than %s bytes (%s announced)",
                                  r_.url.c_str(), a.expected.c_str(), decimal(w.total).c_str());
      } else {
        process_verbose_log().log(kSource, __LINE__, L"Download of %s failed, error 0x%08lX",
                                  r_.url.c_str(), static_cast<unsigned long>(a.error));
      }
      return a;
    }
    return check(a, held);
  }

 private:
  attempt& check(attempt& a, unique_handle& held) {
    // Nobody may write the file from now on; this process still renames it.
    unique_handle part(create_file(part_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN));
    if (!part) return failed(a, GetLastError(), L"cannot be opened");
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(part.get(), &length)) return failed(a, GetLastError(), L"has no size");
    const auto got = static_cast<std::uint64_t>(length.QuadPart);
    if (has_size_ && got != size_) {
      a.expected = decimal(size_);
      a.actual = decimal(got);
      return mismatch(a, part, L"FileSize");
    }
    if (sum_.kind != checksum_kind::none) {
      string digest;
      DWORD error = 0;
      if (!file_digest(part.get(), sum_.kind, digest, error))
        return failed(a, error, L"cannot be hashed");
      if (!checksum_matches(sum_, digest)) {
        a.expected = sum_.digits;
        a.actual = digest;
        return mismatch(a, part, L"CheckSum");
      }
    }
    if (!MoveFileExW(part_.c_str(), final_.c_str(), MOVEFILE_REPLACE_EXISTING))
      return failed(a, GetLastError(), L"cannot be renamed");
    // From here on not even a rename or delete is allowed; the handle made
    // on the final name must be the very file that was checked.
    unique_handle kept(
        create_file(final_, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0));
    if (!kept || !same_file(kept.get(), part.get())) {
      const DWORD error = kept ? ERROR_FILE_INVALID : GetLastError();
      kept.reset();
      part.reset();
      delete_file(final_);
      a.outcome = download_outcome::failed;
      a.error = error;
      process_verbose_log().log(kSource, __LINE__,
                                L"Download of %s was replaced after its check; deleted",
                                r_.url.c_str());
      return a;
    }
    held = std::move(kept);
    a.outcome = download_outcome::verified;
    return a;
  }

  attempt& failed(attempt& a, DWORD error, const wchar_t* what) {
    a.outcome = download_outcome::failed;
    a.error = error;
    process_verbose_log().log(kSource, __LINE__, L"Download of %s %s, error %lu; deleted",
                              r_.url.c_str(), what, static_cast<unsigned long>(error));
    delete_file(part_);
    return a;
  }

  attempt& mismatch(attempt& a, unique_handle& part, const wchar_t* what) {
    a.outcome = download_outcome::mismatch;
    part.reset();
    delete_file(part_);
    process_verbose_log().log(kSource, __LINE__,
                              L"%s mismatch for %s: expected %s, got %s; the file was deleted",
                              what, r_.url.c_str(), a.expected.c_str(), a.actual.c_str());
    return a;
  }

  const download_request& r_;
  download_progress* progress_;
  const bool* cancel_;
  expected_checksum sum_;
  bool has_size_ = false;
  std::uint64_t size_ = 0;
  string final_, part_;
};

}  // namespace

download_result download_verified(const download_request& request, download_progress* progress,
                                  const bool* cancel, held_files* hold) {
  download_result result;
  process_verbose_log().log(kSource, __LINE__, L"DownloadFiles: %s", request.url.c_str());
  if (!is_url(request.url.as_view(), url_schemes::web)) {
    result.error = ERROR_INVALID_PARAMETER;
    process_verbose_log().log(kSource, __LINE__, L"'%s' is not an http or https address",
                              request.url.c_str());
    return result;
  }
  downloader d(request, progress, cancel);
  if (d.sum().kind == checksum_kind::invalid) {
    // A digest nobody can match: no request is worth making.
    result.outcome = download_outcome::mismatch;
    result.expected = request.check_sum;
    process_verbose_log().log(
        kSource, __LINE__, L"CheckSum '%s' of %s is not an MD5 or SHA-256 digest; not downloaded",
        request.check_sum.c_str(), request.url.c_str());
    return result;
  }
  if (has_url_scheme(request.url.as_view(), url_schemes::web) &&
      !request.url.starts_with_i(string::view(L"https://")) && d.sum().kind == checksum_kind::none)
    process_verbose_log().log(kSource, __LINE__,
                              L"Warning: %s comes over plain http without a CheckSum",
                              request.url.c_str());
  for (int k = 0; k < kAttempts; ++k) {
    unique_handle held;
    const attempt a = d.run(held);
    result.attempts = k + 1;
    result.outcome = a.outcome;
    result.error = a.error;
    if (a.outcome == download_outcome::mismatch) {
      result.expected = a.expected;
      result.actual = a.actual;
    }
    if (a.outcome == download_outcome::verified) {
      result.path = d.final_path();
      if (hold) hold->hold(std::move(held));
      return result;
    }
    if (a.outcome == download_outcome::cancelled || (cancel && *cancel)) {
      result.outcome = download_outcome::cancelled;
      return result;
    }
  }
  return result;
}

}  // namespace kx::prereq
