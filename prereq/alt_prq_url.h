// A definition's AltPrqURL: a newer definition fetched from the web that
// replaces the one on the medium before its files are downloaded.
#pragma once

#include "base/stringx.h"
#include "prereq/prereq_download_progress.h"

class CSetupPreRequisite;

namespace kx::prereq {

// The name the replacement is saved under: the last "/" segment of the
// address's path (before any "?" or "#"), when it is one plain file name
// ending in ".prq"; "Default.prq" otherwise.
string alt_prq_file_name(const string& url);

enum class replacement {
  none,       // the definition names no AltPrqURL
  replaced,   // the replacement was fetched, accepted and loaded
  kept,       // it could not be fetched or was refused: the original stays
  cancelled,  // the person cancelled while it was fetched
};

// Fetches the AltPrqURL of `prerequisite` into `folder` and, when it is a
// replacement of the same definition, loads it in place of the original
// (the command lines already chosen stay, as for any replacement).
// Accepted only when it names the same Id, at least one file when the
// original had any, and no file or package name outside its folder. Only
// one hop is made: the replacement's own AltPrqURL is never followed. The
// fetched file is deleted again, so it can never be run. A replacement
// that cannot be fetched or is refused leaves the original as it was.
replacement apply_alt_prq_url(CSetupPreRequisite& prerequisite, const string& folder,
                              download_progress* progress, const bool* cancel);

}  // namespace kx::prereq
