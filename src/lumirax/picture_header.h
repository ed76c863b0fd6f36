// What the player reads from a picture file's bytes itself, before the
// system's decoder sees them. The EXIF orientation of a JPEG photo: cameras
// and phones store the picture as the sensor saw it and say in the APP1
// segment how to turn it upright; the system's decoder does not always
// report that tag (Wine's does not). And the size of the first frame, so
// that a file claiming a billion pixels is refused before a decoder
// allocates for them. Portable and bounded: it looks at the headers before
// the image data only, and trusts no offset or length.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace turv::player {

// 1 (as stored) to 8, as the TIFF tag 274 numbers them; 1 for a file that
// is no JPEG, carries no orientation, or whose segment is damaged or holds
// a value outside 1..8.
int JpegOrientation(std::span<const std::uint8_t> file);

// A frame's sides as a header states them: 32 bits each, so that a lying
// 2^31 is a size to refuse, not a header to pass.
struct FrameSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  friend bool operator==(const FrameSize&, const FrameSize&) = default;
};

// The first frame's size a decoder would have to hold, read from the bytes:
// PNG (IHDR), GIF (the logical screen and the first image descriptor, the
// larger on each side, as the frame is laid onto the screen), BMP (a
// top-down BMP's height taken as its rows), TIFF (the first directory's
// ImageWidth and ImageLength, either byte order), JPEG (its frame header).
// Nothing for other files, cut or damaged headers and empty frames.
std::optional<FrameSize> HeaderSize(std::span<const std::uint8_t> file);
// Whether the file is a JPEG: its decoder may decode at a reduced size.
bool IsJpeg(std::span<const std::uint8_t> file);

}  // namespace turv::player
