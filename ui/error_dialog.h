// The error dialog of a failed run: what failed, what to do, the details
// on request and a button that reports the failure on the vendor's page.
#pragma once

#include <windows.h>

#include <functional>

#include "base/stringx.h"

namespace kx {

// What the dialog shows.
struct ErrorDialogContent {
  long result_code = 0;
  HRESULT extended_code = S_OK;
  // The error-information text of the details box.
  string information;
  // The failing step's own explanation; empty for the general one.
  string step_message;
  string vendor_name;
  // The finished address the Report button opens.
  string report_url;
};

// How much taller the dialog is while its details show, in pixels at 96 DPI.
inline constexpr int kErrorDetailsHeight = 118;

// kErrorDetailsHeight at the DPI the windows are laid out for (DisplayDpi):
// the details box lies below the visible part in dialog units, which grow
// with the DPI.
int ErrorDetailsHeight();

// Runs the error dialog modally (template 119) and returns its result: 0 or
// -1 when it could not be shown, and in a silent run without
// ui_show_when_silent the default 1 without showing anything.
INT_PTR ShowErrorDialog(const ErrorDialogContent& content, HWND owner, unsigned flags = 0);

// The same dialog modeless; `content` must outlive the window. OK, Escape
// and the close box destroy it. Null when it could not be created.
HWND CreateErrorDialog(const ErrorDialogContent& content, HWND parent, unsigned flags = 0);

// Whether the details show: toggled by the Detail button and kept for the
// rest of the process, so the next error dialog opens the same way.
bool ErrorDetailsShown() noexcept;
void SetErrorDetailsShown(bool shown) noexcept;

// Opens a report address; the default asks the shell to "open" it.
using ReportOpener = std::function<void(const string& url)>;

// Puts `opener` in place of the current one (an empty one restores the
// default) and returns the one it replaced.
ReportOpener SetReportOpener(ReportOpener opener);

}  // namespace kx
