// Unique names for temporary files and folders, and the secured temporary
// folder of an administrator's run.
#pragma once

#include <windows.h>

#include <memory>

#include "base/stringx.h"

namespace kx {

// A new GUID as UuidToStringW writes it: lower case, without braces
// ("0f8fad5b-d9cb-469f-a165-70867728950e"). Empty when none can be made.
string new_guid_string();

// A path in `folder` (the temporary folder when empty) under which neither a
// file nor a folder exists yet. With `system_counter` the names come from
// GetTempFileNameW with the prefix "_kx" and a counter starting at 0 (the
// file GetTempFileNameW creates for 0 is deleted again) and counting up to
// 0xFFFF; otherwise the folder joined with a new GUID string. A wanted
// `extension` (".log"; a missing dot is added) replaces the final ".tmp" of
// a counter name and is appended to a GUID name. Empty when the folder is
// unusable or every counter value is taken. Nothing is left on disk.
string temp_name(const string& folder = string(), const string& extension = string(),
                 bool system_counter = true);

// Frees a security descriptor made by the system (LocalFree).
struct local_free_deleter {
  void operator()(void* p) const noexcept { LocalFree(p); }
};
using security_descriptor_ptr = std::unique_ptr<void, local_free_deleter>;

// The security descriptor of the secured temporary folder: a protected DACL
// (nothing inherited from the parent, which a user without administrator
// rights might be able to write) granting, inherited by subfolders and files,
// the Users group (S-1-5-32-545) read and execute (0x1200A9) and the
// Administrators group (S-1-5-32-544) full access (0x1F01FF). Null, with the
// thread's last error, when it cannot be built.
security_descriptor_ptr secure_folder_descriptor();

// Creates the temporary folder joined with "{" + new GUID string + "}" with
// secure_folder_descriptor, and returns its path ending with a backslash;
// empty on any failure.
string create_secure_temp_folder();

namespace detail {
// Replaces the GUID strings that temp_name and create_secure_temp_folder
// use (nullptr: new_guid_string again), so tests can make names collide.
// Returns the source set before.
using guid_source = string (*)();
guid_source set_guid_source(guid_source source) noexcept;
}  // namespace detail

}  // namespace kx
