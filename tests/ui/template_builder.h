// Dialog templates built byte by byte, for tests of the template copy.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kx::testing {

// One button of a hand-built template.
struct TemplateControl {
  WORD id;
  std::wstring text;
};

// What the template holds.
struct TemplateShape {
  bool extended = true;
  bool set_font = true;  // DS_SETFONT with a font block
  WORD point_size = 8;
  std::wstring face = L"Tahoma";
  WORD weight = 700;  // extended templates only
  BYTE italic = 1;
  BYTE charset = 0;
  std::wstring title = L"Test";
  std::vector<TemplateControl> controls;
};

// The template's bytes, as the resource compiler lays them out.
std::vector<BYTE> BuildTemplate(const TemplateShape& shape);

}  // namespace kx::testing
