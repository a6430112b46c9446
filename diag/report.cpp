#include "diag/report.h"

#include "base/path.h"
#include "diag/error_info.h"
#include "diag/report_url.h"
#include "diag/result_file.h"
#include "diag/trace_events.h"
#include "diag/trace_mask.h"
#include "ui/dialogs.h"
#include "ui/error_dialog.h"

namespace kx {

namespace {

constexpr long kGeneralFailure = -5001;

string error_information(const FailureReport& r) {
  ErrorInfoFacts facts;
  facts.source_file = short_source_name(r.source_file);
  facts.line = r.line;
  facts.product_name = r.product_name;
  facts.vendor_name = r.vendor_name;
  facts.product_guid = r.product_guid;
  facts.web = r.web;
  facts.package = r.package;
  CollectMachineFacts(facts, r.launcher_path);
  return BuildErrorInformation(facts);
}

void show_message_box(const FailureReport& r) {
  ShowMessage(r.owner, r.information, MB_OK | MB_ICONERROR, IDOK);
}

void show_dialog(const FailureReport& r) {
  ErrorDialogContent content;
  content.result_code = r.result_code;
  content.extended_code = r.extended_code;
  content.information = r.information;
  // The step's own explanation may name the medium file it failed on.
  content.step_message = mask_url_credentials(r.step_message);
  content.vendor_name = r.vendor_name;
  content.report_url = FormatReportUrl(r.report_url_template.as_view(), r.result_code,
                                       r.extended_code, r.information);
  INT_PTR result = 0;
  try {
    result = ShowErrorDialog(content, r.owner);
  } catch (...) {
    result = 0;
  }
  if (result == 0 || result == -1) show_message_box(r);
}

}  // namespace

void report_failure(FailureReport& report, bool suppress_dialog) {
  try {
    if (report.result_code == 0) report.result_code = kGeneralFailure;
    report.information = error_information(report);
    trace_unhandled_exception(report.result_code, report.extended_code, report.information);
    if (report.silent)
      WriteResultFile(ResultFilePath(report.result_file_option, report.web, report.user_launcher),
                      report.result_code, report.information);
    if (suppress_dialog)
      show_message_box(report);
    else
      show_dialog(report);
  } catch (...) {
    // A report that fails half-way must not end the run's clean-up.
  }
}

}  // namespace kx
