// The player's readers of a picture's header on any file: the EXIF
// orientation is 1 to 8 (1 for anything that is no JPEG), a promised size
// is positive, and nothing is read outside the bytes (the sanitizers watch).
#include "check.h"
#include "lumirax/picture_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int orientation = turv::player::JpegOrientation({data, size});
  FUZZ_CHECK(orientation >= 1 && orientation <= 8);
  if (size < 2 || data[0] != 0xFF || data[1] != 0xD8) FUZZ_CHECK(orientation == 1);
  if (const auto promised = turv::player::HeaderSize({data, size})) {
    FUZZ_CHECK(promised->width > 0 && promised->height > 0);
  }
  return 0;
}
