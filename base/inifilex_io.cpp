// The INI model's file I/O, through the text files of kx::file.
#include "base/file.h"
#include "base/inifilex.h"

namespace kx::ini_io {

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
  file f;
  if (const DWORD error = f.create_text(path)) return error;
  if (code_page != -1) f.set_code_page(code_page);
  return f.write_lines(lines, bom);
}

}  // namespace kx::ini_io
