// The sample presentation that the demo packs: every slide shows as what its
// name promises, and it holds what real presentations hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "format/show_settings.h"
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
  int png = 0, jpeg = 0, turned = 0, texts = 0, sounds = 0;
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
        ++sounds;
        break;
      case Kind::Other:
        break;
    }
  }
  EXPECT_GE(png, 2);
  EXPECT_GE(jpeg, 2);
  EXPECT_EQ(turned, 1) << "one photo stored sideways, as a camera writes it";
  EXPECT_GE(texts, 2);
  EXPECT_EQ(sounds, 1) << "one narration";
}

// The sample's show.ini is one the packer takes: every line good, every name
// a packed file, notes for every slide and the narration on one.
TEST(Sample, ShowSettingsFitTheSlides) {
  const std::filesystem::path sample(TURV_SAMPLE_DIR);
  const Bytes bytes = ReadBytes(sample / "show.ini");
  format::ShowParse parse = format::ParseShowSettings(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  std::vector<std::string> names;
  for (const auto& file : std::filesystem::directory_iterator(sample / "slides")) {
    names.push_back(file.path().filename().string());
  }
  format::CheckShowEntries(parse, names);
  for (const auto& problem : parse.problems) ADD_FAILURE() << format::Describe(problem);
  std::size_t noted = 0, narrated = 0;
  for (const auto& slide : parse.settings.slides) {
    noted += slide.notes.size() >= 2 ? 1 : 0;
    narrated += slide.sound.empty() ? 0 : 1;
  }
  EXPECT_EQ(noted + 1, names.size()) << "notes for every slide (the narration is none)";
  EXPECT_EQ(narrated, 1u);
}

}  // namespace
}  // namespace turv::player
