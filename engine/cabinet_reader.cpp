#include "engine/medium.h"

#include <setupapi.h>

namespace kxe {
namespace {

struct Walk {
  const ChooseTarget* choose;
  const EntryDone* done;
  CabinetEntry current;
  HRESULT failure = S_OK;
};

// Records the first failure and turns it into the answer that stops the walk.
UINT Stop(Walk* walk, HRESULT failure, UINT answer) {
  if (walk->failure == S_OK) walk->failure = failure;
  SetLastError(ERROR_CANCELLED);
  return answer;
}

UINT CALLBACK OnCabinetEvent(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR) {
  auto* walk = static_cast<Walk*>(context);
  switch (notification) {
    case SPFILENOTIFY_FILEINCABINET: {
      auto* info = reinterpret_cast<FILE_IN_CABINET_INFO_W*>(param1);
      walk->current.name = info->NameInCabinet ? info->NameInCabinet : L"";
      for (auto& c : walk->current.name) {
        if (c == L'/') c = L'\\';
      }
      walk->current.size = info->FileSize;
      std::wstring target;
      const HRESULT hr = (*walk->choose)(walk->current, &target);
      if (FAILED(hr)) return Stop(walk, hr, FILEOP_ABORT);
      if (target.empty()) return FILEOP_SKIP;
      if (target.size() >= ARRAYSIZE(info->FullTargetName)) {
        return Stop(walk, HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), FILEOP_ABORT);
      }
      lstrcpynW(info->FullTargetName, target.c_str(), ARRAYSIZE(info->FullTargetName));
      return FILEOP_DOIT;
    }
    case SPFILENOTIFY_FILEEXTRACTED: {
      auto* paths = reinterpret_cast<FILEPATHS_W*>(param1);
      if (paths->Win32Error != NO_ERROR) {
        return Stop(walk, HRESULT_FROM_WIN32(paths->Win32Error), paths->Win32Error);
      }
      const HRESULT hr = (*walk->done)(walk->current, paths->Target ? paths->Target : L"");
      if (FAILED(hr)) return Stop(walk, hr, ERROR_CANCELLED);
      return NO_ERROR;
    }
    case SPFILENOTIFY_NEEDNEWCABINET:
      // A medium is one cabinet; a continuation is a damaged or foreign file.
      return Stop(walk, HRESULT_FROM_WIN32(ERROR_BAD_FORMAT), ERROR_BAD_FORMAT);
    default:
      return NO_ERROR;
  }
}

}  // namespace

HRESULT ReadCabinet(const std::wstring& cabinet, const ChooseTarget& choose,
                    const EntryDone& done) {
  if (GetFileAttributesW(cabinet.c_str()) == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return HRESULT_FROM_WIN32(error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error);
  }
  Walk walk{&choose, &done, {}, S_OK};
  SetLastError(NO_ERROR);
  const BOOL ok = SetupIterateCabinetW(cabinet.c_str(), 0, OnCabinetEvent, &walk);
  if (walk.failure != S_OK) return walk.failure;
  if (ok) return S_OK;
  // The cabinet support reports damaged data with a variety of codes (or
  // none); to the caller they all mean the same thing.
  return HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
}

}  // namespace kxe
