// The names a payload entry carries, judged before anything is written:
// only plain relative paths inside the destination folder pass.
//
// Windows-free (fuzzed on the host, and shared with the medium builder, so
// that the builder refuses exactly what the launcher would refuse).
#pragma once

#include "base/stringx.h"

namespace kx::payload {

// Why a name was refused; `none` for an acceptable one.
enum class name_problem {
  none,
  empty,              // an empty name or path part
  too_long,           // more than 259 characters
  absolute,           // starts with a separator (root or UNC path)
  drive_or_stream,    // contains ':' (a drive letter or an alternate stream)
  parent_reference,   // a part that is "." or ".."
  separator_in_name,  // a stored file name that contains '\' or '/'
  bad_character,      // a control character or one of < > " | ? *
  trailing_dot_or_blank,
  device_name,  // CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$ (any
                // extension)
};

// The longest name, path or version text an entry may carry.
inline constexpr std::size_t kMaxEntryText = 259;

// Judges one path part (a folder or file name).
name_problem check_name_part(string::view part);

// Judges an entry's stored file name: one path part.
name_problem check_file_name(string::view name);

// Judges an entry's relative path ("Disk1\setup.ini"): relative, with '\' or
// '/' between parts that each pass check_name_part.
name_problem check_relative_path(string::view path);

// A short English description of `problem`, for messages.
const xchar* describe(name_problem problem);

// The directory part of a relative path, with '\' separators and a
// trailing '\' ("Disk1\"), or empty for a path that is only a file name.
string directory_part(string::view relative_path);

// The file-name part of a relative path (after its last separator).
string file_name_part(string::view relative_path);

// True for a stored file that the launcher normally leaves to the engine:
// a name that ends in ".cab", starts with "data" and is not "data1.cab", in
// the medium's top folder (exactly one directory level in the path).
bool is_deferred_cabinet(string::view name, string::view relative_path);

// True when the stored file is LZ-compressed: its name differs from the
// file-name part of the relative path (the expanded name).
bool is_compressed(string::view name, string::view relative_path);

}  // namespace kx::payload
