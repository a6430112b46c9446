// The well-known folders of the system and the user.
//
// Every folder returned ends with a backslash; an empty result means the
// folder could not be found.
#pragma once

#include <windows.h>

#include "base/stringx.h"

namespace kx {

// The system folder of `kind`: 1 the Windows folder's "sysnative" alias
// (the real 64-bit system folder, as a 32-bit process on 64-bit Windows
// sees it), 2 the Windows folder's "syswow64", anything else
// GetSystemDirectoryW. Kinds 1 and 2 are built whether or not the folder
// exists on this system. Throws kx::win32_exception when the system call
// fails.
string system_folder(int kind = 0);

// GetWindowsDirectoryW. Throws kx::win32_exception when it fails.
string windows_folder();

// The folders the rest of the launcher keeps at hand.
struct system_folders {
  string system;     // system_folder(0)
  string windows;    // windows_folder()
  string syswow64;   // system_folder(2) on a 64-bit system, else empty
  string sysnative;  // system_folder(1) in a WOW64 process, else empty
};

// Works the folders out now, from the system facts in force
// (platform/os_version.h). Throws kx::win32_exception as system_folder.
system_folders compute_system_folders();

// The process's folders, worked out by the first call (made at start-up)
// and the same for the rest of the process.
const system_folders& process_system_folders();

// The "ProgramFilesDir" (or, with `common`, "CommonFilesDir") value of
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion, cleaned by
// normalize_folder_path; empty when it cannot be read (a lone backslash
// would name the root of the current drive). `view` adds a registry view
// (KEY_WOW64_64KEY: the 64-bit system's own folders).
string program_files_folder(bool common, REGSAM view = 0);

// The shell's folder `csidl` (SHGetSpecialFolderLocation and
// SHGetPathFromIDListW), cleaned by normalize_folder_path; when the shell
// has no path for it, shell_folder_fallback. CSIDL_DESKTOP (0) is the
// user's desktop.
string shell_folder(int csidl);

// The folders of systems whose shell does not know them, built by hand:
// - the profile is %USERPROFILE%, or the Windows folder when that is not
//   set (Windows 9x without user profiles);
// - CSIDL_PERSONAL: <profile>Personal\ below NT 5 (9x and NT 4), else
//   <profile>My Documents\;
// - CSIDL_APPDATA: <profile>Application Data\;
// - CSIDL_PROGRAM_FILES: program_files_folder(false), else "Program Files\"
//   in the root of the Windows folder's drive;
// - CSIDL_PROGRAM_FILES_COMMON: program_files_folder(true), else
//   "Common Files\" below the program-files folder of this fallback;
// - CSIDL_FONTS: <Windows folder>Fonts\;
// - anything else: empty.
string shell_folder_fallback(int csidl);

// GetTempPathW. Throws kx::win32_exception when it fails.
string temp_folder();

}  // namespace kx
