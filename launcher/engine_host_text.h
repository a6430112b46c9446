// The values the launcher hands to the engine and the texts it makes for
// it: the argument text, the platform flags, the disk-space figures and
// the message of a drive that is too full.
#pragma once

#include <windows.h>

#include "base/stringx.h"

namespace kx {

struct SetupSettings;

// The engine's argument text (the launcher's switches for the engine):
// s.CommandLineArguments, then " -sel_lang" with s.ChosenLanguage in four
// lower-case hex digits, then " -internet" for a web medium.
string EngineArgumentText(const SetupSettings& s);

// The platform flags for a native processor architecture
// (PROCESSOR_ARCHITECTURE_*): 0x400 on IA-64, 0x800 on x64 and on ARM64
// (which runs x64 programs), 0x1000 for any other architecture: the engine
// knows no 64-bit flag for it.
LONG EnginePlatformFlags(WORD native_architecture);

// `folder` without its trailing backslashes (a drive root keeps its
// backslash: "C:\").
string FolderWithoutBackslash(const string& folder);

// The root of the volume that holds `folder`: "C:\" for a drive path,
// "\\server\share\" for a UNC path; empty when there is none.
string VolumeRoot(const string& folder);

// How the drive is named in messages: "C:" for a drive, "\\server\share"
// for a share.
string DriveName(const string& volume_root);

// The kilobytes missing (the free space is the part the user may use, so
// quotas count) when `needed_bytes` must fit into `free_bytes`,
// both counted in whole kilobytes (bytes / 1024); 0 when they fit.
ULONGLONG ShortfallKb(ULONGLONG needed_bytes, ULONGLONG free_bytes);

// Fills the message template of a full drive (string 2008 of the run's
// language, which a translator may have reordered or damaged): "%ld" becomes the missing
// kilobytes (all 64 bits of them), "%s" the drive name, "%%" a percent
// sign; any other '%' stays as it is, so a translated template cannot
// make the formatting read arguments that are not there.
string FillDiskSpaceMessage(const string& message_template, ULONGLONG shortfall_kb,
                            const string& drive);

}  // namespace kx
