#include "ui/image/image_picture.h"

#include <cstring>
#include <span>
#include <vector>

#include "platform/files.h"
#include "platform/unique_handle.h"

namespace kx {

namespace {

bool has_extension(const string& path, const wchar_t* extension) {
  const std::size_t n = static_cast<std::size_t>(lstrlenW(extension));
  return path.size() > n && lstrcmpiW(path.c_str() + (path.size() - n), extension) == 0;
}

// The whole file, or nothing when it cannot be read or is larger than the
// cap.
std::optional<std::vector<std::uint8_t>> read_picture_file(const string& path) {
  unique_handle file(create_file(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL));
  if (!file) return std::nullopt;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
      static_cast<std::uint64_t>(size.QuadPart) > kImageMaxFileBytes)
    return std::nullopt;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got,
                  nullptr) ||
        got == 0)
      return std::nullopt;
    done += got;
  }
  return bytes;
}

std::span<const std::uint8_t> resource_bytes(HMODULE module, const wchar_t* type, WORD id) {
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (!info) return {};
  HGLOBAL loaded = LoadResource(module, info);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(module, info);
  if (!data || !size) return {};
  return {static_cast<const std::uint8_t*>(data), size};
}

std::uint16_t u16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// A metafile of a ".wmf" file, with or without the placeable header that
// gives its size; `size` receives the picture's size in screen pixels.
HENHMETAFILE read_metafile(std::span<const std::uint8_t> file, ImageSize& size) {
  constexpr std::size_t kPlaceableHeader = 22;
  constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
  HDC screen = GetDC(nullptr);
  const int dpi_x = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  const int dpi_y = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  std::uint32_t key = 0;
  if (file.size() >= 4) std::memcpy(&key, file.data(), 4);
  METAFILEPICT mfp{MM_ANISOTROPIC, 0, 0, nullptr};
  const METAFILEPICT* picture = nullptr;
  if (key == kPlaceableKey) {
    if (file.size() <= kPlaceableHeader) return nullptr;
    const std::uint8_t* p = file.data();
    const int width =
        static_cast<std::int16_t>(u16(p + 10)) - static_cast<std::int16_t>(u16(p + 6));
    const int height =
        static_cast<std::int16_t>(u16(p + 12)) - static_cast<std::int16_t>(u16(p + 8));
    const int inch = u16(p + 14);
    if (width <= 0 || height <= 0 || inch <= 0) return nullptr;
    size = ImageSize{MulDiv(width, dpi_x, inch), MulDiv(height, dpi_y, inch)};
    // The extents in 0.01 mm.
    mfp.xExt = MulDiv(width, 2540, inch);
    mfp.yExt = MulDiv(height, 2540, inch);
    picture = &mfp;
    file = file.subspan(kPlaceableHeader);
  }
  HENHMETAFILE emf =
      SetWinMetaFileBits(static_cast<UINT>(file.size()), file.data(), nullptr, picture);
  if (!emf) return nullptr;
  if (!picture) {
    ENHMETAHEADER header{};
    if (GetEnhMetaFileHeader(emf, sizeof header, &header)) {
      size = ImageSize{MulDiv(header.rclFrame.right - header.rclFrame.left, dpi_x, 2540),
                       MulDiv(header.rclFrame.bottom - header.rclFrame.top, dpi_y, 2540)};
    }
  }
  if (size.empty()) {
    DeleteEnhMetaFile(emf);
    return nullptr;
  }
  return emf;
}

BOOL CALLBACK note_bitmap_id(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context) {
  WORD& low = *reinterpret_cast<WORD*>(context);
  const WORD id = LOWORD(reinterpret_cast<ULONG_PTR>(name));
  if (IS_INTRESOURCE(name) && (!low || id < low)) low = id;
  return TRUE;
}

// The lowest-numbered bitmap resource of a module, 0 when it has none.
WORD first_bitmap_id(HMODULE module) {
  WORD lowest = 0;
  EnumResourceNamesW(module, MAKEINTRESOURCEW(2) /* RT_BITMAP */, note_bitmap_id,
                     reinterpret_cast<LONG_PTR>(&lowest));
  return lowest;
}

// A module of resources only: mapped as data, so none of its code runs
// (no DllMain, no imports resolved). Systems without image-resource
// mapping refuse the flag; plain data mapping is just as inert.
struct data_module {
  HMODULE module = nullptr;
  explicit data_module(const string& path) {
    module = LoadLibraryExW(path.c_str(), nullptr,
                            LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER)
      module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  data_module(const data_module&) = delete;
  data_module& operator=(const data_module&) = delete;
  ~data_module() {
    if (module) FreeLibrary(module);
  }
};

}  // namespace

ImagePicture::~ImagePicture() {
  if (metafile_) DeleteEnhMetaFile(metafile_);
}

std::unique_ptr<ImagePicture> ImagePicture::FromSkinPicture(std::unique_ptr<SkinPicture> p) {
  if (!p || p->width() <= 0 || p->height() <= 0) return nullptr;
  std::unique_ptr<ImagePicture> r(new ImagePicture);
  r->size_ = ImageSize{p->width(), p->height()};
  r->bitmap_ = std::move(p);
  return r;
}

std::unique_ptr<ImagePicture> ImagePicture::FromPngResource(HMODULE module, WORD id) {
  const auto bytes = resource_bytes(module, L"PNG", id);
  if (bytes.empty()) return nullptr;
  gdiplus_image image = gdiplus_image::FromBytes(bytes.data(), bytes.size());
  if (!image) return nullptr;
  std::unique_ptr<ImagePicture> r(new ImagePicture);
  r->size_ = ImageSize{static_cast<int>(image.width()), static_cast<int>(image.height())};
  r->gdiplus_ = std::move(image);
  return r;
}

std::unique_ptr<ImagePicture> ImagePicture::FromGdiplusFile(const string& path) {
  gdiplus_image image = gdiplus_image::FromFile(path);
  if (!image || image.width() > static_cast<std::uint32_t>(kImageMaxSide) ||
      image.height() > static_cast<std::uint32_t>(kImageMaxSide))
    return nullptr;
  std::unique_ptr<ImagePicture> r(new ImagePicture);
  r->size_ = ImageSize{static_cast<int>(image.width()), static_cast<int>(image.height())};
  r->gdiplus_ = std::move(image);
  return r;
}

std::unique_ptr<ImagePicture> ImagePicture::FromBitmapResource(HMODULE module, WORD id) {
  const auto resource = resource_bytes(module, MAKEINTRESOURCEW(2) /* RT_BITMAP */, id);
  if (resource.empty()) return nullptr;
  // A bitmap resource is a bitmap file without its file header. Offset 0
  // tells the check that the pixels follow the colour table.
  std::vector<std::uint8_t> file(14, 0);
  file[0] = 'B';
  file[1] = 'M';
  file.insert(file.end(), resource.begin(), resource.end());
  return FromSkinPicture(SkinPicture::FromEntry("picture.bmp", file));
}

std::unique_ptr<ImagePicture> ImagePicture::FromFile(const string& path) {
  const bool bmp = has_extension(path, L".bmp");
  const bool gif = has_extension(path, L".gif");
  const bool wmf = has_extension(path, L".wmf");
  if (has_extension(path, L".dll")) {
    // The picture is copied out, so the module can go at once.
    data_module m(path);
    const WORD id = m.module ? first_bitmap_id(m.module) : 0;
    return id ? FromBitmapResource(m.module, id) : nullptr;
  }
  if (!bmp && !gif && !wmf) return FromGdiplusFile(path);
  const auto bytes = read_picture_file(path);
  if (!bytes) return nullptr;
  if (bmp) return FromSkinPicture(SkinPicture::FromEntry("picture.bmp", *bytes));
  if (gif) return FromSkinPicture(SkinPicture::FromEntry("picture.gif", *bytes));
  ImageSize size;
  HENHMETAFILE emf = read_metafile(*bytes, size);
  if (!emf) return nullptr;
  std::unique_ptr<ImagePicture> r(new ImagePicture);
  r->metafile_ = emf;
  r->size_ = size;
  return r;
}

void ImagePicture::Draw(HDC dc, const ImageRect& r,
                        std::optional<std::uint32_t> transparent) const {
  if (!dc || r.width() <= 0 || r.height() <= 0) return;
  if (gdiplus_) {
    gdiplus_.Draw(dc, r.left, r.top, r.width(), r.height());
  } else if (bitmap_) {
    bitmap_->Draw(dc, r.left, r.top, r.width(), r.height(), transparent);
  } else if (metafile_) {
    const RECT target{r.left, r.top, r.right, r.bottom};
    PlayEnhMetaFile(dc, metafile_, &target);
  }
}

}  // namespace kx
