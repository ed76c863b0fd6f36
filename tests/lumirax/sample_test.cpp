// The sample presentation that the demo packs: every slide shows as what its
// name promises, and it holds what real presentations hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "lumirax/picture_header.h"
#include "lumirax/player_model.h"

namespace turv::player {
namespace {

Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Sample, EverySlideShowsAsItsKind) {
  const std::filesystem::path slides = std::filesystem::path(TURV_SAMPLE_DIR) / "slides";
  int png = 0, jpeg = 0, turned = 0, texts = 0;
  for (const auto& file : std::filesystem::directory_iterator(slides)) {
    const std::string name = file.path().filename().string();
    const Bytes bytes = ReadBytes(file.path());
    ASSERT_FALSE(bytes.empty()) << name;
    EXPECT_LE(bytes.size(), 256u * 1024) << name << ": sample files stay small";
    switch (KindByName(name)) {
      case Kind::Picture: {
        // What the ending promises is what the bytes are.
        if (name.ends_with(".png")) {
          EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), (Bytes{0x89, 'P', 'N', 'G'})) << name;
          ++png;
        } else {
          ASSERT_TRUE(name.ends_with(".jpg")) << name;
          EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 2), (Bytes{0xFF, 0xD8})) << name;
          ++jpeg;
          if (JpegOrientation(bytes) != 1) ++turned;
        }
        break;
      }
      case Kind::Text: {
        const std::u16string text = DecodeTextFile(bytes);
        EXPECT_EQ(text.find(u'\uFFFD'), std::u16string::npos) << name;
        EXPECT_TRUE(LooksLikeUtf8(bytes)) << name << ": the sample's texts are UTF-8";
        ++texts;
        break;
      }
      case Kind::Audio:
        // The narration: an MP3, with its tag or straight from a frame.
        ASSERT_TRUE(name.ends_with(".mp3")) << name;
        EXPECT_TRUE(Bytes(bytes.begin(), bytes.begin() + 3) == (Bytes{'I', 'D', '3'}) ||
                    (bytes[0] == 0xFF && (bytes[1] & 0xE0) == 0xE0))
            << name;
        break;
      case Kind::Other:
        break;
    }
  }
  EXPECT_GE(png, 2);
  EXPECT_GE(jpeg, 2);
  EXPECT_EQ(turned, 1) << "one photo stored sideways, as a camera writes it";
  EXPECT_GE(texts, 2);
}

}  // namespace
}  // namespace turv::player
