#include "prereq/folder_variables.h"

#include <windows.h>

#include "base/path.h"
#include "platform/environment.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "prereq/registry_condition.h"

namespace kx::prereq {
namespace {

// A folder query that may throw counts as not found.
template <class F>
string folder_or_empty(F query) {
  try {
    return ensure_trailing_backslash(query());
  } catch (...) {
    return string();
  }
}

string variable_value(sax::text_view variable, redirection_scope& redirection) {
  if (variable == KXT("[ProgramFilesFolder]")) return program_files_folder(false);
  if (variable == KXT("[CommonFilesFolder]")) return program_files_folder(true);
  if (variable == KXT("[ProgramFiles64Folder]") || variable == KXT("[CommonFiles64Folder]")) {
    redirection.disable();
    return program_files_folder(variable == KXT("[CommonFiles64Folder]"), KEY_WOW64_64KEY);
  }
  if (variable == KXT("[WindowsFolder]")) return folder_or_empty([] { return windows_folder(); });
  if (variable == KXT("[SystemFolder]")) return folder_or_empty([] { return system_folder(); });
  if (variable == KXT("[System64Folder]")) {
    redirection.disable();
    return folder_or_empty([] { return system_folder(); });
  }
  return registry_variable_value(variable);
}

}  // namespace

string registry_variable_value(sax::text_view token) {
  constexpr sax::text_view trimmed = KXT("\t\n[]");
  const std::size_t first = token.find_first_not_of(trimmed);
  if (first == sax::text_view::npos) return string();
  token = token.substr(first, token.find_last_not_of(trimmed) - first + 1);

  const std::size_t last_slash = token.rfind(kx::xchar('\\'));
  if (last_slash == sax::text_view::npos) return string();
  HKEY root = nullptr;
  string key_path;
  if (!split_registry_path(token.substr(0, last_slash), root, key_path)) return string();

  LONG result = 0;
  const registry_key key = registry_key::open(root, key_path, KEY_READ, result);
  if (!key) return string();
  DWORD type = REG_NONE;
  const string text =
      registry_read_text_lenient(key.get(), string(token.substr(last_slash + 1)), &type);
  return type == REG_EXPAND_SZ ? expand_environment(text) : text;
}

string expand_folder_variable(sax::text_view path, redirection_scope& redirection) {
  if (path.empty() || path.front() != kx::xchar('[')) return string(path);
  const std::size_t close = path.find(kx::xchar(']'));
  if (close == sax::text_view::npos) return string(path);
  const string folder = variable_value(path.substr(0, close + 1), redirection);
  if (folder.empty()) return string(path);
  return path_join(folder, string(path.substr(close + 1)));
}

}  // namespace kx::prereq
