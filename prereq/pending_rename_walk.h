// The file operations Windows runs at its next start, as the
// "PendingFileRenameOperations" value lists them: pairs of NT paths
// (source, destination), each NUL-terminated, the list ended by one more
// NUL. An empty destination deletes the source; a destination is written
// "\??\..." or, to replace an existing file, "!\??\...".
//
// Windows-free: the bytes are whatever other programs wrote there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "prereq/xml/attribute_list.h"

namespace kx::prereq {

// True when `path` (a DOS path such as "C:\Users\me\Temp\x.tmp") lies
// strictly inside one of `folders` (each with its trailing backslash):
// compared without regard to the case of A-Z, and refused when a ".."
// component could lead back out.
bool path_inside_folders(sax::text_view path, const std::vector<sax::text>& folders) noexcept;

// Whether the operations a package added to `data` (the value's bytes) only
// touch the temporary folders `temp_folders` (each with its trailing
// backslash; GetTempPathW and its long form). `snapshot_size` is the
// value's size in bytes before the package ran: when 0 < snapshot_size <
// data.size() the added part starts at character snapshot_size / 2 - 1
// (where the old list's final NUL stood), else everything counts. The whole
// list is walked from the start so that sources and destinations pair up as
// written, and every pair reaching into the added part must be a deletion
// of a "\??\" source inside a temporary folder, or a rename whose both ends
// lie inside one. Data that does not parse (an odd size, a string without
// its NUL, no final NUL, text after the final NUL) gives false: a reboot is
// the safe answer. NULs after the final one are padding.
bool only_temp_operations_added(std::span<const std::uint8_t> data, std::int64_t snapshot_size,
                                const std::vector<sax::text>& temp_folders) noexcept;

}  // namespace kx::prereq
