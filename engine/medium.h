// The medium's files that the engine reads.
//
// The cabinet header "data1.hdr": a UTF-16LE INI file (with its byte-order
// mark) that names the product, the folder it installs into and the files of
// the cabinet beside it:
//   [Product]
//   Name=Demo Application
//   InstallDir=%ProgramFiles%\Demo      (environment variables are expanded)
//   [Files]
//   File1=readme.txt
//   File2=bin\app.exe                   (the name in the cabinet = the path
//                                        below InstallDir)
//
// The cabinet "data1.cab" beside it is read with the system's cabinet
// support (setupapi), one entry at a time, so that the caller decides per
// entry where it goes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/install_record.h"

namespace kxe {

struct Header {
  std::wstring product;
  // Absolute, without a trailing backslash.
  std::wstring install_dir;
  // Relative paths with backslashes, each checked by IsSafeRelativeName.
  std::vector<std::wstring> files;
};

// Reads and checks the header at `path`. Fails with
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when it is missing,
// HRESULT_FROM_WIN32(ERROR_BAD_FORMAT) when it is not such a file (no
// byte-order mark, no product name, no absolute install folder, no files, a
// name twice) and HRESULT_FROM_WIN32(ERROR_INVALID_NAME) when a file name
// could leave the install folder.
HRESULT ReadHeader(const std::wstring& path, Header* header);

// One entry of a cabinet: its stored name (backslashes) and size.
struct CabinetEntry {
  std::wstring name;
  ULONGLONG size = 0;
};

// Asked for each entry: S_OK with a full target path to extract it there
// (the caller has made its folder), S_OK with an empty target to skip it, or
// a failure to stop.
using ChooseTarget = std::function<HRESULT(const CabinetEntry& entry, std::wstring* target)>;
// Told after each extracted entry; a failure stops the extraction.
using EntryDone = std::function<HRESULT(const CabinetEntry& entry, const std::wstring& target)>;

// Walks the cabinet. Returns the first failure of a callback as it is, the
// system's error as an HRESULT, or HRESULT_FROM_WIN32(ERROR_BAD_FORMAT) for a
// file that is no readable cabinet (or one that continues in another file).
HRESULT ReadCabinet(const std::wstring& cabinet, const ChooseTarget& choose, const EntryDone& done);

}  // namespace kxe
