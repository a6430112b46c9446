// Where a picture goes and how large it is drawn: the display-scale rule,
// the header band layout and the anchors of the drawing routine.
//
// Windows-free and pure, so that every rule is table-tested. Sizes are
// computed in 64 bits and clamped to kImageMaxSide, so large pictures at
// large scales cannot wrap around.
#pragma once

#include <cstdint>
#include <optional>

namespace kx {

// Option bits of a picture (the skin shares the anchors and SCALE).
enum : std::uint32_t {
  kImageUpperRight = 0x1,
  kImageUpperLeft = 0x2,
  kImageLowerRight = 0x4,
  kImageLowerLeft = 0x8,
  kImageTransparent = 0x20,
  kImageCentreBoth = 0x4000,
  kImageScale = 0x100000,
  kImageDpiSized = 0x200000,
};

// An offset that centres the picture on its axis.
inline constexpr int kImageCentreOffset = 0x4000;

// The largest side a picture is drawn with; larger results are clamped.
inline constexpr int kImageMaxSide = 1 << 20;

struct ImageSize {
  int width = 0;
  int height = 0;
  // A picture without pixels on either axis draws nothing.
  bool empty() const { return width <= 0 || height <= 0; }
  bool operator==(const ImageSize&) const = default;
};

struct ImageRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const ImageRect&) const = default;
};

// The size of a picture drawn for `design_percent` on a display of
// `display_percent`: shrunk by display/design (rounded) when the design
// percent is greater; never enlarged. `dpi_sized` says whether the two
// percents differ, so that the adjusted size is the one drawn.
struct DpiSizing {
  ImageSize size;
  bool dpi_sized = false;
};
DpiSizing DpiAdjustedSize(ImageSize natural, int design_percent, int display_percent);

// A picture placed in the header band: the image window's rectangle (in the
// parent's coordinates, like `control`), the size the picture is drawn with
// and its option bits.
struct HeaderBandLayout {
  ImageRect window;
  ImageSize picture;
  std::uint32_t options = 0;
};

// Lays out `picture` (already DPI-adjusted) over the band's placeholder
// `control`. With `stretch_lower`, a picture lower than the control grows
// to its height with its aspect kept. The window is the smaller of control
// and picture on each axis, at the control's right edge (left when the
// picture is wider) and centred vertically (top when it is higher). A
// picture wider than the control is anchored lower right, any other is
// centred. kImageDpiSized is set whenever the drawn size differs from
// `natural`. Nothing for an empty picture or control.
std::optional<HeaderBandLayout> LayoutHeaderBand(ImageRect control, ImageSize natural,
                                                 ImageSize picture, bool stretch_lower);

// How one picture is drawn.
struct ImageDrawing {
  ImageSize natural;
  ImageSize adjusted;         // drawn with kImageDpiSized
  std::uint32_t options = 0;  // kImage* bits
  int offset_x = 0;           // pixels, or kImageCentreOffset
  int offset_y = 0;
  int scale_x = 100000;  // with kImageScale, x 100000
  int scale_y = 100000;
};

// The rectangle the picture takes in a target of `target_w` x `target_h`:
// sized by SCALE, else by the DPI flag, else naturally; centred on an axis
// whose offset is the centre marker (both with kImageCentreBoth); else from
// the first anchor of LOWER_LEFT, LOWER_RIGHT, UPPER_LEFT, UPPER_RIGHT by
// the offsets; without an anchor at the top left, offsets not applied.
// Nothing when the drawn size is empty.
std::optional<ImageRect> ImageDrawRect(const ImageDrawing& d, int target_w, int target_h);

// Which of the two names of a bitmap placeholder to load: 0 the first (256
// colours or fewer), 1 the second (more colours), -1 none. The second
// serves displays of more than 8 bits per pixel; outside a header band a
// display of 16 bits or fewer also takes the first when there is one.
int ChooseBitmapName(bool has_first, bool has_second, int bits_per_pixel, bool header);

}  // namespace kx
