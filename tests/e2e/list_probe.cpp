// Reads and drives a list view of another program's window for the
// end-to-end scenarios. A list view's items live in its own process, so the
// item records are exchanged through memory allocated there.
//
//   kx_list_probe rows <caption part> <id>          one line per row: index,
//                                                   item data, column 0, column 1, selected (1/0)
//   kx_list_probe select <caption part> <id> <row>  selects that row
//
// The control is looked for in the visible page (child dialog) of the first
// visible top-level window whose caption holds <caption part>, then in that
// window itself. Exit code 0 on success, 1 when the window, the control or
// the other process's memory is missing, 2 for usage.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kTextLength = 512;

struct Search {
  std::wstring part;
  HWND found = nullptr;
};

BOOL CALLBACK match(HWND window, LPARAM lparam) {
  auto* s = reinterpret_cast<Search*>(lparam);
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  if (!IsWindowVisible(window) || std::wstring(text).find(s->part) == std::wstring::npos)
    return TRUE;
  s->found = window;
  return FALSE;
}

HWND find_list(const std::wstring& part, int id) {
  Search s{part};
  EnumWindows(match, reinterpret_cast<LPARAM>(&s));
  if (!s.found) return nullptr;
  for (HWND c = FindWindowExW(s.found, nullptr, L"#32770", nullptr); c;
       c = FindWindowExW(s.found, c, L"#32770", nullptr)) {
    if (IsWindowVisible(c))
      if (HWND list = GetDlgItem(c, id)) return list;
  }
  return GetDlgItem(s.found, id);
}

// One LVITEMW and its text buffer in the list's process.
class RemoteItem {
 public:
  explicit RemoteItem(HWND list) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_)
      memory_ = static_cast<BYTE*>(
          VirtualAllocEx(process_, nullptr, kSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  }
  ~RemoteItem() {
    if (memory_) VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteItem(const RemoteItem&) = delete;
  RemoteItem& operator=(const RemoteItem&) = delete;

  explicit operator bool() const { return memory_ != nullptr; }

  // Sends `message` with the record `item` (its text pointing to the remote
  // buffer) and reads record and text back.
  LRESULT Send(HWND list, UINT message, WPARAM wparam, LVITEMW& item, std::wstring* text) {
    item.pszText = reinterpret_cast<wchar_t*>(memory_ + sizeof(LVITEMW));
    item.cchTextMax = kTextLength;
    if (!WriteProcessMemory(process_, memory_, &item, sizeof item, nullptr)) return -1;
    const LRESULT result = SendMessageW(list, message, wparam, reinterpret_cast<LPARAM>(memory_));
    wchar_t buffer[kTextLength + 1] = {};
    ReadProcessMemory(process_, memory_, &item, sizeof item, nullptr);
    ReadProcessMemory(process_, memory_ + sizeof(LVITEMW), buffer, kTextLength * sizeof(wchar_t),
                      nullptr);
    if (text) *text = buffer;
    return result;
  }

 private:
  static constexpr SIZE_T kSize = sizeof(LVITEMW) + (kTextLength + 1) * sizeof(wchar_t);
  HANDLE process_ = nullptr;
  BYTE* memory_ = nullptr;
};

std::wstring one_line(std::wstring text) {
  for (auto& ch : text)
    if (ch == L'\t' || ch == L'\r' || ch == L'\n') ch = L' ';
  return text;
}

int rows(HWND list) {
  RemoteItem remote(list);
  if (!remote) return 1;
  const int n = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    std::wstring columns[2];
    for (int sub = 0; sub < 2; ++sub) {
      LVITEMW item = {};
      item.iSubItem = sub;
      remote.Send(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), item, &columns[sub]);
    }
    LVITEMW item = {};
    item.mask = LVIF_PARAM | LVIF_STATE;
    item.iItem = i;
    item.stateMask = LVIS_SELECTED;
    remote.Send(list, LVM_GETITEMW, 0, item, nullptr);
    wprintf(L"%d\t%lld\t%ls\t%ls\t%d\n", i, static_cast<long long>(item.lParam),
            one_line(columns[0]).c_str(), one_line(columns[1]).c_str(),
            (item.state & LVIS_SELECTED) ? 1 : 0);
  }
  return 0;
}

int select(HWND list, int row) {
  RemoteItem remote(list);
  if (!remote) return 1;
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  return remote.Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), item, nullptr) ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    fwprintf(stderr, L"usage: kx_list_probe rows|select <caption part> <id> [<row>]\n");
    return 2;
  }
  const std::wstring command = argv[1];
  HWND list = find_list(argv[2], _wtoi(argv[3]));
  if (!list) return 1;
  if (command == L"rows") return rows(list);
  if (command == L"select" && argc > 4) return select(list, _wtoi(argv[4]));
  fwprintf(stderr, L"usage: kx_list_probe rows|select <caption part> <id> [<row>]\n");
  return 2;
}
