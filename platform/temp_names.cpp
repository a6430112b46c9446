#include "platform/temp_names.h"

// After windows.h, which they need.
#include <rpc.h>
#include <sddl.h>

#include "base/exceptions.h"
#include "base/path.h"
#include "platform/files.h"
#include "platform/folders.h"

namespace kx {

namespace {

bool exists(const string& path) {
  return get_file_attributes(path) != INVALID_FILE_ATTRIBUTES;
}

detail::guid_source guid_override = nullptr;

string next_guid() {
  return guid_override ? guid_override() : new_guid_string();
}

string default_temp_folder() {
  try {
    return temp_folder();
  } catch (const win32_exception&) {
    return string();
  }
}

}  // namespace

string new_guid_string() {
  UUID id;
  const RPC_STATUS made = UuidCreate(&id);
  if (made != RPC_S_OK && made != RPC_S_UUID_LOCAL_ONLY) return string();
  RPC_WSTR text = nullptr;
  if (UuidToStringW(&id, &text) != RPC_S_OK || !text) return string();
  string out(reinterpret_cast<const wchar_t*>(text));
  RpcStringFreeW(&text);
  return out;
}

string temp_name(const string& folder, const string& extension, bool system_counter) {
  const string dir = folder.empty() ? default_temp_folder() : folder;
  if (dir.empty()) return string();
  string wanted = extension;
  if (!wanted.empty() && wanted[0] != L'.') wanted.insert(0, 1, L'.');

  for (DWORD counter = 0; counter <= 0xFFFF; ++counter) {
    string candidate;
    if (system_counter) {
      wchar_t name[MAX_PATH];
      if (!GetTempFileNameW(dir.c_str(), L"_kx", static_cast<UINT>(counter), name)) return string();
      candidate = name;
      if (counter == 0) delete_file(candidate);
      if (!wanted.empty() && candidate.ends_with_i(L".tmp"))
        candidate.replace(candidate.size() - 4, 4, wanted);
    } else {
      const string guid = next_guid();
      if (guid.empty()) return string();
      candidate = path_join(dir, guid) + wanted;
    }
    if (!exists(candidate)) return candidate;
  }
  return string();
}

security_descriptor_ptr secure_folder_descriptor() {
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
          L"D:P(A;OICI;0x1200a9;;;BU)(A;OICI;0x1f01ff;;;BA)", SDDL_REVISION_1, &sd, nullptr))
    return nullptr;
  return security_descriptor_ptr(sd);
}

string create_secure_temp_folder() {
  const string base = default_temp_folder();
  const string guid = next_guid();
  security_descriptor_ptr sd = secure_folder_descriptor();
  if (base.empty() || guid.empty() || !sd) return string();
  SECURITY_ATTRIBUTES sa{};
  sa.nLength = sizeof sa;
  sa.lpSecurityDescriptor = sd.get();
  const string path = path_join(base, L"{" + guid + L"}");
  if (!create_directory(path, &sa)) return string();
  return path + L"\\";
}

namespace detail {
guid_source set_guid_source(guid_source source) noexcept {
  const guid_source previous = guid_override;
  guid_override = source;
  return previous;
}
}  // namespace detail

}  // namespace kx
