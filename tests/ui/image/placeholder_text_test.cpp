#include "ui/image/placeholder_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kx {
namespace {

using Form = PlaceholderText::Form;
using Colour = std::optional<std::uint32_t>;
using Id = std::optional<std::uint16_t>;

std::wstring w(const string& s) {
  return std::wstring(s.begin(), s.end());
}

TEST(PlaceholderText, Forms) {
  struct Case {
    const wchar_t* text;
    Form form;
    const wchar_t* first;
    Id first_id;
    const wchar_t* second;
    Id second_id;
    bool transparent, edge;
    Colour transparent_colour, background;
    int percent;
  };
  const Case cases[] = {
      {L"@@10554;200", Form::picture, L"10554", 10554, L"", {}, false, false, {}, {}, 200},
      {L"@@10652", Form::picture, L"10652", 10652, L"", {}, false, false, {}, {}, 100},
      {L"@@c:\\x.png;0", Form::picture, L"c:\\x.png", {}, L"", {}, false, false, {}, {}, 100},
      {L"@@pic.png;-50", Form::picture, L"pic.png", {}, L"", {}, false, false, {}, {}, 100},
      {L"@@99999;150", Form::picture, L"99999", {}, L"", {}, false, false, {}, {}, 150},
      {L"@1,2;1;1;255,0,0;0,0,255;150", Form::bitmap, L"1", 1, L"2", 2, true, true, 0x0000FF,
       0xFF0000, 150},
      {L"@a.bmp,b.bmp;0;1", Form::bitmap, L"a.bmp", {}, L"b.bmp", {}, false, true, {}, {}, 100},
      {L"@103", Form::bitmap, L"103", 103, L"", {}, false, false, {}, {}, 100},
      {L"@103;2;;;", Form::bitmap, L"103", 103, L"", {}, false, false, {}, {}, 100},
      {L"@1,2;1;0;300,-4;1,2,3,4", Form::bitmap, L"1", 1, L"2", 2, true, false, 0x0000FF, 0x030201,
       100},
      {L"@", Form::bitmap, L"", {}, L"", {}, false, false, {}, {}, 100},
      {L"Picture", Form::none, L"", {}, L"", {}, false, false, {}, {}, 100},
      {L"", Form::none, L"", {}, L"", {}, false, false, {}, {}, 100},
      {L" @@1", Form::none, L"", {}, L"", {}, false, false, {}, {}, 100},
  };
  for (const Case& c : cases) {
    const PlaceholderText p = ParsePlaceholder(string(c.text).as_view());
    EXPECT_EQ(p.form, c.form) << c.text;
    EXPECT_EQ(w(p.first.text), c.first) << c.text;
    EXPECT_EQ(p.first.resource_id, c.first_id) << c.text;
    EXPECT_EQ(w(p.second.text), c.second) << c.text;
    EXPECT_EQ(p.second.resource_id, c.second_id) << c.text;
    EXPECT_EQ(p.transparent, c.transparent) << c.text;
    EXPECT_EQ(p.edge, c.edge) << c.text;
    EXPECT_EQ(p.transparent_colour, c.transparent_colour) << c.text;
    EXPECT_EQ(p.background_colour, c.background) << c.text;
    EXPECT_EQ(p.percent, c.percent) << c.text;
  }
}

// Only the first 780 characters count, as only they are read from the
// control.
TEST(PlaceholderText, LongTextIsCut) {
  string text(KXT("@@"));
  text += string(std::wstring(778, L'a').c_str());
  text += string(KXT(";200"));
  const PlaceholderText p = ParsePlaceholder(text.as_view());
  EXPECT_EQ(p.first.text.size(), 778u);
  EXPECT_EQ(p.percent, 100);
}

}  // namespace
}  // namespace kx
