// Portable core of the player: the EXIF orientation and frame size
// readers. Every read is checked against the file's or the segment's own
// length, so a hostile file can only make them answer 1, nothing or the
// size it states.
#include "lumirax/picture_header.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace turv::player {

namespace {

constexpr std::uint16_t kOrientationTag = 274;
constexpr std::uint16_t kShort = 3;
// Markers before the APP1 segment: SOI, APPn, COM, DQT and the like; a
// file with more is no camera's and is not searched further for EXIF. The
// frame header is searched for up to the image data, however far.
constexpr std::size_t kMaxExifSegments = 64;
constexpr std::uint16_t kImageWidthTag = 256;
constexpr std::uint16_t kImageLengthTag = 257;
constexpr std::uint16_t kLong = 4;

// The bytes of one segment, read in the byte order its TIFF header names.
class Tiff {
 public:
  explicit Tiff(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool Fits(std::size_t at, std::size_t n) const {
    return at <= bytes_.size() && n <= bytes_.size() - at;
  }
  std::uint16_t U16(std::size_t at) const {
    const unsigned a = bytes_[at], b = bytes_[at + 1];
    return static_cast<std::uint16_t>(little_ ? a | b << 8 : a << 8 | b);
  }
  std::uint32_t U32(std::size_t at) const {
    const std::uint32_t a = U16(at), b = U16(at + 2);
    return little_ ? a | b << 16 : a << 16 | b;
  }
  // The TIFF header: byte order, 42, the first directory's offset.
  bool Header(std::size_t& ifd) {
    if (!Fits(0, 8)) return false;
    if (bytes_[0] == 'I' && bytes_[1] == 'I') {
      little_ = true;
    } else if (!(bytes_[0] == 'M' && bytes_[1] == 'M')) {
      return false;
    }
    if (U16(2) != 42) return false;
    ifd = U32(4);
    return true;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  bool little_ = false;
};

int OrientationInExif(std::span<const std::uint8_t> tiff) {
  Tiff t(tiff);
  std::size_t ifd = 0;
  if (!t.Header(ifd) || !t.Fits(ifd, 2)) return 1;
  const std::size_t count = t.U16(ifd);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = ifd + 2 + 12 * i;
    if (!t.Fits(at, 12)) return 1;
    if (t.U16(at) != kOrientationTag) continue;
    if (t.U16(at + 2) != kShort || t.U32(at + 4) != 1) return 1;
    const int value = t.U16(at + 8);  // a short value sits first in its field
    return value >= 1 && value <= 8 ? value : 1;
  }
  return 1;
}

// The first directory's ImageWidth and ImageLength, each a single SHORT or
// LONG; nothing when either is missing or odd.
std::optional<FrameSize> TiffSize(std::span<const std::uint8_t> file) {
  Tiff t(file);
  std::size_t ifd = 0;
  if (!t.Header(ifd) || !t.Fits(ifd, 2)) return {};
  std::uint32_t sides[2] = {0, 0};
  const std::size_t count = t.U16(ifd);
  for (std::size_t i = 0; i < count && t.Fits(ifd + 2 + 12 * i, 12); ++i) {
    const std::size_t at = ifd + 2 + 12 * i;
    const std::uint16_t tag = t.U16(at);
    if (tag != kImageWidthTag && tag != kImageLengthTag) continue;
    const std::uint16_t type = t.U16(at + 2);
    if ((type != kShort && type != kLong) || t.U32(at + 4) != 1) return {};
    sides[tag - kImageWidthTag] = type == kShort ? t.U16(at + 8) : t.U32(at + 8);
  }
  if (sides[0] == 0 || sides[1] == 0) return {};
  return FrameSize{sides[0], sides[1]};
}

// Calls segment(marker, body) for each segment before the image data, up
// to most of them, until it returns true.
template <typename Segment>
void JpegSegments(std::span<const std::uint8_t> file, std::size_t most, Segment segment) {
  if (!IsJpeg(file)) return;
  std::size_t at = 2;
  for (std::size_t n = 0; n < most; ++n) {
    // Fill bytes (0xFF runs) may stand before a marker.
    while (at + 1 < file.size() && file[at] == 0xFF && file[at + 1] == 0xFF) ++at;
    if (at + 4 > file.size() || file[at] != 0xFF) return;
    const std::uint8_t marker = file[at + 1];
    // The image data begins, or the image ends.
    if (marker == 0xDA || marker == 0xD9) return;
    const std::size_t length = static_cast<std::size_t>(file[at + 2]) << 8 | file[at + 3];
    if (length < 2 || length > file.size() - at - 2) return;
    if (segment(marker, file.subspan(at + 4, length - 2))) return;
    at += 2 + length;
  }
}

std::uint32_t Le(std::span<const std::uint8_t> b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + static_cast<std::size_t>(i)];
  return v;
}

std::uint32_t Be(std::span<const std::uint8_t> b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = v << 8 | b[at + static_cast<std::size_t>(i)];
  return v;
}

std::optional<FrameSize> Checked(std::uint32_t width, std::uint32_t height) {
  if (width == 0 || height == 0) return {};
  return FrameSize{width, height};
}

// Past the logical screen and its colour table, the extensions up to the
// first image descriptor; its sides, and the screen's where larger.
std::optional<FrameSize> GifSize(std::span<const std::uint8_t> file) {
  if (file.size() < 13) return {};
  std::uint32_t width = Le(file, 6, 2), height = Le(file, 8, 2);
  std::size_t at = 13;
  if ((file[10] & 0x80) != 0) at += 3u << ((file[10] & 7) + 1);
  while (at < file.size()) {
    if (file[at] == 0x2C) {  // image descriptor: left, top, width, height
      if (file.size() - at < 10) return {};
      const std::uint32_t frameWidth = Le(file, at + 5, 2), frameHeight = Le(file, at + 7, 2);
      if (frameWidth == 0 || frameHeight == 0) return {};
      width = std::max(width, Le(file, at + 1, 2) + frameWidth);
      height = std::max(height, Le(file, at + 3, 2) + frameHeight);
      return FrameSize{width, height};
    }
    if (file[at] != 0x21 || file.size() - at < 2) return {};  // the trailer, or damage
    at += 2;                                                  // introducer and label
    // Sub-blocks, each its length first, until an empty one.
    while (at < file.size() && file[at] != 0) at += 1u + file[at];
    ++at;
  }
  return {};
}

}  // namespace

bool IsJpeg(std::span<const std::uint8_t> file) {
  return file.size() >= 4 && file[0] == 0xFF && file[1] == 0xD8;
}

int JpegOrientation(std::span<const std::uint8_t> file) {
  static constexpr std::uint8_t kExif[] = {'E', 'x', 'i', 'f', 0, 0};
  int orientation = 1;
  JpegSegments(file, kMaxExifSegments,
               [&](std::uint8_t marker, std::span<const std::uint8_t> body) {
                 if (marker != 0xE1 || body.size() < sizeof kExif ||
                     !std::equal(std::begin(kExif), std::end(kExif), body.begin())) {
                   return false;
                 }
                 orientation = OrientationInExif(body.subspan(sizeof kExif));
                 return true;
               });
  return orientation;
}

std::optional<FrameSize> HeaderSize(std::span<const std::uint8_t> file) {
  const auto starts = [&](std::string_view magic) {
    return file.size() >= magic.size() &&
           std::equal(magic.begin(), magic.end(), file.begin(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
  };
  if (starts("\x89PNG\r\n\x1A\n")) {
    if (file.size() < 24 || !std::equal(file.begin() + 12, file.begin() + 16, "IHDR")) return {};
    return Checked(Be(file, 16, 4), Be(file, 20, 4));
  }
  if (starts("GIF87a") || starts("GIF89a")) return GifSize(file);
  if (starts("BM")) {
    // The old OS/2 header holds 16-bit sides, every later one signed 32-bit.
    if (file.size() >= 22 && Le(file, 14, 4) == 12)
      return Checked(Le(file, 18, 2), Le(file, 20, 2));
    if (file.size() < 26) return {};
    const auto width = static_cast<std::int32_t>(Le(file, 18, 4));
    const auto height = static_cast<std::int32_t>(Le(file, 22, 4));
    if (width <= 0) return {};
    // A top-down BMP's negative height; INT_MIN's magnitude fits 32 bits.
    const std::uint32_t rows =
        height < 0 ? 0u - static_cast<std::uint32_t>(height) : static_cast<std::uint32_t>(height);
    return Checked(static_cast<std::uint32_t>(width), rows);
  }
  if (starts(std::string_view("II*\0", 4)) || starts(std::string_view("MM\0*", 4))) {
    return TiffSize(file);
  }
  std::optional<FrameSize> size;
  JpegSegments(file, file.size(), [&](std::uint8_t marker, std::span<const std::uint8_t> body) {
    // Start of frame: every SOFn but DHT (C4), JPG (C8) and DAC (CC).
    if (marker < 0xC0 || marker > 0xCF || marker == 0xC4 || marker == 0xC8 || marker == 0xCC) {
      return false;
    }
    if (body.size() >= 5) size = Checked(Be(body, 3, 2), Be(body, 1, 2));
    return true;
  });
  return size;
}

}  // namespace turv::player
