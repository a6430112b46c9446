#include "prereq/file_condition.h"

#include <windows.h>

#include "base/path.h"
#include "platform/environment.h"
#include "platform/path_test.h"
#include "platform/registry.h"
#include "platform/temp_names.h"
#include "platform/version_info.h"
#include "prereq/folder_variables.h"
#include "prereq/registry_condition.h"
#include "prereq/version_compare.h"

namespace kx::prereq {
namespace {

// Loaded modules larger than this are read in place.
constexpr std::uint64_t kLoadedModuleCopyLimit = 0xF00000;

string current_directory() {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return string();
  std::wstring buffer(needed, L'\0');
  const DWORD n = GetCurrentDirectoryW(needed, buffer.data());
  if (n == 0 || n >= needed) return string();
  buffer.resize(n);
  return string(buffer);
}

string machine_path_variable() {
  LONG result = 0;
  const registry_key key = registry_key::open(
      HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
      KEY_READ, result);
  return key ? registry_read_text_lenient(key.get(), L"PATH") : string();
}

// Deletes a temporary copy when the test is done with it.
class temp_copy {
 public:
  explicit temp_copy(const string& source) {
    const string name = temp_name();
    if (!name.empty() && CopyFileW(source.c_str(), name.c_str(), TRUE)) path_ = name;
  }
  ~temp_copy() {
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }
  temp_copy(const temp_copy&) = delete;
  temp_copy& operator=(const temp_copy&) = delete;
  const string& path() const noexcept { return path_; }

 private:
  string path_;
};

version_parts file_version(const string& path, std::uint64_t size) {
  version_info info;
  // The version of a module mapped into this process is read from a copy,
  // away from the image the loader holds open.
  if (size < kLoadedModuleCopyLimit && GetModuleHandleW(path.c_str())) {
    const temp_copy copy(path);
    if (!copy.path().empty()) {
      info.load(copy.path());
      return version_from_file(info.fixed().dwFileVersionMS, info.fixed().dwFileVersionLS);
    }
  }
  info.load(path);
  return version_from_file(info.fixed().dwFileVersionMS, info.fixed().dwFileVersionLS);
}

bool judge_existing(std::uint32_t type, std::uint32_t comparison, const string& path,
                    sax::text_view expected) {
  if (type == condition_file_exists) return comparison == comparison_equal;

  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if (type == condition_file_date) {
    FILETIME local{};
    if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local)) return false;
    const std::uint64_t actual = std::uint64_t(local.dwHighDateTime) << 32 | local.dwLowDateTime;
    const std::uint64_t wanted = parse_file_time(expected);
    if (comparison == comparison_equal) return actual == wanted;
    if (comparison == comparison_less) return actual <= wanted;
    return false;
  }

  const std::uint64_t size = std::uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  const int order = compare_versions(file_version(path, size), parse_version(expected));
  switch (comparison) {
    case comparison_equal:
      return order == 0;
    case comparison_less:
      return order < 0;
    case comparison_greater:
      return order > 0;
    default:
      return false;
  }
}

}  // namespace

std::vector<string> file_candidates(const string& path) {
  std::vector<string> candidates;
  // A NUL would end the name early in every system call and name another file.
  if (path.empty() || path.find(xchar('\0')) != string::npos) return candidates;
  if (path.find(xchar('\\')) != string::npos) {
    candidates.push_back(path);
    return candidates;
  }
  if (const string here = current_directory(); !here.empty())
    candidates.push_back(path_join(here, path));
  const string search = machine_path_variable();
  std::size_t start = 0;
  while (start < search.size()) {
    std::size_t end = search.find(xchar(';'), start);
    if (end == string::npos) end = search.size();
    const string entry = expand_environment(search.substr(start, end - start));
    if (!entry.empty()) candidates.push_back(path_join(entry, path));
    start = end + 1;
  }
  return candidates;
}

std::uint64_t parse_file_time(sax::text_view text) noexcept {
  const version_parts halves = parse_version(text);
  return std::uint64_t(halves[0]) << 32 | halves[1];
}

bool evaluate_file_condition(std::uint32_t type, std::uint32_t comparison, sax::text_view path,
                             sax::text_view file_name, sax::text_view expected) {
  redirection_scope redirection;
  const string joined =
      path.empty() ? string(file_name) : path_join(string(path), string(file_name));
  const string resolved =
      expand_folder_variable(sax::text_view(joined.data(), joined.size()), redirection);
  for (const string& candidate : file_candidates(resolved)) {
    if (path_test(candidate, path_is_file | path_is_folder))
      return judge_existing(type, comparison, candidate, expected);
  }
  return comparison == comparison_less;
}

}  // namespace kx::prereq
