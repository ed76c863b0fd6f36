// The sample presentation that the demo packs: every slide shows as what its
// name promises.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "lumirax/player_model.h"

namespace turv::player {
namespace {

Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Sample, EverySlideShowsAsItsKind) {
  const std::filesystem::path slides = std::filesystem::path(TURV_SAMPLE_DIR) / "slides";
  int bitmaps = 0, texts = 0;
  for (const auto& file : std::filesystem::directory_iterator(slides)) {
    const std::string name = file.path().filename().string();
    const Bytes bytes = ReadBytes(file.path());
    ASSERT_FALSE(bytes.empty()) << name;
    EXPECT_LE(bytes.size(), 16u * 1024) << name << ": sample files stay small";
    switch (KindByName(name)) {
      case Kind::Bitmap: {
        const BmpLayout layout = ReadBmpLayout(bytes);
        EXPECT_EQ(layout.bitsOffset + layout.bitsSize, bytes.size()) << name;
        ++bitmaps;
        break;
      }
      case Kind::Text: {
        const std::u16string text = DecodeTextFile(bytes);
        EXPECT_EQ(text.find(u'\uFFFD'), std::u16string::npos) << name;
        EXPECT_TRUE(LooksLikeUtf8(bytes)) << name << ": the sample's texts are UTF-8";
        ++texts;
        break;
      }
      case Kind::Other:
        break;
    }
  }
  EXPECT_GE(bitmaps, 2);
  EXPECT_GE(texts, 2);
}

}  // namespace
}  // namespace turv::player
