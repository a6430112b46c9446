// Copies of dialog templates that can be changed before Windows sees them:
// the font of the run's language put in place of the templates' own, and
// the mirrored layout of right-to-left languages.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "base/stringx.h"

namespace kx {

// One dialog template in a buffer of its own: `length` bytes of template
// followed by zero-filled spare room for a longer font name.
struct TemplateCopy {
  std::vector<BYTE> bytes;
  std::size_t length = 0;

  bool empty() const noexcept { return length == 0; }
  // The template as the dialog functions take it.
  const DLGTEMPLATE* get() const noexcept {
    return reinterpret_cast<const DLGTEMPLATE*>(bytes.data());
  }
};

// The spare bytes behind every copy.
inline constexpr std::size_t kTemplateSpare = 64;
// The longest face name a template is given.
inline constexpr std::size_t kTemplateFaceLimit = 32;

// A copy of `length` bytes at `data` with the spare room behind them.
TemplateCopy CopyTemplate(const void* data, std::size_t length);

// The RT_DIALOG resource `id` of `module`, copied. Throws kx::win32_exception
// when the resource is missing or empty.
TemplateCopy LoadTemplate(HINSTANCE module, UINT id);

// Gives the template the font `face` (its first 32 characters) at `size`
// points, when its own font is `expected_face` (compared without regard to
// case) at `expected_size`; weight, italic and character set of an extended
// template stay. Everything behind the font moves when the font's length
// changes, and the copy's length follows. False, with the copy unchanged,
// when the copy is empty or malformed, has no font of its own (no
// DS_SETFONT), or its font is another than the expected one.
bool SetTemplateFont(TemplateCopy& copy, string::view face, WORD size, string::view expected_face,
                     WORD expected_size);

// With `rtl`, gives the dialog the mirrored layout (WS_EX_LAYOUTRTL), which
// its controls inherit; without, leaves the copy as it is.
void SetTemplateLayoutRtl(TemplateCopy& copy, bool rtl);

// Whether the copy is an extended template (DLGTEMPLATEEX).
bool IsExtendedTemplate(const TemplateCopy& copy) noexcept;

}  // namespace kx
