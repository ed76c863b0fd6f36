// The EXIF orientation of a JPEG photo, read from its bytes: cameras and
// phones store the picture as the sensor saw it and say in the APP1
// segment how to turn it upright. The system's decoder does not always
// report that tag (Wine's does not), so the player reads it itself.
// Portable and bounded: it looks at the markers before the image data only,
// and inside the one segment it trusts no offset.
#pragma once

#include <cstdint>
#include <span>

namespace turv::player {

// 1 (as stored) to 8, as the TIFF tag 274 numbers them; 1 for a file that
// is no JPEG, carries no orientation, or whose segment is damaged or holds
// a value outside 1..8.
int JpegOrientation(std::span<const std::uint8_t> file);

}  // namespace turv::player
