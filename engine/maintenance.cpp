// The maintenance copy of the medium and the record of an installation.
#include "engine/maintenance.h"

#include <cwchar>
#include <set>

#include "engine/install.h"
#include "engine/test_hooks.h"

namespace kxe {
namespace {

// A record longer than this is no record this engine wrote.
constexpr DWORD kMaxRecordBytes = 4u << 20;

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Lower(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

// Reads a UTF-16LE text file with its byte-order mark.
HRESULT ReadText(const std::wstring& path, std::wstring* text) {
  text->clear();
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return HRESULT_FROM_WIN32(error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error);
  }
  LARGE_INTEGER size{};
  HRESULT hr = S_OK;
  std::wstring buffer;
  if (!GetFileSizeEx(file, &size)) {
    hr = HRESULT_FROM_WIN32(GetLastError());
  } else if (size.QuadPart < 2 || size.QuadPart > kMaxRecordBytes || size.QuadPart % 2) {
    hr = HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
  } else {
    buffer.resize(static_cast<size_t>(size.QuadPart / 2));
    DWORD read = 0;
    if (!ReadFile(file, buffer.data(), static_cast<DWORD>(size.QuadPart), &read, nullptr))
      hr = HRESULT_FROM_WIN32(GetLastError());
    else if (static_cast<LONGLONG>(read) != size.QuadPart || buffer[0] != 0xFEFF)
      hr = HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
  }
  CloseHandle(file);
  if (SUCCEEDED(hr)) *text = buffer.substr(1);
  return hr;
}

HRESULT WriteText(const std::wstring& path, const std::wstring& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
  const std::wstring content = L"\xFEFF" + text;
  DWORD written = 0;
  const BOOL ok =
      WriteFile(file, content.data(), static_cast<DWORD>(content.size() * 2), &written, nullptr);
  const DWORD error = GetLastError();
  CloseHandle(file);
  return ok ? S_OK : HRESULT_FROM_WIN32(error);
}

// Appends the entries of `more` that `into` lacks (case-insensitive).
void Merge(std::vector<std::wstring>* into, const std::vector<std::wstring>& more) {
  std::set<std::wstring> seen;
  for (const auto& entry : *into) seen.insert(Lower(entry));
  for (const auto& entry : more) {
    if (seen.insert(Lower(entry)).second) into->push_back(entry);
  }
}

// The medium's files that make up the maintenance copy.
std::vector<std::wstring> MaintenanceNames(const Session& session) {
  std::vector<std::wstring> names = {session.launcher_name, L"setup.ini", L"KXSetup.dll",
                                     L"data1.hdr"};
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((session.medium_folder + L"\\0x*.ini").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsSafeRelativeName(name) &&
        name.find(L'\\') == std::wstring::npos) {
      names.push_back(name);
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return names;
}

}  // namespace

std::wstring InstanceGuid(const Session& session) {
  return session.install_guid.empty() ? ReadSetupIni(session.ini_path).product_guid
                                      : session.install_guid;
}

bool RemovalRequested(const Session& session) {
  return HasSwitch(session.arguments, kRemovalSwitch);
}

bool IsMaintenanceCopy(const Session& session) {
  if (!session.opened) return false;
  const std::wstring root = PathBelow(session.header.install_dir, kMaintenanceRoot);
  return !root.empty() && _wcsicmp(FolderOf(session.medium_folder).c_str(), root.c_str()) == 0 &&
         Exists(session.medium_folder + L"\\" + kRecordName);
}

ULONGLONG RecordedSize(const Session& session) {
  InstallRecord record;
  if (FAILED(ReadRecord(session.medium_folder, &record))) return 0;
  ULONGLONG total = 0;
  for (const auto& entry : record.files) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    const std::wstring path = PathBelow(session.header.install_dir, entry);
    if (!path.empty() && GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
        !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      total += (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
  }
  return total;
}

HRESULT KeepMaintenanceCopy(Session& session, const std::wstring& folder,
                            std::vector<std::wstring>* copied) {
  copied->clear();
  for (const auto& name : MaintenanceNames(session)) {
    std::wstring source = session.medium_folder + L"\\" + name;
    // A launcher may hand over its temporary copy of setup.ini only.
    if (!Exists(source) && _wcsicmp(name.c_str(), L"setup.ini") == 0) source = session.ini_path;
    if (source.empty() || !Exists(source)) continue;
    const std::wstring target = folder + L"\\" + name;
    if (_wcsicmp(source.c_str(), target.c_str()) != 0) {
      const bool existed = Exists(target);
      if (!CopyFileW(source.c_str(), target.c_str(), FALSE))
        return HRESULT_FROM_WIN32(GetLastError());
      if (!existed) session.created_files.push_back(target);
    }
    copied->push_back(name);
  }
  return S_OK;
}

HRESULT ReadRecord(const std::wstring& folder, InstallRecord* record) {
  *record = InstallRecord{};
  std::wstring text;
  const HRESULT hr = ReadText(folder + L"\\" + kRecordName, &text);
  if (FAILED(hr)) return hr;
  std::vector<std::wstring> refused;
  *record = ParseRecord(text, &refused);
  for (const auto& line : refused) JournalLine(L"RecordRefused" + Arg(L"entry", line));
  return S_OK;
}

std::vector<InstallRecord> OtherInstanceRecords(const std::wstring& install_dir,
                                                const std::wstring& guid) {
  std::vector<InstallRecord> records;
  const std::wstring root = PathBelow(install_dir, kMaintenanceRoot);
  WIN32_FIND_DATAW found;
  HANDLE find =
      root.empty() ? INVALID_HANDLE_VALUE : FindFirstFileW((root + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return records;
  do {
    const std::wstring name = found.cFileName;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == L"." || name == L".." ||
        _wcsicmp(name.c_str(), guid.c_str()) == 0) {
      continue;
    }
    InstallRecord other;
    if (SUCCEEDED(ReadRecord(root + L"\\" + name, &other))) records.push_back(std::move(other));
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return records;
}

HRESULT WriteRecord(Session& session, const std::wstring& folder, const InstallRecord& record) {
  InstallRecord merged;
  ReadRecord(folder, &merged);  // none yet on a first installation
  Merge(&merged.files, record.files);
  Merge(&merged.folders, record.folders);
  merged.root_created = merged.root_created || record.root_created;
  const std::wstring path = folder + L"\\" + kRecordName;
  const bool existed = Exists(path);
  const HRESULT hr = WriteText(path, FormatRecord(merged));
  if (!existed && Exists(path)) session.created_files.push_back(path);
  return hr;
}

}  // namespace kxe
