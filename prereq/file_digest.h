// The digest of a file that is already open, in the form a definition's
// CheckSum is written in.
#pragma once

#include <windows.h>

#include "base/stringx.h"
#include "prereq/checksum_rule.h"

namespace kx::prereq {

// Reads `file` from its start to its end and returns its digest of `kind`
// (md5 or sha256) as upper-case hexadecimal digits in `hex`. False with the
// Win32 error in `error` when the file cannot be read or SHA-256 is not
// available on this system; also false for the kinds none and invalid.
// Reads through one fixed buffer, so memory use does not grow with the file.
bool file_digest(HANDLE file, checksum_kind kind, string& hex, DWORD& error);

}  // namespace kx::prereq
