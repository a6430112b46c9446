// The folder variables a file condition's path may start with
// ("[SystemFolder]kernel32.dll").
#pragma once

#include "base/stringx.h"
#include "prereq/redirection_scope.h"
#include "prereq/xml/attribute_list.h"

namespace kx::prereq {

// `path` with its leading variable replaced and joined with the rest by
// path_join. Variables are matched exactly (case-sensitive):
// - [ProgramFilesFolder], [CommonFilesFolder]: the machine's folders from
//   the registry's default view;
// - [ProgramFiles64Folder], [CommonFiles64Folder]: the same from the 64-bit
//   view, with `redirection` switched off;
// - [WindowsFolder], [SystemFolder]; [System64Folder] switches `redirection`
//   off;
// - [ROOT\key path\value name] with one of the seven root names (tabs, line
//   feeds and brackets trimmed): the text of that value, REG_EXPAND_SZ
//   expanded.
// Any other variable, and one whose folder cannot be found (empty), stays in
// place, so the path names nothing rather than the root of a drive or a
// network share.
string expand_folder_variable(sax::text_view path, redirection_scope& redirection);

// The text of a registry variable's value ("HKEY_LOCAL_MACHINE\key\name"),
// read leniently with KEY_READ and expanded when it is REG_EXPAND_SZ; empty
// when the root is not one of the seven names or the value cannot be read.
string registry_variable_value(sax::text_view token);

}  // namespace kx::prereq
