#include "ui/image/image_placement.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(ImagePlacement, DpiAdjustedSize) {
  struct Case {
    ImageSize natural;
    int design, display;
    ImageSize size;
    bool dpi_sized;
  };
  const Case cases[] = {
      {{204, 72}, 200, 100, {102, 36}, true},  // drawn for 200 %: half size at 100 %
      {{204, 72}, 200, 150, {153, 54}, true},
      {{204, 72}, 200, 200, {204, 72}, false},  // natural at its own scale
      {{204, 72}, 200, 250, {204, 72}, true},   // never enlarged
      {{204, 72}, 100, 100, {204, 72}, false},
      {{3, 1}, 200, 100, {2, 1}, true},  // rounded like MulDiv
      {{1, 1}, 400, 100, {0, 0}, true},  // too small to keep a pixel
      {{0, 0}, 200, 100, {0, 0}, true},
      {{2000000000, 7}, 300, 200, {kImageMaxSide, 5}, true},  // no 32-bit product
      {{204, 72}, 0, 100, {204, 72}, false},
  };
  for (const Case& c : cases) {
    const DpiSizing r = DpiAdjustedSize(c.natural, c.design, c.display);
    EXPECT_EQ(r.size, c.size) << c.natural.width << " " << c.design << " " << c.display;
    EXPECT_EQ(r.dpi_sized, c.dpi_sized) << c.natural.width << " " << c.design << " " << c.display;
  }
}

TEST(ImagePlacement, HeaderBand) {
  struct Case {
    const char* what;
    ImageRect control;
    ImageSize natural, picture;
    bool stretch;
    bool laid_out;
    ImageRect window;
    ImageSize drawn;
    std::uint32_t options;
  };
  const ImageRect band{300, 0, 453, 58};  // 153 x 58
  const Case cases[] = {
      {"lower: stretched, aspect kept, right-aligned",
       band,
       {100, 29},
       {100, 29},
       true,
       true,
       {300, 0, 453, 58},
       {200, 58},
       kImageLowerRight | kImageDpiSized},
      {"lower and narrow: stays at the right edge",
       band,
       {40, 29},
       {40, 29},
       true,
       true,
       {373, 0, 453, 58},
       {80, 58},
       kImageCentreBoth | kImageDpiSized},
      {"lower without stretch: centred vertically",
       band,
       {40, 20},
       {40, 20},
       false,
       true,
       {413, 19, 453, 39},
       {40, 20},
       kImageCentreBoth},
      {"wider and higher: left and top of the control",
       band,
       {400, 100},
       {400, 100},
       true,
       true,
       {300, 0, 453, 58},
       {400, 100},
       kImageLowerRight},
      {"exact fit",
       band,
       {153, 58},
       {153, 58},
       true,
       true,
       {300, 0, 453, 58},
       {153, 58},
       kImageCentreBoth},
      {"shrunk by the display scale",
       band,
       {306, 116},
       {153, 58},
       true,
       true,
       {300, 0, 453, 58},
       {153, 58},
       kImageCentreBoth | kImageDpiSized},
      {"zero height", band, {10, 0}, {10, 0}, true, false, {}, {}, 0},
      {"zero width", band, {0, 10}, {0, 10}, true, false, {}, {}, 0},
      {"empty control", {5, 5, 5, 20}, {10, 10}, {10, 10}, true, false, {}, {}, 0},
  };
  for (const Case& c : cases) {
    const auto r = LayoutHeaderBand(c.control, c.natural, c.picture, c.stretch);
    ASSERT_EQ(r.has_value(), c.laid_out) << c.what;
    if (!r) continue;
    EXPECT_EQ(r->window, c.window) << c.what;
    EXPECT_EQ(r->picture, c.drawn) << c.what;
    EXPECT_EQ(r->options, c.options) << c.what;
  }
}

TEST(ImagePlacement, DrawRect) {
  constexpr int C = kImageCentreOffset;
  struct Case {
    const char* what;
    ImageDrawing d;
    bool drawn;
    ImageRect r;
  };
  const ImageSize n{40, 20};
  const Case cases[] = {
      {"no anchor: top left, offsets ignored", {n, {}, 0, 7, 9}, true, {0, 0, 40, 20}},
      {"centre bit", {n, {}, kImageCentreBoth, 7, 9}, true, {30, 40, 70, 60}},
      {"centre markers", {n, {}, kImageLowerRight, C, C}, true, {30, 40, 70, 60}},
      {"x centred, y anchored", {n, {}, kImageLowerRight, C, 5}, true, {30, 75, 70, 95}},
      {"lower left", {n, {}, kImageLowerLeft, 3, 5}, true, {3, 75, 43, 95}},
      {"lower right", {n, {}, kImageLowerRight, 3, 5}, true, {57, 75, 97, 95}},
      {"upper left", {n, {}, kImageUpperLeft, 3, 5}, true, {3, 5, 43, 25}},
      {"upper right", {n, {}, kImageUpperRight, 3, 5}, true, {57, 5, 97, 25}},
      {"lower left wins", {n, {}, kImageLowerLeft | kImageUpperRight, 3, 5}, true, {3, 75, 43, 95}},
      {"dpi size",
       {n, {20, 10}, kImageDpiSized | kImageLowerRight, 0, 0},
       true,
       {80, 90, 100, 100}},
      {"scale",
       {n, {20, 10}, kImageScale | kImageDpiSized, 0, 0, 150000, 50000},
       true,
       {0, 0, 60, 10}},
      {"scale without 32-bit overflow",
       {{30000, 30000}, {}, kImageScale, 0, 0, 200000, 200000},
       true,
       {0, 0, 60000, 60000}},
      {"scale clamped",
       {{2000000000, 1}, {}, kImageScale, 0, 0, 2000000000, 100000},
       true,
       {0, 0, kImageMaxSide, 1}},
      {"larger than the target, lower right",
       {{150, 120}, {}, kImageLowerRight, 0, 0},
       true,
       {-50, -20, 100, 100}},
      {"zero-sized picture", {{0, 20}, {}, kImageCentreBoth, 0, 0}, false, {}},
      {"scaled to nothing", {n, {}, kImageScale, 0, 0, 1000, 100000}, false, {}},
      {"empty dpi size", {n, {0, 0}, kImageDpiSized, 0, 0}, false, {}},
  };
  for (const Case& c : cases) {
    const auto r = ImageDrawRect(c.d, 100, 100);
    ASSERT_EQ(r.has_value(), c.drawn) << c.what;
    if (r) {
      EXPECT_EQ(*r, c.r) << c.what;
    }
  }
}

TEST(ImagePlacement, ChooseBitmapName) {
  struct Case {
    bool first, second;
    int bpp;
    bool header;
    int chosen;
  };
  const Case cases[] = {
      {true, true, 8, true, 0},   {true, true, 8, false, 0},  {true, true, 16, true, 1},
      {true, true, 16, false, 0}, {true, true, 24, false, 1}, {true, true, 32, true, 1},
      {true, false, 32, true, 0}, {false, true, 8, false, 1}, {false, false, 32, true, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseBitmapName(c.first, c.second, c.bpp, c.header), c.chosen)
        << c.first << c.second << " " << c.bpp << " " << c.header;
  }
}

}  // namespace
}  // namespace kx
