// The INI model's file I/O, through the text files of kx::file.
#include <string>

#include "base/file.h"
#include "base/inifilex.h"

namespace kx::ini_io {

namespace {

// Names tried for the new file beside the old one; a name that is taken
// (left by a save that was cut off) is passed over, never overwritten.
constexpr int kNewFileNames = 100;

// Creates a new file beside `path` for the whole text. 0 and the file's
// name, or the Win32 error of the last attempt. A web address or a path
// holding a NUL fails here as it would for `path` itself.
DWORD create_new_beside(const string& path, file& f, string& created) {
  DWORD error = ERROR_FILE_EXISTS;
  for (int n = 0; n < kNewFileNames && error == ERROR_FILE_EXISTS; ++n) {
    created = path + L".~kx" + string(std::to_wstring(n));
    error = f.open(created, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
  }
  return error;
}

}  // namespace

unsigned long read_text(const string& path, int& code_page, bool& bom, string& text) {
  text.clear();
  file f;
  if (const DWORD error = f.open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING)) return error;
  if (code_page != -1) f.set_code_page(code_page);
  if (const DWORD error = f.read_text(text)) return error;
  code_page = f.code_page();
  bom = f.has_bom();
  return 0;
}

unsigned long write_lines(const string& path, const std::vector<string>& lines, int code_page,
                          bool bom) {
  // Written whole beside the old file, which the new one then replaces in
  // one move: a failure on the way leaves the old file as it was.
  file f;
  string created;
  if (const DWORD error = create_new_beside(path, f, created)) return error;
  if (code_page != -1) f.set_code_page(code_page);
  DWORD error = f.write_lines(lines, bom);
  f.close();
  if (error == 0 && !MoveFileExW(created.c_str(), path.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error = GetLastError();
  if (error != 0) {
    DeleteFileW(created.c_str());
    SetLastError(error);
  }
  return error;
}

}  // namespace kx::ini_io
