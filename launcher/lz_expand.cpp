#include "launcher/lz_expand.h"

#include <windows.h>

#include "platform/system_library.h"

namespace kx {

namespace {

using LZOpenFileWFn = INT(WINAPI*)(LPWSTR, LPOFSTRUCT, WORD);
using LZCopyFn = LONG(WINAPI*)(INT, INT);
using LZCloseFn = void(WINAPI*)(INT);

}  // namespace

long lz_expand_file(const string& compressed, const string& target) {
  const auto open = system_function<LZOpenFileWFn>(L"lz32.dll", "LZOpenFileW");
  const auto copy = system_function<LZCopyFn>(L"lz32.dll", "LZCopy");
  const auto close = system_function<LZCloseFn>(L"lz32.dll", "LZClose");
  if (!open || !copy || !close) return -1;

  // LZOpenFileW takes writable buffers; the strings are copied first.
  string source_path = compressed, target_path = target;
  OFSTRUCT source_info{}, target_info{};
  const INT source = open(source_path.data(), &source_info, OF_READ);
  if (source < 0) return -1;
  const INT dest = open(target_path.data(), &target_info, OF_CREATE);
  if (dest < 0) {
    close(source);
    return -1;
  }
  const LONG written = copy(source, dest);
  close(dest);
  close(source);
  if (written < 0) DeleteFileW(target.c_str());
  return written;
}

}  // namespace kx
