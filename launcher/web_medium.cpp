#include "launcher/web_medium.h"

#include "base/path.h"
#include "base/pattern_format.h"
#include "base/string_win.h"
#include "diag/error_info.h"
#include "launcher/launcher_services.h"
#include "launcher/setup.h"
#include "launcher/setup_settings.h"
#include "launcher/step_result.h"
#include "resources/resource_ids.h"
#include "ui/cancel_request.h"

namespace kx {

namespace {

// The agent of the credential request: the same as the medium copies', so
// that the server and its logs see one client.
constexpr const wchar_t* kCredentialAgent = L"toys::file_lite";

}  // namespace

string MediumFilePath(const string& source_folder, const string& name) {
  if (source_folder.empty()) return name;
  string path = source_folder;
  const wchar_t separator = has_url_scheme(path, url_schemes::web) ? L'/' : L'\\';
  if (path.back() != L'/' && path.back() != L'\\') path += separator;
  return path + name;
}

web_policy WebPolicyOf(const SetupSettings& s) {
  web_policy policy;
  policy.silent = s.Silent || s.Auto;
  policy.cancel_requested = &CancelRequested;
  return policy;
}

bool QueryMediumCredentials(const string& header_url, web_credentials& out) {
  out = web_credentials{};
  if (!is_url(header_url, url_schemes::web)) return false;
  web_source_options options;
  options.agent = kCredentialAgent;
  DWORD error = 0;
  std::unique_ptr<web_source> source = make_web_source(options, error);
  if (!source || source->open(header_url, kWebOpenFlags) != 0) return false;
  // The options of a connection exist only once a request went out, so the
  // source sends one before it answers.
  web_credentials got;
  if (source->credentials(got) != 0) return false;
  out = std::move(got);
  return true;
}

void ExplainDownloadFailure(CSetup& setup, const string& url, HRESULT code) {
  const string pattern = setup.Services().GetString(setup.Settings(), IDS_ERR_DOWNLOAD_FILE);
  string text = format_with_text(pattern.as_view(), url.as_view());
  text += format(L" (0x%08lX)", static_cast<unsigned long>(code));
  setup.FailureMessage = text;
  // A silent run shows no dialog: setup.log carries it instead.
  SetComErrorDescription(text);
}

void ReadWebCredentials(CSetup& setup, const string& header_path) {
  web_credentials c;
  if (!QueryMediumCredentials(header_path, c)) return;
  setup.WebUser = string(c.user);
  setup.WebPassword = string(c.password);
  setup.ProxyUser = string(c.proxy_user);
  setup.ProxyPassword = string(c.proxy_password);
}

}  // namespace kx
