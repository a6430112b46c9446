#include "ui/dialog_template.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "tests/ui/template_builder.h"

namespace kx {
namespace {

using testing::BuildTemplate;
using testing::TemplateShape;

const std::wstring kLongFace = L"An Uncommonly Long Font Face Name For Tests";  // 43

TemplateShape shape_of(bool extended, const std::wstring& face, WORD size, int controls) {
  TemplateShape shape;
  shape.extended = extended;
  shape.face = face;
  shape.point_size = size;
  for (int i = 0; i < controls; ++i)
    shape.controls.push_back({static_cast<WORD>(1000 + i), L"Button " + std::to_wstring(i)});
  return shape;
}

TemplateCopy copy_of(const std::vector<BYTE>& bytes) {
  return CopyTemplate(bytes.data(), bytes.size());
}

std::vector<BYTE> template_bytes(const TemplateCopy& c) {
  return {c.bytes.begin(), c.bytes.begin() + static_cast<std::ptrdiff_t>(c.length)};
}

INT_PTR CALLBACK quiet_proc(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}

std::wstring font_face(HWND dialog) {
  LOGFONTW font{};
  const auto handle = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  if (!handle || !GetObjectW(handle, sizeof font, &font)) return L"";
  return font.lfFaceName;
}

struct FontRow {
  const char* what;
  bool extended;
  std::wstring face;  // the template's own font
  WORD size;
  std::wstring new_face;
  WORD new_size;
  int controls;
  bool replaced;
};

void PrintTo(const FontRow& row, std::ostream* out) {
  *out << row.what;
}

class SetTemplateFontTest : public ::testing::TestWithParam<FontRow> {};

// The copy after the change is byte for byte the template the resource
// compiler would have made with the new font: the controls moved to their
// aligned place and the length followed. Windows builds every control from
// it, in the new font.
TEST_P(SetTemplateFontTest, GivesTheLayoutOfATemplateMadeWithTheNewFont) {
  const FontRow& row = GetParam();
  const TemplateShape original = shape_of(row.extended, row.face, row.size, row.controls);
  TemplateCopy copy = copy_of(BuildTemplate(original));

  const bool result = SetTemplateFont(copy, string::view(row.new_face.data(), row.new_face.size()),
                                      row.new_size, L"Tahoma", 8);

  EXPECT_EQ(result, row.replaced);
  TemplateShape expected = original;
  if (row.replaced) {
    expected.face = row.new_face.substr(0, kTemplateFaceLimit);
    expected.point_size = row.new_size;
  }
  EXPECT_EQ(template_bytes(copy), BuildTemplate(expected));
  EXPECT_GE(copy.bytes.size(), copy.length);

  HWND dialog =
      CreateDialogIndirectParamW(GetModuleHandleW(nullptr), copy.get(), nullptr, quiet_proc, 0);
  ASSERT_NE(dialog, nullptr);
  for (const auto& control : expected.controls) {
    wchar_t text[64] = {};
    ASSERT_NE(GetDlgItem(dialog, control.id), nullptr) << control.id;
    GetDlgItemTextW(dialog, control.id, text, 64);
    EXPECT_EQ(text, control.text);
  }
  // A font's face name holds at most 31 characters.
  EXPECT_EQ(font_face(dialog), expected.face.substr(0, LF_FACESIZE - 1));
  DestroyWindow(dialog);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SetTemplateFontTest,
    ::testing::Values(
        FontRow{"extended, longer face", true, L"Tahoma", 8, L"MS Shell Dlg", 9, 3, true},
        FontRow{"extended, shorter face", true, L"Tahoma", 8, L"Arial", 10, 3, true},
        FontRow{"extended, same length", true, L"Tahoma", 8, L"Gulim!", 9, 2, true},
        FontRow{"extended, no controls", true, L"Tahoma", 8, L"MS Shell Dlg", 9, 0, true},
        FontRow{"extended, face cut at 32", true, L"Tahoma", 8, kLongFace, 8, 2, true},
        FontRow{"classic, longer face", false, L"Tahoma", 8, L"MS Shell Dlg", 9, 3, true},
        FontRow{"classic, shorter face", false, L"Tahoma", 8, L"Arial", 9, 3, true},
        FontRow{"classic, face cut at 32", false, L"Tahoma", 8, kLongFace, 12, 1, true},
        FontRow{"face compared without case", true, L"TAHOMA", 8, L"Arial", 9, 2, true},
        FontRow{"another face keeps its font", true, L"Arial", 8, L"MS Shell Dlg", 9, 2, false},
        FontRow{"another size keeps its font", true, L"Tahoma", 9, L"MS Shell Dlg", 9, 2, false},
        FontRow{"a longer Tahoma name is another face", false, L"Tahoma Bold", 8, L"Arial", 8, 1,
                false}),
    [](const ::testing::TestParamInfo<FontRow>& info) {
      std::string name;
      for (const char* p = info.param.what; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return name;
    });

TEST(SetTemplateFont, LeavesTemplatesWithoutAFontBlockAlone) {
  TemplateShape shape = shape_of(true, L"Tahoma", 8, 2);
  shape.set_font = false;
  const std::vector<BYTE> bytes = BuildTemplate(shape);
  TemplateCopy copy = copy_of(bytes);
  EXPECT_FALSE(SetTemplateFont(copy, L"Arial", 9, L"Tahoma", 8));
  EXPECT_EQ(template_bytes(copy), bytes);
}

TEST(SetTemplateFont, RefusesEmptyAndCutTemplates) {
  TemplateCopy empty;
  EXPECT_FALSE(SetTemplateFont(empty, L"Arial", 9, L"Tahoma", 8));

  const std::vector<BYTE> bytes = BuildTemplate(shape_of(true, L"Tahoma", 8, 1));
  // Cut inside the header, the title and the face name.
  for (size_t cut : {size_t{10}, size_t{30}, size_t{46}}) {
    TemplateCopy copy = CopyTemplate(bytes.data(), cut);
    const std::vector<BYTE> before = copy.bytes;
    EXPECT_FALSE(SetTemplateFont(copy, L"Arial", 9, L"Tahoma", 8)) << cut;
    EXPECT_EQ(copy.bytes, before) << cut;
    EXPECT_EQ(copy.length, cut);
  }
}

TEST(SetTemplateLayoutRtl, SetsTheMirroredLayoutOfBothKinds) {
  for (bool extended : {true, false}) {
    TemplateCopy copy = copy_of(BuildTemplate(shape_of(extended, L"Tahoma", 8, 1)));
    const std::vector<BYTE> before = template_bytes(copy);
    SetTemplateLayoutRtl(copy, false);
    EXPECT_EQ(template_bytes(copy), before);
    SetTemplateLayoutRtl(copy, true);

    HWND dialog =
        CreateDialogIndirectParamW(GetModuleHandleW(nullptr), copy.get(), nullptr, quiet_proc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) << extended;
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(dialog, 1000), GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
    DestroyWindow(dialog);
  }
}

TEST(LoadTemplate, CopiesTheResourceWithSpareRoomAndThrowsWhenMissing) {
  const TemplateCopy copy = LoadTemplate(GetModuleHandleW(nullptr), 119);
  ASSERT_FALSE(copy.empty());
  EXPECT_TRUE(IsExtendedTemplate(copy));
  EXPECT_EQ(copy.bytes.size(), copy.length + kTemplateSpare);
  for (size_t i = copy.length; i < copy.bytes.size(); ++i) EXPECT_EQ(copy.bytes[i], 0);

  EXPECT_THROW(LoadTemplate(GetModuleHandleW(nullptr), 4711), win32_exception);
}

}  // namespace
}  // namespace kx
