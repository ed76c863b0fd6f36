#include "test_launcher.h"

#include <cstring>

#include "seal/launcher_image.h"
#include "seal/seal_record.h"

namespace turv::karupack::testing {

namespace {

constexpr std::uint32_t kFileAlign = 0x200;
constexpr std::uint32_t kPe = 0x80;
constexpr std::uint32_t kOptional = kPe + 24;
constexpr std::uint32_t kSections = kOptional + 0xE0;
constexpr std::uint32_t kData = 0x200;  // .rdata: the seal record
constexpr std::uint32_t kRsrc = 0x400;  // .rsrc: type -> name -> language -> data, then the player

void Put(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v, int width = 4) {
  for (int i = 0; i < width; ++i) {
    b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  }
}

std::uint32_t Align(std::uint32_t v, std::uint32_t to) {
  return (v + to - 1) / to * to;
}

}  // namespace

std::vector<std::uint8_t> MakeLauncher(std::size_t playerSize, bool sealed) {
  const auto player = static_cast<std::uint32_t>(playerSize);
  const std::uint32_t rsrcSize = 0x58 + player;
  const std::uint32_t rsrcRaw = Align(rsrcSize, kFileAlign);
  std::vector<std::uint8_t> b(kRsrc + rsrcRaw, 0);

  b[0] = 'M';
  b[1] = 'Z';
  Put(b, 0x3C, kPe);
  Put(b, kPe, 0x00004550);
  Put(b, kPe + 4, 0x14C, 2);       // i386
  Put(b, kPe + 6, 2, 2);           // sections
  Put(b, kPe + 20, 0xE0, 2);       // optional header size
  Put(b, kPe + 22, 0x0102, 2);     // executable, 32-bit
  Put(b, kOptional, 0x10B, 2);     // PE32
  Put(b, kOptional + 16, 0x1000);  // entry point
  Put(b, kOptional + 28, 0x400000);
  Put(b, kOptional + 32, 0x1000);  // section alignment
  Put(b, kOptional + 36, kFileAlign);
  Put(b, kOptional + 40, 4, 2);                              // OS version
  Put(b, kOptional + 48, 4, 2);                              // subsystem version
  Put(b, kOptional + 56, 0x2000 + Align(rsrcSize, 0x1000));  // image size in memory
  Put(b, kOptional + 60, 0x200);                             // headers
  Put(b, kOptional + 68, 2, 2);                              // GUI
  Put(b, kOptional + 92, 16);                                // data directories
  Put(b, kOptional + 96 + 2 * 8, 0x2000);                    // resources
  Put(b, kOptional + 96 + 2 * 8 + 4, rsrcSize);

  std::memcpy(&b[kSections], ".rdata\0\0", 8);
  Put(b, kSections + 8, 0x200);
  Put(b, kSections + 12, 0x1000);
  Put(b, kSections + 16, 0x200);
  Put(b, kSections + 20, kData);
  Put(b, kSections + 36, 0x40000040);  // initialised data, readable
  std::memcpy(&b[kSections + 40], ".rsrc\0\0\0", 8);
  Put(b, kSections + 48, rsrcSize);
  Put(b, kSections + 52, 0x2000);
  Put(b, kSections + 56, rsrcRaw);
  Put(b, kSections + 60, kRsrc);
  Put(b, kSections + 76, 0x40000040);

  std::memcpy(&b[kData + 0x10], seal::kMarker, sizeof seal::kMarker);

  Put(b, kRsrc + 14, 1, 2);
  Put(b, kRsrc + 16, 10);  // RT_RCDATA
  Put(b, kRsrc + 20, 0x80000018);
  Put(b, kRsrc + 0x18 + 14, 1, 2);
  Put(b, kRsrc + 0x18 + 16, seal::kPlayerResourceId);
  Put(b, kRsrc + 0x18 + 20, 0x80000030);
  Put(b, kRsrc + 0x30 + 14, 1, 2);
  Put(b, kRsrc + 0x30 + 16, 0x407);
  Put(b, kRsrc + 0x30 + 20, 0x48);
  Put(b, kRsrc + 0x48, 0x2058);
  Put(b, kRsrc + 0x48 + 4, player);
  for (std::uint32_t i = 0; i < player; ++i) b[kRsrc + 0x58 + i] = static_cast<std::uint8_t>(i * 7);

  if (sealed) seal::Seal(b);
  return b;
}

std::vector<std::uint8_t> MakeProgram(const ProgramShape& shape) {
  const std::uint32_t optionalSize = shape.plus ? 0xF0 : 0xE0;
  const std::uint32_t sections = kOptional + optionalSize;
  std::vector<std::uint8_t> b(0x400, 0);
  b[0] = 'M';
  b[1] = 'Z';
  Put(b, 0x3C, kPe);
  Put(b, kPe, 0x00004550);
  Put(b, kPe + 4, shape.machine, 2);
  Put(b, kPe + 6, 1, 2);
  Put(b, kPe + 20, optionalSize, 2);
  Put(b, kPe + 22, shape.characteristics, 2);
  Put(b, kOptional, shape.plus ? 0x20B : 0x10B, 2);
  Put(b, kOptional + 16, 0x1000);  // entry point
  Put(b, kOptional + (shape.plus ? 24 : 28), 0x400000);
  Put(b, kOptional + 32, 0x1000);
  Put(b, kOptional + 36, kFileAlign);
  Put(b, kOptional + 56, 0x2000);
  Put(b, kOptional + 60, 0x200);
  Put(b, kOptional + 68, shape.subsystem, 2);
  Put(b, kOptional + (shape.plus ? 108 : 92), 16);
  std::memcpy(&b[sections], ".text\0\0\0", 8);
  Put(b, sections + 8, 0x10);
  Put(b, sections + 12, 0x1000);
  Put(b, sections + 16, 0x200);
  Put(b, sections + 20, 0x200);
  Put(b, sections + 36, 0x60000020);  // code, executable, readable
  b[0x200] = 0xC3;                    // ret
  return b;
}

}  // namespace turv::karupack::testing
