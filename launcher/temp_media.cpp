#include "launcher/temp_media.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "base/file.h"
#include "base/path.h"
#include "base/pattern_format.h"
#include "diag/error_info.h"
#include "diag/trace_events.h"
#include "launcher/payload.h"
#include "launcher/setup.h"
#include "launcher/setup_settings.h"
#include "launcher/step_result.h"
#include "launcher/web_medium.h"
#include "platform/group_member.h"
#include "platform/os_version.h"
#include "platform/path_test.h"
#include "platform/process_launch.h"
#include "platform/temp_names.h"
#include "resources/resource_ids.h"

namespace kx {

namespace {

constexpr DWORD kCopyBuffer = 0x8000;

string without_trailing_backslash(string path) {
  while (path.size() > 1 && path.back() == L'\\') path.pop_back();
  return path;
}

// A failure's last error as an HRESULT. A failure that left no error code
// is still a failure.
HRESULT hresult_of(DWORD error) {
  if (error == 0) return E_FAIL;
  if (static_cast<LONG>(error) < 0) return static_cast<HRESULT>(error);
  return static_cast<HRESULT>(0x80070000u + (error & 0xFFFF));
}

// A target being written: removed again unless the copy completes, also
// when a step aborts inside the copy (a cancelled download).
class partial_target {
 public:
  explicit partial_target(const string& path) : path_(path) {}
  ~partial_target() {
    if (!complete_) {
      keep_last_error k;
      out.close();
      DeleteFileW(path_.c_str());
    }
  }
  partial_target(const partial_target&) = delete;
  partial_target& operator=(const partial_target&) = delete;
  void completed() noexcept { complete_ = true; }

  file_lite out;

 private:
  const string& path_;
  bool complete_ = false;
};

// Copies through the source-file classes; the target must not exist yet.
// On failure the partly written target is removed and the error is the
// thread's last error.
bool copy_medium_file(const string& source, const string& target, long long& copied) {
  file_lite in;
  if (!in.open_read(source)) return false;
  partial_target t(target);
  if (!t.out.open_write(target, CREATE_NEW)) {
    // Nothing of ours to remove: the name was taken or could not be made.
    t.completed();
    return false;
  }
  std::vector<char> buffer(kCopyBuffer);
  for (;;) {
    const long long got = in.read(buffer.data(), kCopyBuffer);
    if (got == 0) break;
    if (got < 0 || t.out.write(buffer.data(), static_cast<DWORD>(got)) != got) return false;
    copied += got;
  }
  t.completed();
  return true;
}

int relaunch_failure(const SetupSettings& s) {
  return s.CustomRetCode && s.CustomRetCodeOnFail != -1 ? s.CustomRetCodeOnFail : kErrorRelaunch;
}

}  // namespace

string DefaultTempFolder() {
  return DefaultTempFolder(running_on_win9x() || group_member(true, true));
}

string DefaultTempFolder(bool secure) {
  if (secure) {
    const string folder = create_secure_temp_folder();
    if (!folder.empty()) return ensure_trailing_backslash(folder);
  }
  // A name nobody can guess, so the folder cannot be prepared in advance.
  const string name = temp_name(string(), string(), false);
  if (!name.empty() && CreateDirectoryW(name.c_str(), nullptr))
    return ensure_trailing_backslash(name);
  return string();
}

HRESULT ExtractPayload(CSetup& setup, string& command_line) {
  SetupSettings& s = setup.Settings();
  // Unpacking into "" would write into the current folder.
  if (s.TempFolder.empty()) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);

  int result;
  string failed_file;
  std::vector<string> unpacked;
  if (s.ExtractAll) {
    result = ExtractOverlay(s.LauncherPath, s.TempFolder, nullptr, nullptr, true, &failed_file);
  } else {
    std::vector<string> files, folders;
    result = ExtractOverlay(s.LauncherPath, s.TempFolder, &files, &folders, false, &failed_file);
    for (const string& f : folders) setup.Cleanup().add_folder(f);
    for (const string& f : files) setup.Cleanup().add_file(f);
    unpacked = std::move(files);
  }
  if (result == overlay_expand_failed) {
    // The usual cause is a temporary folder too deep for LZ32, which the
    // person can change; the general explanation would not lead there.
    setup.FailureMessage = format_with_text(
        setup.Services().GetString(s, IDS_ERR_EXPAND_FILE).as_view(), failed_file.as_view());
    // Silent runs show no dialog: setup.log carries it instead.
    SetComErrorDescription(setup.FailureMessage);
  }
  if (result != overlay_ok) return static_cast<HRESULT>(result);

  command_line += L" -package:\"" + s.LauncherPath + L"\"";

  const string disk1 = s.TempFolder + L"Disk1";
  s.SourceFolder =
      path_test(disk1, path_is_folder) ? disk1 : without_trailing_backslash(s.TempFolder);

  // The unpacked launcher takes the running file's name, so that a medium
  // started as install.exe goes on as install.exe.
  const string own_name = path_file_name(s.LauncherPath);
  string name = s.LauncherName.empty() ? string(L"setup.exe") : s.LauncherName;
  if (own_name != name) {
    const string from = s.SourceFolder + L"\\" + name;
    const string to = s.SourceFolder + L"\\" + own_name;
    if (MoveFileW(from.c_str(), to.c_str())) {
      // The moved file is the run's only when the unpacking made it.
      if (std::find(unpacked.begin(), unpacked.end(), from) != unpacked.end())
        setup.Cleanup().add_file(to);
      name = own_name;
    }
  }
  s.LauncherPath = s.SourceFolder + L"\\" + name;
  return S_OK;
}

HRESULT CopyDisk1FileToTemp(CSetup& setup, const string& source, const string& target) {
  trace_copy_begin(source, target);
  HRESULT hr = S_OK;
  long long copied = 0;
  bool record = false;
  try {
    if (source == target) {
      // Nothing to copy, and the medium's own file is not the run's to
      // delete.
    } else if (path_test(target, path_is_file | path_is_folder)) {
      // Counts as copied, but what was there before the run is not the
      // run's to delete (a folder named by "tempdisk1folder:").
    } else if (copy_medium_file(source, target, copied)) {
      record = true;
    } else {
      hr = hresult_of(GetLastError());
    }
  } catch (const StepAbort& abort) {
    hr = abort.code();
  }
  if (hr >= 0 && record) setup.Cleanup().add_file(target);
  if (hr < 0 && hr != kCancelled && has_url_scheme(source, url_schemes::web))
    ExplainDownloadFailure(setup, source, hr);
  trace_copy_end(hr, copied, source, target);
  return hr;
}

HRESULT CopyDisk1FileToTemp(CSetup& setup, const string& name) {
  const SetupSettings& s = setup.Settings();
  // Without a temporary folder the copy would land in the current folder.
  if (s.TempFolder.empty()) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  return CopyDisk1FileToTemp(setup, MediumFilePath(s.SourceFolder, name),
                             ensure_trailing_backslash(s.TempFolder) + name);
}

string RelaunchArguments(const SetupSettings& s, const string& arguments) {
  return arguments + L" -media_path:\"" + path_directory(s.LauncherPath) +
         L"\" -tempdisk1folder:\"" + without_trailing_backslash(s.TempFolder) +
         L"\" -KX_OriginalLauncher:\"" + s.LauncherPath + L"\"";
}

int RelaunchFromTemp(CSetup& setup, const string& arguments) {
  const SetupSettings& s = setup.Settings();
  if (s.TempFolder.empty()) return relaunch_failure(s);
  const string target = ensure_trailing_backslash(s.TempFolder) + path_file_name(s.LauncherPath);
  if (CopyDisk1FileToTemp(setup, s.LauncherPath, target) < 0) return relaunch_failure(s);

  const unsigned wait = s.CloneWait ? wait_process | launch_shell : launch_shell;
  // A silent run must not stop at the shell's error box.
  const DWORD mask = s.Silent || s.Auto ? SEE_MASK_FLAG_NO_UI : 0;
  const int started = launch(target, RelaunchArguments(s, arguments), L"open", string(), wait,
                             INFINITE, SW_SHOWNORMAL, mask);
  if (started != launch_ok) return relaunch_failure(s);
  if (s.CloneWait) return static_cast<int>(last_launch().exit_code);
  return s.CustomRetCode && s.CustomRetCodeOnSuccess != -1 ? s.CustomRetCodeOnSuccess : 0;
}

}  // namespace kx
