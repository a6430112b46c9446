// One picture of an image window, whatever its source: a bitmap (resource
// or ".bmp" file, checked before GDI sees it), a GIF (the launcher's own
// reader), a metafile (".wmf"), or any format GDI+ reads ("PNG" resources
// and other files).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "base/stringx.h"
#include "ui/image/gdiplus_runtime.h"
#include "ui/image/image_placement.h"
#include "ui/skin/gdi_owner.h"
#include "ui/skin/skin_picture.h"

namespace kx {

// The largest picture file read into memory.
inline constexpr std::uint64_t kImageMaxFileBytes = 64u << 20;

class ImagePicture {
 public:
  ImagePicture(const ImagePicture&) = delete;
  ImagePicture& operator=(const ImagePicture&) = delete;
  ~ImagePicture();

  // A "PNG" resource of `module`, read through GDI+; null when it is
  // missing or does not decode.
  static std::unique_ptr<ImagePicture> FromPngResource(HMODULE module, WORD id);

  // A file read through GDI+; null on failure.
  static std::unique_ptr<ImagePicture> FromGdiplusFile(const string& path);

  // An RT_BITMAP resource of `module`; null when missing or malformed.
  static std::unique_ptr<ImagePicture> FromBitmapResource(HMODULE module, WORD id);

  // A picture file by its extension, without regard to case: ".bmp" a
  // bitmap, ".gif" the GIF reader, ".wmf" a metafile, ".dll" a module of
  // resources (mapped as data only) whose lowest-numbered bitmap is the
  // picture, anything else GDI+.
  // Null when it cannot be read or holds no picture.
  static std::unique_ptr<ImagePicture> FromFile(const string& path);

  // The natural size in pixels, never empty.
  ImageSize size() const { return size_; }

  // Draws into `r` of `dc`, stretched to its size. With `transparent`, a
  // bitmap leaves out the pixels of that colour (a GIF always leaves out
  // its own transparent index).
  void Draw(HDC dc, const ImageRect& r, std::optional<std::uint32_t> transparent) const;

 private:
  ImagePicture() = default;
  static std::unique_ptr<ImagePicture> FromSkinPicture(std::unique_ptr<SkinPicture> p);

  ImageSize size_;
  gdiplus_image gdiplus_;
  std::unique_ptr<SkinPicture> bitmap_;
  HENHMETAFILE metafile_ = nullptr;
};

}  // namespace kx
