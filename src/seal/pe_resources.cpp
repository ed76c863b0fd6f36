#include "seal/pe_resources.h"

#include <algorithm>
#include <array>
#include <map>

namespace turv::seal {

namespace {

constexpr std::size_t kResourceDirectory = 2;
constexpr std::size_t kSecurityDirectory = 4;
constexpr std::size_t kRelocationDirectory = 5;
constexpr std::uint32_t kMaxSections = 96;  // the loader's limit
constexpr std::size_t kMaxResources = 4096;
// Directories may share subdirectories: bounds the work a hostile tree
// can ask for.
constexpr std::size_t kMaxTreeEntries = 65536;
constexpr std::uint32_t kInitialisedData = 0x40;
constexpr std::uint32_t kHighLow = 3, kDir64 = 10;  // relocation types

std::uint64_t Get(const ByteSource& file, std::uint64_t at, int width) {
  std::array<std::uint8_t, 8> bytes{};
  if (at > file.Size() || static_cast<std::uint64_t>(width) > file.Size() - at) {
    throw SealError("not a Windows program: its headers are cut short");
  }
  file.Read(at, std::span(bytes).first(static_cast<std::size_t>(width)));
  std::uint64_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | bytes[static_cast<std::size_t>(i)];
  return v;
}

void Put(std::vector<std::uint8_t>& b, std::uint64_t at, std::uint64_t v, int width = 4) {
  for (int i = 0; i < width; ++i) {
    b[at + static_cast<std::uint64_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  }
}

std::uint64_t AlignUp(std::uint64_t v, std::uint64_t to) {
  return (v + to - 1) / to * to;
}

struct SectionHeader {
  std::uint64_t at = 0;  // where its header lies in the file
  std::string name;
  std::uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawOffset = 0;
  std::uint32_t characteristics = 0;
  // The addresses it takes in memory: the loader uses the raw size when
  // the virtual size is 0.
  std::uint64_t Extent() const { return virtualSize != 0 ? virtualSize : rawSize; }
};

struct Directory {
  std::uint64_t at = 0;  // where the entry lies in the file
  std::uint32_t address = 0, size = 0;
};

struct Headers {
  std::uint64_t optional = 0;
  bool plus = false;  // PE32+
  std::uint64_t imageBase = 0;
  std::uint32_t sectionAlignment = 0, fileAlignment = 0, sizeOfImage = 0, sizeOfHeaders = 0;
  std::uint64_t tableEnd = 0;
  std::vector<Directory> directories;
  std::vector<SectionHeader> sections;

  const Directory* Dir(std::size_t index) const {
    return index < directories.size() && directories[index].size != 0 ? &directories[index]
                                                                      : nullptr;
  }
  // The section holding the addresses [rva, rva + size) in its raw bytes.
  const SectionHeader* Holding(std::uint64_t rva, std::uint64_t size) const {
    for (const SectionHeader& s : sections) {
      if (rva >= s.virtualAddress && rva + size <= std::uint64_t{s.virtualAddress} + s.rawSize) {
        return &s;
      }
    }
    return nullptr;
  }
  std::uint64_t FileOffset(std::uint64_t rva, std::uint64_t size, const char* what) const {
    const SectionHeader* s = Holding(rva, size);
    if (s == nullptr)
      throw SealError(std::string("damaged ") + what + ": an address outside the file");
    return s->rawOffset + (rva - s->virtualAddress);
  }
};

Headers ReadHeaders(const ByteSource& file) {
  if (file.Size() < 64 || Get(file, 0, 2) != 0x5A4D) {
    throw SealError("not a Windows program (no MZ header)");
  }
  const std::uint64_t pe = Get(file, 0x3C, 4);
  if (Get(file, pe, 4) != 0x00004550) throw SealError("not a Windows program (no PE header)");
  const auto count = static_cast<std::uint32_t>(Get(file, pe + 6, 2));
  const std::uint64_t optionalSize = Get(file, pe + 20, 2);
  if (count == 0 || count > kMaxSections) {
    throw SealError("not a Windows program: " + std::to_string(count) +
                    " sections, where the loader takes 1 to 96");
  }
  Headers h;
  h.optional = pe + 24;
  const std::uint64_t magic = Get(file, h.optional, 2);
  if (magic != 0x10B && magic != 0x20B) throw SealError("not a Windows program (unknown header)");
  h.plus = magic == 0x20B;
  h.imageBase = h.plus ? Get(file, h.optional + 24, 8) : Get(file, h.optional + 28, 4);
  h.sectionAlignment = static_cast<std::uint32_t>(Get(file, h.optional + 32, 4));
  h.fileAlignment = static_cast<std::uint32_t>(Get(file, h.optional + 36, 4));
  h.sizeOfImage = static_cast<std::uint32_t>(Get(file, h.optional + 56, 4));
  h.sizeOfHeaders = static_cast<std::uint32_t>(Get(file, h.optional + 60, 4));
  const auto powerOfTwo = [](std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; };
  if (!powerOfTwo(h.fileAlignment) || !powerOfTwo(h.sectionAlignment) ||
      h.sectionAlignment < h.fileAlignment) {
    throw SealError("not a Windows program: its section and file alignments do not fit");
  }
  const std::uint64_t directories = h.optional + (h.plus ? 112 : 96);
  const std::uint64_t directoryCount = std::min<std::uint64_t>(Get(file, directories - 4, 4), 16);
  if (directories + directoryCount * 8 > h.optional + optionalSize) {
    throw SealError("not a Windows program: its data directories run past its header");
  }
  for (std::uint64_t i = 0; i < directoryCount; ++i) {
    const std::uint64_t at = directories + i * 8;
    h.directories.push_back({at, static_cast<std::uint32_t>(Get(file, at, 4)),
                             static_cast<std::uint32_t>(Get(file, at + 4, 4))});
  }
  const std::uint64_t table = h.optional + optionalSize;
  for (std::uint32_t i = 0; i < count; ++i) {
    SectionHeader s;
    s.at = table + std::uint64_t{i} * 40;
    std::array<std::uint8_t, 8> name{};
    Get(file, s.at + 36, 4);  // the whole header is there
    file.Read(s.at, name);
    s.name.assign(name.begin(), std::find(name.begin(), name.end(), 0));
    s.virtualSize = static_cast<std::uint32_t>(Get(file, s.at + 8, 4));
    s.virtualAddress = static_cast<std::uint32_t>(Get(file, s.at + 12, 4));
    s.rawSize = static_cast<std::uint32_t>(Get(file, s.at + 16, 4));
    s.rawOffset = static_cast<std::uint32_t>(Get(file, s.at + 20, 4));
    s.characteristics = static_cast<std::uint32_t>(Get(file, s.at + 36, 4));
    h.sections.push_back(std::move(s));
  }
  h.tableEnd = table + std::uint64_t{count} * 40;
  return h;
}

std::string Named(const SectionHeader& s) {
  return "section " + (s.name.empty() ? std::string("(unnamed)") : s.name);
}

std::optional<std::string> LayoutProblem(const ByteSource& file, const Headers& h) {
  if (h.sizeOfHeaders < h.tableEnd || h.sizeOfHeaders % h.fileAlignment != 0 ||
      h.sizeOfHeaders > file.Size()) {
    return "the header size " + std::to_string(h.sizeOfHeaders) + " does not fit its headers";
  }
  std::uint64_t memoryEnd = AlignUp(h.sizeOfHeaders, h.sectionAlignment);
  std::uint64_t fileEnd = h.sizeOfHeaders;
  for (const SectionHeader& s : h.sections) {
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
    fileEnd = std::uint64_t{s.rawOffset} + s.rawSize;
    if (fileEnd > file.Size()) return Named(s) + " runs past the end of the file";
  }
  if (h.sizeOfImage != memoryEnd) {
    return "the image size " + std::to_string(h.sizeOfImage) + " is not the sections' end " +
           std::to_string(memoryEnd);
  }
  for (std::size_t i = 0; i < h.directories.size(); ++i) {
    const Directory& d = h.directories[i];
    if (d.size == 0) continue;
    if (i == kSecurityDirectory) {
      if (d.address < fileEnd || std::uint64_t{d.address} + d.size > file.Size()) {
        return std::string("the certificate table lies inside the sections or past the file's end");
      }
      continue;
    }
    const bool inside = std::any_of(h.sections.begin(), h.sections.end(), [&](const auto& s) {
      return d.address >= s.virtualAddress &&
             std::uint64_t{d.address} + d.size <= s.virtualAddress + s.Extent();
    });
    if (!inside) return "data directory " + std::to_string(i) + " lies outside the sections";
  }
  return std::nullopt;
}

// Reads the resource tree: type, name and language directories, then the
// data entries. Offsets in the tree count from the tree's start; every one
// must stay within the section that holds it.
class TreeReader {
 public:
  TreeReader(const ByteSource& file, const Headers& h, const Directory& tree) : file_(file), h_(h) {
    const SectionHeader* s = h.Holding(tree.address, 16);
    if (s == nullptr) throw SealError("damaged resources: the tree lies outside the file");
    base_ = s->rawOffset + (tree.address - s->virtualAddress);
    end_ = std::min<std::uint64_t>(std::uint64_t{s->rawOffset} + s->rawSize, file.Size());
  }

  std::vector<ResourceEntry> Read() {
    std::vector<ResourceEntry> all;
    for (const auto& [type, names] : Entries(0, true)) {
      for (const auto& [name, languages] : Entries(names, true)) {
        for (const auto& [language, leaf] : Entries(languages, false)) {
          if (!std::holds_alternative<std::uint16_t>(language)) {
            throw SealError("damaged resources: a language given by name");
          }
          if (all.size() == kMaxResources) throw SealError("damaged resources: too many");
          ResourceEntry e{type, name, std::get<std::uint16_t>(language), 0, 0, 0};
          const std::uint64_t rva = U32(leaf);
          e.size = U32(leaf + 4);
          e.codePage = U32(leaf + 8);
          e.offset = h_.FileOffset(rva, e.size, "resources");
          all.push_back(std::move(e));
        }
      }
    }
    return all;
  }

 private:
  std::uint32_t U32(std::uint64_t offset) const {
    return static_cast<std::uint32_t>(At(offset, 4));
  }
  std::uint64_t At(std::uint64_t offset, int width) const {
    if (base_ + offset + static_cast<std::uint64_t>(width) > end_) {
      throw SealError("damaged resources: the tree points outside its section");
    }
    return Get(file_, base_ + offset, width);
  }

  // A directory's entries: key and target (a directory when folders is
  // true, a data entry otherwise).
  std::vector<std::pair<ResourceKey, std::uint32_t>> Entries(std::uint32_t directory,
                                                             bool folders) const {
    const auto named = static_cast<std::uint32_t>(At(directory + 12, 2));
    const auto ids = static_cast<std::uint32_t>(At(directory + 14, 2));
    visited_ += named + ids;
    if (visited_ > kMaxTreeEntries) throw SealError("damaged resources: too many entries");
    std::vector<std::pair<ResourceKey, std::uint32_t>> entries;
    for (std::uint32_t i = 0; i < named + ids; ++i) {
      const std::uint64_t entry = directory + 16 + std::uint64_t{i} * 8;
      const std::uint32_t key = U32(entry);
      const std::uint32_t target = U32(entry + 4);
      if (((target & 0x80000000u) != 0) != folders) {
        throw SealError("damaged resources: the tree is not three levels deep");
      }
      entries.emplace_back(Key(key), target & 0x7FFFFFFFu);
    }
    return entries;
  }

  ResourceKey Key(std::uint32_t field) const {
    if ((field & 0x80000000u) == 0) {
      if (field > 0xFFFF) throw SealError("damaged resources: an id beyond 65535");
      return static_cast<std::uint16_t>(field);
    }
    const std::uint64_t at = field & 0x7FFFFFFFu;
    const auto length = static_cast<std::uint32_t>(At(at, 2));
    std::u16string name;
    for (std::uint32_t i = 0; i < length; ++i) {
      name.push_back(static_cast<char16_t>(At(at + 2 + std::uint64_t{i} * 2, 2)));
    }
    return name;
  }

  const ByteSource& file_;
  const Headers& h_;
  std::uint64_t base_ = 0;
  std::uint64_t end_ = 0;
  mutable std::size_t visited_ = 0;
};

// Lays out a resource section: the directories, the data entries, the
// names, then each resource's bytes on an 8-byte boundary.
std::vector<std::uint8_t> BuildSection(const std::vector<Resource>& resources,
                                       std::uint32_t sectionRva) {
  std::map<ResourceKey, std::map<ResourceKey, std::map<std::uint16_t, const Resource*>>> tree;
  for (const Resource& r : resources) {
    if (!tree[r.type][r.name].emplace(r.language, &r).second) {
      throw SealError("two resources of the same type, name and language");
    }
  }
  std::size_t directories = 16 + 8 * tree.size();
  std::size_t leaves = 0;
  std::size_t names = 0;
  const auto nameBytes = [](const ResourceKey& key) {
    return std::holds_alternative<std::u16string>(key)
               ? 2 + 2 * std::get<std::u16string>(key).size()
               : 0;
  };
  for (const auto& [type, byName] : tree) {
    directories += 16 + 8 * byName.size();
    names += nameBytes(type);
    for (const auto& [name, byLanguage] : byName) {
      directories += 16 + 8 * byLanguage.size();
      leaves += byLanguage.size();
      names += nameBytes(name);
    }
  }
  const std::size_t dataEntries = directories;
  const std::size_t strings = dataEntries + 16 * leaves;
  std::size_t size = AlignUp(strings + names, 8);
  for (const Resource& r : resources) size = AlignUp(size + r.data.size(), 8);
  std::vector<std::uint8_t> out(size, 0);

  std::size_t nextDirectory = 16 + 8 * tree.size();
  std::size_t nextLeaf = dataEntries;
  std::size_t nextString = strings;
  std::size_t nextData = AlignUp(strings + names, 8);
  const auto header = [&](std::size_t at, std::size_t named, std::size_t ids) {
    Put(out, at + 12, named, 2);
    Put(out, at + 14, ids, 2);
  };
  const auto key = [&](std::size_t entry, const ResourceKey& k) {
    if (std::holds_alternative<std::uint16_t>(k)) {
      Put(out, entry, std::get<std::uint16_t>(k));
      return;
    }
    const std::u16string& text = std::get<std::u16string>(k);
    Put(out, entry, 0x80000000u | nextString);
    Put(out, nextString, text.size(), 2);
    for (std::size_t i = 0; i < text.size(); ++i) Put(out, nextString + 2 + 2 * i, text[i], 2);
    nextString += 2 + 2 * text.size();
  };
  const auto counts = [](const auto& map) {
    const auto named = static_cast<std::size_t>(std::count_if(map.begin(), map.end(), [](auto& e) {
      return std::holds_alternative<std::u16string>(e.first);
    }));
    return std::pair(named, map.size() - named);
  };

  // A directory entry leading to a new subdirectory of count entries.
  const auto folder = [&](std::size_t entry, const ResourceKey& k, std::size_t count) {
    const std::size_t at = nextDirectory;
    nextDirectory += 16 + 8 * count;
    key(entry, k);
    Put(out, entry + 4, 0x80000000u | at);
    return at;
  };

  const auto [namedTypes, idTypes] = counts(tree);
  header(0, namedTypes, idTypes);
  std::size_t typeEntry = 16;
  for (const auto& [type, byName] : tree) {
    const std::size_t nameDirectory = folder(typeEntry, type, byName.size());
    typeEntry += 8;
    const auto [namedNames, idNames] = counts(byName);
    header(nameDirectory, namedNames, idNames);
    std::size_t nameEntry = nameDirectory + 16;
    for (const auto& [name, byLanguage] : byName) {
      const std::size_t languageDirectory = folder(nameEntry, name, byLanguage.size());
      nameEntry += 8;
      header(languageDirectory, 0, byLanguage.size());
      std::size_t languageEntry = languageDirectory + 16;
      for (const auto& [language, resource] : byLanguage) {
        Put(out, languageEntry, language);
        Put(out, languageEntry + 4, nextLeaf);
        languageEntry += 8;
        Put(out, nextLeaf, sectionRva + nextData);
        Put(out, nextLeaf + 4, resource->data.size());
        Put(out, nextLeaf + 8, resource->codePage);
        nextLeaf += 16;
        std::copy(resource->data.begin(), resource->data.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(nextData));
        nextData = AlignUp(nextData + resource->data.size(), 8);
      }
    }
  }
  out.resize(std::max<std::size_t>(nextData, 16));
  return out;
}

// Nothing the loader patches may lie in the resources or behind them, and
// no patched address may point there: both are about to move.
void CheckRelocations(const ByteSource& file, const Headers& h, std::uint64_t resourcesRva) {
  const Directory* relocations = h.Dir(kRelocationDirectory);
  if (relocations == nullptr) return;
  const std::uint64_t start = h.FileOffset(relocations->address, relocations->size, "relocations");
  for (std::uint64_t at = 0; at + 8 <= relocations->size;) {
    const std::uint64_t page = Get(file, start + at, 4);
    const std::uint64_t blockSize = Get(file, start + at + 4, 4);
    if (blockSize < 8 || blockSize % 2 != 0 || blockSize > relocations->size - at) {
      throw SealError("damaged relocations: a block of " + std::to_string(blockSize) + " bytes");
    }
    for (std::uint64_t e = 8; e < blockSize; e += 2) {
      const std::uint64_t entry = Get(file, start + at + e, 2);
      const std::uint64_t type = entry >> 12;
      if (type == 0) continue;
      if (type != kHighLow && type != kDir64) {
        throw SealError("relocations of type " + std::to_string(type) + " are not handled");
      }
      const int width = type == kHighLow ? 4 : 8;
      const std::uint64_t site = page + (entry & 0xFFF);
      if (site + static_cast<std::uint64_t>(width) > resourcesRva) {
        throw SealError("the program patches an address in its resources");
      }
      const SectionHeader* s = h.Holding(site, static_cast<std::uint64_t>(width));
      if (s == nullptr) continue;  // zero-filled at load: no address yet
      const std::uint64_t target =
          Get(file, s->rawOffset + (site - s->virtualAddress), width) - h.imageBase;
      if (target >= resourcesRva && target < h.sizeOfImage) {
        throw SealError("the program points into its resources");
      }
    }
    at += blockSize;
  }
}

}  // namespace

std::vector<ResourceEntry> ListResources(const ByteSource& file) {
  const Headers h = ReadHeaders(file);
  const Directory* tree = h.Dir(kResourceDirectory);
  if (tree == nullptr) return {};
  return TreeReader(file, h, *tree).Read();
}

std::vector<std::uint8_t> ReadResource(const ByteSource& file, const ResourceEntry& entry) {
  std::vector<std::uint8_t> data(entry.size);
  file.Read(entry.offset, data);
  return data;
}

std::optional<std::string> ImageProblem(const ByteSource& file) {
  try {
    const Headers h = ReadHeaders(file);
    if (auto problem = LayoutProblem(file, h)) return problem;
    if (const Directory* tree = h.Dir(kResourceDirectory)) TreeReader(file, h, *tree).Read();
  } catch (const SealError& error) {
    return error.what();
  }
  return std::nullopt;
}

std::optional<FileRange> CertificateTable(const ByteSource& file) {
  const Headers h = ReadHeaders(file);
  const Directory* table = h.Dir(kSecurityDirectory);
  if (table == nullptr) return std::nullopt;
  return FileRange{table->address, table->size};
}

std::vector<std::uint8_t> ReplaceResources(std::span<const std::uint8_t> launcher,
                                           const std::vector<Resource>& resources) {
  const MemorySource source(launcher);
  ReadLauncher(source);  // a launcher, within the loader's limits
  if (auto problem = ImageProblem(source)) throw SealError(*problem);
  const Headers h = ReadHeaders(source);
  if (h.Dir(kSecurityDirectory) != nullptr) {
    throw SealError("the launcher is signed; give a package its icon and version before signing");
  }
  const Directory* tree = h.Dir(kResourceDirectory);
  const auto rsrc = std::find_if(h.sections.begin(), h.sections.end(), [&](const auto& s) {
    return tree != nullptr && s.virtualAddress == tree->address;
  });
  if (rsrc == h.sections.end()) {
    throw SealError("its resources do not begin a section of their own");
  }
  std::uint64_t fileEnd = h.sizeOfHeaders;
  for (const SectionHeader& s : h.sections) {
    if (s.rawSize != 0) fileEnd = std::uint64_t{s.rawOffset} + s.rawSize;
  }
  if (fileEnd != launcher.size()) throw SealError("bytes follow its last section");
  const Directory* relocations = h.Dir(kRelocationDirectory);
  for (auto s = rsrc + 1; s != h.sections.end(); ++s) {
    const bool isRelocations = relocations != nullptr &&
                               relocations->address == s->virtualAddress &&
                               relocations->size <= s->Extent() && s == rsrc + 1 &&
                               s->rawOffset >= std::uint64_t{rsrc->rawOffset} + rsrc->rawSize;
    if (!isRelocations) throw SealError(Named(*s) + " follows the resources and cannot move");
  }
  for (std::size_t i = 0; i < h.directories.size(); ++i) {
    const Directory& d = h.directories[i];
    if (i == kResourceDirectory || i == kSecurityDirectory || i == kRelocationDirectory ||
        d.size == 0) {
      continue;
    }
    if (std::uint64_t{d.address} + d.size > rsrc->virtualAddress) {
      throw SealError("data directory " + std::to_string(i) + " lies behind the resources");
    }
  }
  CheckRelocations(source, h, rsrc->virtualAddress);

  const std::vector<std::uint8_t> section = BuildSection(resources, rsrc->virtualAddress);
  const std::uint64_t rawSize = AlignUp(section.size(), h.fileAlignment);
  const auto moveInMemory =
      static_cast<std::int64_t>(
          AlignUp(rsrc->virtualAddress + section.size(), h.sectionAlignment)) -
      static_cast<std::int64_t>(
          AlignUp(std::uint64_t{rsrc->virtualAddress} + rsrc->Extent(), h.sectionAlignment));
  const auto moveInFile = static_cast<std::int64_t>(rawSize) -
                          static_cast<std::int64_t>(AlignUp(rsrc->rawSize, h.fileAlignment));

  std::vector<std::uint8_t> out(launcher.begin(), launcher.begin() + rsrc->rawOffset);
  out.insert(out.end(), section.begin(), section.end());
  out.resize(out.size() + (rawSize - section.size()), 0);
  Put(out, rsrc->at + 8, section.size());
  Put(out, rsrc->at + 16, rawSize);
  Put(out, tree->at + 4, section.size());
  if ((rsrc->characteristics & kInitialisedData) != 0) {
    Put(out, h.optional + 8,
        Get(source, h.optional + 8, 4) + rawSize - std::uint64_t{rsrc->rawSize});
  }
  std::uint64_t imageEnd = AlignUp(rsrc->virtualAddress + section.size(), h.sectionAlignment);
  for (auto s = rsrc + 1; s != h.sections.end(); ++s) {
    const auto address = static_cast<std::uint64_t>(s->virtualAddress + moveInMemory);
    const auto offset = static_cast<std::uint64_t>(s->rawOffset + moveInFile);
    out.resize(offset, 0);
    out.insert(out.end(), launcher.begin() + s->rawOffset,
               launcher.begin() + s->rawOffset + s->rawSize);
    Put(out, s->at + 12, address);
    Put(out, s->at + 20, offset);
    Put(out, relocations->at, address);
    imageEnd = AlignUp(address + s->Extent(), h.sectionAlignment);
  }
  Put(out, h.optional + 56, imageEnd);

  Seal(out);
  const MemorySource result(out);
  if (auto problem = ImageProblem(result)) {
    throw SealError("the rewritten launcher would not load: " + *problem);
  }
  if (auto problem = SealProblem(result)) {
    throw SealError("the rewritten launcher does not check out: " + *problem);
  }
  return out;
}

}  // namespace turv::seal
