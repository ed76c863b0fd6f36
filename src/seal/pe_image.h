// A program file's headers and resource tree, read the one way the seal
// reader (launcher_image), the resource writer, the branding readers and
// the player checks share. Every reader of outside bytes goes through
// here, so one set of bounds holds whatever the headers claim: 1 to 96
// sections whose raw ranges lie within the file and do not overlap, bytes
// of a section read only where the loader maps them, and a resource tree
// read within its section, each folder in one piece.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "seal/launcher_image.h"

namespace turv::seal {

inline constexpr std::size_t kResourceDirectory = 2;
inline constexpr std::size_t kSecurityDirectory = 4;
inline constexpr std::size_t kRelocationDirectory = 5;

// width (1 to 8) little-endian bytes at offset; SealError when the file
// ends before them.
std::uint64_t ReadLe(const ByteSource& file, std::uint64_t offset, int width);

struct PeSection {
  std::uint64_t at = 0;  // where its header lies in the file
  std::string name;
  std::uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawOffset = 0;
  std::uint32_t characteristics = 0;
  // The bytes of the file the loader maps: the raw size, but no further
  // than the aligned virtual size (the rest of the raw bytes is not part of
  // the section in memory, where the next section may lie).
  std::uint32_t mapped = 0;
  std::uint64_t RawEnd() const { return std::uint64_t{rawOffset} + rawSize; }
  // The addresses it takes in memory: the loader uses the raw size when
  // the virtual size is 0.
  std::uint64_t Extent() const { return virtualSize != 0 ? virtualSize : rawSize; }
};

struct PeDirectory {
  std::uint64_t at = 0;  // where the entry lies in the file
  std::uint32_t address = 0, size = 0;
};

inline constexpr std::uint16_t kMachineI386 = 0x14C;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::uint16_t kMachineArm64 = 0xAA64;

struct PeHeaders {
  std::uint16_t machine = 0;
  std::uint16_t characteristics = 0;  // the file header's: executable, DLL, ...
  std::uint64_t optional = 0;         // where the optional header starts
  bool plus = false;                  // PE32+
  std::uint64_t imageBase = 0;
  std::uint32_t sectionAlignment = 0, fileAlignment = 0, sizeOfImage = 0, sizeOfHeaders = 0;
  std::uint16_t subsystem = 0;
  std::uint64_t tableEnd = 0;  // where the section table ends
  std::vector<PeDirectory> directories;
  std::vector<PeSection> sections;

  std::uint64_t ChecksumOffset() const { return optional + 64; }
  // The directory when the file has it and it is not empty.
  const PeDirectory* Dir(std::size_t index) const;
  // The section holding the addresses [rva, rva + size) in the bytes the
  // loader maps from the file.
  const PeSection* Holding(std::uint64_t rva, std::uint64_t size) const;
  // Where those addresses lie in the file; SealError "damaged WHAT" when
  // no section holds them.
  std::uint64_t FileOffset(std::uint64_t rva, std::uint64_t size, const char* what) const;
};

// The headers, or SealError for what the Windows loader refuses: no MZ or
// PE header, an unknown optional header, alignments that do not fit, data
// directories past the optional header, no section or more than 96,
// sections reaching past the end of the file or sharing bytes in it.
PeHeaders ReadHeaders(const ByteSource& file);

// Why the loader would refuse the layout the headers give, or nothing:
// the header size, sections aligned and in order in memory and in the
// file, the image size, every data directory within the headers or one
// section (the certificate table within the file, behind the sections).
std::optional<std::string> LayoutProblem(const ByteSource& file, const PeHeaders& headers);

inline constexpr std::uint16_t kRtIcon = 3;
inline constexpr std::uint16_t kRtRcData = 10;
inline constexpr std::uint16_t kRtGroupIcon = 14;
inline constexpr std::uint16_t kRtVersion = 16;

// A type or name in the resource tree: a name (UTF-16) or an integer id.
// Named entries sort before ids, as the tree keeps them.
using ResourceKey = std::variant<std::u16string, std::uint16_t>;

// Where one resource's bytes lie in the file.
struct ResourceEntry {
  ResourceKey type;
  ResourceKey name;
  std::uint16_t language = 0;
  std::uint32_t codePage = 0;
  std::uint64_t offset = 0;
  std::uint32_t size = 0;
};

// The resource tree: type, name and language folders, then data entries.
// Offsets in it count from its start and must stay within the section that
// holds it; each folder is read in one piece (a folder may claim 65,535
// entries, and folders may share subfolders).
class ResourceTree {
 public:
  // The tree where the resource directory points (the loader looks only at
  // its address), or nothing when the program has none. SealError when it
  // lies outside the file.
  static std::optional<ResourceTree> Of(const ByteSource& file, const PeHeaders& headers);

  const PeSection& Section() const { return *section_; }

  // The target of the folder's first id entry equal to id (any id when
  // nothing), with the subfolder bit as stored; nothing when absent.
  std::optional<std::uint32_t> Find(std::uint32_t folder, std::optional<std::uint16_t> id) const;
  // The data entry at offset: where its bytes lie in the file.
  ResourceEntry Data(std::uint32_t offset) const;
  // Every resource, in the tree's order. Bounded: 4,096 resources, 65,536
  // folder entries and 1 Mi name characters at most.
  std::vector<ResourceEntry> List() const;

 private:
  struct Entry {
    std::uint32_t key;     // an id, or the name's offset with the top bit
    std::uint32_t target;  // a subfolder's offset with the top bit, or a data entry's
  };
  ResourceTree(const ByteSource& file, const PeHeaders& headers, const PeSection& section,
               std::uint64_t base);
  // Reads size bytes at offset into the tree, within its section.
  std::vector<std::uint8_t> Bytes(std::uint64_t offset, std::uint64_t size) const;
  // A folder's entries, named ones first, and how many are named.
  std::vector<Entry> Folder(std::uint32_t offset, std::size_t& named) const;
  ResourceKey Key(std::uint32_t field, std::size_t& characters) const;

  const ByteSource* file_;
  const PeHeaders* headers_;
  const PeSection* section_;
  std::uint64_t base_;  // the tree's start in the file
};

}  // namespace turv::seal
