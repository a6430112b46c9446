// The state of one engine object, shared by the objects it hands out (the
// cabinet, its media and components, the runner) for as long as any of them
// lives.
#pragma once

#include <windows.h>

#include <kxengine.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/medium.h"
#include "engine/objects.h"

namespace kxe {

// Case-insensitive ordering for property names.
struct NoCaseLess {
  bool operator()(const std::wstring& a, const std::wstring& b) const {
    return _wcsicmp(a.c_str(), b.c_str()) < 0;
  }
};

struct Session {
  // From IKxEngine::OpenCabinet.
  bool opened = false;
  std::wstring cabinet_path;   // data1.cab beside it
  std::wstring medium_folder;  // the folder of both
  std::wstring install_guid;
  std::wstring launcher_name;
  Header header;

  // From the cabinet object: the language the uninstall entry records.
  LONG language = 0;

  // From IKxProperties and IKxSetupInfo.
  std::map<std::wstring, std::wstring, NoCaseLess> properties;
  std::wstring ini_path;
  std::wstring arguments;

  // The host, from IKxComponent::SetHost until Finish or Abort.
  Ref<IKxTransferEvents> host;
  bool aborted = false;

  // The outcome of the last run or completion.
  bool ran = false;
  HRESULT run_result = S_OK;

  // What this engine object created, newest last, for an aborted run.
  std::vector<std::wstring> created_files;
  std::vector<std::wstring> created_folders;
  HKEY created_entry_root = nullptr;  // set when this run created the entry
  std::wstring created_entry_guid;

  // The engine's log file of this installation: "install.log" in the install
  // folder. Before the header is opened, the header beside setup.ini tells
  // the folder, or else the "LogFile" of the product's uninstall entry (a
  // run resumed after a restart). Fails with the header's error when none
  // of them can be read.
  HRESULT LogFile(std::wstring* path) const;
};

// The folder part of `path` (without the last backslash), or "" without one.
inline std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}
// Makes a BSTR copy of `text`; null only when out of memory.
inline BSTR ToBstr(const std::wstring& text) {
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}
// A BSTR's text ("" for null).
inline const wchar_t* Text(BSTR text) {
  return text ? text : L"";
}

}  // namespace kxe
