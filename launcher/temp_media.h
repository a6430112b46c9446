// The temporary medium: the run's private folder, unpacking the payload
// into it, the one copy routine for medium files, and starting the
// launcher's copy from there.
#pragma once

#include <windows.h>

#include "base/stringx.h"

namespace kx {

class CSetup;
struct SetupSettings;

// Creates the run's temporary folder and returns it with a trailing
// backslash: "{guid}" under the user's temporary folder, readable by Users
// and owned by Administrators, for a user whose Administrators group is
// enabled (or on a system without user security); otherwise a new folder
// with an unpredictable unique name there. Empty when no folder could be
// created.
string DefaultTempFolder();

// DefaultTempFolder with the choice made: the secured "{guid}" folder when
// `secure` (falling back to the plain one when it cannot be made), else a
// folder named by a new GUID without braces and without the access list.
string DefaultTempFolder(bool secure);

// Unpacks the running launcher's payload into TempFolder and repoints the
// settings at it. With ExtractAll every file is unpacked and nothing is
// recorded for clean-up; otherwise the data cabinets the engine fetches
// itself are left out and every file and folder it created is recorded (a
// file that was there before is overwritten but not recorded). Then
// " -package:" and the quoted LauncherPath are appended to `command_line`,
// SourceFolder becomes TempFolder\Disk1 (TempFolder when the medium has no
// Disk1), and LauncherPath names the launcher in it - moved to the running
// file's own name when that is not "setup.exe".
//
// Returns S_OK, or the unpacking's failure code (see overlay_result): a
// broken or hostile payload ends the run rather than running an
// installation from a partial medium. A compressed file that cannot be
// expanded also becomes the run's failure message (string 2011 with the
// file's path).
HRESULT ExtractPayload(CSetup& setup, string& command_line);

// Copies the medium file `source` (a path or a web address) to `target`,
// never overwriting: the same path, or a target that exists, counts as
// done. Only a target that the copy created is recorded for clean-up: an
// existing one, and the source itself, are not the run's to delete. Traces
// "CopyDisk1FileToTempBegin" and "CopyDisk1FileToTempEnd" in "KXSetupDLLOp".
// Returns S_OK or the failure as an HRESULT; a failed copy leaves no target
// behind. A step aborted inside the copy ends only the copy.
HRESULT CopyDisk1FileToTemp(CSetup& setup, const string& source, const string& target);

// CopyDisk1FileToTemp of the medium file `name`: from SourceFolder (a folder
// or a web address) to TempFolder.
HRESULT CopyDisk1FileToTemp(CSetup& setup, const string& name);

// The arguments of the launcher copy started from the temporary folder:
// `arguments` (the first launcher's command-line text), then
// -media_path:"<LauncherPath's folder>", -tempdisk1folder:"<TempFolder>"
// (both without a trailing backslash) and -KX_OriginalLauncher:"<LauncherPath>".
string RelaunchArguments(const SetupSettings& s, const string& arguments);

// Copies the launcher into TempFolder and starts the copy there with
// RelaunchArguments, waiting for it without limit when CloneWait is set.
// Returns the copy's exit code when waited for, else 0 (or
// CustomRetCodeOnSuccess); -5017 (or CustomRetCodeOnFail) when the copy or
// the start failed.
int RelaunchFromTemp(CSetup& setup, const string& arguments);

}  // namespace kx
