// Portable core of the player: fitting, scaling, turning and laying a
// decoded picture over its background. Nothing here calls the system; the
// decoder comes in through PictureDecoder.
#include "lumirax/picture.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "lumirax/picture_header.h"
#include "lumirax/player_text.h"
#include "lumirax/player_texts.h"

namespace turv::player {

namespace {

constexpr int kBandRows = 32;  // rows asked of the decoder at once, at most
// The widest source whose column sums fit 32 bits: 255 times this.
constexpr std::uint64_t kNarrowColumns = 0xFFFF'FFFFu / 255;

std::uint32_t Channel(std::uint32_t pixel, int c) {
  return pixel >> (8 * c) & 0xFF;
}

// Sums one source row into target columns. Source column x spans
// [x * tw, (x + 1) * tw) and target column i spans [i * sw, (i + 1) * sw) on
// one scale: the overlaps are the weights. As tw <= sw, a source column
// reaches at most into the next target column. Sum holds 255 * sw, At
// holds sw * tw: 32 bits where they do, quicker in a 32-bit process.
template <typename Sum, typename At>
void SumColumns(std::span<const std::uint32_t> row, At sw, At tw, Sum* sums) {
  At start = 0, boundary = sw;
  for (const std::uint32_t p : row) {
    const At end = start + tw;
    const auto w0 = static_cast<Sum>(std::min(boundary, end) - start);
    const auto w1 = static_cast<Sum>(tw - static_cast<At>(w0));
    const Sum c0 = p & 0xFF, c1 = p >> 8 & 0xFF, c2 = p >> 16 & 0xFF, c3 = p >> 24;
    sums[0] += c0 * w0, sums[1] += c1 * w0, sums[2] += c2 * w0, sums[3] += c3 * w0;
    if (w1 != 0) sums[4] += c0 * w1, sums[5] += c1 * w1, sums[6] += c2 * w1, sums[7] += c3 * w1;
    start = end;
    if (end >= boundary) boundary += sw, sums += 4;
  }
}

}  // namespace

Box FitInto(int pictureWidth, int pictureHeight, const Box& area) {
  Box box{area.left, area.top, 0, 0};
  if (pictureWidth <= 0 || pictureHeight <= 0 || area.width <= 0 || area.height <= 0) return box;
  const std::int64_t w = pictureWidth;
  const std::int64_t h = pictureHeight;
  if (static_cast<std::int64_t>(area.width) * h <= static_cast<std::int64_t>(area.height) * w) {
    box.width = area.width;
    box.height = static_cast<int>(std::max<std::int64_t>(1, (area.width * h + w / 2) / w));
  } else {
    box.height = area.height;
    box.width = static_cast<int>(std::max<std::int64_t>(1, (area.height * w + h / 2) / h));
  }
  box.left = area.left + (area.width - box.width) / 2;
  box.top = area.top + (area.height - box.height) / 2;
  return box;
}

Resampler::Resampler(Size source, Size target)
    : source_(source),
      target_(target),
      grow_(target.width > source.width || target.height > source.height) {
  if (static_cast<std::uint64_t>(source.width) * static_cast<std::uint64_t>(source.height) >
      std::numeric_limits<std::uint64_t>::max() / 255) {
    throw std::length_error("picture too large to scale");
  }
  out_.width = target.width;
  out_.height = target.height;
  out_.data.reserve(static_cast<std::size_t>(target.width) *
                    static_cast<std::size_t>(target.height));
  if (grow_) {
    whole_.reserve(static_cast<std::size_t>(source.width) *
                   static_cast<std::size_t>(source.height));
    return;
  }
  const std::size_t channels = static_cast<std::size_t>(target.width) * 4;
  horizontal_.resize(channels);
  if (static_cast<std::uint64_t>(source.width) <= kNarrowColumns) narrow_.resize(channels);
  current_.assign(channels, 0);
  next_.assign(channels, 0);
}

void Resampler::Add(std::span<const std::uint32_t> rows) {
  const auto width = static_cast<std::size_t>(source_.width);
  for (std::size_t at = 0; at + width <= rows.size() && sourceRow_ < source_.height; at += width) {
    const auto row = rows.subspan(at, width);
    if (grow_) {
      whole_.insert(whole_.end(), row.begin(), row.end());
    } else {
      Shrink(row);
    }
    ++sourceRow_;
  }
}

void Resampler::Shrink(std::span<const std::uint32_t> row) {
  SumRow(row);
  // The same split between target rows.
  const std::int64_t sh = source_.height, th = target_.height, y = sourceRow_;
  const std::int64_t first = y * th / sh;
  while (currentRow_ < first) EmitRow();
  const auto v0 = static_cast<std::uint64_t>(std::min((first + 1) * sh, (y + 1) * th) - y * th);
  const auto v1 = static_cast<std::uint64_t>(th) - v0;
  for (std::size_t i = 0; i < horizontal_.size(); ++i) current_[i] += horizontal_[i] * v0;
  if (v1 != 0) {
    for (std::size_t i = 0; i < horizontal_.size(); ++i) next_[i] += horizontal_[i] * v1;
  }
}

void Resampler::SumRow(std::span<const std::uint32_t> row) {
  const auto sw = static_cast<std::uint64_t>(source_.width);
  const auto tw = static_cast<std::uint64_t>(target_.width);
  if (narrow_.empty()) {
    std::fill(horizontal_.begin(), horizontal_.end(), 0u);
    SumColumns(row, sw, tw, horizontal_.data());
    return;
  }
  std::fill(narrow_.begin(), narrow_.end(), 0u);
  if (sw * tw <= 0xFFFF'FFFFu) {
    SumColumns(row, static_cast<std::uint32_t>(sw), static_cast<std::uint32_t>(tw), narrow_.data());
  } else {
    SumColumns(row, sw, tw, narrow_.data());
  }
  std::copy(narrow_.begin(), narrow_.end(), horizontal_.begin());
}

void Resampler::EmitRow() {
  if (currentRow_ >= target_.height) return;
  // Every target pixel received the weight sw * sh in all.
  const std::uint64_t total =
      static_cast<std::uint64_t>(source_.width) * static_cast<std::uint64_t>(source_.height);
  for (std::size_t x = 0; x < static_cast<std::size_t>(target_.width); ++x) {
    std::uint32_t pixel = 0;
    for (int c = 0; c < 4; ++c) {
      const std::uint64_t sum = current_[x * 4 + static_cast<std::size_t>(c)];
      pixel |= static_cast<std::uint32_t>(std::min<std::uint64_t>(255, (sum + total / 2) / total))
               << (8 * c);
    }
    out_.data.push_back(pixel);
  }
  current_.swap(next_);
  std::fill(next_.begin(), next_.end(), 0);
  ++currentRow_;
}

Pixels Resampler::Finish() {
  if (!grow_) {
    while (currentRow_ < target_.height) EmitRow();
    return std::move(out_);
  }
  // Rows the decoder did not give stay transparent.
  whole_.resize(static_cast<std::size_t>(source_.width) * static_cast<std::size_t>(source_.height));
  const auto at = [&](int x, int y) {
    x = std::clamp(x, 0, source_.width - 1);
    y = std::clamp(y, 0, source_.height - 1);
    return whole_[static_cast<std::size_t>(y) * static_cast<std::size_t>(source_.width) +
                  static_cast<std::size_t>(x)];
  };
  const double sx = static_cast<double>(source_.width) / target_.width;
  const double sy = static_cast<double>(source_.height) / target_.height;
  for (int y = 0; y < target_.height; ++y) {
    const double fy = std::max(0.0, (y + 0.5) * sy - 0.5);
    const int y0 = static_cast<int>(fy);
    const double dy = fy - y0;
    for (int x = 0; x < target_.width; ++x) {
      const double fx = std::max(0.0, (x + 0.5) * sx - 0.5);
      const int x0 = static_cast<int>(fx);
      const double dx = fx - x0;
      const std::uint32_t p00 = at(x0, y0), p10 = at(x0 + 1, y0), p01 = at(x0, y0 + 1),
                          p11 = at(x0 + 1, y0 + 1);
      std::uint32_t pixel = 0;
      for (int c = 0; c < 4; ++c) {
        const double top = Channel(p00, c) * (1 - dx) + Channel(p10, c) * dx;
        const double bottom = Channel(p01, c) * (1 - dx) + Channel(p11, c) * dx;
        pixel |= static_cast<std::uint32_t>(std::lround(top * (1 - dy) + bottom * dy)) << (8 * c);
      }
      out_.data.push_back(pixel);
    }
  }
  return std::move(out_);
}

bool SwapsSides(int orientation) {
  return orientation >= 5 && orientation <= 8;
}

Pixels Orient(const Pixels& stored, int orientation) {
  if (orientation < 2 || orientation > 8) return stored;
  const int w = stored.width, h = stored.height;
  Pixels out;
  out.width = SwapsSides(orientation) ? h : w;
  out.height = SwapsSides(orientation) ? w : h;
  out.data.resize(stored.data.size());
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      int sx = x, sy = y;  // where the upright pixel (x, y) is stored
      switch (orientation) {
        case 2:
          sx = w - 1 - x;
          break;
        case 3:
          sx = w - 1 - x, sy = h - 1 - y;
          break;
        case 4:
          sy = h - 1 - y;
          break;
        case 5:
          sx = y, sy = x;
          break;
        case 6:
          sx = y, sy = h - 1 - x;
          break;
        case 7:
          sx = w - 1 - y, sy = h - 1 - x;
          break;
        case 8:
          sx = w - 1 - y, sy = x;
          break;
        default:
          break;
      }
      out.data[static_cast<std::size_t>(y) * static_cast<std::size_t>(out.width) +
               static_cast<std::size_t>(x)] =
          stored.data[static_cast<std::size_t>(sy) * static_cast<std::size_t>(w) +
                      static_cast<std::size_t>(sx)];
    }
  }
  return out;
}

void OverBackground(Pixels& pixels, std::uint32_t background) {
  for (std::uint32_t& pixel : pixels.data) {
    const std::uint32_t cover = 255 - Channel(pixel, 3);
    std::uint32_t out = 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
      const std::uint32_t v = Channel(pixel, c) + (Channel(background, c) * cover + 127) / 255;
      out |= std::min<std::uint32_t>(255, v) << (8 * c);
    }
    pixel = out;
  }
}

Pixels RenderPicture(PictureDecoder& decoder, std::span<const std::uint8_t> file, Size area,
                     int orientation, std::uint32_t background, const std::atomic<bool>* stop) {
  // What the decoder would hold is read from the header first: a file that
  // states too many pixels never reaches it. A JPEG passes where the most
  // this decoder can reduce brings it under the limit.
  const std::optional<FrameSize> header = HeaderSize(file);
  if (!header) throw PlayerError(std::u16string(text::kPictureDamaged));
  const std::uint64_t reduction =
      IsJpeg(file) ? static_cast<std::uint64_t>(std::max(1, decoder.JpegReduction())) : 1;
  const auto reduced = [&](std::uint32_t side) { return (side + reduction - 1) / reduction; };
  if (reduced(header->width) * reduced(header->height) > kMaxDecodedPixels) {
    throw PlayerError(std::u16string(text::kPictureTooLarge));
  }
  const std::unique_ptr<PictureFrame> frame = decoder.Open(file);
  const Size stored = frame->StoredSize();
  if (stored.width <= 0 || stored.height <= 0)
    throw PlayerError(std::u16string(text::kPictureDamaged));
  // Fitting the stored picture into the area turned back is fitting the
  // upright one into the area.
  const Box box = SwapsSides(orientation) ? Box{0, 0, area.height, area.width}
                                          : Box{0, 0, area.width, area.height};
  const Box fit = FitInto(stored.width, stored.height, box);
  if (fit.width <= 0 || fit.height <= 0) return {};
  const Size decoded = frame->Reduce({fit.width, fit.height});
  if (decoded.width <= 0 || decoded.height <= 0 ||
      static_cast<std::uint64_t>(decoded.width) * static_cast<std::uint64_t>(decoded.height) >
          kMaxDecodedPixels) {
    throw PlayerError(std::u16string(text::kPictureTooLarge));
  }
  Resampler resampler(decoded, {fit.width, fit.height});
  const std::size_t width = static_cast<std::size_t>(decoded.width);
  const int bandRows =
      static_cast<int>(std::clamp<std::size_t>(kBandBytes / (width * 4), 1, kBandRows));
  std::vector<std::uint32_t> band(width * static_cast<std::size_t>(bandRows));
  for (int top = 0; top < decoded.height; top += bandRows) {
    if (stop != nullptr && stop->load()) return {};
    const int count = std::min(bandRows, decoded.height - top);
    const auto rows = std::span(band).first(width * static_cast<std::size_t>(count));
    frame->CopyRows(top, count, rows);
    resampler.Add(rows);
  }
  Pixels pixels = Orient(resampler.Finish(), orientation);
  OverBackground(pixels, background);
  return pixels;
}

}  // namespace turv::player
