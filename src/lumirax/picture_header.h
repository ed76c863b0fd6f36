// What the player reads from a picture file's bytes itself, before the
// system's decoder sees them. The EXIF orientation of a JPEG photo: cameras
// and phones store the picture as the sensor saw it and say in the APP1
// segment how to turn it upright; the system's decoder does not always
// report that tag (Wine's does not). And the size the header promises, so
// that a file claiming a billion pixels is refused before a decoder
// allocates for them. Portable and bounded: it looks at the markers before
// the image data only, and inside a segment it trusts no offset.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "lumirax/picture.h"

namespace turv::player {

// 1 (as stored) to 8, as the TIFF tag 274 numbers them; 1 for a file that
// is no JPEG, carries no orientation, or whose segment is damaged or holds
// a value outside 1..8.
int JpegOrientation(std::span<const std::uint8_t> file);

// The stored size a PNG, GIF, BMP or JPEG header gives (a bottom-up BMP's
// height taken as its rows); nothing for other files and cut headers.
std::optional<Size> HeaderSize(std::span<const std::uint8_t> file);
// Whether the file is a JPEG: its decoder may decode at a reduced size.
bool IsJpeg(std::span<const std::uint8_t> file);

}  // namespace turv::player
