#include "ui/image/gdiplus_runtime.h"

#include <objbase.h>

#include <cstring>
#include <utility>

#include "platform/system_library.h"

namespace kx {

namespace {

// The flat interface's own types, kept opaque.
using GpStatus = int;
constexpr GpStatus kGpOk = 0;
constexpr int kInterpolationHighQualityBicubic = 7;

struct StartupInput {
  UINT32 version = 1;
  void* debug_callback = nullptr;
  BOOL suppress_background_thread = FALSE;
  BOOL suppress_external_codecs = FALSE;
};

using StartupFn = GpStatus(WINAPI*)(ULONG_PTR*, const StartupInput*, void*);
using FromStreamFn = GpStatus(WINAPI*)(IStream*, void**);
using FromFileFn = GpStatus(WINAPI*)(const WCHAR*, void**);
using SideFn = GpStatus(WINAPI*)(void*, UINT*);
using DisposeFn = GpStatus(WINAPI*)(void*);
using FromHdcFn = GpStatus(WINAPI*)(HDC, void**);
using DeleteGraphicsFn = GpStatus(WINAPI*)(void*);
using InterpolationFn = GpStatus(WINAPI*)(void*, int);
using DrawRectFn = GpStatus(WINAPI*)(void*, void*, INT, INT, INT, INT);

struct Api {
  FromStreamFn from_stream = nullptr;
  FromFileFn from_file = nullptr;
  SideFn width = nullptr;
  SideFn height = nullptr;
  DisposeFn dispose = nullptr;
  FromHdcFn from_hdc = nullptr;
  DeleteGraphicsFn delete_graphics = nullptr;
  InterpolationFn interpolation = nullptr;
  DrawRectFn draw = nullptr;
  bool started = false;
};

template <class F>
F gdip(const char* name) {
  return system_function<F>(L"gdiplus.dll", name);
}

// Loaded and started on first use; GDI+ stays up for the run, because
// images and the GDI+ worker thread outlive any one window.
const Api& api() {
  static const Api a = [] {
    Api r;
    const auto startup = gdip<StartupFn>("GdiplusStartup");
    r.from_stream = gdip<FromStreamFn>("GdipCreateBitmapFromStream");
    r.from_file = gdip<FromFileFn>("GdipCreateBitmapFromFile");
    r.width = gdip<SideFn>("GdipGetImageWidth");
    r.height = gdip<SideFn>("GdipGetImageHeight");
    r.dispose = gdip<DisposeFn>("GdipDisposeImage");
    r.from_hdc = gdip<FromHdcFn>("GdipCreateFromHDC");
    r.delete_graphics = gdip<DeleteGraphicsFn>("GdipDeleteGraphics");
    r.interpolation = gdip<InterpolationFn>("GdipSetInterpolationMode");
    r.draw = gdip<DrawRectFn>("GdipDrawImageRectI");
    if (!startup || !r.from_stream || !r.from_file || !r.width || !r.height || !r.dispose ||
        !r.from_hdc || !r.delete_graphics || !r.interpolation || !r.draw)
      return r;
    ULONG_PTR token = 0;
    const StartupInput input;
    r.started = startup(&token, &input, nullptr) == kGpOk;
    return r;
  }();
  return a;
}

}  // namespace

bool gdiplus_available() noexcept {
  return api().started;
}

gdiplus_image::gdiplus_image(gdiplus_image&& o) noexcept
    : image_(std::exchange(o.image_, nullptr)),
      stream_(std::exchange(o.stream_, nullptr)),
      width_(std::exchange(o.width_, 0)),
      height_(std::exchange(o.height_, 0)) {}

gdiplus_image& gdiplus_image::operator=(gdiplus_image&& o) noexcept {
  if (this != &o) {
    reset();
    image_ = std::exchange(o.image_, nullptr);
    stream_ = std::exchange(o.stream_, nullptr);
    width_ = std::exchange(o.width_, 0);
    height_ = std::exchange(o.height_, 0);
  }
  return *this;
}

gdiplus_image::~gdiplus_image() {
  reset();
}

void gdiplus_image::reset() noexcept {
  // The image goes before the stream it reads from.
  if (image_) api().dispose(image_);
  if (stream_) stream_->Release();
  image_ = nullptr;
  stream_ = nullptr;
  width_ = height_ = 0;
}

bool gdiplus_image::take(void* image, IStream* stream) noexcept {
  image_ = image;
  stream_ = stream;
  UINT w = 0;
  UINT h = 0;
  // A truncated file can give an image of no size: that is no picture.
  if (!image_ || api().width(image_, &w) != kGpOk || api().height(image_, &h) != kGpOk || !w ||
      !h) {
    reset();
    return false;
  }
  width_ = w;
  height_ = h;
  return true;
}

gdiplus_image gdiplus_image::FromBytes(const void* bytes, std::size_t size) noexcept {
  gdiplus_image r;
  if (!gdiplus_available() || !bytes || !size) return r;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) return r;
  void* target = GlobalLock(block);
  if (!target) {
    GlobalFree(block);
    return r;
  }
  std::memcpy(target, bytes, size);
  GlobalUnlock(block);
  IStream* stream = nullptr;
  // The stream frees the block when it is released.
  if (FAILED(CreateStreamOnHGlobal(block, TRUE, &stream)) || !stream) {
    GlobalFree(block);
    return r;
  }
  void* image = nullptr;
  if (api().from_stream(stream, &image) != kGpOk) {
    if (image) api().dispose(image);
    stream->Release();
    return r;
  }
  r.take(image, stream);
  return r;
}

gdiplus_image gdiplus_image::FromFile(const string& path) noexcept {
  gdiplus_image r;
  if (!gdiplus_available() || path.empty()) return r;
  void* image = nullptr;
  if (api().from_file(path.c_str(), &image) != kGpOk) {
    if (image) api().dispose(image);
    return r;
  }
  r.take(image, nullptr);
  return r;
}

bool gdiplus_image::Draw(HDC dc, int x, int y, int w, int h) const noexcept {
  if (!image_ || !dc || w <= 0 || h <= 0) return false;
  void* graphics = nullptr;
  if (api().from_hdc(dc, &graphics) != kGpOk || !graphics) return false;
  api().interpolation(graphics, kInterpolationHighQualityBicubic);
  const bool drawn = api().draw(graphics, image_, x, y, w, h) == kGpOk;
  api().delete_graphics(graphics);
  return drawn;
}

}  // namespace kx
