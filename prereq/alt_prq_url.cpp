#include "prereq/alt_prq_url.h"

#include <string>

#include "base/file.h"
#include "base/path.h"
#include "base/payload_names.h"
#include "diag/verbose_log.h"
#include "platform/files.h"
#include "prereq/definition_reader.h"
#include "prereq/prereq_download.h"
#include "prereq/setup_prerequisite.h"

namespace kx::prereq {

namespace {

constexpr const char* kSource = "KxPreReqDlg.cpp";

bool read_small_file(const string& path, std::string& bytes) {
  file_lite f;
  if (!f.open_read(path)) return false;
  bytes.clear();
  char chunk[16384];
  while (bytes.size() <= kMaxDefinitionBytes) {
    const long long got = f.read(chunk, sizeof chunk);
    if (got < 0) return false;
    if (got == 0) return true;
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
  return false;
}

// Why the replacement at `path` cannot stand in for `original`; null when
// it can.
const wchar_t* refusal(const CSetupPreRequisite& original, const string& path) {
  std::string bytes;
  if (!read_small_file(path, bytes)) return L"it cannot be read or is larger than 4 MiB";
  definition_reader reader;
  reader.load_bytes(bytes.data(), bytes.size(), false, string());
  const definition_record& r = reader.record();
  if (r.id.empty() || !(r.id == original.GetId())) return L"its Id differs";
  if (r.NamesRefused()) return L"it names a file outside its folder";
  if (original.GetFileCount() > 0 && r.FileCount() == 0) return L"it names no file";
  return nullptr;
}

}  // namespace

string alt_prq_file_name(const string& url) {
  string::view v = url.as_view();
  const std::size_t end = v.find_first_of(string::view(L"?#"));
  if (end != string::view::npos) v = v.substr(0, end);
  const std::size_t scheme = v.find(string::view(L"://"));
  if (scheme != string::view::npos) v = v.substr(scheme + 3);
  const std::size_t slash = v.rfind(L'/');
  // No "/" after the host: the address names no file.
  if (slash == string::view::npos) return string(L"Default.prq");
  const string name(v.data() + slash + 1, v.size() - slash - 1);
  if (payload::check_file_name(name.as_view()) != payload::name_problem::none ||
      !name.ends_with_i(string::view(L".prq")))
    return string(L"Default.prq");
  return name;
}

replacement apply_alt_prq_url(CSetupPreRequisite& prerequisite, const string& folder,
                              download_progress* progress, const bool* cancel) {
  const string url = prerequisite.GetAltPrqUrl();
  if (url.empty()) return replacement::none;
  if (!url.starts_with_i(string::view(L"https://")))
    process_verbose_log().log(kSource, __LINE__,
                              L"Warning: the replacement definition %s comes over plain http",
                              url.c_str());
  download_request request;
  request.url = url;
  request.folder = folder;
  request.file_name = alt_prq_file_name(url);
  request.max_bytes = kMaxDefinitionBytes;
  const download_result got = download_verified(request, progress, cancel, nullptr);
  if (got.outcome == download_outcome::cancelled) return replacement::cancelled;
  if (got.outcome != download_outcome::verified) {
    process_verbose_log().log(kSource, __LINE__,
                              L"The replacement definition %s could not be fetched (0x%08lX); "
                              L"going on with the original",
                              url.c_str(), static_cast<unsigned long>(got.error));
    return replacement::kept;
  }
  replacement outcome = replacement::kept;
  if (const wchar_t* why = refusal(prerequisite, got.path)) {
    process_verbose_log().log(kSource, __LINE__,
                              L"The replacement definition %s is not used: %s; going on with "
                              L"the original",
                              url.c_str(), why);
  } else if (prerequisite.Load(got.path, false, string())) {
    process_verbose_log().log(kSource, __LINE__, L"Prerequisite '%s' replaced by %s",
                              prerequisite.GetId().c_str(), url.c_str());
    outcome = replacement::replaced;
  }
  delete_file(got.path);
  return outcome;
}

}  // namespace kx::prereq
