// File operations that another component left in the registry for the
// launcher: moves and deletions of files that were in use when it ran.
//
// Layout, under <root>\Software\KestrixPendingOperation: "Count"
// (REG_DWORD), then for i = 1..Count "source<i>" (the file) and "dest<i>"
// (where it goes; empty means delete it). The launcher only consumes the
// key.
#pragma once

#include <windows.h>

namespace kx {

// The root the key lives under: HKEY_LOCAL_MACHINE where the process may
// write machine keys - Windows 9x, or a user whose Administrators or Power
// Users group is enabled - else HKEY_CURRENT_USER.
HKEY pending_operations_root();

// Carries out the operations under `root` and removes the key with
// everything in it, also when an operation failed or Count is 0 or
// missing: each operation is tried once only. A move replaces an existing
// destination; a deletion's failure is ignored; an entry whose "source<i>"
// or "dest<i>" is missing, not text, or longer than 260 characters is
// skipped. S_OK when the key is missing or cannot be opened for writing, or
// every move succeeded; otherwise the last failed move's error as an
// HRESULT (0x80070000 | code).
HRESULT run_pending_operations(HKEY root);

// run_pending_operations under pending_operations_root().
HRESULT run_pending_operations();

}  // namespace kx
