// GDI+ through its flat interface, bound on first use by full path from the
// system folder (never imported: a planted gdiplus.dll beside setup.exe
// must not load) and started once for the rest of the run.
#pragma once

#include <objidl.h>
#include <windows.h>

#include <cstdint>

#include "base/stringx.h"

namespace kx {

// A GDI+ image owned by this process (GdipDisposeImage when it goes). A
// picture read from a stream keeps the stream, which GDI+ reads lazily.
class gdiplus_image {
 public:
  gdiplus_image() noexcept = default;
  gdiplus_image(gdiplus_image&& o) noexcept;
  gdiplus_image& operator=(gdiplus_image&& o) noexcept;
  gdiplus_image(const gdiplus_image&) = delete;
  gdiplus_image& operator=(const gdiplus_image&) = delete;
  ~gdiplus_image();

  explicit operator bool() const noexcept { return image_ != nullptr; }
  std::uint32_t width() const noexcept { return width_; }
  std::uint32_t height() const noexcept { return height_; }

  // Draws the picture into the rectangle with high-quality bicubic
  // interpolation. False when GDI+ refuses.
  bool Draw(HDC dc, int x, int y, int w, int h) const noexcept;

  // The picture in `bytes` (PNG or any format GDI+ reads), copied into a
  // movable global block; empty when GDI+ is missing or the data does not
  // decode to a picture with pixels.
  static gdiplus_image FromBytes(const void* bytes, std::size_t size) noexcept;

  // The picture in the file at `path`; empty on any failure.
  static gdiplus_image FromFile(const string& path) noexcept;

 private:
  void reset() noexcept;
  bool take(void* image, IStream* stream) noexcept;

  void* image_ = nullptr;
  IStream* stream_ = nullptr;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
};

// Whether GDI+ could be loaded and started (tried once per run).
bool gdiplus_available() noexcept;

}  // namespace kx
