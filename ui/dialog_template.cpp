#include "ui/dialog_template.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "base/exceptions.h"

namespace kx {

namespace {

constexpr std::size_t kExtendedHeader = 26;  // DLGTEMPLATEEX up to cy
constexpr std::size_t kClassicHeader = 18;   // DLGTEMPLATE

WORD word_at(const TemplateCopy& c, std::size_t at) {
  WORD w;
  std::memcpy(&w, c.bytes.data() + at, sizeof w);
  return w;
}

DWORD dword_at(const TemplateCopy& c, std::size_t at) {
  DWORD d;
  std::memcpy(&d, c.bytes.data() + at, sizeof d);
  return d;
}

void put_word(TemplateCopy& c, std::size_t at, WORD w) {
  std::memcpy(c.bytes.data() + at, &w, sizeof w);
}

void put_dword(TemplateCopy& c, std::size_t at, DWORD d) {
  std::memcpy(c.bytes.data() + at, &d, sizeof d);
}

std::size_t align4(std::size_t at) {
  return (at + 3) & ~std::size_t{3};
}

// The offset behind one menu, class or title field (0xFFFF and an ordinal,
// or a NUL-terminated string); nothing when it runs past the template.
std::optional<std::size_t> skip_field(const TemplateCopy& c, std::size_t at) {
  if (at + 2 > c.length) return std::nullopt;
  if (word_at(c, at) == 0xFFFF) {
    if (at + 4 > c.length) return std::nullopt;
    return at + 4;
  }
  for (; at + 2 <= c.length; at += 2)
    if (word_at(c, at) == 0) return at + 2;
  return std::nullopt;
}

// Where the parts of a template's header lie.
struct Layout {
  bool extended = false;
  std::size_t style_at = 0;
  std::size_t ex_style_at = 0;
  std::size_t font_at = 0;  // the point size
  std::size_t face_at = 0;
  std::size_t font_end = 0;  // behind the face's NUL
};

std::optional<Layout> header_layout(const TemplateCopy& c) {
  Layout l;
  l.extended = IsExtendedTemplate(c);
  const std::size_t header = l.extended ? kExtendedHeader : kClassicHeader;
  if (c.length < header) return std::nullopt;
  l.style_at = l.extended ? 12 : 0;
  l.ex_style_at = l.extended ? 8 : 4;
  std::optional<std::size_t> at = header;
  for (int field = 0; field < 3 && at; ++field) at = skip_field(c, *at);
  if (!at) return std::nullopt;
  l.font_at = *at;
  return l;
}

// Completes `l` with the font block of a template that has one.
bool find_font(const TemplateCopy& c, Layout& l) {
  l.face_at = l.font_at + (l.extended ? 6 : 2);
  const std::optional<std::size_t> end = skip_field(c, l.face_at);
  if (!end || word_at(c, l.face_at) == 0xFFFF) return false;
  l.font_end = *end;
  return true;
}

}  // namespace

bool IsExtendedTemplate(const TemplateCopy& copy) noexcept {
  return copy.length >= 4 && copy.bytes.size() >= 4 && copy.bytes[2] == 0xFF &&
         copy.bytes[3] == 0xFF;
}

TemplateCopy CopyTemplate(const void* data, std::size_t length) {
  TemplateCopy copy;
  copy.bytes.assign(length + kTemplateSpare, 0);
  if (length) std::memcpy(copy.bytes.data(), data, length);
  copy.length = length;
  return copy;
}

TemplateCopy LoadTemplate(HINSTANCE module, UINT id) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG);
  if (!found) throw win32_exception();
  HGLOBAL loaded = LoadResource(module, found);
  const DWORD size = SizeofResource(module, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) throw win32_exception();
  if (size == 0) throw win32_exception(ERROR_RESOURCE_DATA_NOT_FOUND);
  return CopyTemplate(data, size);
}

bool SetTemplateFont(TemplateCopy& copy, string::view face, WORD size, string::view expected_face,
                     WORD expected_size) {
  if (copy.empty() || copy.bytes.size() < copy.length) return false;
  std::optional<Layout> layout = header_layout(copy);
  // A template without DS_SETFONT has no font block: the first control
  // follows the title, and claiming a font there would garble it.
  if (!layout || !(dword_at(copy, layout->style_at) & DS_SETFONT)) return false;
  Layout& l = *layout;
  if (!find_font(copy, l)) return false;

  if (word_at(copy, l.font_at) != expected_size) return false;
  const std::size_t face_chars = (l.font_end - l.face_at) / 2 - 1;
  const string current(reinterpret_cast<const wchar_t*>(copy.bytes.data() + l.face_at), face_chars);
  if (current.as_view() != expected_face) return false;

  const std::size_t new_chars = std::min(face.size(), kTemplateFaceLimit);
  const std::size_t new_end = l.face_at + 2 * (new_chars + 1);
  const std::size_t old_items = align4(l.font_end);
  const std::size_t new_items = align4(new_end);
  const std::size_t old_length = copy.length;
  const std::size_t tail = old_length > old_items ? old_length - old_items : 0;
  const std::size_t new_length = tail ? new_items + tail : new_end;
  // The spare room normally absorbs a longer name; the buffer grows if not.
  const std::size_t needed = std::max(new_length, old_length) + 4;
  if (copy.bytes.size() < needed) copy.bytes.resize(needed + kTemplateSpare, 0);
  BYTE* const b = copy.bytes.data();
  if (tail && new_items != old_items) std::memmove(b + new_items, b + old_items, tail);
  // The old name and the padding up to the (moved) controls, and what a
  // shorter template leaves behind.
  if (tail) {
    std::memset(b + l.face_at, 0, new_items - l.face_at);
    if (new_length < old_length) std::memset(b + new_length, 0, old_length - new_length);
  } else {
    std::memset(b + l.face_at, 0, std::max(old_length, new_end) - l.face_at);
  }
  std::memcpy(copy.bytes.data() + l.face_at, face.data(), 2 * new_chars);
  put_word(copy, l.font_at, size);
  copy.length = new_length;
  return true;
}

void SetTemplateLayoutRtl(TemplateCopy& copy, bool rtl) {
  if (!rtl) return;
  const std::size_t at = IsExtendedTemplate(copy) ? 8 : 4;
  if (copy.length < at + 4) return;
  put_dword(copy, at, dword_at(copy, at) | WS_EX_LAYOUTRTL);
}

}  // namespace kx
