#include "tests/ui/template_builder.h"

namespace kx::testing {

namespace {

class Writer {
 public:
  std::vector<BYTE> bytes;
  void word(WORD w) { raw(&w, sizeof w); }
  void dword(DWORD d) { raw(&d, sizeof d); }
  void byte(BYTE b) { bytes.push_back(b); }
  void text(const std::wstring& s) { raw(s.c_str(), (s.size() + 1) * sizeof(wchar_t)); }
  void align() {
    while (bytes.size() % 4) bytes.push_back(0);
  }

 private:
  void raw(const void* p, size_t n) {
    const BYTE* b = static_cast<const BYTE*>(p);
    bytes.insert(bytes.end(), b, b + n);
  }
};

}  // namespace

std::vector<BYTE> BuildTemplate(const TemplateShape& shape) {
  Writer w;
  const DWORD style = WS_POPUP | WS_CAPTION | (shape.set_font ? DS_SETFONT : 0);
  const WORD count = static_cast<WORD>(shape.controls.size());
  if (shape.extended) {
    w.word(1);
    w.word(0xFFFF);
    w.dword(0);  // help id
    w.dword(0);  // extended style
    w.dword(style);
  } else {
    w.dword(style);
    w.dword(0);
  }
  w.word(count);
  for (short v : {0, 0, 200, 100}) w.word(static_cast<WORD>(v));
  w.word(0);  // no menu
  w.word(0);  // default class
  w.text(shape.title);
  if (shape.set_font) {
    w.word(shape.point_size);
    if (shape.extended) {
      w.word(shape.weight);
      w.byte(shape.italic);
      w.byte(shape.charset);
    }
    w.text(shape.face);
  }
  short y = 5;
  for (const TemplateControl& c : shape.controls) {
    w.align();
    const DWORD control_style = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON;
    if (shape.extended) {
      w.dword(0);  // help id
      w.dword(0);
      w.dword(control_style);
    } else {
      w.dword(control_style);
      w.dword(0);
    }
    for (short v : {short{5}, y, short{60}, short{14}}) w.word(static_cast<WORD>(v));
    y = static_cast<short>(y + 16);
    if (shape.extended)
      w.dword(c.id);
    else
      w.word(c.id);
    w.word(0xFFFF);
    w.word(0x0080);  // button
    w.text(c.text);
    w.word(0);  // no creation data
  }
  return w.bytes;
}

}  // namespace kx::testing
