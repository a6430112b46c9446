// The error-information text of a failed run: what the failing step said,
// where the failure was detected, which product and launcher ran, and on
// which system. It goes to the error dialog's details, setup.log, the trace
// and the error-report address.
#pragma once

#include <windows.h>

#include "base/stringx.h"

namespace kx {

// The pieces of the text; every missing fact is an empty piece.
struct ErrorInfoFacts {
  // The description of the thread's COM error object.
  string com_description;
  // The source file that detected the failure, and the number shown beside
  // it (the check site).
  string source_file;
  int line = 0;
  string product_name;
  string vendor_name;
  string product_guid;
  // "KXInternalVersion" of the running launcher's version resource.
  string internal_version;
  bool web = false;
  bool package = false;
  string os_name;
  DWORD service_pack = 0;
  DWORD build = 0;
  string ie_version;
};

// The text, in this order: the COM description; ">" with the short source
// name and the number in parentheses; "PAPP:", "PVENDOR:" and "PGUID:"
// lines; "$" with the internal version, directly followed by "WEB" and
// "PAK" when set; a line "@" with the system's name, " Service Pack <n>"
// and " (<build>) "; the line "IE Version: " with the version. Passwords of
// addresses anywhere in it are masked (mask_url_credentials).
string BuildErrorInformation(const ErrorInfoFacts& facts);

// Fills the facts the machine knows: the thread's COM error description
// (the error object is taken and released), the internal version of
// `launcher_path`, the system's name, service pack and build, and the
// Internet Explorer version. Never throws.
void CollectMachineFacts(ErrorInfoFacts& facts, const string& launcher_path);

// Makes `text` the description of the thread's COM error object, the piece
// that CollectMachineFacts takes first: a step's own explanation of a
// failure reaches setup.log, the trace and the dialog's details this way.
// Nothing changes when the object cannot be made. Never throws.
void SetComErrorDescription(const string& text) noexcept;

}  // namespace kx
