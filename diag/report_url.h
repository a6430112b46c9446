// The address the Report button of the error dialog opens.
#pragma once

#include <windows.h>

#include "base/stringx.h"

namespace kx {

// Fills the error-report template (setup.ini "ErrorReportURL") with the
// result code, the extended code and the error-information text, in that
// order: the first integer conversion (%d %i %u %x %X %o, with the flags
// "-+ #0", a width and a precision of up to 100 and the modifiers 'l' and
// 'h') takes the result code, the next one the extended code, then the
// first %s the text. Every inserted value is percent-encoded (UTF-8), so
// line breaks, '&' and '#' of the text stay inside their query value.
// "%%" gives '%'; any other '%' sequence - a conversion out of turn, "*"
// widths, %n - stays as written, so a template can never read a value that
// is not there.
string FormatReportUrl(string::view url_template, long result_code, HRESULT extended_code,
                       const string& information);

// `text` in UTF-8 with every byte other than A-Z, a-z, 0-9, '-', '_', '.'
// and '~' written as "%XX".
string PercentEncode(string::view text);

}  // namespace kx
