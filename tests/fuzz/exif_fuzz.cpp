// The player's EXIF orientation reader on any file: it answers 1 to 8 and
// reads nothing outside the bytes (the sanitizers watch); anything that is
// no JPEG reads as upright.
#include "check.h"
#include "lumirax/exif_orientation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int orientation = turv::player::JpegOrientation({data, size});
  FUZZ_CHECK(orientation >= 1 && orientation <= 8);
  if (size < 2 || data[0] != 0xFF || data[1] != 0xD8) FUZZ_CHECK(orientation == 1);
  return 0;
}
