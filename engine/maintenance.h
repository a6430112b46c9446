// An installed instance's maintenance: the copy of the medium that its
// uninstall entry starts, the record of its files, and its removal.
//
// The entry's UninstallString starts the launcher copy in the instance's
// maintenance folder with "-ig<GUID> -uninstall"; the launcher passes the
// switch on in the engine's argument text, and the engine opened with that
// install GUID removes the instance instead of installing it. The entry's
// LogFile lies in the same folder, so the launcher recognises the copy as
// the product's own cached medium and skips the prerequisites.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "engine/install_record.h"
#include "engine/session.h"

namespace kxe {

// The install GUID of the session: the one the host opened it with, else
// the product GUID of setup.ini.
std::wstring InstanceGuid(const Session& session);

// True when the argument text asks for the removal of the instance.
bool RemovalRequested(const Session& session);

// True when the opened medium is an instance's maintenance copy (its folder
// holds the record): such a copy has no cabinet.
bool IsMaintenanceCopy(const Session& session);

// The bytes a removal from the maintenance copy goes through: the sizes of
// the recorded files that are still there.
ULONGLONG RecordedSize(const Session& session);

// Copies the medium's launcher, setup.ini, language files ("0x*.ini"),
// KXSetup.dll and data1.hdr into `folder` (which exists), recording each
// file it creates in the session. A file the medium lacks is left out; a
// source that is the target already (a repair from the copy) stays as it
// is. `copied` receives the names of the files the folder now holds.
HRESULT KeepMaintenanceCopy(Session& session, const std::wstring& folder,
                            std::vector<std::wstring>* copied);

// Reads the record in `folder`; a missing or unreadable one gives
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) or the read's failure. Entries
// that leave the install folder are journaled and dropped.
HRESULT ReadRecord(const std::wstring& folder, InstallRecord* record);

// The records of the other instances (not `guid`) installed into
// `install_dir`.
std::vector<InstallRecord> OtherInstanceRecords(const std::wstring& install_dir,
                                                const std::wstring& guid);

// Writes `record` into `folder`, merged with the record that is there (a
// repair keeps what the first installation recorded).
HRESULT WriteRecord(Session& session, const std::wstring& folder, const InstallRecord& record);

// Removes the instance the session was opened for: the recorded files
// (with OnFileBegin/OnFileEnd and Progress per file, so the host shows the
// progress and can cancel), the recorded folders when empty, the
// maintenance copy and the uninstall entry. Only paths below the install
// folder are touched, never through a junction or other reparse point, and
// files another instance in the same folder recorded stay. A file in use
// (the launcher that runs the removal) is deleted by a hidden command
// interpreter once it is free. Fails with
// HRESULT_FROM_WIN32(ERROR_UNKNOWN_PRODUCT) when no entry of this product
// names the instance in the header's install folder (InstallLocation), or
// with the record's read failure; nothing is removed then.
HRESULT RemoveInstance(Session& session);

}  // namespace kxe
