// .ico files made for the tests, in memory: square images of one colour
// each, as 32-bit bitmaps with their masks or as PNGs (stored, not
// compressed). Shared by the native and the Windows tests.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace turv::testicon {

using Bytes = std::vector<std::uint8_t>;

struct Image {
  std::uint32_t size;  // width and height
  std::uint32_t bgra;  // the one colour: 0xAARRGGBB
  bool png = false;
};

inline void Le(Bytes& b, std::uint32_t v, int width) {
  for (int i = 0; i < width; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void Be(Bytes& b, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<std::uint8_t>(v >> s));
}

inline std::uint32_t Crc(const Bytes& bytes, std::size_t from) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = from; i < bytes.size(); ++i) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

inline void Chunk(Bytes& png, const char* type, const Bytes& data) {
  Be(png, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  Be(png, Crc(png, start));
}

inline Bytes Png(const Image& image) {
  Bytes raw;
  for (std::uint32_t y = 0; y < image.size; ++y) {
    raw.push_back(0);  // no filter
    for (std::uint32_t x = 0; x < image.size; ++x) {
      raw.insert(
          raw.end(),
          {static_cast<std::uint8_t>(image.bgra >> 16), static_cast<std::uint8_t>(image.bgra >> 8),
           static_cast<std::uint8_t>(image.bgra), static_cast<std::uint8_t>(image.bgra >> 24)});
    }
  }
  Bytes z = {0x78, 0x01};
  for (std::size_t at = 0; at < raw.size(); at += 65'535) {
    const std::size_t n = std::min<std::size_t>(65'535, raw.size() - at);
    z.push_back(at + n == raw.size() ? 1 : 0);
    Le(z, static_cast<std::uint32_t>(n), 2);
    Le(z, static_cast<std::uint32_t>(~n), 2);
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
             raw.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  std::uint32_t a = 1, b = 0;
  for (const std::uint8_t byte : raw) {
    a = (a + byte) % 65'521;
    b = (b + a) % 65'521;
  }
  Be(z, b << 16 | a);
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  Be(header, image.size);
  Be(header, image.size);
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", {});
  return png;
}

inline Bytes Bitmap(const Image& image) {
  const std::uint32_t n = image.size;
  const std::uint32_t maskStride = (n + 31) / 32 * 4;
  Bytes b;
  Le(b, 40, 4);
  Le(b, n, 4);
  Le(b, 2 * n, 4);
  Le(b, 1, 2);
  Le(b, 32, 2);
  for (int i = 0; i < 6; ++i) Le(b, 0, 4);
  for (std::uint32_t i = 0; i < n * n; ++i) Le(b, image.bgra, 4);
  b.resize(b.size() + maskStride * n, 0);  // all opaque
  return b;
}

inline Bytes Icon(const std::vector<Image>& images) {
  std::vector<Bytes> bodies;
  for (const Image& image : images) bodies.push_back(image.png ? Png(image) : Bitmap(image));
  Bytes ico;
  Le(ico, 0, 2);
  Le(ico, 1, 2);
  Le(ico, static_cast<std::uint32_t>(images.size()), 2);
  auto offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    ico.push_back(static_cast<std::uint8_t>(images[i].size & 0xFF));  // 256 is written 0
    ico.push_back(static_cast<std::uint8_t>(images[i].size & 0xFF));
    Le(ico, 0, 2);
    Le(ico, 1, 2);
    Le(ico, 32, 2);
    Le(ico, static_cast<std::uint32_t>(bodies[i].size()), 4);
    Le(ico, offset, 4);
    offset += static_cast<std::uint32_t>(bodies[i].size());
  }
  for (const Bytes& body : bodies) ico.insert(ico.end(), body.begin(), body.end());
  return ico;
}

}  // namespace turv::testicon
