// Looks at and drives another program's windows for the end-to-end
// scenarios, as a person at the screen would. Started in the same Wine
// prefix and display as the program under test.
//
//   kx_window_probe wait <caption part> <ms>     waits for a visible top-level window
//   kx_window_probe controls <caption part>      lists the window's controls, its pages' too
//   kx_window_probe click <caption part> <id>    presses a button (topmost match that has it)
//   kx_window_probe select <caption part> <id> <row>   selects a list or combo row
//   kx_window_probe escape <caption part>        sends Escape to the window (or its page)
//   kx_window_probe close <caption part>         the close box (SC_CLOSE)
//   kx_window_probe shot <caption part> <file.bmp>     saves the window's screen rectangle
//   kx_window_probe pos <caption part> <id> [<count> <ms>]   prints a progress bar's
//                                                position, <count> times <ms> apart
//
// A caption part of "class:<name>" matches by window class instead. Exit
// code 0 on success, 1 when the window or control is missing, 2 for usage.
// "controls" also prints the window's client area ("client" and its screen
// rectangle), so that a scenario can check that every control fits in it.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Search {
  std::wstring part;
  std::vector<HWND> found;  // every match, topmost first
};

BOOL CALLBACK match(HWND window, LPARAM lparam) {
  auto* s = reinterpret_cast<Search*>(lparam);
  if (!IsWindowVisible(window)) return TRUE;
  wchar_t text[512] = {};
  if (s->part.rfind(L"class:", 0) == 0) {
    GetClassNameW(window, text, 512);
    if (s->part.substr(6) == text) s->found.push_back(window);
  } else {
    GetWindowTextW(window, text, 512);
    if (std::wstring(text).find(s->part) != std::wstring::npos) s->found.push_back(window);
  }
  return TRUE;
}

std::vector<HWND> find_all(const std::wstring& part) {
  Search s{part, {}};
  EnumWindows(match, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

HWND find(const std::wstring& part) {
  const std::vector<HWND> all = find_all(part);
  return all.empty() ? nullptr : all.front();
}

// The visible child dialog (the wizard's page), or the window itself.
HWND page_of(HWND window) {
  for (HWND c = FindWindowExW(window, nullptr, L"#32770", nullptr); c;
       c = FindWindowExW(window, c, L"#32770", nullptr))
    if (IsWindowVisible(c)) return c;
  return window;
}

// The control `id` of the window or of its visible page.
HWND control(HWND window, int id) {
  HWND page = page_of(window);
  HWND c = GetDlgItem(page, id);
  return c ? c : GetDlgItem(window, id);
}

// The control `id` of the topmost matching window that has one: a question
// box and the wizard it belongs to may share their caption.
HWND control_of_any(const std::wstring& part, int id) {
  for (HWND window : find_all(part))
    if (HWND c = control(window, id)) return c;
  return nullptr;
}

BOOL CALLBACK list_one(HWND c, LPARAM) {
  wchar_t cls[64] = {}, text[256] = {};
  GetClassNameW(c, cls, 64);
  GetWindowTextW(c, text, 256);
  RECT r;
  GetWindowRect(c, &r);
  std::wstring line = text;
  for (auto& ch : line)
    if (ch == L'\t' || ch == L'\r' || ch == L'\n') ch = L' ';
  wprintf(L"%d\t%ls\t%ls\t%d\t%d\t%ld,%ld,%ld,%ld\n", GetDlgCtrlID(c), cls, line.c_str(),
          IsWindowEnabled(c) ? 1 : 0, IsWindowVisible(c) ? 1 : 0, r.left, r.top, r.right, r.bottom);
  return TRUE;
}

bool save_bmp(HWND window, const wchar_t* path) {
  RECT r;
  GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  // The screen itself: PrintWindow gives black under Wine.
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (dib) {
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    SelectObject(memory, old);
    const DWORD stride = ((w * 3 + 3) / 4) * 4, size = stride * h;
    BITMAPFILEHEADER fh = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(bi.bmiHeader);
    fh.bfSize = fh.bfOffBits + size;
    HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
      DWORD n = 0;
      ok = WriteFile(f, &fh, sizeof(fh), &n, nullptr) &&
           WriteFile(f, &bi.bmiHeader, sizeof(bi.bmiHeader), &n, nullptr) &&
           WriteFile(f, bits, size, &n, nullptr);
      CloseHandle(f);
    }
    DeleteObject(dib);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

// Samples the bar `id` of the window `part` `count` times, `ms` apart, one
// position a line. The bar is looked up afresh each time, as the page that
// holds it may come and go; the sampling ends early once it is gone after
// it has been seen. Fails when it was never seen.
int sample_bar(const std::wstring& part, int id, int count, DWORD ms) {
  bool seen = false;
  for (int i = 0; i < count; ++i) {
    if (i > 0) Sleep(ms);
    HWND bar = control_of_any(part, id);
    if (!bar) {
      if (seen) break;
      continue;
    }
    // A bar destroyed between the look-up and the question answers nothing,
    // which SendMessageW would give as position 0.
    DWORD_PTR position = 0;
    if (!SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &position)) {
      if (seen) break;
      continue;
    }
    seen = true;
    wprintf(L"%d\n", static_cast<int>(position));
    fflush(stdout);
  }
  return seen ? 0 : 1;
}

int usage() {
  fwprintf(stderr,
           L"usage: kx_window_probe wait|controls|click|select|escape|close|shot|pos ...\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return usage();
  const std::wstring command = argv[1];
  const std::wstring part = argv[2];
  if (command == L"wait") {
    const DWORD limit = argc > 3 ? wcstoul(argv[3], nullptr, 10) : 10000;
    const DWORD start = GetTickCount();
    for (;;) {
      if (HWND w = find(part)) {
        wprintf(L"%p\n", static_cast<void*>(w));
        return 0;
      }
      if (GetTickCount() - start > limit) return 1;
      Sleep(100);
    }
  }
  // The window may not be up yet, or be rebuilt, while the bar is sampled.
  if (command == L"pos" && argc > 3) {
    const int count = argc > 5 ? _wtoi(argv[4]) : 1;
    const DWORD ms = argc > 5 ? wcstoul(argv[5], nullptr, 10) : 0;
    if (count < 1) return usage();
    return sample_bar(part, _wtoi(argv[3]), count, ms);
  }
  HWND window = find(part);
  if (!window) return 1;
  if (command == L"controls") {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    wprintf(L"caption\t%ls\n", text);
    RECT client;
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    wprintf(L"client\t%ld,%ld,%ld,%ld\n", client.left, client.top, client.right, client.bottom);
    EnumChildWindows(window, list_one, 0);
    return 0;
  }
  if (command == L"click" && argc > 3) {
    HWND c = control_of_any(part, _wtoi(argv[3]));
    if (!c) return 1;
    PostMessageW(GetParent(c), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), BN_CLICKED),
                 reinterpret_cast<LPARAM>(c));
    return 0;
  }
  if (command == L"select" && argc > 4) {
    HWND c = control_of_any(part, _wtoi(argv[3]));
    if (!c) return 1;
    wchar_t cls[32] = {};
    GetClassNameW(c, cls, 32);
    const bool combo = std::wstring(cls) == L"ComboBox";
    SendMessageW(c, combo ? CB_SETCURSEL : LB_SETCURSEL, _wtoi(argv[4]), 0);
    return 0;
  }
  if (command == L"escape") {
    HWND target = page_of(window);
    PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    return 0;
  }
  if (command == L"close") {
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
  }
  if (command == L"shot" && argc > 3) return save_bmp(window, argv[3]) ? 0 : 1;
  return usage();
}
