// The seal reader: finds a launcher's player resource and seal record, and
// seals it. Portable; it reads the file only through a ByteSource.
#include "seal/launcher_image.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#include "seal/pe_image.h"
#include "seal/seal_record.h"

namespace turv::seal {

namespace {

constexpr std::size_t kScanBlock = 64 * 1024;
// Blocks even in size keep every word on one side.
constexpr std::uint64_t kChecksumBlock = 1 << 20;

std::uint32_t Subdirectory(std::optional<std::uint32_t> entry, const char* what) {
  if (!entry) throw SealError(std::string("no player resource (") + what + " missing)");
  if ((*entry & 0x80000000u) == 0)
    throw SealError("damaged resources: a leaf where a folder was due");
  return *entry & 0x7FFFFFFFu;
}

// Offsets in the file where the marker starts, in the sections other than
// the resources (the player there may be a launcher too); two at most, as
// a second one already settles it. The sections' raw ranges lie within the
// file and do not overlap, so each byte is read once, but for the 15 bytes
// each block reads beyond its end to hold a marker that starts in it (one
// starting later cannot end within the block: the next block finds it).
std::vector<std::uint64_t> FindMarker(const ByteSource& file, const PeHeaders& headers,
                                      const PeSection& resources) {
  std::vector<std::uint64_t> found;
  std::vector<std::uint8_t> block(kScanBlock + sizeof kMarker - 1);
  for (const PeSection& s : headers.sections) {
    if (&s == &resources) continue;
    for (std::uint64_t at = s.rawOffset; at < s.RawEnd(); at += kScanBlock) {
      const auto n =
          static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), s.RawEnd() - at));
      file.Read(at, std::span(block).first(n));
      const auto hit_end = block.begin() + static_cast<std::ptrdiff_t>(n);
      for (auto hit = block.begin();
           (hit = std::search(hit, hit_end, std::begin(kMarker), std::end(kMarker))) != hit_end;
           ++hit) {
        found.push_back(at + static_cast<std::uint64_t>(hit - block.begin()));
        if (found.size() == 2) return found;
      }
    }
  }
  return found;
}

// The count 32-bit little-endian numbers at p added up: each leaves, modulo
// 0xFFFF, what its two 16-bit halves do. A plain loop of 32-bit loads, which
// the compiler vectorizes.
std::uint64_t AddedUp(const std::uint8_t* p, std::size_t count) {
  std::uint64_t sum = 0;
  for (std::size_t k = 0; k < count; ++k) {
    std::uint32_t word = 0;
    std::memcpy(&word, p + 4 * k, sizeof word);
    if constexpr (std::endian::native != std::endian::little) word = __builtin_bswap32(word);
    sum += word;
  }
  return sum;
}

}  // namespace

void MemorySource::Read(std::uint64_t offset, std::span<std::uint8_t> into) const {
  if (offset > bytes_.size() || into.size() > bytes_.size() - offset) {
    throw SealError("read past the end of the file");
  }
  // An empty resource is read as nothing: memcpy takes no null pointer.
  if (!into.empty()) std::memcpy(into.data(), bytes_.data() + offset, into.size());
}

void RangeSource::Read(std::uint64_t offset, std::span<std::uint8_t> into) const {
  if (offset > size_ || into.size() > size_ - offset)
    throw SealError("read past the end of the file");
  file_->Read(offset_ + offset, into);
}

FileSource::FileSource(const std::filesystem::path& path) : stream_(path, std::ios::binary) {
  if (!stream_) throw SealError("cannot open " + path.string());
  stream_.seekg(0, std::ios::end);
  size_ = static_cast<std::uint64_t>(stream_.tellg());
}

void FileSource::Read(std::uint64_t offset, std::span<std::uint8_t> into) const {
  if (offset > size_ || into.size() > size_ - offset)
    throw SealError("read past the end of the file");
  stream_.clear();
  stream_.seekg(static_cast<std::streamoff>(offset));
  stream_.read(reinterpret_cast<char*>(into.data()), static_cast<std::streamsize>(into.size()));
  if (static_cast<std::size_t>(stream_.gcount()) != into.size()) throw SealError("read error");
}

LauncherFacts ReadLauncher(const ByteSource& file) {
  const PeHeaders headers = ReadHeaders(file);
  LauncherFacts facts;
  facts.checksumOffset = headers.ChecksumOffset();
  for (const PeSection& s : headers.sections) {
    // Windows ignores where a section without bytes in the file would start.
    if (s.rawSize != 0) facts.sectionsEnd = std::max(facts.sectionsEnd, s.RawEnd());
  }
  const auto tree = ResourceTree::Of(file, headers);
  if (!tree) throw SealError("no player resource (the program has no resources)");
  const std::uint32_t types = 0;
  const std::uint32_t names = Subdirectory(tree->Find(types, kRtRcData), "RCDATA");
  const std::uint32_t languages = Subdirectory(tree->Find(names, kPlayerResourceId), "RCDATA 1000");
  const auto leaf = tree->Find(languages, std::nullopt);
  if (!leaf || (*leaf & 0x80000000u) != 0)
    throw SealError("no player resource (no data for RCDATA 1000)");
  const ResourceEntry player = tree->Data(*leaf);
  facts.playerSize = player.size;
  facts.playerOffset = player.offset;

  const auto markers = FindMarker(file, headers, tree->Section());
  if (markers.empty()) throw SealError("no seal record: not a turv launcher");
  if (markers.size() > 1) throw SealError("more than one seal record");
  facts.recordOffset = markers.front();
  facts.imageLessPlayer = static_cast<std::uint32_t>(ReadLe(file, facts.recordOffset + 16, 4));
  const auto check = static_cast<std::uint32_t>(ReadLe(file, facts.recordOffset + 20, 4));
  facts.sealed = facts.imageLessPlayer != 0 && check == ~facts.imageLessPlayer;
  return facts;
}

std::optional<std::string> SealProblem(const ByteSource& file) {
  return SealProblem(ReadLauncher(file), file.Size());
}

std::optional<std::string> SealProblem(const LauncherFacts& facts, std::uint64_t fileSize) {
  if (!facts.sealed) return "the launcher is not sealed";
  if (facts.ImageSize() != fileSize) {
    return "the sealed image size " + std::to_string(facts.ImageSize()) +
           " does not match the file size " + std::to_string(fileSize);
  }
  return std::nullopt;
}

std::optional<std::string> PackageSealProblem(const ByteSource& package) {
  return PackageSealProblem(ReadLauncher(package), package.Size());
}

std::optional<std::string> PackageSealProblem(const LauncherFacts& facts,
                                              std::uint64_t packageSize) {
  if (!facts.sealed) return "the launcher is not sealed";
  if (facts.ImageSize() > packageSize) {
    return "the sealed image size " + std::to_string(facts.ImageSize()) +
           " lies beyond the end of the package";
  }
  // The data begin where the launcher image ends: a player swapped
  // without sealing again moves that end, but not the sealed value.
  if (facts.ImageSize() != facts.sectionsEnd) {
    return "the seal does not match the player it carries: the data would begin at " +
           std::to_string(facts.ImageSize()) + ", but the launcher image with its player of " +
           std::to_string(facts.playerSize) + " bytes ends at " + std::to_string(facts.sectionsEnd);
  }
  return std::nullopt;
}

namespace {

// A launcher in memory, as sealing patches it.
class SpanFile : public PatchableSource {
 public:
  explicit SpanFile(std::span<std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  void Read(std::uint64_t offset, std::span<std::uint8_t> into) const override {
    MemorySource(bytes_).Read(offset, into);
  }
  void Patch(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    if (offset > bytes_.size() || bytes.size() > bytes_.size() - offset) {
      throw SealError("write past the end of the file");
    }
    std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
  }

 private:
  std::span<std::uint8_t> bytes_;
};

std::array<std::uint8_t, 4> Le32(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

}  // namespace

void HeaderChecksum::Add(std::span<const std::uint8_t> bytes) {
  const std::uint64_t start = length_;
  for (std::uint64_t at = std::max(start, fieldOffset_);
       at < std::min(start + bytes.size(), fieldOffset_ + 4); ++at) {
    stored_ |= std::uint32_t{bytes[at - start]} << (8 * (at - fieldOffset_));
  }
  // The sum is linear in the bytes: a byte at an odd offset counts 256
  // times. 0x10000 leaves 1 modulo 0xFFFF, so the two words of a 32-bit
  // load add as one number, and the pieces may end anywhere.
  std::uint64_t sum = 0;
  std::size_t i = 0;
  if (start % 2 == 1 && !bytes.empty()) sum += std::uint64_t{bytes[i++]} << 8;
  const std::size_t words = (bytes.size() - i) / 4;
  sum += AddedUp(bytes.data() + i, words);
  i += 4 * words;
  for (; i < bytes.size(); ++i) sum += std::uint64_t{bytes[i]} << ((start + i) % 2 * 8);
  residue_ = (residue_ + sum % 0xFFFF) % 0xFFFF;
  length_ += bytes.size();
}

std::uint32_t HeaderChecksum::Value() const {
  // One's complement subtraction, as MapFileAndCheckSum takes the field out.
  const auto less = [](std::uint32_t sum, std::uint32_t word) {
    return sum >= word ? sum - word : sum - word + 0xFFFF;
  };
  const std::uint64_t low = stored_ & 0xFFFF, high = stored_ >> 16;
  const std::uint64_t others = (residue_ + 2 * 0xFFFF - low - high) % 0xFFFF;
  // The value the file gives with v in its field. Adding with end-around
  // carry gives the residue, 0xFFFF for 0 once any word is not 0 (a
  // program begins with "MZ"); taking the field out can give 0 or 0xFFFF
  // for a residue of 0, so both are tried for the one that holds.
  const auto gives = [&](std::uint32_t v) {
    const std::uint64_t residue = (others + (v & 0xFFFF) + (v >> 16)) % 0xFFFF;
    const auto sum = less(
        less(residue == 0 ? 0xFFFF : static_cast<std::uint32_t>(residue), v & 0xFFFF), v >> 16);
    return static_cast<std::uint32_t>(sum + length_);
  };
  const auto first = static_cast<std::uint32_t>(others == 0 ? 0xFFFF : others);
  for (const std::uint32_t sum : {first, 0u}) {
    const auto v = static_cast<std::uint32_t>(sum + length_);
    if (gives(v) == v) return v;
  }
  return static_cast<std::uint32_t>(first + length_);
}

std::uint32_t PeChecksum(std::span<const std::uint8_t> file, std::uint64_t checksumOffset) {
  HeaderChecksum sum(checksumOffset);
  sum.Add(file);
  return sum.Value();
}

std::uint32_t PeChecksum(const ByteSource& file, std::uint64_t checksumOffset) {
  HeaderChecksum sum(checksumOffset);
  std::vector<std::uint8_t> block(std::min<std::uint64_t>(file.Size(), kChecksumBlock));
  for (std::uint64_t at = 0; at < file.Size(); at += block.size()) {
    const auto chunk = std::span(block).first(
        static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), file.Size() - at)));
    file.Read(at, chunk);
    sum.Add(chunk);
  }
  return sum.Value();
}

void Seal(std::span<std::uint8_t> file) {
  SpanFile patchable(file);
  Seal(patchable);
}

void Seal(PatchableSource& file) {
  const LauncherFacts facts = ReadLauncher(file);
  if (file.Size() <= facts.playerSize || file.Size() - facts.playerSize > 0xFFFFFFFFu) {
    throw SealError("the file is no larger than its player resource");
  }
  const auto value = static_cast<std::uint32_t>(file.Size() - facts.playerSize);
  file.Patch(facts.recordOffset + 16, Le32(value));
  file.Patch(facts.recordOffset + 20, Le32(~value));
  // Always renewed: signing tools and scanners read it, and a field the
  // linker left at 0 would otherwise stay wrong.
  file.Patch(facts.checksumOffset, Le32(PeChecksum(file, facts.checksumOffset)));
}

}  // namespace turv::seal
