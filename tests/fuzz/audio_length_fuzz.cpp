// The authoring window's reader of an audio file's length on any bytes:
// nothing is read outside them (the sanitizers watch), a read never asks
// for more than the file holds, and the same bytes give the same length.
#include "authoring/audio_length.h"
#include "check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  std::uint64_t asked = 0;
  const auto read = [&](std::uint64_t offset, std::span<std::uint8_t> into) -> std::size_t {
    FUZZ_CHECK(offset <= size);
    asked += into.size();
    const auto n = std::min<std::size_t>(into.size(), size - offset);
    std::copy_n(data + offset, n, into.begin());
    return n;
  };
  const auto length = turv::authoring::AudioMilliseconds(read, size);
  FUZZ_CHECK(length == turv::authoring::AudioMilliseconds(bytes));
  // Bounded work: a few headers and one search window, whatever the file.
  FUZZ_CHECK(asked <= (1u << 17));
  return 0;
}
