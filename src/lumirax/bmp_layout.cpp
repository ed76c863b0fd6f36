#include "lumirax/bmp_layout.h"

#include <algorithm>
#include <string>

namespace turv::player {

namespace {

constexpr std::size_t kFileHeader = 14;
constexpr std::size_t kInfoHeader = 40;
constexpr std::size_t kMasks = 12;
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kBitFields = 3;
// Wider or taller than this no screen shows; it also keeps every size
// below in 64 bits with room to spare.
constexpr std::int64_t kSideLimit = 65'535;

std::uint32_t Le32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint16_t Le16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

void PutLe32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

BmpLayout ReadBmpLayout(std::span<const std::uint8_t> file) {
  if (file.size() < 2 || file[0] != 'B' || file[1] != 'M') {
    throw BmpError("Die Datei ist kein BMP-Bild.");
  }
  if (file.size() < kFileHeader + kInfoHeader) {
    throw BmpError("Die Datei ist zu kurz f\xFCr ein BMP-Bild.");
  }
  const std::uint64_t bitsOffset = Le32(file, 10);
  const auto info = file.subspan(kFileHeader);
  const std::uint64_t headerSize = Le32(info, 0);
  if (headerSize < kInfoHeader) {
    throw BmpError("Dieses BMP-Format (Kopf von " + std::to_string(headerSize) +
                   " Bytes) wird nicht unterst\xFCtzt.");
  }
  const std::int64_t width = static_cast<std::int32_t>(Le32(info, 4));
  const std::int64_t rawHeight = static_cast<std::int32_t>(Le32(info, 8));
  const std::int64_t height = rawHeight < 0 ? -rawHeight : rawHeight;
  const unsigned bitsPerPixel = Le16(info, 14);
  const std::uint32_t compression = Le32(info, 16);
  const std::uint64_t colorsUsed = Le32(info, 32);

  if (Le16(info, 12) != 1 || width <= 0 || height == 0 || width > kSideLimit ||
      height > kSideLimit) {
    throw BmpError(
        "Die Bildgr\xF6\xDF"
        "e im BMP-Kopf ist ung\xFCltig.");
  }
  if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 16 &&
      bitsPerPixel != 24 && bitsPerPixel != 32) {
    throw BmpError("Eine Farbtiefe von " + std::to_string(bitsPerPixel) +
                   " Bit wird nicht unterst\xFCtzt.");
  }
  const bool bitFields = compression == kBitFields && (bitsPerPixel == 16 || bitsPerPixel == 32);
  if (compression != kRgb && !bitFields) {
    throw BmpError("Komprimierte BMP-Bilder werden nicht unterst\xFCtzt.");
  }
  // The masks follow a 40-byte header and are part of every longer one, at
  // the same place either way; a header in between cuts them in two.
  if (bitFields && headerSize != kInfoHeader && headerSize < kInfoHeader + kMasks) {
    throw BmpError("Der BMP-Kopf ist ung\xFCltig.");
  }

  // Up to 8 bits a pixel indexes the colour table; above, the table is a
  // hint that the drawing call may still read.
  const std::uint64_t tableLimit = bitsPerPixel <= 8 ? 1u << bitsPerPixel : 256u;
  const std::uint64_t colors = bitsPerPixel <= 8 && colorsUsed == 0 ? tableLimit : colorsUsed;
  if (colors > tableLimit) throw BmpError("Die Farbtabelle des BMP-Bildes ist ung\xFCltig.");
  const std::uint64_t tableAt =
      kFileHeader + headerSize + (bitFields && headerSize == kInfoHeader ? kMasks : 0);
  const std::uint64_t tableEnd = tableAt + colors * 4;

  const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bitsPerPixel + 31) / 32 * 4;
  const std::uint64_t bitsSize = stride * static_cast<std::uint64_t>(height);
  if (tableEnd > bitsOffset || bitsOffset > file.size() || bitsSize > file.size() - bitsOffset) {
    throw BmpError("Die Bilddaten sind unvollst\xE4ndig.");
  }

  BmpLayout layout;
  layout.width = static_cast<int>(width);
  layout.height = static_cast<int>(height);
  layout.bitsOffset = static_cast<std::size_t>(bitsOffset);
  layout.bitsSize = static_cast<std::size_t>(bitsSize);
  const std::size_t masks = bitFields ? kMasks : 0;
  const auto tableBytes = static_cast<std::size_t>(colors * 4);
  layout.info.resize(kInfoHeader + masks + tableBytes);
  std::copy_n(info.begin(), kInfoHeader, layout.info.begin());
  std::copy_n(info.begin() + kInfoHeader, masks, layout.info.begin() + kInfoHeader);
  std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(tableAt), tableBytes,
              layout.info.begin() + static_cast<std::ptrdiff_t>(kInfoHeader + masks));
  PutLe32(layout.info, 0, kInfoHeader);
  PutLe32(layout.info, 20, static_cast<std::uint32_t>(bitsSize));
  PutLe32(layout.info, 32, static_cast<std::uint32_t>(colors));
  return layout;
}

Box FitInto(int pictureWidth, int pictureHeight, const Box& area) {
  Box box{area.left, area.top, 0, 0};
  if (pictureWidth <= 0 || pictureHeight <= 0 || area.width <= 0 || area.height <= 0) return box;
  const std::int64_t w = pictureWidth;
  const std::int64_t h = pictureHeight;
  if (static_cast<std::int64_t>(area.width) * h <= static_cast<std::int64_t>(area.height) * w) {
    box.width = area.width;
    box.height = static_cast<int>(std::max<std::int64_t>(1, (area.width * h + w / 2) / w));
  } else {
    box.height = area.height;
    box.width = static_cast<int>(std::max<std::int64_t>(1, (area.height * w + h / 2) / h));
  }
  box.left = area.left + (area.width - box.width) / 2;
  box.top = area.top + (area.height - box.height) / 2;
  return box;
}

}  // namespace turv::player
