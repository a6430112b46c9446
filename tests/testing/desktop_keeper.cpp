// kx_desktop_keeper.exe <ready file>: keeps Wine's desktop up for a whole
// test session.
//
// Wine ends its desktop process about a second after the last program using
// the desktop has gone, and the next program that needs one starts it again
// as its own child, handing it that program's standard handles. A test
// program that happens to start it leaves its output pipe open for as long as
// other tests keep the desktop busy, and CTest waits on that pipe until the
// test times out. The test runner starts this program once per session,
// detached from every pipe; while it lives the desktop never ends. It creates
// <ready file> once the desktop is up and then waits until the Wine session
// is ended.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  if (!GetDesktopWindow()) return 1;
  HANDLE ready = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(ready);
  Sleep(INFINITE);
  return 0;
}
