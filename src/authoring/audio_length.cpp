// Audio lengths from file headers. Each reader looks at a bounded number of
// bytes and structures (chunks, boxes), so that no file, however built,
// makes it read much or loop long.
#include "authoring/audio_length.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace turv::authoring {

namespace {

constexpr int kMaxChunks = 64;                   // RIFF chunks or MP4 boxes looked at, per level
constexpr std::uint64_t kSyncSearch = 64 << 10;  // bytes searched for an MP3 frame

std::uint32_t Be32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
std::uint64_t Be64(const std::uint8_t* p) {
  return std::uint64_t{Be32(p)} << 32 | Be32(p + 4);
}
std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

// Exactly n bytes at offset, or nothing.
template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> Exactly(const ReadAt& read, std::uint64_t size,
                                                   std::uint64_t offset) {
  std::array<std::uint8_t, N> bytes{};
  if (offset > size || size - offset < N) return std::nullopt;
  if (read(offset, bytes) != N) return std::nullopt;
  return bytes;
}

// Units at a rate as milliseconds, without overflow for any 64-bit count.
std::optional<std::uint64_t> Milliseconds(std::uint64_t units, std::uint64_t perSecond) {
  if (perSecond == 0) return std::nullopt;
  const std::uint64_t whole = units / perSecond, rest = units % perSecond;
  if (whole > UINT64_MAX / 1000 - 1) return std::nullopt;
  return whole * 1000 + rest * 1000 / perSecond;
}

// RIFF WAVE: the data chunk's size over the format's bytes per second.
std::optional<std::uint64_t> Wav(const ReadAt& read, std::uint64_t size) {
  std::uint32_t byteRate = 0;
  std::uint64_t at = 12;
  for (int chunk = 0; chunk < kMaxChunks; ++chunk) {
    const auto header = Exactly<8>(read, size, at);
    if (!header) return std::nullopt;
    const std::uint64_t length = Le32(header->data() + 4);
    if (std::memcmp(header->data(), "fmt ", 4) == 0) {
      const auto format = Exactly<16>(read, size, at + 8);
      if (!format || length < 16) return std::nullopt;
      byteRate = Le32(format->data() + 8);
    } else if (std::memcmp(header->data(), "data", 4) == 0) {
      // A stream written without knowing its end says 0 or 0xFFFFFFFF: the
      // rest of the file is its data then.
      const std::uint64_t rest = size - (at + 8);
      const std::uint64_t data = length == 0 || length > rest ? rest : length;
      return Milliseconds(data, byteRate);
    }
    at += 8 + length + (length & 1);  // chunks are padded to even sizes
  }
  return std::nullopt;
}

// M4A (ISO base media): moov/mvhd's duration over its time scale.
std::optional<std::uint64_t> Mp4(const ReadAt& read, std::uint64_t size) {
  // A box's type, where its body starts and where it ends, within [from, to).
  struct Box {
    std::array<std::uint8_t, 4> type;
    std::uint64_t body, end;
  };
  const auto box = [&](std::uint64_t at, std::uint64_t to) -> std::optional<Box> {
    const auto header = Exactly<8>(read, size, at);
    if (!header) return std::nullopt;
    Box found{{(*header)[4], (*header)[5], (*header)[6], (*header)[7]}, at + 8, 0};
    std::uint64_t length = Be32(header->data());
    if (length == 1) {
      const auto large = Exactly<8>(read, size, at + 8);
      if (!large) return std::nullopt;
      length = Be64(large->data());
      found.body = at + 16;
    } else if (length == 0) {
      length = to - at;  // to the end
    }
    if (length < found.body - at || length > to - at) return std::nullopt;
    found.end = at + length;
    return found;
  };
  const auto find = [&](std::uint64_t from, std::uint64_t to,
                        const char* type) -> std::optional<Box> {
    for (int n = 0; n < kMaxChunks && from < to; ++n) {
      const auto found = box(from, to);
      if (!found) return std::nullopt;
      if (std::memcmp(found->type.data(), type, 4) == 0) return found;
      from = found->end;
    }
    return std::nullopt;
  };
  const auto moov = find(0, size, "moov");
  if (!moov) return std::nullopt;
  const auto mvhd = find(moov->body, moov->end, "mvhd");
  if (!mvhd) return std::nullopt;
  const auto version = Exactly<1>(read, mvhd->end, mvhd->body);
  if (!version) return std::nullopt;
  if ((*version)[0] == 1) {
    // version, flags, created and modified (8 each), scale (4), duration (8)
    const auto fields = Exactly<32>(read, mvhd->end, mvhd->body);
    if (!fields) return std::nullopt;
    return Milliseconds(Be64(fields->data() + 24), Be32(fields->data() + 20));
  }
  const auto fields = Exactly<20>(read, mvhd->end, mvhd->body);
  if (!fields || (*version)[0] != 0) return std::nullopt;
  return Milliseconds(Be32(fields->data() + 16), Be32(fields->data() + 12));
}

// One MPEG audio frame header.
struct Frame {
  int version;               // 1, 2, or 25 for MPEG 2.5
  int layer;                 // 1 to 3
  std::uint32_t bitrate;     // bits per second
  std::uint32_t sampleRate;  // per second
  std::uint32_t samples;     // per frame
  bool mono;
};

std::optional<Frame> FrameAt(const std::uint8_t* p) {
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return std::nullopt;
  static constexpr int kVersions[4] = {25, 0, 2, 1};
  static constexpr int kLayers[4] = {0, 3, 2, 1};
  const int version = kVersions[(p[1] >> 3) & 3];
  const int layer = kLayers[(p[1] >> 1) & 3];
  const int bitrateIndex = p[2] >> 4, rateIndex = (p[2] >> 2) & 3;
  if (version == 0 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
    return std::nullopt;
  }
  static constexpr std::uint16_t kBitrates[5][15] = {
      {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // 1, I
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // 1, II
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // 1, III
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // 2, I
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},          // 2, II and III
  };
  static constexpr std::uint32_t kRates[3] = {44100, 48000, 32000};
  const int table = version == 1 ? layer - 1 : layer == 1 ? 3 : 4;
  Frame frame{};
  frame.version = version;
  frame.layer = layer;
  frame.bitrate = kBitrates[table][bitrateIndex] * 1000u;
  frame.sampleRate = kRates[rateIndex] / (version == 1 ? 1 : version == 2 ? 2 : 4);
  frame.samples = layer == 1 ? 384 : layer == 2 || version == 1 ? 1152 : 576;
  frame.mono = (p[3] >> 6) == 3;
  return frame;
}

// MP3: the frame count of a Xing/Info or VBRI header, or the first frame's
// bitrate over the bytes of audio.
std::optional<std::uint64_t> Mp3(const ReadAt& read, std::uint64_t size) {
  std::uint64_t start = 0;
  if (const auto id3 = Exactly<10>(read, size, 0); id3 && std::memcmp(id3->data(), "ID3", 3) == 0) {
    const auto* s = id3->data() + 6;
    if ((s[0] | s[1] | s[2] | s[3]) & 0x80) return std::nullopt;
    start = 10 + (std::uint64_t{s[0]} << 21 | std::uint64_t{s[1]} << 14 | std::uint64_t{s[2]} << 7 |
                  s[3]);
    if ((*id3)[5] & 0x10) start += 10;  // a footer
  }
  if (start >= size) return std::nullopt;
  std::vector<std::uint8_t> window(static_cast<std::size_t>(std::min(size - start, kSyncSearch)));
  window.resize(read(start, window));
  for (std::size_t at = 0; at + 4 <= window.size(); ++at) {
    const auto frame = FrameAt(window.data() + at);
    if (!frame) continue;
    const std::uint64_t frameStart = start + at;
    std::array<std::uint8_t, 64> head{};
    const std::size_t got = read(frameStart, head);
    const std::size_t side = frame->version == 1 ? (frame->mono ? 17 : 32) : (frame->mono ? 9 : 17);
    const std::size_t xing = 4 + side;
    if (frame->layer == 3 && got >= xing + 12 &&
        (std::memcmp(head.data() + xing, "Xing", 4) == 0 ||
         std::memcmp(head.data() + xing, "Info", 4) == 0) &&
        (Be32(head.data() + xing + 4) & 1) != 0) {
      const std::uint64_t frames = Be32(head.data() + xing + 8);
      return Milliseconds(frames * frame->samples, frame->sampleRate);
    }
    if (got >= 4 + 32 + 18 && std::memcmp(head.data() + 36, "VBRI", 4) == 0) {
      const std::uint64_t frames = Be32(head.data() + 36 + 14);
      return Milliseconds(frames * frame->samples, frame->sampleRate);
    }
    std::uint64_t end = size;
    if (const auto tag = Exactly<3>(read, size, size >= 128 ? size - 128 : size);
        tag && std::memcmp(tag->data(), "TAG", 3) == 0 && size - 128 >= frameStart) {
      end = size - 128;
    }
    return Milliseconds(end - frameStart, frame->bitrate / 8);  // whole bytes per second
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::uint64_t> AudioMilliseconds(const ReadAt& read, std::uint64_t size) {
  const auto head = Exactly<12>(read, size, 0);
  if (head && std::memcmp(head->data(), "RIFF", 4) == 0 &&
      std::memcmp(head->data() + 8, "WAVE", 4) == 0) {
    return Wav(read, size);
  }
  if (head && std::memcmp(head->data() + 4, "ftyp", 4) == 0) return Mp4(read, size);
  return Mp3(read, size);
}

std::optional<std::uint64_t> AudioMilliseconds(std::span<const std::uint8_t> bytes) {
  return AudioMilliseconds(
      [bytes](std::uint64_t offset, std::span<std::uint8_t> into) -> std::size_t {
        if (offset >= bytes.size()) return 0;
        const auto n = std::min<std::size_t>(into.size(), bytes.size() - offset);
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), n, into.begin());
        return n;
      },
      bytes.size());
}

}  // namespace turv::authoring
