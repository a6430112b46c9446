// Preparing the process before the run, and undoing it after.
#pragma once

#include <windows.h>

#include "base/stringx.h"

namespace kx {

// The state the entry sets up for the run; COM is uninitialised on
// destruction when it was initialised.
class ProcessEntry {
 public:
  // Error mode, DLL search order (unless `command_line` names the internal
  // "tempdisk1folder:" switch), COM in a single-threaded apartment with
  // process-wide security on Vista and later, common controls; records the
  // instance and the launcher's own path.
  ProcessEntry(HINSTANCE instance, const string& command_line);
  ~ProcessEntry();
  ProcessEntry(const ProcessEntry&) = delete;
  ProcessEntry& operator=(const ProcessEntry&) = delete;

  // The running file's full path.
  const string& launcher_path() const { return launcher_path_; }
  bool com_initialized() const { return com_initialized_; }

 private:
  bool com_initialized_ = false;
  string launcher_path_;
};

// The module that holds the launcher's resources (set by ProcessEntry).
HINSTANCE resource_instance() noexcept;
void set_resource_instance(HINSTANCE instance) noexcept;

// Sets process-wide COM security: owner and group BUILTIN\Administrators and a
// DACL granting COM execute rights to Administrators, Local Service, Network
// Service, Self and Local System. Returns the CoInitializeSecurity result, or
// the failure that prevented the call.
HRESULT SetProcessComSecurity();

}  // namespace kx
