// What an installation records for its later maintenance, and the rules
// that keep a removal inside the product's own folder whatever the record
// says. Windows-free: the rules are plain text work, so that they can be
// checked in tables without a file system.
//
// The record lies in the instance's maintenance folder
// ("<install folder>\_Setup\<install GUID>", beside the copy of the medium
// that the uninstall entry starts) as "files.lst", one entry a line:
//   file=<path below the install folder>      a file the product owns
//   folder=<path below the install folder>    a folder the installation made
//   root=created                              the install folder itself was
//                                             made by the installation
#pragma once

#include <string>
#include <vector>

namespace kxe {

// The maintenance folder's name below the install folder, and the record's
// file name in it.
inline constexpr wchar_t kMaintenanceRoot[] = L"_Setup";
inline constexpr wchar_t kRecordName[] = L"files.lst";
// The argument token that asks the engine to remove the instance.
inline constexpr wchar_t kRemovalSwitch[] = L"uninstall";

// True when `name` (backslashes only) is a plain relative path that stays
// below the folder it is joined to: no drive, root, "." or ".." part, stream,
// wildcard, control character, forward slash, device name, or part ending
// in '.' or ' '; at most 200 characters.
bool IsSafeRelativeName(const std::wstring& name);

// True when `path` is an absolute drive ("C:\...") or UNC ("\\server\...")
// folder without "." or ".." parts, wildcards, quotes or streams.
bool IsAbsoluteFolder(const std::wstring& path);

// The maintenance folder of instance `guid` below `install_dir` (absolute,
// without a trailing backslash), or "" when the GUID cannot name a single
// folder (IsSafeRelativeName with no backslash).
std::wstring MaintenanceFolder(const std::wstring& install_dir, const std::wstring& guid);

// The full path of the record's entry `entry` below `install_dir`, or ""
// when the entry is not IsSafeRelativeName or `install_dir` is no absolute
// drive or UNC folder: a damaged or planted record never names anything
// outside the install folder, nor the folder itself.
std::wstring PathBelow(const std::wstring& install_dir, const std::wstring& entry);

// The record of one installation; entries are relative to the install folder.
struct InstallRecord {
  std::vector<std::wstring> files;
  std::vector<std::wstring> folders;
  bool root_created = false;
};

// The record's text (lines ending in CR LF).
std::wstring FormatRecord(const InstallRecord& record);

// Reads a record's text. Entries that fail IsSafeRelativeName and lines of
// no known form are left out and, when `refused` is given, appended to it
// as they stood, so that the caller can log them.
InstallRecord ParseRecord(const std::wstring& text, std::vector<std::wstring>* refused = nullptr);

// True when the argument text `arguments` holds the switch `name` as a
// whole token "-name" or "/name" (case-insensitive). Tokens are cut at
// blanks outside double quotes, as the launcher cuts its command line, so a
// quoted value that mentions the switch does not count.
bool HasSwitch(const std::wstring& arguments, const std::wstring& name);

}  // namespace kxe
