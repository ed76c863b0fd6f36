#include "seal/launcher_image.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "seal/seal_record.h"

namespace turv::seal {

namespace {

constexpr std::uint32_t kRcData = 10;
constexpr std::size_t kScanBlock = 64 * 1024;
// The most sections the Windows loader takes.
constexpr std::uint32_t kMaxSections = 96;

std::uint32_t Le(std::span<const std::uint8_t> b, std::size_t at, int width) {
  std::uint32_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

std::uint32_t ReadLe(const ByteSource& file, std::uint64_t offset, int width) {
  std::array<std::uint8_t, 4> bytes{};
  if (offset + static_cast<std::uint64_t>(width) > file.Size()) {
    throw SealError("not a Windows program: its headers are cut short");
  }
  file.Read(offset, std::span(bytes).first(static_cast<std::size_t>(width)));
  return Le(bytes, 0, width);
}

struct Section {
  std::uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
  std::uint64_t RawEnd() const { return std::uint64_t{rawOffset} + rawSize; }
};

struct Headers {
  std::vector<Section> sections;
  std::uint32_t resourceRva = 0;
  std::uint64_t checksumOffset = 0;
};

Headers ReadHeaders(const ByteSource& file) {
  if (file.Size() < 64 || ReadLe(file, 0, 2) != 0x5A4D) {
    throw SealError("not a Windows program (no MZ header)");
  }
  const std::uint64_t pe = ReadLe(file, 0x3C, 4);
  if (ReadLe(file, pe, 4) != 0x00004550) throw SealError("not a Windows program (no PE header)");
  const std::uint32_t sectionCount = ReadLe(file, pe + 6, 2);
  const std::uint32_t optionalSize = ReadLe(file, pe + 20, 2);
  const std::uint64_t optional = pe + 24;
  const std::uint32_t magic = ReadLe(file, optional, 2);
  if (magic != 0x10B && magic != 0x20B) throw SealError("not a Windows program (unknown header)");
  const std::uint64_t directories = optional + (magic == 0x10B ? 96 : 112);
  const std::uint32_t directoryCount = ReadLe(file, directories - 4, 4);

  Headers headers;
  headers.checksumOffset = optional + 64;
  if (directoryCount > 2) headers.resourceRva = ReadLe(file, directories + 2 * 8, 4);
  // What the Windows loader refuses is refused here too; it also bounds the
  // marker search to one pass over the file, whatever the headers say.
  if (sectionCount > kMaxSections) {
    throw SealError("the program has " + std::to_string(sectionCount) +
                    " sections; Windows loads at most " + std::to_string(kMaxSections));
  }
  const std::uint64_t table = optional + optionalSize;
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    const std::uint64_t at = table + std::uint64_t{i} * 40;
    const Section s{ReadLe(file, at + 12, 4), ReadLe(file, at + 8, 4), ReadLe(file, at + 16, 4),
                    ReadLe(file, at + 20, 4)};
    if (s.rawSize != 0 && s.RawEnd() > file.Size()) {
      throw SealError("section " + std::to_string(i + 1) + " runs past the end of the file");
    }
    headers.sections.push_back(s);
  }
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < headers.sections.size(); ++i) {
    if (headers.sections[i].rawSize != 0) order.push_back(i);
  }
  const auto& sections = headers.sections;
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return sections[a].rawOffset < sections[b].rawOffset;
  });
  for (std::size_t k = 1; k < order.size(); ++k) {
    if (sections[order[k - 1]].RawEnd() > sections[order[k]].rawOffset) {
      const auto [first, second] = std::minmax(order[k - 1], order[k]);
      throw SealError("sections " + std::to_string(first + 1) + " and " +
                      std::to_string(second + 1) + " overlap in the file");
    }
  }
  return headers;
}

const Section* SectionOf(const Headers& headers, std::uint32_t rva) {
  for (const Section& s : headers.sections) {
    const std::uint32_t extent = std::max(s.virtualSize, s.rawSize);
    if (rva >= s.virtualAddress && rva - s.virtualAddress < extent) return &s;
  }
  return nullptr;
}

std::uint64_t OffsetOf(const Headers& headers, std::uint32_t rva) {
  const Section* s = SectionOf(headers, rva);
  if (s == nullptr || rva - s->virtualAddress >= s->rawSize) {
    throw SealError("damaged resources: an address outside the file");
  }
  return std::uint64_t{s->rawOffset} + (rva - s->virtualAddress);
}

// The directory entry with the given integer id, as an offset into the
// resource section (with the subdirectory bit); nothing when absent. The
// entries are read in one piece: a directory may claim 65,535 of them.
std::optional<std::uint32_t> FindEntry(const ByteSource& file, std::uint64_t base,
                                       std::uint32_t directory, std::optional<std::uint32_t> id) {
  const std::uint64_t at = base + directory;
  const std::uint32_t named = ReadLe(file, at + 12, 2);
  const std::uint32_t ids = ReadLe(file, at + 14, 2);
  const std::uint64_t first = at + 16 + std::uint64_t{named} * 8;
  if (first > file.Size()) throw SealError("not a Windows program: its headers are cut short");
  std::vector<std::uint8_t> entries(static_cast<std::size_t>(
      std::min<std::uint64_t>(std::uint64_t{ids} * 8, file.Size() - first)));
  if (!entries.empty()) file.Read(first, entries);
  for (std::size_t entry = 0; entry < std::size_t{ids} * 8; entry += 8) {
    if (entry + 8 > entries.size()) {
      throw SealError("not a Windows program: its headers are cut short");
    }
    if (!id || Le(entries, entry, 4) == *id) return Le(entries, entry + 4, 4);
  }
  return std::nullopt;
}

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
std::vector<std::uint64_t> FindMarker(const ByteSource& file, const Headers& headers,
                                      const Section* resources) {
  std::vector<std::uint64_t> found;
  std::vector<std::uint8_t> block(kScanBlock + sizeof kMarker - 1);
  for (const Section& s : headers.sections) {
    if (&s == resources) continue;
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

}  // namespace

void MemorySource::Read(std::uint64_t offset, std::span<std::uint8_t> into) const {
  if (offset > bytes_.size() || into.size() > bytes_.size() - offset) {
    throw SealError("read past the end of the file");
  }
  std::memcpy(into.data(), bytes_.data() + offset, into.size());
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
  const Headers headers = ReadHeaders(file);
  LauncherFacts facts;
  facts.checksumOffset = headers.checksumOffset;
  for (const Section& s : headers.sections) {
    // Windows ignores where a section without bytes in the file would start.
    if (s.rawSize != 0) facts.sectionsEnd = std::max(facts.sectionsEnd, s.RawEnd());
  }
  if (headers.resourceRva == 0)
    throw SealError("no player resource (the program has no resources)");
  const Section* resources = SectionOf(headers, headers.resourceRva);
  const std::uint64_t base = OffsetOf(headers, headers.resourceRva);

  const std::uint32_t types = 0;
  const std::uint32_t names = Subdirectory(FindEntry(file, base, types, kRcData), "RCDATA");
  const std::uint32_t languages =
      Subdirectory(FindEntry(file, base, names, kPlayerResourceId), "RCDATA 1000");
  const auto leaf = FindEntry(file, base, languages, std::nullopt);
  if (!leaf || (*leaf & 0x80000000u) != 0)
    throw SealError("no player resource (no data for RCDATA 1000)");
  const std::uint32_t dataRva = ReadLe(file, base + *leaf, 4);
  facts.playerSize = ReadLe(file, base + *leaf + 4, 4);
  facts.playerOffset = OffsetOf(headers, dataRva);
  if (facts.playerOffset + facts.playerSize > file.Size()) {
    throw SealError("damaged resources: the player resource runs past the end of the file");
  }

  const auto markers = FindMarker(file, headers, resources);
  if (markers.empty()) throw SealError("no seal record: not a turv launcher");
  if (markers.size() > 1) throw SealError("more than one seal record");
  facts.recordOffset = markers.front();
  facts.imageLessPlayer = ReadLe(file, facts.recordOffset + 16, 4);
  const std::uint32_t check = ReadLe(file, facts.recordOffset + 20, 4);
  facts.sealed = facts.imageLessPlayer != 0 && check == ~facts.imageLessPlayer;
  return facts;
}

std::optional<std::string> SealProblem(const ByteSource& file) {
  const LauncherFacts facts = ReadLauncher(file);
  if (!facts.sealed) return "the launcher is not sealed";
  if (facts.ImageSize() != file.Size()) {
    return "the sealed image size " + std::to_string(facts.ImageSize()) +
           " does not match the file size " + std::to_string(file.Size());
  }
  return std::nullopt;
}

std::optional<std::string> PackageSealProblem(const ByteSource& package) {
  const LauncherFacts facts = ReadLauncher(package);
  if (!facts.sealed) return "the launcher is not sealed";
  if (facts.ImageSize() > package.Size()) {
    return "the sealed image size " + std::to_string(facts.ImageSize()) +
           " lies beyond the end of the package";
  }
  if (facts.ImageSize() < facts.sectionsEnd) {
    return "the sealed image size " + std::to_string(facts.ImageSize()) +
           " cuts the launcher's own sections short";
  }
  return std::nullopt;
}

std::uint32_t PeChecksum(std::span<const std::uint8_t> file, std::uint64_t checksumOffset) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < file.size(); i += 2) {
    if (i == checksumOffset || i == checksumOffset + 2) continue;
    std::uint32_t word = file[i];
    if (i + 1 < file.size()) word |= std::uint32_t{file[i + 1]} << 8;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint32_t>(sum + file.size());
}

void Seal(std::span<std::uint8_t> file) {
  const MemorySource source(file);
  const LauncherFacts facts = ReadLauncher(source);
  if (file.size() <= facts.playerSize || file.size() - facts.playerSize > 0xFFFFFFFFu) {
    throw SealError("the file is no larger than its player resource");
  }
  const auto value = static_cast<std::uint32_t>(file.size() - facts.playerSize);
  const std::uint32_t check = ~value;
  for (int i = 0; i < 4; ++i) {
    file[facts.recordOffset + 16 + static_cast<std::size_t>(i)] =
        static_cast<std::uint8_t>(value >> (8 * i));
    file[facts.recordOffset + 20 + static_cast<std::size_t>(i)] =
        static_cast<std::uint8_t>(check >> (8 * i));
  }
  // Always renewed: signing tools and scanners read it, and a field the
  // linker left at 0 would otherwise stay wrong.
  const std::uint32_t sum = PeChecksum(file, facts.checksumOffset);
  for (int i = 0; i < 4; ++i) {
    file[facts.checksumOffset + static_cast<std::size_t>(i)] =
        static_cast<std::uint8_t>(sum >> (8 * i));
  }
}

}  // namespace turv::seal
