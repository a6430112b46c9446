#include "launcher/installed_instances.h"

#include "platform/registry.h"

namespace kx {

namespace {

constexpr const wchar_t* kUninstallKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

}  // namespace

HKEY InstancesRoot(const SetupSettings& s) {
  return s.AllUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

string UninstallEntryPath(const string& name) {
  if (!IsUninstallEntryName(name.as_view())) return string();
  string path = kUninstallKey;
  path += L'\\';
  path += name;
  return path;
}

std::vector<UninstallEntry> ReadUninstallEntries(HKEY root) {
  std::vector<string> names;
  std::vector<UninstallEntry> entries;
  if (!registry_subkeys(root, kUninstallKey, names)) return entries;
  entries.reserve(names.size());
  for (string& name : names) {
    const string path = UninstallEntryPath(name);
    string guid;
    if (!path.empty()) guid = registry_read_string(root, path, L"ProductGuid", KEY_READ, string());
    entries.push_back({std::move(name), std::move(guid)});
  }
  return entries;
}

void DetectInstalledInstances(SetupSettings& s) {
  // Without a product GUID nothing can match: the entries need not be read.
  std::vector<UninstallEntry> entries;
  if (!s.ProductGuid.empty()) entries = ReadUninstallEntries(InstancesRoot(s));
  ApplyInstanceRule(s, entries);
}

}  // namespace kx
