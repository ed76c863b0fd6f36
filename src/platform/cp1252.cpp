#include "platform/cp1252.h"

namespace turv::platform {

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char LowerCp1252(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 192 && u <= 222 && u != 215) return static_cast<char>(u + 32);
  switch (u) {
    case 0x8A:
      return static_cast<char>(0x9A);  // Š
    case 0x8C:
      return static_cast<char>(0x9C);  // Œ
    case 0x8E:
      return static_cast<char>(0x9E);  // Ž
    case 0x9F:
      return static_cast<char>(0xFF);  // Ÿ
    default:
      return LowerAscii(c);
  }
}

}  // namespace turv::platform
