#include "launcher/failure_report.h"

#include <string_view>

#include "launcher/command_line.h"
#include "launcher/language.h"
#include "launcher/process_entry.h"
#include "launcher/setup.h"
#include "ui/dialogs.h"
#include "ui/ui_environment.h"

namespace kx {

namespace {

string unquoted(string text) {
  if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
    return text.substr(1, text.size() - 2);
  return text;
}

}  // namespace

void ShareUiEnvironment(CSetup& setup) {
  const SetupSettings& s = setup.Settings();
  UiEnvironment& e = ui_environment();
  e.resources = resource_instance();
  e.silent = s.Silent || s.Auto;
  e.language = s.ChosenLanguage;
  e.rtl_languages = s.RtlLanguages;
  e.product_name = s.ProductName;
  CSetup* run = &setup;
  e.strings = [run](UINT id) { return run->Services().GetString(run->Settings(), id); };
  e.language_file = [run](std::uint16_t language) {
    return LanguageFilePath(run->Settings(), language);
  };
}

string UserLauncherPath(const SetupSettings& s) {
  if (s.Package) {
    // The unpacking launcher handed its own path on in "package:", which
    // stays among the engine's arguments.
    CommandLine line(s.CommandLineArguments);
    string value;
    if (line.FindSwitch(L"package:", &value) && !unquoted(value).empty()) return unquoted(value);
  }
  return s.FirstLauncher.empty() ? s.LauncherPath : s.FirstLauncher;
}

FailureReport FailureReportOf(CSetup& setup, HRESULT code) {
  const SetupSettings& s = setup.Settings();
  FailureReport r;
  r.result_code = setup.ErrorCode;
  r.extended_code = code;
  const std::string_view file = setup.RunFailure.file ? setup.RunFailure.file : "";
  r.source_file = file.empty() ? string(CSetup::kSourceModule) : string(file.begin(), file.end());
  r.line = setup.RunFailure.site;
  r.step_message = setup.FailureMessage;
  r.product_name = s.ProductName;
  r.vendor_name = s.CompanyName;
  r.product_guid = s.ProductGuid;
  r.launcher_path = s.LauncherPath;
  r.user_launcher = UserLauncherPath(s);
  r.web = s.InstallFromWeb;
  r.package = s.Package;
  r.silent = s.Silent || s.Auto;
  r.result_file_option = s.ResultFilePath;
  r.report_url_template =
      s.ErrorReportUrl.empty() ? string(kDefaultErrorReportUrl) : s.ErrorReportUrl;
  r.owner = setup.OwnerWindow;
  return r;
}

void ReportRunFailure(CSetup& setup, HRESULT code, bool suppress_dialog) {
  ShareUiEnvironment(setup);
  FailureReport report = FailureReportOf(setup, code);
  report_failure(report, suppress_dialog);
  if (setup.ErrorCode == 0) setup.ErrorCode = static_cast<int>(report.result_code);
}

int ShowRunMessage(CSetup& setup, const string& text, UINT style) {
  ShareUiEnvironment(setup);
  return ShowMessage(setup.OwnerWindow, text, style, IDOK);
}

}  // namespace kx
