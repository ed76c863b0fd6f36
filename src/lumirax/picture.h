// Pictures as the player shows them, without the system's decoder: where a
// picture goes in its area, how its rows are scaled (area average when
// shrinking, bilinear when growing), turned upright by its EXIF orientation
// and laid over the view's background. The decoder itself sits behind one
// interface, the Windows Imaging Component in the player and a fake in the
// tests. Portable.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace turv::player {

struct Size {
  int width = 0;
  int height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

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

// A picture held for drawing: 32-bit pixels, top row first, each
// 0xAARRGGBB (so blue, green, red, alpha in memory, as Windows' 32-bit
// bitmaps), colours premultiplied by alpha.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> data;
};

// What the decoder may hold of one picture at most, after any reduction the
// codec offers: 40 million pixels (a 7,700 x 5,200 photo).
inline constexpr std::uint64_t kMaxDecodedPixels = 40'000'000;
// The rows asked of the decoder at once hold at most this many bytes (but
// always one row), however wide the picture.
inline constexpr std::size_t kBandBytes = 4u << 20;

// One picture opened by the decoder: its first frame.
class PictureFrame {
 public:
  virtual ~PictureFrame() = default;
  // The size as stored.
  virtual Size StoredSize() const = 0;
  // Asks the codec to decode at a reduced size no smaller than wanted (a
  // JPEG decoder can skip detail); the size its rows now come in, the
  // stored size when it cannot.
  virtual Size Reduce(Size wanted) = 0;
  // count rows from top on, premultiplied 32-bit pixels, into rows.
  virtual void CopyRows(int top, int count, std::span<std::uint32_t> rows) = 0;
};

class PictureDecoder {
 public:
  virtual ~PictureDecoder() = default;
  // The file's first frame; throws PlayerError with the German line the
  // view shows when the file is damaged or of no known format.
  virtual std::unique_ptr<PictureFrame> Open(std::span<const std::uint8_t> file) = 0;
  // The largest factor by which this decoder shrinks a JPEG while decoding
  // it (8 where it decodes at an eighth); 1 where it cannot.
  virtual int JpegReduction() const = 0;
};

// Takes a picture's rows top to bottom, a band at a time, and makes a
// picture of the given size. Shrinking averages every source pixel into the
// target pixels it covers, by the share it covers, holding two target rows;
// growing interpolates between the nearest four.
class Resampler {
 public:
  // Throws std::length_error for a source whose sums 64 bits cannot hold.
  Resampler(Size source, Size target);
  // The next rows, source.width pixels each.
  void Add(std::span<const std::uint32_t> rows);
  Pixels Finish();

 private:
  void Shrink(std::span<const std::uint32_t> row);
  void SumRow(std::span<const std::uint32_t> row);  // into horizontal_
  void EmitRow();

  Size source_, target_;
  bool grow_;
  int sourceRow_ = 0;
  Pixels out_;
  // Shrinking: one source row summed into target columns, and two
  // accumulating target rows. A target column takes 255 times the source
  // width: 32 bits up to 16,843,009 columns (quicker in a 32-bit process),
  // 64 beyond; a pixel 255 times the source's area (refused beyond 64 bits).
  std::vector<std::uint32_t> narrow_;
  std::vector<std::uint64_t> horizontal_;
  std::vector<std::uint64_t> current_, next_;
  int currentRow_ = 0;
  // Growing: the whole (small) source.
  std::vector<std::uint32_t> whole_;
};

// Orientation 5 to 8 exchange width and height.
bool SwapsSides(int orientation);
// The picture turned as its EXIF orientation (1 to 8) says: upright.
Pixels Orient(const Pixels& stored, int orientation);
// Every pixel made opaque over a background of 0xRRGGBB.
void OverBackground(Pixels& pixels, std::uint32_t background);

// A picture file made ready to draw: fitted into area with its proportions
// (upright as orientation says), decoded at a reduced size where the codec
// allows, scaled, turned and laid over the background. Throws PlayerError
// with the view's line when it cannot be shown: a file whose header the
// player cannot read, or whose first frame the decoder would have to hold
// at more than kMaxDecodedPixels after the most it can reduce, never
// reaches the decoder. Between bands it looks at stop, and when it is set
// returns nothing.
Pixels RenderPicture(PictureDecoder& decoder, std::span<const std::uint8_t> file, Size area,
                     int orientation, std::uint32_t background,
                     const std::atomic<bool>* stop = nullptr);

}  // namespace turv::player
