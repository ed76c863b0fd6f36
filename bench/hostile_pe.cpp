// Writes the program files bench/hostile measures karupack on:
//   hostile_pe many OUT.exe       2.6 MB: 65,535 section headers, each
//                                 claiming the whole file as its bytes
//   hostile_pe near OUT.exe MIB   MIB MiB: 96 sections tiling the file, full
//                                 of near-markers (the seal record's marker
//                                 but its last byte), one marker among them,
//                                 and resource folders of 65,535 entries
//                                 whose last is the one looked for; sealed
//   hostile_pe dense OUT.exe MIB  the same with markers throughout
//   hostile_pe names OUT.exe      0.7 MB, sealed, loadable: a type folder of
//                                 65,535 named entries all naming one name
//                                 of 65,535 characters (8 GiB, read name by
//                                 name), then the player's RCDATA
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kPe = 0x80;
constexpr std::uint32_t kOptional = kPe + 24;
constexpr std::uint32_t kTable = kOptional + 0xE0;
constexpr char kMarker[] = "turv-image-seal1";  // as src/seal/seal_record.h has it

void Put(Bytes& b, std::size_t at, std::uint32_t v, int width = 4) {
  for (int i = 0; i < width; ++i)
    b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Headers(Bytes& b, std::uint32_t sections, std::uint32_t resourceRva) {
  b[0] = 'M';
  b[1] = 'Z';
  Put(b, 0x3C, kPe);
  Put(b, kPe, 0x00004550);
  Put(b, kPe + 4, 0x14C, 2);
  Put(b, kPe + 6, sections, 2);
  Put(b, kPe + 20, 0xE0, 2);
  Put(b, kOptional, 0x10B, 2);
  Put(b, kOptional + 32, 0x1000);  // section and file alignment
  Put(b, kOptional + 36, 0x200);
  Put(b, kOptional + 92, 16);
  Put(b, kOptional + 96 + 16, resourceRva);
}

void Section(Bytes& b, std::uint32_t index, std::uint32_t va, std::uint32_t size,
             std::uint32_t raw) {
  const std::size_t at = kTable + std::size_t{index} * 40;
  std::memcpy(&b[at], ".data\0\0\0", 8);
  Put(b, at + 8, size);
  Put(b, at + 12, va);
  Put(b, at + 16, size);
  Put(b, at + 20, raw);
}

constexpr std::uint32_t kFolderEntries = 65'535;

// A resource folder at base + at whose last entry only holds id and leads
// to the subfolder next; returns where it ends.
std::uint32_t Folder(Bytes& b, std::uint32_t base, std::uint32_t at, std::uint32_t id) {
  Put(b, base + at + 14, kFolderEntries, 2);
  for (std::uint32_t i = 0; i < kFolderEntries; ++i) {
    Put(b, base + at + 16 + i * 8, i + 1 == kFolderEntries ? id : id + 1 + i);
  }
  const std::uint32_t end = at + 16 + kFolderEntries * 8;
  Put(b, base + end - 4, 0x80000000u | end);
  return end;
}

// The 65,535 sections of Many: the first holds the resources (one folder
// entry at each level and a player of 16 bytes), every other one claims the
// whole file, so that a reader scanning each section's bytes reads the file
// 65,534 times.
Bytes Many() {
  constexpr std::uint32_t count = 65'535;
  const std::uint32_t rsrc = (kTable + count * 40 + 0x1FF) / 0x200 * 0x200;
  Bytes b(rsrc + 0x200, 0);
  Headers(b, count, 0x1000);
  Section(b, 0, 0x1000, 0x200, rsrc);
  Put(b, rsrc + 14, 1, 2);
  Put(b, rsrc + 16, 10);
  Put(b, rsrc + 20, 0x80000018);
  Put(b, rsrc + 0x18 + 14, 1, 2);
  Put(b, rsrc + 0x18 + 16, 1000);
  Put(b, rsrc + 0x18 + 20, 0x80000030);
  Put(b, rsrc + 0x30 + 14, 1, 2);
  Put(b, rsrc + 0x30 + 16, 0x407);
  Put(b, rsrc + 0x30 + 20, 0x48);
  Put(b, rsrc + 0x48, 0x1058);
  Put(b, rsrc + 0x48 + 4, 16);
  const auto size = static_cast<std::uint32_t>(b.size());
  for (std::uint32_t i = 1; i < count; ++i) Section(b, i, 0x10000 + i * 0x1000, size, 0);
  return b;
}

Bytes Large(std::uint64_t mib, bool dense) {
  const std::uint64_t size = mib << 20;
  Bytes b(static_cast<std::size_t>(size), 0);
  constexpr std::uint32_t kRsrc = 0x2000;
  constexpr std::uint32_t kPlayer = 4096;
  Headers(b, 96, 0x1000);
  // type RCDATA -> name 1000 -> one language -> the player's data entry
  const std::uint32_t names = Folder(b, kRsrc, 0, 10);
  const std::uint32_t languages = Folder(b, kRsrc, names, 1000);
  const std::uint32_t leaf = languages + 24;
  Put(b, kRsrc + languages + 14, 1, 2);
  Put(b, kRsrc + languages + 16, 0x407);
  Put(b, kRsrc + languages + 20, leaf);
  const std::uint32_t data = leaf + 16;
  Put(b, kRsrc + leaf, 0x1000 + data);
  Put(b, kRsrc + leaf + 4, kPlayer);
  const std::uint32_t rsrcSize = data + kPlayer;
  Section(b, 0, 0x1000, rsrcSize, kRsrc);

  // The rest in 95 sections of near-markers, one real marker in the first.
  const std::uint64_t start = kRsrc + rsrcSize;
  const std::uint64_t each = (size - start) / 95;
  for (std::uint32_t k = 0; k < 95; ++k) {
    const std::uint64_t raw = start + k * each;
    const std::uint64_t length = k == 94 ? size - raw : each;
    Section(b, k + 1, 0x0100'0000u * (k + 1), static_cast<std::uint32_t>(length),
            static_cast<std::uint32_t>(raw));
  }
  const std::size_t step = dense ? 16 : 15;
  for (std::uint64_t at = start; at + step <= size; at += step) std::memcpy(&b[at], kMarker, step);
  const std::uint64_t record = start + step * 1000;
  std::memcpy(&b[record], kMarker, 16);
  const auto value = static_cast<std::uint32_t>(size - kPlayer);
  Put(b, record + 16, value);
  Put(b, record + 20, ~value);
  return b;
}

Bytes Names() {
  constexpr std::uint32_t kRsrc = 0x400;
  constexpr std::uint32_t kNamed = 65'535;
  constexpr std::uint32_t name = 16 + (kNamed + 1) * 8;
  constexpr std::uint32_t empty = (name + 2 + kNamed * 2 + 15) / 16 * 16;
  constexpr std::uint32_t names = empty + 16;
  constexpr std::uint32_t languages = names + 24;
  constexpr std::uint32_t leaf = languages + 24;
  constexpr std::uint32_t player = leaf + 16;
  constexpr std::uint32_t rsrcSize = player + 16;
  Bytes b(kRsrc + (rsrcSize + 0x1FF) / 0x200 * 0x200, 0);
  Headers(b, 2, 0x2000);
  Put(b, kOptional + 56, 0x2000 + (rsrcSize + 0xFFF) / 0x1000 * 0x1000);  // image size
  Put(b, kOptional + 60, 0x200);                                          // headers
  Put(b, kOptional + 96 + 20, rsrcSize);
  Section(b, 0, 0x1000, 0x200, 0x200);
  Section(b, 1, 0x2000, rsrcSize, kRsrc);
  Put(b, kRsrc + 12, kNamed, 2);
  Put(b, kRsrc + 14, 1, 2);
  for (std::uint32_t i = 0; i < kNamed; ++i) {
    Put(b, kRsrc + 16 + i * 8, 0x80000000u | name);
    Put(b, kRsrc + 16 + i * 8 + 4, 0x80000000u | empty);
  }
  Put(b, kRsrc + 16 + kNamed * 8, 10);
  Put(b, kRsrc + 16 + kNamed * 8 + 4, 0x80000000u | names);
  Put(b, kRsrc + name, kNamed, 2);
  for (std::uint32_t i = 0; i < kNamed; ++i) Put(b, kRsrc + name + 2 + i * 2, 'N', 2);
  Put(b, kRsrc + names + 14, 1, 2);
  Put(b, kRsrc + names + 16, 1000);
  Put(b, kRsrc + names + 20, 0x80000000u | languages);
  Put(b, kRsrc + languages + 14, 1, 2);
  Put(b, kRsrc + languages + 16, 0x407);
  Put(b, kRsrc + languages + 20, leaf);
  Put(b, kRsrc + leaf, 0x2000 + player);
  Put(b, kRsrc + leaf + 4, 16);
  std::memcpy(&b[0x200], kMarker, 16);
  const auto value = static_cast<std::uint32_t>(b.size() - 16);
  Put(b, 0x200 + 16, value);
  Put(b, 0x200 + 20, ~value);
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  Bytes file;
  if (args.size() == 2 && args[0] == "many") {
    file = Many();
  } else if (args.size() == 2 && args[0] == "names") {
    file = Names();
  } else if (args.size() == 3 && (args[0] == "near" || args[0] == "dense")) {
    file = Large(std::stoull(args[2]), args[0] == "dense");
  } else {
    std::cerr << "usage: hostile_pe many|names OUT.exe | hostile_pe near|dense OUT.exe MIB\n";
    return 2;
  }
  std::ofstream out(args[1], std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  return out.flush() ? 0 : 1;
}
