// The version resource of a file.
#pragma once

#include <windows.h>

#include <vector>

#include "base/stringx.h"

namespace kx {

// One file's version resource: the raw block, its fixed information and the
// (language, code page) pairs listed under "\VarFileInfo\Translation".
// The version library is loaded from the system folder on first use.
class version_info {
 public:
  struct translation {
    WORD language;
    WORD code_page;
  };

  // Reads the resource of `path`, replacing what was loaded before. True when
  // the file has a version resource with fixed information; the translation
  // list may be empty. On failure the object is empty and the thread's last
  // error tells why.
  bool load(const kx::string& path);

  // True after a successful load.
  bool loaded() const noexcept { return !block_.empty(); }

  // The fixed information; all zero when nothing is loaded.
  const VS_FIXEDFILEINFO& fixed() const noexcept { return fixed_; }

  // The translations in the order the resource lists them.
  const std::vector<translation>& translations() const noexcept { return translations_; }

  // A string value. `name` is first tried as a full sub-block path
  // ("\StringFileInfo\040904b0\CompanyName"); then, for each translation in
  // list order, "\StringFileInfo\<language><code page>\" (four upper-case hex
  // digits each) followed by `name`. The first hit wins; none gives "". A
  // value that is not text reads as the text up to its first NUL, and never
  // past the end of the block.
  kx::string string(const kx::string& name) const;

 private:
  // The text at `sub_block`, or false when the block has no such value.
  bool query_text(const wchar_t* sub_block, kx::string& out) const;

  std::vector<BYTE> block_;
  VS_FIXEDFILEINFO fixed_{};
  std::vector<translation> translations_;
};

// Binds the version library's functions now, for the rest of the process;
// true when all of them are there. Call it before switching file-system
// redirection off, which would make a first binding load the other
// architecture's library.
bool bind_version_library() noexcept;

// The "KXInternalVersion" string of the file's version resource; empty when
// the file has none.
string file_internal_version(const string& path);

}  // namespace kx
