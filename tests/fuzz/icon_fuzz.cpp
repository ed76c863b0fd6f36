// The .ico reader on any file (an author's --icon, a dropped folder's
// icon.ico): it refuses with a SealError, or hands out 1 to 256 images of
// icon sizes and depths, which a launcher then carries byte for byte and
// shows as they were.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "check.h"
#include "karupack/test_launcher.h"
#include "seal/branding.h"
#include "seal/pe_resources.h"

namespace seal = turv::seal;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  seal::Branding branding;
  try {
    branding.icon = seal::ParseIconFile({data, size});
  } catch (const seal::SealError&) {
    return 0;
  }
  FUZZ_CHECK(!branding.icon.empty() && branding.icon.size() <= 256);
  std::size_t total = 0;  // images apart: together no larger than the file
  for (const seal::IconImage& image : branding.icon) total += image.bytes.size();
  FUZZ_CHECK(total <= size);
  for (const seal::IconImage& image : branding.icon) {
    FUZZ_CHECK(image.width >= 1 && image.width <= 256 && image.height >= 1 && image.height <= 256);
    FUZZ_CHECK(!image.bytes.empty() && image.bytes.size() <= size);
    const std::uint16_t depths[] = {1, 4, 8, 16, 24, 32};
    FUZZ_CHECK(image.png ? image.bitCount == 32
                         : std::find(std::begin(depths), std::end(depths), image.bitCount) !=
                               std::end(depths));
  }

  static const std::vector<std::uint8_t> launcher = turv::karupack::testing::MakeLauncher(64);
  const std::vector<std::uint8_t> branded = seal::Brand(launcher, branding);
  const seal::MemorySource file(branded);
  std::size_t next = 0;
  for (const auto& e : seal::ListResources(file)) {
    if (e.type != seal::ResourceKey(seal::kRtIcon)) continue;
    FUZZ_CHECK(next < branding.icon.size());
    FUZZ_CHECK(seal::ReadResource(file, e) == branding.icon[next++].bytes);
  }
  FUZZ_CHECK(next == branding.icon.size());
  const auto shown = seal::ReadBranding(file).icon;
  FUZZ_CHECK(shown.size() == branding.icon.size());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const seal::IconImage& given = branding.icon[i];
    FUZZ_CHECK(shown[i].width == given.width && shown[i].height == given.height);
    FUZZ_CHECK(shown[i].bitCount == given.bitCount && shown[i].png == given.png);
    FUZZ_CHECK(shown[i].colorCount == given.colorCount);
  }
  return 0;
}
