#include "diag/result_file.h"

#include "base/inifilex.h"
#include "base/string_win.h"
#include "platform/folders.h"

namespace kx {

namespace {

constexpr const wchar_t* kResultFileName = L"setup.log";

}  // namespace

string ResultFilePath(const string& option, bool web, const string& user_launcher) {
  if (!option.empty()) return option;
  if (web) {
    try {
      return temp_folder() + kResultFileName;
    } catch (...) {
      return string();
    }
  }
  const size_t slash = user_launcher.find_last_of(L"\\/");
  if (slash == string::npos) return string();
  return user_launcher.substr(0, slash + 1) + kResultFileName;
}

bool WriteResultFile(const string& path, long result_code, const string& information) {
  if (path.empty()) return false;
  inifilex document;
  // A missing file is an empty document; what an unreadable one held up to
  // its first bad line stays.
  document.load(path, L"=", false);
  document.set_string(L"Kestrix Silent", L"File", L"Log File");
  document.set_string(L"Kestrix Silent", L"Version", L"v7.00");
  document.set_string(L"ResponseResult", L"ResultCode", format(L"%ld", result_code));
  document.set_string(L"ExtendedError", L"ErrorInfo", information);
  return document.save_as(path, 0, -1, false);
}

}  // namespace kx
