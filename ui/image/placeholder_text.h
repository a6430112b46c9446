// The text of an image placeholder in a dialog template: a Static control
// whose text starts with "@" names the picture drawn in its place.
//
//   "@@" name ";" percent
//       a picture drawn through GDI+: name is a "PNG" resource id (decimal
//       digits) or a file path; percent the display scale it was drawn for.
//   "@" first "," second ";" f1 ";" f2 ";" colour1 ";" colour2 ";" percent
//       a bitmap: two resource ids or two file names, the second for
//       displays of more than 256 colours; f1 "1" draws it transparently,
//       f2 "1" gives the placeholder an edge; colour1 the transparent and
//       colour2 the background colour, each "red,green,blue". Trailing
//       fields may be missing.
//
// Windows-free and pure, so that the syntax is table-tested.
#pragma once

#include <cstdint>
#include <optional>

#include "base/stringx.h"

namespace kx {

// The longest placeholder text read from a control; the rest is ignored.
inline constexpr std::size_t kPlaceholderTextLimit = 780;

// One picture name: a resource id when it is all decimal digits (at most
// 65535), else a file name.
struct PlaceholderName {
  string text;
  std::optional<std::uint16_t> resource_id;
  bool empty() const { return text.empty(); }
};

struct PlaceholderText {
  enum class Form { none, picture, bitmap };
  Form form = Form::none;
  PlaceholderName first;   // the "@@" picture, or the "@" picture for 256 colours or fewer
  PlaceholderName second;  // "@" only: the picture for more than 256 colours
  bool transparent = false;
  bool edge = false;
  std::optional<std::uint32_t> transparent_colour;  // COLORREF 0x00BBGGRR
  std::optional<std::uint32_t> background_colour;   // COLORREF 0x00BBGGRR
  int percent = 100;  // the display scale the picture was drawn for, > 0
};

// Reads a control's text as a placeholder. Text that does not start with
// "@" gives Form::none. A percent of 0, below 0 or missing reads as 100;
// colour components are clamped to 0-255, missing ones read as 0, and an
// empty colour field gives no colour.
PlaceholderText ParsePlaceholder(string::view text);

}  // namespace kx
