// The run's side of failure reporting and message boxes: the facts of the
// run handed to the report and to the windows.
#pragma once

#include <windows.h>

#include "base/stringx.h"
#include "diag/report.h"

namespace kx {

class CSetup;
struct SetupSettings;

// Hands the run's silent flag, language, language files, right-to-left
// set, product name, texts and resource module to the windows. The text
// and language-file lookups refer to `setup`, which must outlive every
// window shown.
void ShareUiEnvironment(CSetup& setup);

// The launcher the user started: the "package:" value of a copy unpacked
// from a payload, else the "KX_OriginalLauncher:" value of a relaunched
// copy, else the running file.
string UserLauncherPath(const SetupSettings& s);

// The report of the run's failure with the extended code `code`.
FailureReport FailureReportOf(CSetup& setup, HRESULT code);

// Reports the run's failure (report_failure) and makes the launcher's error
// code -5001 when it is still 0.
void ReportRunFailure(CSetup& setup, HRESULT code, bool suppress_dialog);

// A message box of the run (ShowMessage); silent runs answer IDOK.
int ShowRunMessage(CSetup& setup, const string& text, UINT style);

}  // namespace kx
