#include "ui/image/gif_header.h"

#include <cstring>
#include <new>
#include <string>

namespace kx {

namespace {

constexpr std::uint8_t kExtension = 0x21;
constexpr std::uint8_t kImage = 0x2C;
constexpr std::uint8_t kTrailer = 0x3B;
constexpr std::uint8_t kGraphicControl = 0xF9;
constexpr std::uint8_t kComment = 0xFE;
constexpr std::uint8_t kPlainText = 0x01;
constexpr std::uint8_t kApplication = 0xFF;

}  // namespace

int CGifHeader::Parse(std::span<const std::uint8_t> bytes) {
  gif89a = false;
  screen_width = screen_height = 0;
  packed = background_index = aspect = 0;
  global_table.clear();
  blocks.clear();
  looping = false;
  loop_count = 0;
  control_pending = false;
  pending_control = {};
  GifCursor cursor(bytes);
  std::span<const std::uint8_t> signature;
  if (!cursor.Bytes(6, signature)) return kGifMalformed;
  if (std::memcmp(signature.data(), "GIF89a", 6) == 0) {
    gif89a = true;
  } else if (std::memcmp(signature.data(), "GIF87a", 6) != 0) {
    return kGifMalformed;
  }
  if (!cursor.Word(screen_width) || !cursor.Word(screen_height) || !cursor.Byte(packed) ||
      !cursor.Byte(background_index) || !cursor.Byte(aspect)) {
    return kGifMalformed;
  }
  try {
    if (const int r = ReadGifColourTable(cursor, packed, global_table); r != kGifOk) return r;
    return ReadBlocks(cursor);
  } catch (const std::bad_alloc&) {
    return kGifOutOfMemory;
  }
}

const CGifImage* CGifHeader::FirstImage() const {
  for (const auto& block : blocks) {
    if (block->Kind() == GifBlockKind::image) return static_cast<const CGifImage*>(block.get());
  }
  return nullptr;
}

int CGifHeader::ReadBlocks(GifCursor& cursor) {
  for (;;) {
    std::uint8_t introducer = 0;
    if (!cursor.Byte(introducer)) return kGifNoTrailer;
    int r = kGifMalformed;
    if (introducer == kTrailer) return kGifOk;
    if (introducer == kExtension) r = ReadExtension(cursor);
    if (introducer == kImage) r = ReadImage(cursor);
    if (r != kGifOk) return r;
  }
}

int CGifHeader::ReadExtension(GifCursor& cursor) {
  std::uint8_t label = 0;
  if (!cursor.Byte(label)) return kGifMalformed;
  switch (label) {
    case kGraphicControl: {
      std::uint8_t size = 0, flags = 0;
      GifGraphicControl control;
      if (!cursor.Byte(size) || size != 4) return kGifMalformed;
      if (!cursor.Byte(flags) || !cursor.Word(control.delay) ||
          !cursor.Byte(control.transparent_index)) {
        return kGifMalformed;
      }
      control.transparent = (flags & 0x01) != 0;
      control.user_input = (flags & 0x02) != 0;
      control.disposal = static_cast<std::uint8_t>((flags >> 2) & 7);
      pending_control = control;
      control_pending = true;
      return SkipGifSubBlocks(cursor);
    }
    case kComment:
      return SkipGifSubBlocks(cursor);
    case kPlainText: {
      auto text = std::make_unique<CGifPlainText>();
      TakeControl(*text);
      if (const int r = text->Read(cursor); r != kGifOk) return r;
      blocks.push_back(std::move(text));
      return kGifOk;
    }
    case kApplication:
      return ReadApplication(cursor);
    default:
      return kGifMalformed;
  }
}

int CGifHeader::ReadApplication(GifCursor& cursor) {
  std::uint8_t size = 0;
  std::span<const std::uint8_t> id;
  if (!cursor.Byte(size) || !cursor.Bytes(size, id)) return kGifMalformed;
  const std::string identifier(id.begin(), id.end());
  if (identifier != "NETSCAPE2.0") {
    auto application = std::make_unique<CGifUnknownAppExt>(identifier);
    if (const int r = application->Read(cursor); r != kGifOk) return r;
    blocks.push_back(std::move(application));
    return kGifOk;
  }
  // The loop count is the first sub-block when it has 3 bytes and id 1; any
  // other sub-blocks are passed over.
  std::uint8_t sub = 0;
  if (!cursor.Byte(sub)) return kGifMalformed;
  if (sub == 0) return kGifOk;
  std::span<const std::uint8_t> data;
  if (!cursor.Bytes(sub, data)) return kGifMalformed;
  if (sub == 3 && data[0] == 1) {
    looping = true;
    loop_count = static_cast<std::uint16_t>(data[1] | (data[2] << 8));
  }
  return SkipGifSubBlocks(cursor);
}

int CGifHeader::ReadImage(GifCursor& cursor) {
  auto image = std::make_unique<CGifImage>(FirstImage() == nullptr);
  TakeControl(*image);
  if (const int r = image->Read(cursor); r != kGifOk) return r;
  blocks.push_back(std::move(image));
  return kGifOk;
}

void CGifHeader::TakeControl(CGifControlData& block) {
  if (control_pending) block.SetControl(pending_control);
  control_pending = false;
  pending_control = {};
}

}  // namespace kx
