// Sole ownership of GDI objects and memory device contexts.
#pragma once

#include <windows.h>

#include <utility>

#include "base/last_error.h"

namespace kx {

// Owns one GDI object (bitmap, brush, font, region), deleted with
// DeleteObject. The object must not be selected into a DC when it goes.
template <class H>
class gdi_owner {
 public:
  gdi_owner() noexcept = default;
  explicit gdi_owner(H h) noexcept : h_(h) {}
  gdi_owner(gdi_owner&& o) noexcept : h_(o.release()) {}
  gdi_owner& operator=(gdi_owner&& o) noexcept {
    reset(o.release());
    return *this;
  }
  gdi_owner(const gdi_owner&) = delete;
  gdi_owner& operator=(const gdi_owner&) = delete;
  ~gdi_owner() { reset(); }

  H get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return h_ != nullptr; }
  H release() noexcept { return std::exchange(h_, nullptr); }
  void reset(H h = nullptr) noexcept {
    if (h_ && h_ != h) {
      keep_last_error k;
      DeleteObject(h_);
    }
    h_ = h;
  }

 private:
  H h_ = nullptr;
};

using unique_bitmap = gdi_owner<HBITMAP>;
using unique_brush = gdi_owner<HBRUSH>;

// A memory DC compatible with `like` (the screen when null) with a bitmap
// selected into it; the original bitmap goes back in before the DC is
// deleted, so the owned bitmap is never deleted while selected.
class memory_dc {
 public:
  memory_dc() noexcept = default;
  explicit memory_dc(HDC like) noexcept : dc_(CreateCompatibleDC(like)) {}
  memory_dc(const memory_dc&) = delete;
  memory_dc& operator=(const memory_dc&) = delete;
  ~memory_dc() {
    keep_last_error k;
    if (dc_ && original_) SelectObject(dc_, original_);
    if (dc_) DeleteDC(dc_);
  }

  HDC get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

  // Selects `bitmap` (owned by the caller, who keeps it alive longer).
  void select(HBITMAP bitmap) noexcept {
    if (!dc_ || !bitmap) return;
    HGDIOBJ old = SelectObject(dc_, bitmap);
    if (!original_) original_ = old;
  }

 private:
  HDC dc_ = nullptr;
  HGDIOBJ original_ = nullptr;
};

}  // namespace kx
