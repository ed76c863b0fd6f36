// Portable core of the player: the EXIF orientation reader. Every read is
// checked against the segment's own length, so a hostile file can only make
// it answer 1.
#include "lumirax/exif_orientation.h"

#include <algorithm>
#include <cstddef>

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

}  // namespace

int JpegOrientation(std::span<const std::uint8_t> file) {
  if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8) return 1;
  std::size_t at = 2;
  for (int segment = 0; segment < kMaxSegments; ++segment) {
    // Fill bytes (0xFF runs) may stand before a marker.
    while (at + 1 < file.size() && file[at] == 0xFF && file[at + 1] == 0xFF) ++at;
    if (at + 4 > file.size() || file[at] != 0xFF) return 1;
    const std::uint8_t marker = file[at + 1];
    // The image data begins, or the image ends: no orientation came first.
    if (marker == 0xDA || marker == 0xD9) return 1;
    const std::size_t length = static_cast<std::size_t>(file[at + 2]) << 8 | file[at + 3];
    if (length < 2 || length > file.size() - at - 2) return 1;
    const auto body = file.subspan(at + 4, length - 2);
    static constexpr std::uint8_t kExif[] = {'E', 'x', 'i', 'f', 0, 0};
    if (marker == 0xE1 && body.size() >= sizeof kExif &&
        std::equal(std::begin(kExif), std::end(kExif), body.begin())) {
      return OrientationInExif(body.subspan(sizeof kExif));
    }
    at += 2 + length;
  }
  return 1;
}

}  // namespace turv::player
