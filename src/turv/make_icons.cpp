// Draws the launcher's default icon (src/turv/turv.ico: a white play sign on
// the slate of the launcher's window) and the sample presentation's icon
// (examples/sample/icon.ico: a colour wheel). Each holds 16, 24, 32, 48 and
// 64 pixel images of 32 bits with alpha, edges smoothed by 4x4 samples a
// pixel. Deterministic: run again, it reproduces the committed files.
//   g++ -std=c++20 -O2 src/turv/make_icons.cpp -o /tmp/make_icons
//   /tmp/make_icons src/turv/turv.ico examples/sample/icon.ico
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

struct Rgba {
  double r = 0, g = 0, b = 0, a = 0;
};

// A shape: the colour at a point of the unit square (0..1, y down).
using Shape = std::function<Rgba(double x, double y)>;

constexpr std::array kSizes = {16, 24, 32, 48, 64};

void Put(Bytes& b, std::uint32_t v, int width) {
  for (int i = 0; i < width; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// One icon image: a 40-byte header (height doubled for the mask), the
// colour rows bottom-up as BGRA, then the 1-bit mask (1 = transparent).
Bytes Image(int size, const Shape& shape) {
  const auto n = static_cast<std::uint32_t>(size);
  const std::uint32_t maskStride = (n + 31) / 32 * 4;
  Bytes b;
  Put(b, 40, 4);
  Put(b, n, 4);
  Put(b, 2 * n, 4);
  Put(b, 1, 2);
  Put(b, 32, 2);
  Put(b, 0, 4);
  Put(b, n * n * 4 + maskStride * n, 4);
  for (int i = 0; i < 4; ++i) Put(b, 0, 4);
  std::vector<Rgba> pixels(static_cast<std::size_t>(size) * n);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      Rgba sum;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          const Rgba c = shape((x + (sx + 0.5) / 4) / size, (y + (sy + 0.5) / 4) / size);
          sum.r += c.r * c.a;
          sum.g += c.g * c.a;
          sum.b += c.b * c.a;
          sum.a += c.a;
        }
      }
      Rgba& p = pixels[static_cast<std::size_t>(y * size + x)];
      if (sum.a > 0) p = {sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, sum.a / 16};
    }
  }
  const auto byte = [](double v) { return static_cast<std::uint8_t>(std::lround(v * 255)); };
  for (int y = size - 1; y >= 0; --y) {
    for (int x = 0; x < size; ++x) {
      const Rgba& p = pixels[static_cast<std::size_t>(y * size + x)];
      b.insert(b.end(), {byte(p.b), byte(p.g), byte(p.r), byte(p.a)});
    }
  }
  for (int y = size - 1; y >= 0; --y) {
    Bytes row(maskStride, 0);
    for (int x = 0; x < size; ++x) {
      if (byte(pixels[static_cast<std::size_t>(y * size + x)].a) == 0) {
        row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

Bytes Icon(const Shape& shape) {
  std::vector<Bytes> images;
  for (const int size : kSizes) images.push_back(Image(size, shape));
  Bytes ico;
  Put(ico, 0, 2);
  Put(ico, 1, 2);
  Put(ico, static_cast<std::uint32_t>(images.size()), 2);
  auto offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    ico.push_back(static_cast<std::uint8_t>(kSizes[i]));
    ico.push_back(static_cast<std::uint8_t>(kSizes[i]));
    Put(ico, 0, 2);  // no palette, reserved
    Put(ico, 1, 2);
    Put(ico, 32, 2);
    Put(ico, static_cast<std::uint32_t>(images[i].size()), 4);
    Put(ico, offset, 4);
    offset += static_cast<std::uint32_t>(images[i].size());
  }
  for (const Bytes& image : images) ico.insert(ico.end(), image.begin(), image.end());
  return ico;
}

// Inside a square with rounded corners, margin m and corner radius r.
bool InRoundedSquare(double x, double y, double m, double r) {
  const double dx = std::max({m + r - x, x - (1 - m - r), 0.0});
  const double dy = std::max({m + r - y, y - (1 - m - r), 0.0});
  return x >= m && x <= 1 - m && y >= m && y <= 1 - m && dx * dx + dy * dy <= r * r;
}

// The launcher: its window's slate (100, 120, 140), a lighter rim, and a
// white play sign.
Rgba Launcher(double x, double y) {
  if (!InRoundedSquare(x, y, 0.03, 0.18)) return {};
  if (!InRoundedSquare(x, y, 0.09, 0.13)) return {0.71, 0.76, 0.82, 1};
  // The triangle's corners: (0.37, 0.27), (0.37, 0.73), (0.75, 0.5).
  const bool play =
      x >= 0.37 && y >= 0.27 + (x - 0.37) * 0.23 / 0.38 && y <= 0.73 - (x - 0.37) * 0.23 / 0.38;
  if (play) return {1, 1, 1, 1};
  return {100 / 255.0, 120 / 255.0, 140 / 255.0, 1};
}

Rgba Hue(double turn) {
  const auto channel = [&](double shift) {
    const double v = std::fabs(std::fmod(turn * 6 + shift, 6.0) - 3) - 1;
    return std::clamp(v, 0.0, 1.0);
  };
  return {channel(0), channel(4), channel(2), 1};
}

// The sample: a wheel of twelve hues around a white middle.
Rgba Sample(double x, double y) {
  const double dx = x - 0.5, dy = y - 0.5;
  const double radius = std::sqrt(dx * dx + dy * dy);
  if (radius > 0.47) return {};
  if (radius < 0.17) return {1, 1, 1, 1};
  const double turn = std::atan2(dy, dx) / (2 * std::numbers::pi) + 0.5;
  return Hue(std::floor(turn * 12) / 12);
}

bool Write(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: make_icons LAUNCHER.ico SAMPLE.ico\n", stderr);
    return 2;
  }
  if (!Write(argv[1], Icon(Launcher)) || !Write(argv[2], Icon(Sample))) {
    std::fputs("make_icons: cannot write the icons\n", stderr);
    return 1;
  }
  return 0;
}
