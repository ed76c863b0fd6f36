// The readers of a program file on any bytes: the launcher-image and seal
// reader, and the readers behind karupack list and verify (the resource
// tree, the icon and version shown, the loader's checks, the certificate
// table). Each refuses with a SealError or hands out what lies within the
// file, and whatever the headers claim it reads a bounded amount: the seal
// reader the file about once (the sections' bytes once, the headers and
// three resource folders besides), never once per section; the resource
// readers a few MiB beyond that, however the folders and names are shared.
// A launcher they all accept takes a new icon and version and keeps its
// player byte for byte, and takes another player in its place. The player
// checks read it as a player too.
#include <algorithm>
#include <cstdint>
#include <tuple>
#include <vector>

#include "check.h"
#include "karupack/test_icon.h"
#include "seal/branding.h"
#include "seal/pe_resources.h"
#include "seal/player_image.h"

namespace seal = turv::seal;

namespace {

class CountingSource : public seal::ByteSource {
 public:
  explicit CountingSource(std::span<const std::uint8_t> bytes) : inner_(bytes) {}
  std::uint64_t Size() const override { return inner_.Size(); }
  void Read(std::uint64_t offset, std::span<std::uint8_t> into) const override {
    inner_.Read(offset, into);
    read_ += into.size();
  }
  // What one reader call may read beyond four times the file: the headers
  // (the seal reader), the tree's folders, data entries and names (the
  // resource readers).
  void CheckAndReset(std::uint64_t beyond) {
    FUZZ_CHECK(read_ <= 4 * Size() + beyond);
    read_ = 0;
  }

 private:
  seal::MemorySource inner_;
  mutable std::uint64_t read_ = 0;
};

constexpr std::uint64_t kHeaders = 16 * 1024;
constexpr std::uint64_t kTree = 8 << 20;

// The icon and version branding gives; shown again as given.
const seal::Branding& TestBranding() {
  static const seal::Branding branding = [] {
    seal::Branding b;
    b.icon = seal::ParseIconFile(turv::testicon::Icon({{16, 0xFF'20'40'60}}));
    b.version = seal::VersionInfo{{{"ProductName", "Kurs"}}, {1, 2, 3, 0}, {1, 2, 3, 0}};
    return b;
  }();
  return branding;
}

// The resources branding leaves as they were, with their bytes, sorted as
// the writer lays them out.
using Kept = std::tuple<seal::ResourceKey, seal::ResourceKey, std::uint16_t, std::uint32_t,
                        std::vector<std::uint8_t>>;
std::vector<Kept> Unbranded(const seal::ByteSource& file) {
  std::vector<Kept> kept;
  for (const auto& e : seal::ListResources(file)) {
    if (e.type != seal::ResourceKey(seal::kRtIcon) &&
        e.type != seal::ResourceKey(seal::kRtGroupIcon) &&
        e.type != seal::ResourceKey(seal::kRtVersion)) {
      kept.emplace_back(e.type, e.name, e.language, e.codePage, seal::ReadResource(file, e));
    }
  }
  std::sort(kept.begin(), kept.end());
  return kept;
}

// The resource readers: whatever they hand out lies within the file.
void CheckResources(CountingSource& file) {
  try {
    const auto entries = seal::ListResources(file);
    file.CheckAndReset(kTree);
    FUZZ_CHECK(entries.size() <= 4096);
    for (const auto& e : entries) FUZZ_CHECK(e.offset + e.size <= file.Size());
  } catch (const seal::SealError&) {
    file.CheckAndReset(kTree);
  }
  try {
    const auto shown = seal::ReadBranding(file);
    file.CheckAndReset(kTree);
    if (shown.version) {
      for (const auto& [key, value] : shown.version->strings) {
        seal::Utf16(key);  // UTF-8 that prints as it is: throws otherwise
        seal::Utf16(value);
      }
    }
  } catch (const seal::SealError&) {
    file.CheckAndReset(kTree);
  }
  // The player checks, on the file as a player and on the player it carries.
  const auto player = seal::ReadPlayer(file);
  file.CheckAndReset(kTree);
  FUZZ_CHECK(player.size == file.Size() && player.problem.has_value() == player.kind.empty());
  const auto problem = seal::ImageProblem(file);
  file.CheckAndReset(kTree);
  try {
    if (const auto table = seal::CertificateTable(file); table && !problem) {
      FUZZ_CHECK(table->offset + table->size <= file.Size());
    }
  } catch (const seal::SealError&) {
    FUZZ_CHECK(problem.has_value());
  }
  file.CheckAndReset(kHeaders);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CountingSource file({data, size});
  CheckResources(file);
  seal::LauncherFacts facts;
  try {
    facts = seal::ReadLauncher(file);
    file.CheckAndReset(kHeaders);
    FUZZ_CHECK(facts.playerOffset + facts.playerSize <= size);
    FUZZ_CHECK(facts.recordOffset + 24 <= size);
    FUZZ_CHECK(facts.sectionsEnd <= size);
  } catch (const seal::SealError&) {
    file.CheckAndReset(kHeaders);
    return 0;
  }
  seal::SealProblem(file);
  file.CheckAndReset(kHeaders);
  seal::PackageSealProblem(file);
  file.CheckAndReset(kHeaders);
  std::vector<std::uint8_t> copy(data, data + size);
  try {
    seal::Seal(copy);
  } catch (const seal::SealError&) {
  }
  if (seal::ImageProblem(file)) return 0;

  const std::span<const std::uint8_t> launcher(data, size);
  std::vector<std::uint8_t> branded;
  try {
    branded = seal::Brand(launcher, TestBranding());
  } catch (const seal::SealError&) {
    return 0;
  }
  const seal::MemorySource out(branded);
  const auto after = seal::ReadLauncher(out);
  FUZZ_CHECK(after.playerSize == facts.playerSize);
  FUZZ_CHECK(std::equal(data + facts.playerOffset, data + facts.playerOffset + facts.playerSize,
                        branded.begin() + static_cast<std::ptrdiff_t>(after.playerOffset)));
  FUZZ_CHECK(Unbranded(seal::MemorySource(launcher)) == Unbranded(out));
  const auto shown = seal::ReadBranding(out);
  FUZZ_CHECK(seal::DescribeIcon(shown.icon) == "16x16 32-bit");
  FUZZ_CHECK(shown.version && shown.version->strings == TestBranding().version->strings);

  // Another player in its place: sealed for it, carried byte for byte.
  static const std::vector<std::uint8_t> other(3'001, 0x5A);
  const seal::MemorySource otherFile(other);
  seal::Branding swap;
  swap.player = &otherFile;
  // The resources kept (icons and version too, here) may be ones the
  // writer refuses, two of one type, name and language, say.
  std::vector<std::uint8_t> swapped;
  try {
    swapped = seal::Brand(launcher, swap);
  } catch (const seal::SealError&) {
    return 0;
  }
  const seal::MemorySource carried(swapped);
  const auto now = seal::ReadLauncher(carried);
  FUZZ_CHECK(now.playerSize == other.size() && !seal::SealProblem(carried));
  FUZZ_CHECK(std::equal(other.begin(), other.end(),
                        swapped.begin() + static_cast<std::ptrdiff_t>(now.playerOffset)));
  seal::ReadPlayer(seal::RangeSource(carried, now.playerOffset, now.playerSize));
  return 0;
}
