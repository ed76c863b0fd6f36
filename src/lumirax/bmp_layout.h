// BMP files checked before the system draws them: the drawing call trusts
// every size and offset in the header, so nothing reaches it that could make
// it read outside the file's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace turv::player {

// Why a BMP cannot be shown; the text is German, Windows-1252.
class BmpError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct BmpLayout {
  int width = 0;
  int height = 0;  // rows, whichever way they run
  // A plain 40-byte BITMAPINFOHEADER, the colour masks when the file has
  // them, and the colour table: everything the drawing call reads besides
  // the pixels, taken from the file and cut to what the pixels need.
  std::vector<std::uint8_t> info;
  std::size_t bitsOffset = 0;  // the pixels within the file
  std::size_t bitsSize = 0;
};

// Uncompressed (or bit-field) BMPs of 1, 4, 8, 16, 24 or 32 bits per
// pixel, bottom-up or top-down, with any header version from 40 bytes up.
// Throws BmpError for anything else and for any size or offset that does
// not fit the file.
BmpLayout ReadBmpLayout(std::span<const std::uint8_t> file);

// The largest rectangle of the picture's proportions inside the area,
// centred in it. Small pictures grow to fill it, as slides do.
struct Box {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Box&, const Box&) = default;
};
Box FitInto(int pictureWidth, int pictureHeight, const Box& area);

}  // namespace turv::player
