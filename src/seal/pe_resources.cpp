#include "seal/pe_resources.h"

#include <algorithm>
#include <map>

namespace turv::seal {

namespace {

constexpr std::uint32_t kInitialisedData = 0x40;
constexpr std::uint32_t kHighLow = 3, kDir64 = 10;  // relocation types

void Put(std::vector<std::uint8_t>& b, std::uint64_t at, std::uint64_t v, int width = 4) {
  for (int i = 0; i < width; ++i) {
    b[at + static_cast<std::uint64_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  }
}

std::uint64_t AlignUp(std::uint64_t v, std::uint64_t to) {
  return (v + to - 1) / to * to;
}

std::string Named(const PeSection& s) {
  return "section " + (s.name.empty() ? std::string("(unnamed)") : s.name);
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
    const bool inside = std::any_of(h.sections.begin(), h.sections.end(), [&](const auto& s) {
      return d.address >= s.virtualAddress &&
             std::uint64_t{d.address} + d.size <= s.virtualAddress + s.Extent();
    });
    if (!inside) return "data directory " + std::to_string(i) + " lies outside the sections";
  }
  return std::nullopt;
}

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
void CheckRelocations(const ByteSource& file, const PeHeaders& h, std::uint64_t resourcesRva) {
  const PeDirectory* relocations = h.Dir(kRelocationDirectory);
  if (relocations == nullptr) return;
  const std::uint64_t start = h.FileOffset(relocations->address, relocations->size, "relocations");
  for (std::uint64_t at = 0; at + 8 <= relocations->size;) {
    const std::uint64_t page = ReadLe(file, start + at, 4);
    const std::uint64_t blockSize = ReadLe(file, start + at + 4, 4);
    if (blockSize < 8 || blockSize % 2 != 0 || blockSize > relocations->size - at) {
      throw SealError("damaged relocations: a block of " + std::to_string(blockSize) + " bytes");
    }
    for (std::uint64_t e = 8; e < blockSize; e += 2) {
      const std::uint64_t entry = ReadLe(file, start + at + e, 2);
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
      const PeSection* s = h.Holding(site, static_cast<std::uint64_t>(width));
      if (s == nullptr) continue;  // zero-filled at load: no address yet
      const std::uint64_t target =
          ReadLe(file, s->rawOffset + (site - s->virtualAddress), width) - h.imageBase;
      if (target >= resourcesRva && target < h.sizeOfImage) {
        throw SealError("the program points into its resources");
      }
    }
    at += blockSize;
  }
}

}  // namespace

std::vector<ResourceEntry> ListResources(const ByteSource& file) {
  const PeHeaders h = ReadHeaders(file);
  const auto tree = ResourceTree::Of(file, h);
  return tree ? tree->List() : std::vector<ResourceEntry>{};
}

std::vector<std::uint8_t> ReadResource(const ByteSource& file, const ResourceEntry& entry) {
  std::vector<std::uint8_t> data(entry.size);
  file.Read(entry.offset, data);
  return data;
}

std::optional<std::string> ImageProblem(const ByteSource& file) {
  try {
    const PeHeaders h = ReadHeaders(file);
    if (auto problem = LayoutProblem(file, h)) return problem;
    if (const auto tree = ResourceTree::Of(file, h)) tree->List();
  } catch (const SealError& error) {
    return error.what();
  }
  return std::nullopt;
}

std::optional<FileRange> CertificateTable(const ByteSource& file) {
  const PeHeaders h = ReadHeaders(file);
  const PeDirectory* table = h.Dir(kSecurityDirectory);
  if (table == nullptr) return std::nullopt;
  return FileRange{table->address, table->size};
}

std::vector<std::uint8_t> ReplaceResources(std::span<const std::uint8_t> launcher,
                                           const std::vector<Resource>& resources) {
  const MemorySource source(launcher);
  ReadLauncher(source);  // a launcher, within the loader's limits
  if (auto problem = ImageProblem(source)) throw SealError(*problem);
  const PeHeaders h = ReadHeaders(source);
  if (h.Dir(kSecurityDirectory) != nullptr) {
    throw SealError("the launcher is signed; give a package its icon and version before signing");
  }
  const PeDirectory* tree = h.Dir(kResourceDirectory);
  const auto rsrc = std::find_if(h.sections.begin(), h.sections.end(), [&](const auto& s) {
    return tree != nullptr && s.virtualAddress == tree->address;
  });
  if (rsrc == h.sections.end()) {
    throw SealError("its resources do not begin a section of their own");
  }
  std::uint64_t fileEnd = h.sizeOfHeaders;
  for (const PeSection& s : h.sections) {
    if (s.rawSize != 0) fileEnd = s.RawEnd();
  }
  if (fileEnd != launcher.size()) throw SealError("bytes follow its last section");
  const PeDirectory* relocations = h.Dir(kRelocationDirectory);
  for (auto s = rsrc + 1; s != h.sections.end(); ++s) {
    const bool isRelocations =
        relocations != nullptr && relocations->address == s->virtualAddress &&
        relocations->size <= s->Extent() && s == rsrc + 1 && s->rawOffset >= rsrc->RawEnd();
    if (!isRelocations) throw SealError(Named(*s) + " follows the resources and cannot move");
  }
  for (std::size_t i = 0; i < h.directories.size(); ++i) {
    const PeDirectory& d = h.directories[i];
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
        ReadLe(source, h.optional + 8, 4) + rawSize - std::uint64_t{rsrc->rawSize});
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
