#include "engine/install.h"

#include <shlobj.h>

namespace kxe {
namespace {

constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::wstring IniText(const std::wstring& path, const wchar_t* key) {
  wchar_t buffer[512];
  const DWORD n =
      GetPrivateProfileStringW(L"Startup", key, L"", buffer, ARRAYSIZE(buffer), path.c_str());
  return std::wstring(buffer, n);
}

bool IsTrue(const std::wstring& text) {
  for (const wchar_t* yes : {L"Y", L"Yes", L"1", L"True"}) {
    if (_wcsicmp(text.c_str(), yes) == 0) return true;
  }
  return false;
}

}  // namespace

SetupIniFacts ReadSetupIni(const std::wstring& ini_path) {
  SetupIniFacts facts;
  facts.all_users = IsUserAnAdmin() != FALSE;
  if (ini_path.empty()) return facts;
  const std::wstring all_users = IniText(ini_path, L"AllUsers");
  if (!all_users.empty()) facts.all_users = IsTrue(all_users);
  facts.product_guid = IniText(ini_path, L"ProductGUID");
  if (facts.product_guid.empty()) facts.product_guid = IniText(ini_path, L"ProductCode");
  facts.product = IniText(ini_path, L"Product");
  return facts;
}

bool IsValidInstallGuid(const std::wstring& guid) {
  if (guid.empty() || guid.size() > 100) return false;
  for (wchar_t c : guid) {
    if (c < L' ' || c == L'\\') return false;
  }
  return true;
}

HRESULT WriteUninstallEntry(HKEY root, const std::wstring& guid, const UninstallValues& values,
                            bool* created) {
  *created = false;
  if (!IsValidInstallGuid(guid)) return E_INVALIDARG;
  HKEY key = nullptr;
  DWORD disposition = 0;
  LONG rc = RegCreateKeyExW(root, (kUninstall + guid).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, &key, &disposition);
  if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  *created = disposition == REG_CREATED_NEW_KEY;
  const struct {
    const wchar_t* name;
    const std::wstring& value;
  } items[] = {
      {L"DisplayName", values.display_name}, {L"InstallLocation", values.install_location},
      {L"ProductGuid", values.product_guid}, {L"UninstallString", values.uninstall_string},
      {L"LogFile", values.log_file},
  };
  for (const auto& item : items) {
    rc =
        RegSetValueExW(key, item.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(item.value.c_str()),
                       static_cast<DWORD>((item.value.size() + 1) * sizeof(wchar_t)));
    if (rc != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  return HRESULT_FROM_WIN32(rc);
}

std::wstring ReadUninstallValue(HKEY root, const std::wstring& guid, const wchar_t* name) {
  if (!IsValidInstallGuid(guid)) return {};
  wchar_t buffer[MAX_PATH * 2];
  DWORD size = sizeof buffer;
  if (RegGetValueW(root, (kUninstall + guid).c_str(), name, RRF_RT_REG_SZ, nullptr, buffer,
                   &size) != ERROR_SUCCESS) {
    return {};
  }
  return buffer;
}

std::wstring ReadUninstallLogFile(HKEY root, const std::wstring& guid) {
  return ReadUninstallValue(root, guid, L"LogFile");
}

void DeleteUninstallEntry(HKEY root, const std::wstring& guid) {
  if (!IsValidInstallGuid(guid)) return;
  RegDeleteTreeW(root, (kUninstall + guid).c_str());
  RegDeleteKeyW(root, (kUninstall + guid).c_str());
}

}  // namespace kxe
