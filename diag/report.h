// The report of a failed run: the error-information text, the trace event,
// setup.log in a silent run, and the error dialog (or a plain message box).
#pragma once

#include <windows.h>

#include "base/stringx.h"

namespace kx {

// What the launcher knows about the failure and the run.
struct FailureReport {
  // The launcher's error code; 0 is reported as -5001.
  long result_code = 0;
  // The failing step's HRESULT, Win32 or exception code.
  HRESULT extended_code = S_OK;
  // Where the failure was detected, and the number shown beside it.
  string source_file;
  int line = 0;
  // The failing step's own explanation for the dialog; may be empty.
  string step_message;
  string product_name;
  string vendor_name;
  string product_guid;
  // The running launcher file (its version resource is read).
  string launcher_path;
  // The launcher the user started (setup.log goes beside it).
  string user_launcher;
  bool web = false;
  bool package = false;
  bool silent = false;
  // The "f2" path of setup.log; empty for the default place.
  string result_file_option;
  // setup.ini "ErrorReportURL", or the default address.
  string report_url_template;
  HWND owner = nullptr;

  // Filled by report_failure: the text it reported.
  string information;
};

// Reports the failure: builds the error-information text (into
// `report.information`, with the result code made -5001 when it is 0),
// writes the "UnhandledException" trace event, writes setup.log in a silent
// run, then shows the error dialog - or, with `suppress_dialog` or when the
// dialog cannot be shown, the text in a message box with the error icon.
// Silent runs show nothing. Never throws.
void report_failure(FailureReport& report, bool suppress_dialog);

}  // namespace kx
