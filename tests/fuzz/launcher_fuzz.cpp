// The launcher-image and seal reader on any program file: it refuses with a
// SealError or hands out facts that lie within the file, and whatever the
// headers claim, it reads the file about once (the sections' bytes once, the
// headers and three resource folders besides), never once per section.
#include <cstdint>
#include <vector>

#include "check.h"
#include "seal/launcher_image.h"

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
  // What one reader call may read: each section's bytes once (and the
  // marker's length again per 64 KiB block), the headers, and three resource
  // folders each no larger than the file.
  void CheckAndReset() {
    FUZZ_CHECK(read_ <= 4 * Size() + 16 * 1024);
    read_ = 0;
  }

 private:
  seal::MemorySource inner_;
  mutable std::uint64_t read_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CountingSource file({data, size});
  try {
    const seal::LauncherFacts facts = seal::ReadLauncher(file);
    file.CheckAndReset();
    FUZZ_CHECK(facts.playerOffset + facts.playerSize <= size);
    FUZZ_CHECK(facts.recordOffset + 24 <= size);
    FUZZ_CHECK(facts.sectionsEnd <= size);
  } catch (const seal::SealError&) {
    file.CheckAndReset();
    return 0;
  }
  for (const auto& problem : {seal::SealProblem(file), seal::PackageSealProblem(file)}) {
    file.CheckAndReset();
    (void)problem;
  }
  std::vector<std::uint8_t> copy(data, data + size);
  try {
    seal::Seal(copy);
  } catch (const seal::SealError&) {
  }
  return 0;
}
