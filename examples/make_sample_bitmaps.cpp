// Draws the sample presentation's pictures: two 16-colour slides (a colour
// wheel and a bar chart) and one small true-colour gradient. Deterministic:
// run again with the same compiler, it reproduces the committed files.
//   g++ -std=c++20 -O2 examples/make_sample_bitmaps.cpp -o /tmp/make_sample_bitmaps
//   /tmp/make_sample_bitmaps examples/sample/slides
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
struct Rgb {
  std::uint8_t r, g, b;
};

void Put16(Bytes& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A bottom-up BMP with a 40-byte header; 4 bits a pixel with the palette,
// or 24 bits without one.
Bytes Bmp(int width, int height, int depth, const std::vector<Rgb>& palette,
          const std::function<std::uint32_t(int, int)>& pixel) {
  const std::uint32_t stride = (static_cast<std::uint32_t>(width * depth) + 31) / 32 * 4;
  const std::uint32_t table = static_cast<std::uint32_t>(palette.size()) * 4;
  const std::uint32_t offset = 14 + 40 + table;
  const std::uint32_t size = offset + stride * static_cast<std::uint32_t>(height);
  Bytes b;
  b.push_back('B');
  b.push_back('M');
  Put32(b, size);
  Put32(b, 0);
  Put32(b, offset);
  Put32(b, 40);
  Put32(b, static_cast<std::uint32_t>(width));
  Put32(b, static_cast<std::uint32_t>(height));
  Put16(b, 1);
  Put16(b, static_cast<std::uint16_t>(depth));
  Put32(b, 0);  // uncompressed
  Put32(b, stride * static_cast<std::uint32_t>(height));
  Put32(b, 2835);  // 72 dpi
  Put32(b, 2835);
  Put32(b, static_cast<std::uint32_t>(palette.size()));
  Put32(b, 0);
  for (const Rgb& c : palette) {
    b.insert(b.end(), {c.b, c.g, c.r, 0});
  }
  for (int y = height - 1; y >= 0; --y) {
    Bytes row(stride, 0);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t v = pixel(x, y);
      if (depth == 4) {
        row[static_cast<std::size_t>(x / 2)] |= static_cast<std::uint8_t>(x % 2 ? v : v << 4);
      } else {
        row[static_cast<std::size_t>(x) * 3 + 0] = static_cast<std::uint8_t>(v);
        row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<std::uint8_t>(v >> 8);
        row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<std::uint8_t>(v >> 16);
      }
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

// Twelve hues round the wheel, then white, black, grey and light grey.
std::vector<Rgb> Palette() {
  std::vector<Rgb> palette;
  for (int i = 0; i < 12; ++i) {
    const double h = i / 2.0;  // sextant of the hue circle
    const double f = h - std::floor(h);
    const auto up = static_cast<std::uint8_t>(std::lround(255 * f));
    const auto down = static_cast<std::uint8_t>(255 - up);
    const std::array<Rgb, 6> sextants = {Rgb{255, up, 0},   Rgb{down, 255, 0}, Rgb{0, 255, up},
                                         Rgb{0, down, 255}, Rgb{up, 0, 255},   Rgb{255, 0, down}};
    palette.push_back(sextants[static_cast<std::size_t>(h)]);
  }
  palette.insert(palette.end(), {{255, 255, 255}, {0, 0, 0}, {128, 128, 128}, {215, 215, 215}});
  return palette;
}

constexpr std::uint32_t kWhite = 12, kBlack = 13, kGrey = 14, kLight = 15;

Bytes ColourWheel() {
  return Bmp(128, 96, 4, Palette(), [](int x, int y) -> std::uint32_t {
    const double dx = x - 63.5, dy = y - 47.5;
    const double r = std::sqrt(dx * dx + dy * dy);
    if (r < 12) return kGrey;
    if (r < 20 || r > 44) return r > 44 && r < 45.5 ? kLight : kWhite;
    const double turn = (std::atan2(-dy, dx) + std::numbers::pi) / (2 * std::numbers::pi);  // 0..1
    return static_cast<std::uint32_t>(turn * 12) % 12;
  });
}

Bytes BarChart() {
  constexpr std::array<int, 5> kHeights = {30, 52, 41, 66, 74};
  constexpr std::array<std::uint32_t, 5> kColours = {0, 2, 4, 7, 9};
  return Bmp(128, 96, 4, Palette(), [&](int x, int y) -> std::uint32_t {
    const int fromBottom = 95 - y;
    if (x == 12 && fromBottom >= 10) return kBlack;  // the axes
    if (fromBottom == 10 && x >= 12) return kBlack;
    for (std::size_t i = 0; i < kHeights.size(); ++i) {
      const int left = 20 + static_cast<int>(i) * 21;
      if (x >= left && x < left + 14 && fromBottom > 10 && fromBottom <= 10 + kHeights[i]) {
        return kColours[i];
      }
    }
    if (fromBottom > 10 && (fromBottom - 10) % 20 == 0 && x > 12) return kLight;  // grid
    return kWhite;
  });
}

Bytes Gradient() {
  return Bmp(48, 36, 24, {}, [](int x, int y) -> std::uint32_t {
    const auto t = static_cast<std::uint32_t>(x * 255 / 47);
    const auto light = static_cast<std::uint32_t>(255 - y * 120 / 35);
    const std::uint32_t green = (255 - t) * light / 255;
    const std::uint32_t blue = t * light / 255;
    const std::uint32_t red = 40 * light / 255;
    return red << 16 | green << 8 | blue;
  });
}

bool Write(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make_sample_bitmaps FOLDER\n", stderr);
    return 2;
  }
  const std::string folder = argv[1];
  const bool ok = Write(folder + "/02-farbkreis.bmp", ColourWheel()) &&
                  Write(folder + "/04-ergebnisse.bmp", BarChart()) &&
                  Write(folder + "/06-verlauf.bmp", Gradient());
  if (!ok) std::fprintf(stderr, "make_sample_bitmaps: cannot write into %s\n", folder.c_str());
  return ok ? 0 : 1;
}
