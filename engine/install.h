// The installation itself: the cabinet's files into the install folder, the
// maintenance copy of the medium with the engine's log and the record of
// the files (engine/maintenance.h), and the
// product's entry under "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall",
// which the launcher reads back to find installed instances, their language
// and whether a medium is their cached copy; and the removal of what an
// aborted run wrote.
#pragma once

#include <windows.h>

#include <string>

#include "engine/session.h"

namespace kxe {

// Installs the opened medium of `session`, reporting each file to the host
// (when one is set): OnTransferBegin, per file OnStatus, OnFileBegin,
// OnFileEnd and Progress, then Rate and OnTransferEnd. A failing Progress
// answer (the user cancelled) stops the run with that answer. Only the files
// the header lists are written, each below the install folder; a listed file
// missing from the cabinet fails with HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND).
// What the run creates is recorded in `session` for RemoveInstalled.
// The instance's GUID must name a folder (MaintenanceFolder), else
// E_INVALIDARG. An installed instance is repaired: its files are written
// again and its record keeps what the first installation recorded. When
// the argument text asks for the removal, RemoveInstance runs instead.
HRESULT Install(Session& session);

// Removes the files, folders and uninstall entry that Install created through
// this session (files that were there before stay).
void RemoveInstalled(Session& session);

// The bytes the installation writes: the sizes of the header's files in the
// cabinet.
HRESULT InstallSize(const Session& session, ULONGLONG* bytes);

// What the engine reads from the medium's setup.ini ([Startup]).
struct SetupIniFacts {
  bool all_users = false;     // AllUsers ("Y", "Yes", "1", "True"); default: an administrator
  std::wstring product_guid;  // ProductGUID, else ProductCode
  std::wstring product;       // Product
};

// Reads those facts; a missing file gives the defaults.
SetupIniFacts ReadSetupIni(const std::wstring& ini_path);

struct UninstallValues {
  std::wstring display_name;
  std::wstring install_location;
  std::wstring product_guid;
  std::wstring uninstall_string;
  std::wstring log_file;
};

// True when `guid` can name the entry's key: 1 to 100 characters, no
// backslash (it would reach another key) and no control character.
bool IsValidInstallGuid(const std::wstring& guid);

// Creates or updates the entry `guid` under `root` (HKEY_LOCAL_MACHINE or
// HKEY_CURRENT_USER). *created tells whether the key is new. Returns the
// registry's error as an HRESULT.
HRESULT WriteUninstallEntry(HKEY root, const std::wstring& guid, const UninstallValues& values,
                            bool* created);
// The string value `name` of the entry `guid` under `root`; empty when
// missing or no string.
std::wstring ReadUninstallValue(HKEY root, const std::wstring& guid, const wchar_t* name);
// The "LogFile" value of the entry `guid` under `root`; empty when missing.
std::wstring ReadUninstallLogFile(HKEY root, const std::wstring& guid);
// Deletes the entry `guid` with its values.
void DeleteUninstallEntry(HKEY root, const std::wstring& guid);

}  // namespace kxe
