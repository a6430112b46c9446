// The launcher's trace events, one call each, with the exact category,
// sub-category and details of the trace file. Secrets never reach the file:
// passwords are written as "***" (empty when not set) and the password part
// of any address is masked (diag/trace_mask.h).
#pragma once

#include <windows.h>

#include "base/secret_wipe.h"
#include "base/stringx.h"

namespace kx {

// The credentials handed to the engine for a web medium's cabinet.
struct cabinet_credentials {
  string user;
  string password;
  string proxy_user;
  string proxy_password;
  // The passwords are overwritten before their memory is given back.
  ~cabinet_credentials() {
    wipe_secret(password);
    wipe_secret(proxy_password);
  }
};

// "KXSetupDLLOp" / "CopyDisk1FileToTempBegin": a medium file is about to be
// copied from `source` (a path or an address) to `target`.
void trace_copy_begin(const string& source, const string& target);

// "KXSetupDLLOp" / "CopyDisk1FileToTempEnd": the copy ended with `result`
// ("Success" when it is not negative, else "Failure" with the code) after
// `copied` bytes.
void trace_copy_end(HRESULT result, long long copied, const string& source, const string& target);

// "KXSetupDLLOp" / "OpenCABBegin": the engine is about to open the cabinet
// header `header_path` with `credentials`.
void trace_open_cab_begin(const string& header_path, const cabinet_credentials& credentials);

// "KXSetupDLLOp" / "OpenCABEnd": the cabinet opening ended with `result`
// ("Success" when it is not negative, else "Failure" with the code).
void trace_open_cab_end(HRESULT result, const string& header_path,
                        const cabinet_credentials& credentials);

// "KXSetupDLLOp" / "DeleterDeleteFolder" (with `folder`) or
// "DeleterDeleteFile": the deleter is about to remove `path`.
void trace_deleter_step(const string& path, bool folder);

// "KXSetupDLLOp" / "UnhandledException": the failure report of a run, with
// its result code (the launcher's error code), the extended code (the
// failure's HRESULT) and the error-information text, whose line breaks
// become "_".
void trace_unhandled_exception(long result_code, HRESULT extended_code, const string& information);

}  // namespace kx
