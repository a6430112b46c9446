// The registry side of the installed instances: where the product's
// uninstall entries live, and reading them for the instance rule
// (launcher/instance_detection.h).
#pragma once

#include <windows.h>

#include <vector>

#include "base/stringx.h"
#include "launcher/instance_detection.h"
#include "launcher/setup_settings.h"

namespace kx {

// The root whose uninstall key holds the product's entries: HKEY_LOCAL_MACHINE
// when s.AllUsers, else HKEY_CURRENT_USER. The detection and everything that
// later reads an instance's entry (the instance page, the earlier
// installation's language) take it from here, so they read the same entries.
HKEY InstancesRoot(const SetupSettings& s);

// The path of the uninstall entry `name` below its root:
// "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\" + name. Empty when
// `name` is not an entry name (IsUninstallEntryName), so that no caller
// opens the uninstall key itself or a key nested in an entry.
string UninstallEntryPath(const string& name);

// The subkeys of the uninstall key below `root`, in the registry's
// enumeration order, each with its "ProductGuid" text (empty when missing,
// of another type or stored without its terminator). Empty when the key is
// missing; nothing is reported.
std::vector<UninstallEntry> ReadUninstallEntries(HKEY root);

// The instance detection of a run: ApplyInstanceRule on the entries below
// InstancesRoot(s).
void DetectInstalledInstances(SetupSettings& s);

}  // namespace kx
