#include "diag/error_info.h"

#include <oleauto.h>

#include "base/string_win.h"
#include "diag/trace_mask.h"
#include "platform/os_version.h"
#include "platform/registry.h"
#include "platform/version_info.h"

namespace kx {

namespace {

string com_error_description() {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || !info) return string();
  unique_bstr description;
  string text;
  if (SUCCEEDED(info->GetDescription(description.put())) && description.get())
    text = string(description.get(), description.length());
  info->Release();
  return text;
}

}  // namespace

string BuildErrorInformation(const ErrorInfoFacts& f) {
  string text = f.com_description;
  text += format(L">%s (%d)\r\n", f.source_file.c_str(), f.line);
  text += format(L"PAPP:%s\r\nPVENDOR:%s\r\nPGUID:%s\r\n", f.product_name.c_str(),
                 f.vendor_name.c_str(), f.product_guid.c_str());
  text += L"$" + f.internal_version;
  if (f.web) text += L"WEB";
  if (f.package) text += L"PAK";
  text += L"\r\n@" + f.os_name;
  text += format(L" Service Pack %ld", static_cast<long>(f.service_pack));
  text += format(L" (%ld) ", static_cast<long>(f.build));
  text += L"\r\nIE Version: " + f.ie_version;
  // The text goes to setup.log, the dialog and, through the Report address,
  // to the vendor's site; the COM description may quote a medium address
  // with its password. Masking it here covers every one of them at once.
  return mask_url_credentials(text);
}

void CollectMachineFacts(ErrorInfoFacts& facts, const string& launcher_path) {
  try {
    facts.com_description = com_error_description();
    facts.internal_version = file_internal_version(launcher_path);
    facts.os_name = os_name();
    facts.service_pack = os_service_pack_major();
    facts.build = os_build_number();
    facts.ie_version = internet_explorer_version();
  } catch (...) {
    // A report goes out with whatever could be learnt.
  }
}

void SetComErrorDescription(const string& text) noexcept {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create)) || !create) return;
  create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))) && info) {
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
}

}  // namespace kx
