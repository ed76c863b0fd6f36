// The record in which the build seals a launcher: the finished program
// file's size less the player resource's size, written after linking. The
// marker lets the sealing tool find the record in the program file; the
// check word (the value's complement) tells a sealed record from a blank one.
#pragma once

#include <cstdint>

namespace turv::seal {

inline constexpr char kMarker[16] = {'t', 'u', 'r', 'v', '-', 'i', 'm', 'a',
                                     'g', 'e', '-', 's', 'e', 'a', 'l', '1'};

struct Record {
  char marker[16];
  std::uint32_t imageLessPlayer;  // little-endian in the file
  std::uint32_t check;            // ~imageLessPlayer once sealed
};
static_assert(sizeof(Record) == 24);

}  // namespace turv::seal
