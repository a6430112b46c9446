// The removal of an installed instance.
#include <algorithm>
#include <cwchar>
#include <set>

#include "engine/host_events.h"
#include "engine/install.h"
#include "engine/late_removal.h"
#include "engine/maintenance.h"
#include "engine/test_hooks.h"

namespace kxe {
namespace {

std::wstring Lower(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

// True when no folder between `install_dir` and the entry is a junction or
// another reparse point: deleting through one would reach files outside.
bool ThroughPlainFolders(const std::wstring& install_dir, const std::wstring& entry) {
  for (size_t slash = entry.find(L'\\'); slash != std::wstring::npos;
       slash = entry.find(L'\\', slash + 1)) {
    const DWORD attributes =
        GetFileAttributesW((install_dir + L"\\" + entry.substr(0, slash)).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return false;
  }
  return true;
}

// The files the other instances in the same install folder recorded: a
// removal leaves them to their own instance.
std::set<std::wstring> FilesOfOtherInstances(const std::wstring& install_dir,
                                             const std::wstring& guid) {
  std::set<std::wstring> files;
  for (const auto& other : OtherInstanceRecords(install_dir, guid)) {
    for (const auto& file : other.files) files.insert(Lower(file));
  }
  return files;
}

// Deepest first, so that inner folders go before the folders holding them.
std::vector<std::wstring> DeepestFirst(std::vector<std::wstring> folders) {
  std::stable_sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) {
    return std::count(a.begin(), a.end(), L'\\') > std::count(b.begin(), b.end(), L'\\');
  });
  return folders;
}

ULONGLONG SizeOf(const WIN32_FILE_ATTRIBUTE_DATA& data) {
  return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

HRESULT RemoveInstance(Session& session) {
  if (!session.opened) return E_UNEXPECTED;
  if (session.aborted) return E_ABORT;
  const SetupIniFacts ini = ReadSetupIni(session.ini_path);
  const std::wstring guid = InstanceGuid(session);
  const HKEY root = ini.all_users ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  // Only an entry of this product: an install GUID that names another
  // program's entry removes nothing.
  if (!IsValidInstallGuid(guid) || ini.product_guid.empty() ||
      _wcsicmp(ReadUninstallValue(root, guid, L"ProductGuid").c_str(), ini.product_guid.c_str()) !=
          0) {
    return HRESULT_FROM_WIN32(ERROR_UNKNOWN_PRODUCT);
  }
  const std::wstring& dir = session.header.install_dir;
  // The entry and the header must agree on the folder: a header changed
  // since the installation does not steer the removal elsewhere.
  if (_wcsicmp(ReadUninstallValue(root, guid, L"InstallLocation").c_str(), dir.c_str()) != 0)
    return HRESULT_FROM_WIN32(ERROR_UNKNOWN_PRODUCT);
  const std::wstring maintenance = MaintenanceFolder(dir, guid);
  if (maintenance.empty()) return E_INVALIDARG;
  InstallRecord record;
  HRESULT hr = ReadRecord(maintenance, &record);
  if (FAILED(hr)) return hr;
  const std::set<std::wstring> shared = FilesOfOtherInstances(dir, guid);

  HostEvents host(session.host.get());
  const std::wstring record_path = maintenance + L"\\" + kRecordName;
  if (host) host->OnTransferBegin(TempBstr(record_path), TempBstr(dir));
  std::vector<std::wstring> in_use;
  for (const auto& entry : record.files) {
    const std::wstring path = PathBelow(dir, entry);
    if (shared.count(Lower(entry))) {
      JournalLine(L"RemoveKept" + Arg(L"entry", entry) + Arg(L"reason", L"shared"));
      continue;
    }
    if (!ThroughPlainFolders(dir, entry)) {
      JournalLine(L"RemoveRefused" + Arg(L"entry", entry) + Arg(L"reason", L"reparse point"));
      continue;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      continue;  // gone already, or no file
    }
    if (host) {
      if (host.v3()) host.v3()->OnStatus(TempBstr(entry));
      host->OnFileBegin(TempBstr(entry), SizeOf(data));
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HRESULT removed = S_OK;
    if (!DeleteFileW(path.c_str())) {
      removed = HRESULT_FROM_WIN32(GetLastError());
      in_use.push_back(path);
    }
    if (host) {
      host->OnFileEnd(TempBstr(entry), removed);
      hr = host->Progress(static_cast<ULONG>(SizeOf(data)));
      // The entry and the record stay: a later removal finishes the work.
      if (FAILED(hr)) break;
    }
  }
  if (FAILED(hr)) {
    if (host) host->OnTransferEnd(TempBstr(record_path), hr);
    return hr;
  }

  DeleteFileW(record_path.c_str());
  std::vector<std::wstring> folders;
  for (const auto& entry : DeepestFirst(record.folders)) {
    if (ThroughPlainFolders(dir, entry)) folders.push_back(PathBelow(dir, entry));
  }
  folders.push_back(maintenance);
  folders.push_back(PathBelow(dir, kMaintenanceRoot));
  if (record.root_created) folders.push_back(dir);
  // Only empty folders go: whatever the user put there stays.
  for (const auto& folder : folders) RemoveDirectoryW(folder.c_str());
  DeleteUninstallEntry(root, guid);
  if (!in_use.empty()) StartLateRemoval(in_use, folders);
  if (host) host->OnTransferEnd(TempBstr(record_path), S_OK);
  JournalLine(L"Removed" + Arg(L"installguid", guid) +
              Arg(L"left", static_cast<long long>(in_use.size())));
  return S_OK;
}

}  // namespace kxe
