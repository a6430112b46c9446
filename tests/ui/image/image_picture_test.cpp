// The sources of a picture file, chosen by its extension: bitmaps, GIFs,
// metafiles (plain and placeable), resource modules mapped as data, and
// GDI+ for the rest, each with a file it must refuse.
#include "ui/image/image_picture.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "resources/resource_ids.h"
#include "tests/testing/scoped_temp_dir.h"
#include "tests/ui/image/gif_writer.h"
#include "tests/ui/skin/skin_fixture.h"

namespace kx {
namespace {

using testing::WriteBytes;

std::string Le16(int v) {
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

std::string Le32(std::uint32_t v) {
  return Le16(static_cast<int>(v & 0xFFFF)) + Le16(static_cast<int>(v >> 16));
}

std::string BitmapFile(int width, int height) {
  return testing::SolidBitmap(width, height, 0x808080);
}

std::string GifFile(std::uint16_t width, std::uint16_t height) {
  testing::GifFrame frame;
  frame.width = width;
  frame.height = height;
  frame.indices.assign(static_cast<size_t>(width) * height, 1);
  testing::GifWriter gif(width, height, {{0, 0, 0}, {200, 0, 0}});
  gif.Image(frame).Trailer();
  return std::string(gif.bytes().begin(), gif.bytes().end());
}

// A plain Windows metafile drawn by GDI itself.
std::string MetafileRecords() {
  HDC dc = CreateMetaFileW(nullptr);
  Rectangle(dc, 0, 0, 100, 50);
  HMETAFILE mf = CloseMetaFile(dc);
  const UINT size = GetMetaFileBitsEx(mf, 0, nullptr);
  std::string bytes(size, '\0');
  GetMetaFileBitsEx(mf, size, bytes.data());
  DeleteMetaFile(mf);
  return bytes;
}

// The 22-byte header of a placeable metafile: bounding box and units per inch.
std::string Placeable(int right, int bottom, int inch) {
  std::string h = Le32(0x9AC6CDD7u) + Le16(0) + Le16(0) + Le16(0) + Le16(right) + Le16(bottom) +
                  Le16(inch) + Le32(0);
  std::uint16_t sum = 0;
  for (size_t i = 0; i < h.size(); i += 2)
    sum ^= static_cast<std::uint16_t>(static_cast<std::uint8_t>(h[i]) |
                                      static_cast<std::uint8_t>(h[i + 1]) << 8);
  return h + Le16(sum);
}

std::string ResourceBytes(WORD id, const wchar_t* type) {
  HMODULE self = GetModuleHandleW(nullptr);
  HRSRC r = FindResourceW(self, MAKEINTRESOURCEW(id), type);
  if (!r) return {};
  const void* data = LockResource(LoadResource(self, r));
  return std::string(static_cast<const char*>(data), SizeofResource(self, r));
}

int ScreenDpi(int axis) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, axis);
  ReleaseDC(nullptr, screen);
  return dpi;
}

TEST(ImagePictureTest, FilesByExtension) {
  testing::ScopedTempDir dir;
  const std::string png = ResourceBytes(IDP_HEADER_PICTURE, L"PNG");
  ASSERT_FALSE(png.empty());
  const auto reference =
      ImagePicture::FromPngResource(GetModuleHandleW(nullptr), IDP_HEADER_PICTURE);
  ASSERT_NE(reference, nullptr);
  const std::string records = MetafileRecords();
  ASSERT_FALSE(records.empty());
  const ImageSize placeable{MulDiv(720, ScreenDpi(LOGPIXELSX), 1440),
                            MulDiv(360, ScreenDpi(LOGPIXELSY), 1440)};
  struct Case {
    const wchar_t* name;
    std::string bytes;
    bool loads;
    ImageSize size;  // when not empty
  } cases[] = {
      {L"a.bmp", BitmapFile(3, 2), true, {3, 2}},
      {L"upper.BMP", BitmapFile(5, 4), true, {5, 4}},
      {L"cut.bmp", BitmapFile(3, 2).substr(0, 60), false, {}},
      {L"not-a-picture.bmp", "hello", false, {}},
      {L"a.gif", GifFile(7, 3), true, {7, 3}},
      {L"cut.gif", GifFile(7, 3).substr(0, 20), false, {}},
      {L"a.png", png, true, reference->size()},
      {L"cut.png", png.substr(0, png.size() / 2), false, {}},
      {L"plain.wmf", records, true, {}},
      {L"placeable.wmf", Placeable(720, 360, 1440) + records, true, placeable},
      {L"flat.wmf", Placeable(0, 360, 1440) + records, false, {}},
      {L"no-inch.wmf", Placeable(720, 360, 0) + records, false, {}},
      {L"header-only.wmf", Placeable(720, 360, 1440), false, {}},
      {L"text.dll", "MZ but nothing else", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring path = dir.file(c.name);
    ASSERT_TRUE(WriteBytes(path, c.bytes));
    const auto picture = ImagePicture::FromFile(string(path.c_str()));
    ASSERT_EQ(picture != nullptr, c.loads);
    if (!picture) continue;
    EXPECT_GT(picture->size().width, 0);
    EXPECT_GT(picture->size().height, 0);
    if (!c.size.empty()) {
      EXPECT_EQ(picture->size().width, c.size.width);
      EXPECT_EQ(picture->size().height, c.size.height);
    }
  }
  EXPECT_EQ(ImagePicture::FromFile(string(dir.file(L"missing.bmp").c_str())), nullptr);
}

TEST(ImagePictureTest, ResourceModuleGivesItsFirstBitmap) {
  // Any module with bitmaps will do; the common controls carry their
  // toolbar pictures. It is mapped as data, never run.
  wchar_t system[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
  string path(system);
  path += L"\\comctl32.dll";
  const auto picture = ImagePicture::FromFile(path);
  ASSERT_NE(picture, nullptr);
  EXPECT_GT(picture->size().width, 0);
  EXPECT_GT(picture->size().height, 0);
}

}  // namespace
}  // namespace kx
