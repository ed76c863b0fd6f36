// Portable core of the player: the EXIF orientation and header size
// readers. Every read is checked against the file's or the segment's own
// length, so a hostile file can only make them answer 1 or nothing.
#include "lumirax/picture_header.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace turv::player {

namespace {

constexpr std::uint16_t kOrientationTag = 274;
constexpr std::uint16_t kShort = 3;
// Markers before the APP1 segment: SOI, APPn, COM, DQT and the like; a
// file with more is no camera's and is not searched further.
constexpr int kMaxSegments = 64;

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

// Calls segment(marker, body) for each segment before the image data, up
// to kMaxSegments, until it returns true.
template <typename Segment>
void JpegSegments(std::span<const std::uint8_t> file, Segment segment) {
  if (!IsJpeg(file)) return;
  std::size_t at = 2;
  for (int n = 0; n < kMaxSegments; ++n) {
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

std::optional<Size> Checked(std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0 || width > 0x7FFF'FFFF || height > 0x7FFF'FFFF) return {};
  return Size{static_cast<int>(width), static_cast<int>(height)};
}

}  // namespace

bool IsJpeg(std::span<const std::uint8_t> file) {
  return file.size() >= 4 && file[0] == 0xFF && file[1] == 0xD8;
}

int JpegOrientation(std::span<const std::uint8_t> file) {
  static constexpr std::uint8_t kExif[] = {'E', 'x', 'i', 'f', 0, 0};
  int orientation = 1;
  JpegSegments(file, [&](std::uint8_t marker, std::span<const std::uint8_t> body) {
    if (marker != 0xE1 || body.size() < sizeof kExif ||
        !std::equal(std::begin(kExif), std::end(kExif), body.begin())) {
      return false;
    }
    orientation = OrientationInExif(body.subspan(sizeof kExif));
    return true;
  });
  return orientation;
}

std::optional<Size> HeaderSize(std::span<const std::uint8_t> file) {
  const auto starts = [&](std::string_view magic) {
    return file.size() >= magic.size() &&
           std::equal(magic.begin(), magic.end(), file.begin(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
  };
  if (starts("\x89PNG\r\n\x1A\n") && file.size() >= 24) {
    return Checked(Be(file, 16, 4), Be(file, 20, 4));
  }
  if ((starts("GIF87a") || starts("GIF89a")) && file.size() >= 10) {
    return Checked(Le(file, 6, 2), Le(file, 8, 2));
  }
  if (starts("BM") && file.size() >= 26) {
    const auto height = static_cast<std::int32_t>(Le(file, 22, 4));
    return Checked(static_cast<std::int32_t>(Le(file, 18, 4)),
                   height < 0 ? -static_cast<std::int64_t>(height) : height);
  }
  std::optional<Size> size;
  JpegSegments(file, [&](std::uint8_t marker, std::span<const std::uint8_t> body) {
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
