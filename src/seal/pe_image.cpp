// The one reader of program file headers and resource trees in src/seal:
// portable, reading through a ByteSource, trusting nothing the bytes claim.
#include "seal/pe_image.h"

#include <algorithm>
#include <array>
#include <span>

namespace turv::seal {

namespace {

// The most sections the Windows loader takes.
constexpr std::uint32_t kMaxSections = 96;
constexpr std::uint32_t kSubfolder = 0x80000000u;
constexpr std::size_t kMaxResources = 4096;
// Folders may share subfolders and names: bounds the work and the memory a
// hostile tree can ask for.
constexpr std::size_t kMaxTreeEntries = 65536;
constexpr std::size_t kMaxNameCharacters = std::size_t{1} << 20;

std::uint64_t Le(std::span<const std::uint8_t> b, std::size_t at, int width) {
  std::uint64_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

std::uint32_t Le32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(Le(b, at, 4));
}

std::uint64_t AlignUp(std::uint64_t v, std::uint64_t to) {
  return (v + to - 1) / to * to;
}

std::string Named(const PeSection& s) {
  return "section " + (s.name.empty() ? std::string("(unnamed)") : s.name);
}

std::size_t Characters(const ResourceKey& key) {
  return std::holds_alternative<std::u16string>(key) ? std::get<std::u16string>(key).size() : 0;
}

}  // namespace

std::uint64_t ReadLe(const ByteSource& file, std::uint64_t offset, int width) {
  std::array<std::uint8_t, 8> bytes{};
  if (offset > file.Size() || static_cast<std::uint64_t>(width) > file.Size() - offset) {
    throw SealError("not a Windows program: its headers are cut short");
  }
  file.Read(offset, std::span(bytes).first(static_cast<std::size_t>(width)));
  return Le(bytes, 0, width);
}

const PeDirectory* PeHeaders::Dir(std::size_t index) const {
  return index < directories.size() && directories[index].size != 0 ? &directories[index] : nullptr;
}

const PeSection* PeHeaders::Holding(std::uint64_t rva, std::uint64_t size) const {
  // A section without bytes in the file holds none, not even an empty
  // range: its raw offset means nothing.
  for (const PeSection& s : sections) {
    if (s.mapped != 0 && rva >= s.virtualAddress &&
        rva + size <= std::uint64_t{s.virtualAddress} + s.mapped) {
      return &s;
    }
  }
  return nullptr;
}

std::uint64_t PeHeaders::FileOffset(std::uint64_t rva, std::uint64_t size, const char* what) const {
  const PeSection* s = Holding(rva, size);
  if (s == nullptr) {
    throw SealError(std::string("damaged ") + what + ": an address outside the file");
  }
  return s->rawOffset + (rva - s->virtualAddress);
}

PeHeaders ReadHeaders(const ByteSource& file) {
  if (file.Size() < 64 || ReadLe(file, 0, 2) != 0x5A4D) {
    throw SealError("not a Windows program (no MZ header)");
  }
  const std::uint64_t pe = ReadLe(file, 0x3C, 4);
  if (ReadLe(file, pe, 4) != 0x00004550) throw SealError("not a Windows program (no PE header)");
  PeHeaders h;
  h.machine = static_cast<std::uint16_t>(ReadLe(file, pe + 4, 2));
  h.characteristics = static_cast<std::uint16_t>(ReadLe(file, pe + 22, 2));
  // What the loader refuses is refused here too; it also bounds the seal
  // record's search to one pass over the file, whatever the headers say.
  const auto count = static_cast<std::uint32_t>(ReadLe(file, pe + 6, 2));
  if (count == 0 || count > kMaxSections) {
    throw SealError("the program has " + std::to_string(count) + " sections; Windows loads " +
                    (count == 0 ? "at least 1" : "at most " + std::to_string(kMaxSections)));
  }
  const std::uint64_t optionalSize = ReadLe(file, pe + 20, 2);
  h.optional = pe + 24;
  const std::uint64_t magic = ReadLe(file, h.optional, 2);
  if (magic != 0x10B && magic != 0x20B) throw SealError("not a Windows program (unknown header)");
  h.plus = magic == 0x20B;
  h.imageBase = h.plus ? ReadLe(file, h.optional + 24, 8) : ReadLe(file, h.optional + 28, 4);
  h.sectionAlignment = static_cast<std::uint32_t>(ReadLe(file, h.optional + 32, 4));
  h.fileAlignment = static_cast<std::uint32_t>(ReadLe(file, h.optional + 36, 4));
  h.sizeOfImage = static_cast<std::uint32_t>(ReadLe(file, h.optional + 56, 4));
  h.sizeOfHeaders = static_cast<std::uint32_t>(ReadLe(file, h.optional + 60, 4));
  h.subsystem = static_cast<std::uint16_t>(ReadLe(file, h.optional + 68, 2));
  const auto powerOfTwo = [](std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; };
  if (!powerOfTwo(h.fileAlignment) || !powerOfTwo(h.sectionAlignment) ||
      h.sectionAlignment < h.fileAlignment) {
    throw SealError("not a Windows program: its section and file alignments do not fit");
  }
  const std::uint64_t directories = h.optional + (h.plus ? 112 : 96);
  const std::uint64_t directoryCount =
      std::min<std::uint64_t>(ReadLe(file, directories - 4, 4), 16);
  if (directories + directoryCount * 8 > h.optional + optionalSize) {
    throw SealError("not a Windows program: its data directories run past its header");
  }
  for (std::uint64_t i = 0; i < directoryCount; ++i) {
    const std::uint64_t at = directories + i * 8;
    h.directories.push_back({at, static_cast<std::uint32_t>(ReadLe(file, at, 4)),
                             static_cast<std::uint32_t>(ReadLe(file, at + 4, 4))});
  }

  const std::uint64_t table = h.optional + optionalSize;
  h.tableEnd = table + std::uint64_t{count} * 40;
  if (h.tableEnd > file.Size()) throw SealError("not a Windows program: its headers are cut short");
  std::vector<std::uint8_t> headers(count * 40);
  file.Read(table, headers);
  for (std::uint32_t i = 0; i < count; ++i) {
    const auto header = std::span<const std::uint8_t>(headers).subspan(i * 40, 40);
    PeSection s;
    s.at = table + std::uint64_t{i} * 40;
    s.name.assign(header.begin(), std::find(header.begin(), header.begin() + 8, 0));
    s.virtualSize = Le32(header, 8);
    s.virtualAddress = Le32(header, 12);
    s.rawSize = Le32(header, 16);
    s.rawOffset = Le32(header, 20);
    s.characteristics = Le32(header, 36);
    s.mapped = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(s.rawSize, AlignUp(s.Extent(), h.sectionAlignment)));
    if (s.rawSize != 0 && s.RawEnd() > file.Size()) {
      throw SealError("section " + std::to_string(i + 1) + " runs past the end of the file");
    }
    h.sections.push_back(std::move(s));
  }
  // Windows ignores where a section without bytes in the file would start.
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < h.sections.size(); ++i) {
    if (h.sections[i].rawSize != 0) order.push_back(i);
  }
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return h.sections[a].rawOffset < h.sections[b].rawOffset;
  });
  for (std::size_t k = 1; k < order.size(); ++k) {
    if (h.sections[order[k - 1]].RawEnd() > h.sections[order[k]].rawOffset) {
      const auto [first, second] = std::minmax(order[k - 1], order[k]);
      throw SealError("sections " + std::to_string(first + 1) + " and " +
                      std::to_string(second + 1) + " overlap in the file");
    }
  }
  return h;
}

std::optional<std::string> LayoutProblem(const ByteSource& file, const PeHeaders& h) {
  if (h.sizeOfHeaders < h.tableEnd || h.sizeOfHeaders % h.fileAlignment != 0 ||
      h.sizeOfHeaders > file.Size()) {
    return "the header size " + std::to_string(h.sizeOfHeaders) + " does not fit its headers";
  }
  std::uint64_t memoryEnd = AlignUp(h.sizeOfHeaders, h.sectionAlignment);
  std::uint64_t fileEnd = h.sizeOfHeaders;
  for (const PeSection& s : h.sections) {
    if (s.virtualAddress % h.sectionAlignment != 0 || s.virtualAddress < memoryEnd) {
      return Named(s) + " is not aligned or overlaps the one before it in memory";
    }
    memoryEnd = AlignUp(std::uint64_t{s.virtualAddress} + s.Extent(), h.sectionAlignment);
    if (s.rawSize == 0) continue;
    // The loader rounds a raw size up to the file alignment (the linker
    // leaves the resources' unrounded), but not an offset.
    if (s.rawOffset % h.fileAlignment != 0 || s.rawOffset < fileEnd) {
      return Named(s) + " is not aligned or overlaps the one before it in the file";
    }
    fileEnd = s.RawEnd();
  }
  if (h.sizeOfImage != memoryEnd) {
    return "the image size " + std::to_string(h.sizeOfImage) + " is not the sections' end " +
           std::to_string(memoryEnd);
  }
  for (std::size_t i = 0; i < h.directories.size(); ++i) {
    const PeDirectory& d = h.directories[i];
    if (d.size == 0) continue;
    if (i == kSecurityDirectory) {
      if (d.address < fileEnd || std::uint64_t{d.address} + d.size > file.Size()) {
        return std::string("the certificate table lies inside the sections or past the file's end");
      }
      continue;
    }
    // The loader takes a directory at address 0 for none; one in the
    // headers (bound imports) is mapped with them.
    if (d.address == 0 || std::uint64_t{d.address} + d.size <= h.sizeOfHeaders) continue;
    const bool inside = std::any_of(h.sections.begin(), h.sections.end(), [&](const auto& s) {
      return d.address >= s.virtualAddress &&
             std::uint64_t{d.address} + d.size <= s.virtualAddress + s.Extent();
    });
    if (!inside) return "data directory " + std::to_string(i) + " lies outside the sections";
  }
  return std::nullopt;
}

ResourceTree::ResourceTree(const ByteSource& file, const PeHeaders& headers,
                           const PeSection& section, std::uint64_t base)
    : file_(&file), headers_(&headers), section_(&section), base_(base) {}

std::optional<ResourceTree> ResourceTree::Of(const ByteSource& file, const PeHeaders& headers) {
  if (headers.directories.size() <= kResourceDirectory) return std::nullopt;
  const std::uint32_t address = headers.directories[kResourceDirectory].address;
  if (address == 0) return std::nullopt;
  const PeSection* s = headers.Holding(address, 16);
  if (s == nullptr) throw SealError("damaged resources: the tree lies outside the file");
  return ResourceTree(file, headers, *s, s->rawOffset + (address - s->virtualAddress));
}

std::vector<std::uint8_t> ResourceTree::Bytes(std::uint64_t offset, std::uint64_t size) const {
  // The section's raw range lies within the file (ReadHeaders checked it);
  // only its mapped part is the tree's.
  if (base_ + offset + size > std::uint64_t{section_->rawOffset} + section_->mapped) {
    throw SealError("damaged resources: the tree points outside its section");
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!bytes.empty()) file_->Read(base_ + offset, bytes);
  return bytes;
}

std::vector<ResourceTree::Entry> ResourceTree::Folder(std::uint32_t offset,
                                                      std::size_t& named) const {
  const auto head = Bytes(offset, 16);
  named = static_cast<std::size_t>(Le(head, 12, 2));
  const std::size_t count = named + static_cast<std::size_t>(Le(head, 14, 2));
  const auto raw = Bytes(std::uint64_t{offset} + 16, std::uint64_t{count} * 8);
  std::vector<Entry> entries(count);
  for (std::size_t i = 0; i < count; ++i) entries[i] = {Le32(raw, 8 * i), Le32(raw, 8 * i + 4)};
  return entries;
}

std::optional<std::uint32_t> ResourceTree::Find(std::uint32_t folder,
                                                std::optional<std::uint16_t> id) const {
  std::size_t named = 0;
  const auto entries = Folder(folder, named);
  for (std::size_t i = named; i < entries.size(); ++i) {
    if (!id || entries[i].key == *id) return entries[i].target;
  }
  return std::nullopt;
}

ResourceEntry ResourceTree::Data(std::uint32_t offset) const {
  const auto raw = Bytes(offset, 12);
  ResourceEntry entry;
  entry.size = Le32(raw, 4);
  entry.codePage = Le32(raw, 8);
  entry.offset = headers_->FileOffset(Le32(raw, 0), entry.size, "resources");
  return entry;
}

ResourceKey ResourceTree::Key(std::uint32_t field, std::size_t& characters) const {
  if ((field & kSubfolder) == 0) {
    if (field > 0xFFFF) throw SealError("damaged resources: an id beyond 65535");
    return static_cast<std::uint16_t>(field);
  }
  const std::uint32_t at = field & ~kSubfolder;
  const auto length = static_cast<std::size_t>(Le(Bytes(at, 2), 0, 2));
  characters += length;
  if (characters > kMaxNameCharacters) throw SealError("damaged resources: names too long");
  const auto raw = Bytes(std::uint64_t{at} + 2, std::uint64_t{length} * 2);
  std::u16string name(length, u'\0');
  for (std::size_t i = 0; i < length; ++i) name[i] = static_cast<char16_t>(Le(raw, 2 * i, 2));
  return name;
}

std::vector<ResourceEntry> ResourceTree::List() const {
  std::size_t visited = 0;
  std::size_t characters = 0;
  // A folder's keys and targets: subfolders on the first two levels, data
  // entries on the third.
  const auto folder = [&](std::uint32_t offset, bool subfolders) {
    std::size_t named = 0;
    const auto entries = Folder(offset, named);
    visited += entries.size();
    if (visited > kMaxTreeEntries) throw SealError("damaged resources: too many entries");
    std::vector<std::pair<ResourceKey, std::uint32_t>> keyed;
    for (const Entry& e : entries) {
      if (((e.target & kSubfolder) != 0) != subfolders) {
        throw SealError("damaged resources: the tree is not three levels deep");
      }
      keyed.emplace_back(Key(e.key, characters), e.target & ~kSubfolder);
    }
    return keyed;
  };
  std::vector<ResourceEntry> all;
  for (const auto& [type, names] : folder(0, true)) {
    for (const auto& [name, languages] : folder(names, true)) {
      for (const auto& [language, data] : folder(languages, false)) {
        if (!std::holds_alternative<std::uint16_t>(language)) {
          throw SealError("damaged resources: a language given by name");
        }
        if (all.size() == kMaxResources) throw SealError("damaged resources: too many");
        // Each resource carries its own copy of the names.
        characters += Characters(type) + Characters(name);
        if (characters > kMaxNameCharacters) throw SealError("damaged resources: names too long");
        ResourceEntry entry = Data(data);
        entry.type = type;
        entry.name = name;
        entry.language = std::get<std::uint16_t>(language);
        all.push_back(std::move(entry));
      }
    }
  }
  return all;
}

}  // namespace turv::seal
