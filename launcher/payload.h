// The launcher's payload on Windows: whether the running file carries one,
// and unpacking it into a folder.
#pragma once

#include <vector>

#include "base/stringx.h"

namespace kx {

// Results of ExtractOverlay: 0 when every entry was handled, else the first
// failure. Unpacking stops at a failure; what was unpacked before stays.
enum overlay_result : int {
  overlay_ok = 0,
  overlay_open_failed = -1,      // the launcher file cannot be opened
  overlay_not_found = -805,      // the launcher file is not found
  overlay_create_failed = -800,  // a target file (or its folder) cannot be created
  overlay_write_failed = -806,   // writing a target file failed
  overlay_read_failed = -807,    // reading the launcher failed part-way
  overlay_corrupt = -808,        // the payload contradicts itself or the file
  overlay_unsafe_entry = -809,   // an entry names a path the launcher refuses
  overlay_expand_failed = -810,  // a compressed entry cannot be expanded
};

// True when the file at `launcher_path` carries a payload: it is larger
// than 4 GB, or more than 51200 bytes lie between the end of its image and
// its certificate table (or its end, when unsigned). False when it cannot be
// read.
bool HasPayload(const string& launcher_path);

// Unpacks the payload of `launcher_path` under `destination` (a folder,
// with or without a trailing backslash): each entry to destination\<the
// directory part of its relative path>\<its stored name>, creating missing
// folders. Entries whose stored name differs from the path's file name are
// LZ-compressed and are expanded under the path's name; one that cannot be
// expanded (LZ32 refuses paths of 128 characters or more) ends the
// unpacking, with neither its stored nor its expanded file left behind.
// Cabinets "data*.cab" other than data1.cab at the medium's top are left to
// the engine unless `extract_all` is set.
//
// `folders` (when given) receives every folder created; `files` (when
// given) first the destination, then every file it created, so a clean-up
// can remove exactly what was unpacked (a file that was there before is
// overwritten but not listed). A file that could not be completed
// is removed, never left short. `failed_file` (when given) receives the path
// of the folder or file whose creation, writing or expansion ended the
// unpacking.
int ExtractOverlay(const string& launcher_path, const string& destination,
                   std::vector<string>* files, std::vector<string>* folders, bool extract_all,
                   string* failed_file = nullptr);

}  // namespace kx
