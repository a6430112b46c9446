#include "engine/install.h"

#include <cwchar>
#include <set>

#include "engine/host_events.h"
#include "engine/maintenance.h"
#include "engine/medium.h"

namespace kxe {
namespace {

std::wstring Lower(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Creates `folder` and its missing parents, recording the new ones.
HRESULT MakeFolders(Session& session, const std::wstring& folder) {
  if (folder.empty() || Exists(folder)) return S_OK;
  const std::wstring parent = FolderOf(folder);
  if (!parent.empty() && parent != folder) {
    const HRESULT hr = MakeFolders(session, parent);
    if (FAILED(hr)) return hr;
  }
  if (!CreateDirectoryW(folder.c_str(), nullptr)) {
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS) return HRESULT_FROM_WIN32(error);
    return S_OK;
  }
  session.created_folders.push_back(folder);
  return S_OK;
}

HRESULT WriteLog(Session& session, const std::wstring& path, const std::wstring& text) {
  const bool existed = Exists(path);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
  const std::wstring content = L"\xFEFF" + text;
  DWORD written = 0;
  const BOOL ok =
      WriteFile(file, content.data(), static_cast<DWORD>(content.size() * 2), &written, nullptr);
  const DWORD error = GetLastError();
  CloseHandle(file);
  if (!existed) session.created_files.push_back(path);
  return ok ? S_OK : HRESULT_FROM_WIN32(error);
}

HRESULT Unpack(Session& session, const HostEvents& host, std::wstring* log) {
  std::set<std::wstring> wanted;
  for (const auto& name : session.header.files) wanted.insert(Lower(name));
  std::set<std::wstring> found;
  std::set<std::wstring> fresh;  // targets that did not exist before
  ULONGLONG total = 0;
  const DWORD start = GetTickCount();

  const auto choose = [&](const CabinetEntry& entry, std::wstring* target) -> HRESULT {
    const std::wstring key = Lower(entry.name);
    if (!wanted.count(key) || found.count(key)) return S_OK;  // not ours, or seen already
    found.insert(key);
    const std::wstring path = session.header.install_dir + L"\\" + entry.name;
    HRESULT hr = MakeFolders(session, FolderOf(path));
    if (FAILED(hr)) return hr;
    if (host) {
      if (host.v3()) host.v3()->OnStatus(TempBstr(entry.name));
      host->OnFileBegin(TempBstr(entry.name), entry.size);
    }
    LONG action = KX_REPLACE_ALWAYS;
    if (Exists(path) && host) {
      host->QueryReplaceAction(TempBstr(session.cabinet_path + L"\\" + entry.name), TempBstr(path),
                               &action);
    } else if (!Exists(path)) {
      fresh.insert(path);
    }
    if (action == KX_REPLACE_KEEP) {
      *log += L"Kept " + path + L"\r\n";
      if (host) {
        host->OnFileEnd(TempBstr(entry.name), S_FALSE);
        hr = host->Progress(static_cast<ULONG>(entry.size));
        if (FAILED(hr)) return hr;
      }
      return S_OK;
    }
    *target = path;
    return S_OK;
  };
  const auto done = [&](const CabinetEntry& entry, const std::wstring& target) -> HRESULT {
    if (fresh.count(target)) session.created_files.push_back(target);
    *log += L"Installed " + target + L"\r\n";
    total += entry.size;
    if (!host) return S_OK;
    host->OnFileEnd(TempBstr(entry.name), S_OK);
    return host->Progress(static_cast<ULONG>(entry.size));
  };

  HRESULT hr = ReadCabinet(session.cabinet_path, choose, done);
  if (SUCCEEDED(hr) && found.size() != wanted.size()) hr = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  if (SUCCEEDED(hr) && host.v3()) {
    const DWORD ms = GetTickCount() - start;
    host.v3()->Rate(static_cast<ULONG>(ms ? total * 1000 / ms : total));
  }
  return hr;
}

// The record's entries for the folders this run made below `folder`; the
// install folder itself counts in `root_created`.
void RecordFolders(const Session& session, const std::wstring& folder, InstallRecord* record) {
  for (const auto& made : session.created_folders) {
    if (made.size() > folder.size() + 1 &&
        _wcsnicmp(made.c_str(), folder.c_str(), folder.size()) == 0 &&
        made[folder.size()] == L'\\') {
      record->folders.push_back(made.substr(folder.size() + 1));
    }
  }
}

}  // namespace

HRESULT Session::LogFile(std::wstring* path) const {
  path->clear();
  std::wstring install_dir;
  if (opened) {
    install_dir = header.install_dir;
  } else {
    if (ini_path.empty()) return E_UNEXPECTED;
    Header beside;
    const HRESULT hr = ReadHeader(FolderOf(ini_path) + L"\\data1.hdr", &beside);
    if (FAILED(hr)) {
      // A launcher hands over its temporary copy of setup.ini, away from the
      // medium; after a restart the product's entry still names the log.
      const SetupIniFacts ini = ReadSetupIni(ini_path);
      *path = ReadUninstallLogFile(ini.all_users ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                                   InstanceGuid(*this));
      return path->empty() ? hr : S_OK;
    }
    install_dir = beside.install_dir;
  }
  // The log lies beside the maintenance copy: the launcher compares its
  // folder with the medium's to recognise the product's own cached copy.
  const std::wstring folder = MaintenanceFolder(install_dir, InstanceGuid(*this));
  if (folder.empty()) return E_INVALIDARG;
  *path = folder + L"\\install.log";
  return S_OK;
}

HRESULT Install(Session& session) {
  if (!session.opened) return E_UNEXPECTED;
  if (session.aborted) return E_ABORT;
  if (RemovalRequested(session)) return RemoveInstance(session);
  const SetupIniFacts ini = ReadSetupIni(session.ini_path);
  const std::wstring guid = InstanceGuid(session);
  const std::wstring& folder = session.header.install_dir;
  const std::wstring maintenance = MaintenanceFolder(folder, guid);
  if (!IsValidInstallGuid(guid) || maintenance.empty()) return E_INVALIDARG;
  const bool root_existed = Exists(folder);

  HostEvents host(session.host.get());
  if (host) host->OnTransferBegin(TempBstr(session.cabinet_path), TempBstr(folder));
  HRESULT hr = MakeFolders(session, folder);
  std::wstring log;
  if (SUCCEEDED(hr)) hr = Unpack(session, host, &log);
  if (host) host->OnTransferEnd(TempBstr(session.cabinet_path), hr);
  if (FAILED(hr)) return hr;

  std::vector<std::wstring> copied;
  hr = MakeFolders(session, maintenance);
  if (SUCCEEDED(hr)) hr = KeepMaintenanceCopy(session, maintenance, &copied);
  if (FAILED(hr)) return hr;
  std::wstring log_file;
  hr = session.LogFile(&log_file);
  if (SUCCEEDED(hr)) hr = WriteLog(session, log_file, log);
  if (FAILED(hr)) return hr;

  InstallRecord record;
  record.root_created = !root_existed;
  record.files = session.header.files;
  const std::wstring below = std::wstring(kMaintenanceRoot) + L"\\" + guid + L"\\";
  for (const auto& name : copied) record.files.push_back(below + name);
  record.files.push_back(below + L"install.log");
  RecordFolders(session, folder, &record);
  // A second instance in the same folder takes over the folders the first
  // one made, so that whichever goes last leaves nothing behind.
  for (const auto& other : OtherInstanceRecords(folder, guid)) {
    record.root_created = record.root_created || other.root_created;
    record.folders.insert(record.folders.end(), other.folders.begin(), other.folders.end());
  }
  hr = WriteRecord(session, maintenance, record);
  if (FAILED(hr)) return hr;

  wchar_t language[16];
  swprintf(language, ARRAYSIZE(language), L"0x%04x", static_cast<unsigned>(session.language));
  UninstallValues values;
  values.display_name = !session.header.product.empty() ? session.header.product : ini.product;
  values.install_location = folder;
  values.product_guid = ini.product_guid;
  // The language goes last: the launcher reads the earlier installation's
  // language from the first "-l" token of this text.
  values.uninstall_string = L"\"" + maintenance + L"\\" + session.launcher_name + L"\" -ig\"";
  values.uninstall_string += guid;
  values.uninstall_string += L"\" -";
  values.uninstall_string += kRemovalSwitch;
  values.uninstall_string += L" -l";
  values.uninstall_string += language;
  values.log_file = log_file;
  const HKEY root = ini.all_users ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  bool created = false;
  hr = WriteUninstallEntry(root, guid, values, &created);
  if (created) {
    session.created_entry_root = root;
    session.created_entry_guid = guid;
  }
  return hr;
}

void RemoveInstalled(Session& session) {
  for (auto it = session.created_files.rbegin(); it != session.created_files.rend(); ++it) {
    SetFileAttributesW(it->c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(it->c_str());
  }
  session.created_files.clear();
  // Only folders this run made, and only when nothing else is left in them.
  for (auto it = session.created_folders.rbegin(); it != session.created_folders.rend(); ++it) {
    RemoveDirectoryW(it->c_str());
  }
  session.created_folders.clear();
  if (session.created_entry_root) {
    DeleteUninstallEntry(session.created_entry_root, session.created_entry_guid);
    session.created_entry_root = nullptr;
    session.created_entry_guid.clear();
  }
}

HRESULT InstallSize(const Session& session, ULONGLONG* bytes) {
  *bytes = 0;
  if (!session.opened) return E_UNEXPECTED;
  // An instance's maintenance copy carries no cabinet: what it can do is
  // remove the recorded files.
  if (IsMaintenanceCopy(session) && !Exists(session.cabinet_path)) {
    *bytes = RecordedSize(session);
    return S_OK;
  }
  std::set<std::wstring> wanted;
  for (const auto& name : session.header.files) wanted.insert(Lower(name));
  const auto count = [&](const CabinetEntry& entry, std::wstring*) -> HRESULT {
    if (wanted.erase(Lower(entry.name))) *bytes += entry.size;
    return S_OK;
  };
  const auto none = [](const CabinetEntry&, const std::wstring&) -> HRESULT { return S_OK; };
  return ReadCabinet(session.cabinet_path, count, none);
}

}  // namespace kxe
