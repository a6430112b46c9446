#include "diag/trace_events.h"

#include "diag/trace.h"
#include "diag/trace_mask.h"

namespace kx {

// Addresses need no masking here: every details line has the passwords of
// its addresses masked on the way to the file (diag/trace.h).

namespace {

constexpr const wchar_t* kOperations = L"KXSetupDLLOp";

const wchar_t* outcome(HRESULT result) {
  return result >= 0 ? L"Success" : L"Failure";
}

}  // namespace

void trace_copy_begin(const string& source, const string& target) {
  trace(kOperations, L"CopyDisk1FileToTempBegin", L"SourceFile=%s\tTargetFile=%s", source.c_str(),
        target.c_str());
}

// Copied counts are written in full (%I64d): a cabinet may pass 2 GB.
void trace_copy_end(HRESULT result, long long copied, const string& source, const string& target) {
  if (result >= 0)
    trace(kOperations, L"CopyDisk1FileToTempEnd",
          L"Result=%s\tCopied=%I64d\tSourceFile=%s\tTargetFile=%s", outcome(result), copied,
          source.c_str(), target.c_str());
  else
    trace(kOperations, L"CopyDisk1FileToTempEnd",
          L"Result=%s\t\tError=0x%08lx\tCopied=%I64d\tSourceFile=%s\tTargetFile=%s",
          outcome(result), static_cast<unsigned long>(result), copied, source.c_str(),
          target.c_str());
}

void trace_open_cab_begin(const string& header_path, const cabinet_credentials& c) {
  trace(kOperations, L"OpenCABBegin",
        L"HeaderPathFile=%s\tUser=%s\tPassword=%s\tProxyUser=%s\tProxyPassword=%s",
        header_path.c_str(), c.user.c_str(), mask_secret(c.password).c_str(), c.proxy_user.c_str(),
        mask_secret(c.proxy_password).c_str());
}

void trace_open_cab_end(HRESULT result, const string& header_path, const cabinet_credentials& c) {
  const string password = mask_secret(c.password);
  const string proxy_password = mask_secret(c.proxy_password);
  if (result >= 0)
    trace(kOperations, L"OpenCABEnd",
          L"Result=%s\tHeaderPathFile=%s\tUser=%s\tPassword=%s\tProxyUser=%s\tProxyPassword=%s",
          outcome(result), header_path.c_str(), c.user.c_str(), password.c_str(),
          c.proxy_user.c_str(), proxy_password.c_str());
  else
    trace(kOperations, L"OpenCABEnd",
          L"Result=%s\t\tError=0x%08lx\tHeaderPathFile=%s\tUser=%s\tPassword=%s\tProxyUser=%s\t"
          L"ProxyPassword=%s",
          outcome(result), static_cast<unsigned long>(result), header_path.c_str(), c.user.c_str(),
          password.c_str(), c.proxy_user.c_str(), proxy_password.c_str());
}

void trace_deleter_step(const string& path, bool folder) {
  if (folder)
    trace(kOperations, L"DeleterDeleteFolder", L"Folder=%s", path.c_str());
  else
    trace(kOperations, L"DeleterDeleteFile", L"File=%s", path.c_str());
}

void trace_unhandled_exception(long result_code, HRESULT extended_code, const string& information) {
  trace(kOperations, L"UnhandledException",
        L"ErrorCode=%ld\tException=0x%08lx\tErrorInformation=%s", result_code,
        static_cast<unsigned long>(extended_code), information.c_str());
}

}  // namespace kx
