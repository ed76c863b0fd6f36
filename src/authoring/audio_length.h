// How long an audio file plays, read from its bytes (portable): WAV from
// its header, MP3 from its Xing/Info or VBRI header or else from its first
// frame's bitrate, M4A from the movie header (mvhd). The bytes come from
// outside: every read is bounded and checked, and a file that does not say
// gives nothing rather than a guess.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace turv::authoring {

// Reads up to into.size() bytes at offset; fewer at the end of the file.
using ReadAt = std::function<std::size_t(std::uint64_t offset, std::span<std::uint8_t> into)>;

// The length in milliseconds of a file of size bytes, or nothing when its
// bytes name none of the formats above or do not hold together.
std::optional<std::uint64_t> AudioMilliseconds(const ReadAt& read, std::uint64_t size);

// The same over bytes in memory.
std::optional<std::uint64_t> AudioMilliseconds(std::span<const std::uint8_t> bytes);

}  // namespace turv::authoring
