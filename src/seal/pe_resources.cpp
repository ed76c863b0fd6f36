#include "seal/pe_resources.h"

#include <algorithm>
#include <limits>
#include <map>
#include <optional>

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

// The largest resource section the writer lays out: sizes in a program
// file are 32-bit, and the packer's budget is far below.
constexpr std::uint64_t kMaxSection = std::uint64_t{1} << 31;

// Lays out a resource section: the directories, the data entries, the
// names, then each resource's bytes on an 8-byte boundary, in the tree's
// order. Writes the tree; says where each resource's bytes go.
std::uint64_t LayOut(const std::vector<Resource>& resources, std::uint32_t sectionRva,
                     std::vector<std::uint8_t>& out,
                     std::vector<std::pair<std::size_t, std::uint64_t>>& placed) {
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
  out.assign(AlignUp(strings + names, 8), 0);

  std::size_t nextDirectory = 16 + 8 * tree.size();
  std::size_t nextLeaf = dataEntries;
  std::size_t nextString = strings;
  std::uint64_t nextData = out.size();
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
        if (resource->Size() > kMaxSection - nextData) {
          throw SealError("the resources would be 2 GiB or more");
        }
        Put(out, nextLeaf, sectionRva + nextData);
        Put(out, nextLeaf + 4, resource->Size());
        Put(out, nextLeaf + 8, resource->codePage);
        nextLeaf += 16;
        placed.emplace_back(static_cast<std::size_t>(resource - resources.data()), nextData);
        nextData = AlignUp(nextData + resource->Size(), 8);
      }
    }
  }
  return std::max<std::uint64_t>(nextData, 16);
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

Resource KeptResource(const ByteSource& file, const ResourceEntry& entry) {
  return {entry.type, entry.name, entry.language, entry.codePage,
          {},         &file,      entry.offset,   entry.size};
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

LauncherRewrite::LauncherRewrite(const ByteSource& launcher, std::vector<Resource> resources)
    : launcher_(&launcher), resources_(std::move(resources)) {
  ReadLauncher(launcher);  // a launcher, within the loader's limits
  if (auto problem = ImageProblem(launcher)) throw SealError(*problem);
  headers_ = ReadHeaders(launcher);
  const PeHeaders& h = headers_;
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
  rsrc_ = static_cast<std::size_t>(rsrc - h.sections.begin());
  std::uint64_t fileEnd = h.sizeOfHeaders;
  for (const PeSection& s : h.sections) {
    if (s.rawSize != 0) fileEnd = s.RawEnd();
  }
  if (fileEnd != launcher.Size()) throw SealError("bytes follow its last section");
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
  CheckRelocations(launcher, h, rsrc->virtualAddress);

  sectionSize_ = LayOut(resources_, rsrc->virtualAddress, tree_, placed_);
  size_ = rsrc->rawOffset + AlignUp(sectionSize_, h.fileAlignment);
  if (rsrc + 1 != h.sections.end()) size_ = MovedOffset(rsrc[1]) + rsrc[1].rawSize;
}

// The section behind the resources keeps its distance from their end.
std::uint64_t LauncherRewrite::MovedOffset(const PeSection& s) const {
  const PeSection& rsrc = headers_.sections[rsrc_];
  return s.rawOffset - (rsrc.rawOffset + AlignUp(rsrc.rawSize, headers_.fileAlignment)) +
         rsrc.rawOffset + AlignUp(sectionSize_, headers_.fileAlignment);
}

std::uint64_t LauncherRewrite::MovedAddress(const PeSection& s) const {
  const PeSection& rsrc = headers_.sections[rsrc_];
  return s.virtualAddress -
         AlignUp(std::uint64_t{rsrc.virtualAddress} + rsrc.Extent(), headers_.sectionAlignment) +
         AlignUp(rsrc.virtualAddress + sectionSize_, headers_.sectionAlignment);
}

RewrittenImage::RewrittenImage(std::vector<Piece> pieces, std::uint64_t size)
    : pieces_(std::move(pieces)), size_(size) {}

void RewrittenImage::Read(std::uint64_t offset, std::span<std::uint8_t> into) const {
  if (offset > size_ || into.size() > size_ - offset)
    throw SealError("read past the end of the file");
  std::fill(into.begin(), into.end(), std::uint8_t{0});
  const std::uint64_t end = offset + into.size();
  // The first piece that ends behind offset; pieces lie in order, apart.
  auto piece = std::partition_point(pieces_.begin(), pieces_.end(),
                                    [&](const Piece& p) { return p.at + p.Size() <= offset; });
  for (; piece != pieces_.end() && piece->at < end; ++piece) {
    const std::uint64_t from = std::max(offset, piece->at);
    const std::uint64_t to = std::min(end, piece->at + piece->Size());
    const auto part =
        into.subspan(static_cast<std::size_t>(from - offset), static_cast<std::size_t>(to - from));
    if (piece->from != nullptr) {
      piece->from->Read(piece->offset + (from - piece->at), part);
    } else {
      std::copy_n(piece->held.begin() + static_cast<std::ptrdiff_t>(from - piece->at), part.size(),
                  part.begin());
    }
  }
}

void RewrittenImage::Patch(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  for (Piece& piece : pieces_) {
    if (piece.from == nullptr && offset >= piece.at &&
        offset + bytes.size() <= piece.at + piece.held.size()) {
      std::copy(bytes.begin(), bytes.end(),
                piece.held.begin() + static_cast<std::ptrdiff_t>(offset - piece.at));
      return;
    }
  }
  throw SealError("the seal lies outside the launcher's own bytes");
}

std::vector<std::uint8_t> RewrittenImage::Bytes() const {
  std::vector<std::uint8_t> all(static_cast<std::size_t>(size_));
  Read(0, all);
  return all;
}

RewrittenImage LauncherRewrite::Build() {
  const PeHeaders& h = headers_;
  const PeSection& rsrc = h.sections[rsrc_];
  const std::uint64_t rawSize = AlignUp(sectionSize_, h.fileAlignment);
  // The headers and sections before the resources, the tree, each
  // resource, the relocations: held where small or patched, else read
  // from where they lie when the image is read.
  std::vector<std::uint8_t> out(rsrc.rawOffset);
  launcher_->Read(0, out);
  Put(out, rsrc.at + 8, sectionSize_);
  Put(out, rsrc.at + 16, rawSize);
  Put(out, h.directories[kResourceDirectory].at + 4, sectionSize_);
  std::uint64_t imageEnd = AlignUp(rsrc.virtualAddress + sectionSize_, h.sectionAlignment);
  std::optional<RewrittenImage::Piece> relocations;
  if (rsrc_ + 1 < h.sections.size()) {
    const PeSection& s = h.sections[rsrc_ + 1];  // the relocations
    const std::uint64_t address = MovedAddress(s);
    relocations = RewrittenImage::Piece{MovedOffset(s), std::vector<std::uint8_t>(s.rawSize)};
    launcher_->Read(s.rawOffset, relocations->held);
    Put(out, s.at + 12, address);
    Put(out, s.at + 20, relocations->at);
    Put(out, h.directories[kRelocationDirectory].at, address);
    imageEnd = AlignUp(address + s.Extent(), h.sectionAlignment);
  }
  Put(out, h.optional + 56, imageEnd);
  // As the linker counts it: the file-aligned raw sizes of the sections
  // of initialised data.
  std::uint64_t initialised = 0;
  for (std::size_t i = 0; i < h.sections.size(); ++i) {
    if ((h.sections[i].characteristics & kInitialisedData) != 0) {
      initialised += AlignUp(i == rsrc_ ? rawSize : h.sections[i].rawSize, h.fileAlignment);
    }
  }
  Put(out, h.optional + 8, initialised);

  std::vector<RewrittenImage::Piece> pieces;
  pieces.push_back({0, std::move(out)});
  pieces.push_back({rsrc.rawOffset, std::move(tree_)});
  for (const auto& [index, at] : placed_) {
    Resource& resource = resources_[index];
    if (resource.Size() == 0) continue;
    pieces.push_back({rsrc.rawOffset + at, std::move(resource.data), resource.from, resource.offset,
                      resource.size});
  }
  if (relocations) pieces.push_back(std::move(*relocations));

  RewrittenImage image(std::move(pieces), size_);
  Seal(image);
  if (auto problem = ImageProblem(image)) {
    throw SealError("the rewritten launcher would not load: " + *problem);
  }
  if (auto problem = SealProblem(image)) {
    throw SealError("the rewritten launcher does not check out: " + *problem);
  }
  return image;
}

}  // namespace turv::seal
