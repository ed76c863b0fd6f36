// Audio lengths from headers built byte by byte: each way a format states
// its length, and files whose bytes do not hold together giving nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/audio_length.h"

namespace turv::authoring {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& to, std::string_view text) {
  to.insert(to.end(), text.begin(), text.end());
}
void Be(Bytes& to, std::uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) to.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
void Le(Bytes& to, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) to.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::optional<std::uint64_t> Length(const Bytes& bytes) {
  return AudioMilliseconds(bytes);
}

Bytes Wav(std::uint32_t byteRate, std::uint32_t dataSize, std::size_t dataPresent) {
  Bytes wav;
  Put(wav, "RIFF");
  Le(wav, 0, 4);
  Put(wav, "WAVE");
  Put(wav, "fmt ");
  Le(wav, 16, 4);
  Le(wav, 1, 2);  // PCM, two channels, 44100 Hz, the rate, 4-byte frames, 16 bits
  Le(wav, 2, 2);
  Le(wav, 44100, 4);
  Le(wav, byteRate, 4);
  Le(wav, 4, 2);
  Le(wav, 16, 2);
  Put(wav, "LIST");  // an odd chunk, padded to an even size
  Le(wav, 3, 4);
  Put(wav, "abc");
  wav.push_back(0);
  Put(wav, "data");
  Le(wav, dataSize, 4);
  wav.resize(wav.size() + dataPresent);
  return wav;
}

// An MPEG audio frame's header, then a Xing or VBRI header where the
// format puts it, or padding.
Bytes Mp3(Bytes header, std::size_t at, std::string_view tag, std::uint32_t frames,
          std::size_t total) {
  Bytes mp3 = std::move(header);
  mp3.resize(at, 0);
  if (tag == "Xing") {
    Put(mp3, "Xing");
    Be(mp3, 1, 4);  // the frame count is there
    Be(mp3, frames, 4);
  } else if (tag == "VBRI") {
    Put(mp3, "VBRI");
    mp3.resize(mp3.size() + 10, 0);
    Be(mp3, frames, 4);
  }
  mp3.resize(total, 0);
  return mp3;
}

Bytes Box(std::string_view type, const Bytes& body) {
  Bytes box;
  Be(box, 8 + body.size(), 4);
  Put(box, type);
  box.insert(box.end(), body.begin(), body.end());
  return box;
}

Bytes M4a(const Bytes& mvhd) {
  Bytes file = Box("ftyp", Bytes{'M', '4', 'A', ' ', 0, 0, 0, 0});
  const Bytes media = Box("mdat", Bytes(100, 0x55));  // before the movie box, as many files have it
  file.insert(file.end(), media.begin(), media.end());
  const Bytes moov = Box("moov", Box("mvhd", mvhd));
  file.insert(file.end(), moov.begin(), moov.end());
  return file;
}

TEST(AudioLength, EachFormatsWayOfSayingItsLength) {
  // WAV: the data chunk over the bytes per second; a stream that never
  // learnt its size is its file's rest.
  EXPECT_EQ(Length(Wav(176'400, 441'000, 441'000)), 2'500u);
  EXPECT_EQ(Length(Wav(176'400, 0xFFFF'FFFF, 88'200)), 500u);

  // MP3 at a constant 128 kbit/s: the bytes behind an ID3v2 tag and before
  // an ID3v1 tag.
  const Bytes mpeg1 = {0xFF, 0xFB, 0x90, 0x00};  // MPEG-1 layer III, 128 kbit/s, 44.1 kHz, stereo
  Bytes tagged = {'I', 'D', '3', 3, 0, 0, 0, 0, 1, 0};  // 128 bytes of tag behind the header
  tagged.resize(138, 0);
  const Bytes frames = Mp3(mpeg1, 4, "", 0, 160'000);
  tagged.insert(tagged.end(), frames.begin(), frames.end());
  Put(tagged, "TAG");
  tagged.resize(tagged.size() + 125, 'x');
  EXPECT_EQ(Length(tagged), 10'000u);
  // A variable bitrate: the frame count of a Xing header (after MPEG-1
  // stereo's 32 bytes of side information, MPEG-2 mono's 9) or a VBRI one.
  EXPECT_EQ(Length(Mp3(mpeg1, 36, "Xing", 256, 5'000)), 256u * 1152 * 1000 / 44'100);
  const Bytes mpeg2 = {0xFF, 0xF3, 0x80, 0xC0};  // MPEG-2 layer III, 64 kbit/s, 22.05 kHz, mono
  EXPECT_EQ(Length(Mp3(mpeg2, 13, "Xing", 100, 5'000)), 100u * 576 * 1000 / 22'050);
  EXPECT_EQ(Length(Mp3(mpeg1, 36, "VBRI", 1'000, 5'000)), 1'000u * 1152 * 1000 / 44'100);

  // M4A: the movie header's duration over its time scale, in both versions.
  Bytes v0 = {0, 0, 0, 0};
  Be(v0, 0, 8);  // created, modified
  Be(v0, 44'100, 4);
  Be(v0, 441'000, 4);
  v0.resize(100, 0);
  EXPECT_EQ(Length(M4a(v0)), 10'000u);
  Bytes v1 = {1, 0, 0, 0};
  Be(v1, 0, 8);  // created, modified
  Be(v1, 0, 8);
  Be(v1, 1'000, 4);
  Be(v1, std::uint64_t{1} << 33, 8);
  v1.resize(112, 0);
  EXPECT_EQ(Length(M4a(v1)), std::uint64_t{1} << 33);
}

TEST(AudioLength, BytesThatDoNotHoldTogetherSayNothing) {
  EXPECT_EQ(Length(Wav(0, 100, 100)), std::nullopt);  // no bytes per second
  Bytes noData = Wav(176'400, 0, 0);
  noData.resize(noData.size() - 8);  // the data chunk's head gone
  EXPECT_EQ(Length(noData), std::nullopt);

  Bytes v0(100, 0);
  Bytes cut = M4a(v0);  // a time scale of 0
  EXPECT_EQ(Length(cut), std::nullopt);
  v0[15] = 1;
  cut = M4a(v0);
  cut.resize(cut.size() - 90);  // the movie box reaches past the end
  EXPECT_EQ(Length(cut), std::nullopt);

  Bytes text;
  Put(text, "no audio here, only words");
  EXPECT_EQ(Length(text), std::nullopt);
  EXPECT_EQ(Length({'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}), std::nullopt);  // all tag
  EXPECT_EQ(Length({0xFF, 0xFB, 0xF0, 0x00}), std::nullopt);  // a bitrate index that is none
}

}  // namespace
}  // namespace turv::authoring
