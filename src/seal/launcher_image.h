// What a built launcher carries about itself: its player resource (RT_RCDATA
// 1000) and the sealed value "image size less player size". Read from the
// program file's headers by the build's sealing tool and by the packer; the
// launcher itself never reads its headers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

namespace turv::seal {

class SealError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Random access to a file's bytes. Read fills all of into or throws.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  virtual void Read(std::uint64_t offset, std::span<std::uint8_t> into) const = 0;
};

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  void Read(std::uint64_t offset, std::span<std::uint8_t> into) const override;

 private:
  std::span<const std::uint8_t> bytes_;
};

// size bytes of another source from offset on: a file carried in a file.
class RangeSource : public ByteSource {
 public:
  RangeSource(const ByteSource& file, std::uint64_t offset, std::uint64_t size)
      : file_(&file), offset_(offset), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  void Read(std::uint64_t offset, std::span<std::uint8_t> into) const override;

 private:
  const ByteSource* file_;
  std::uint64_t offset_, size_;
};

class FileSource : public ByteSource {
 public:
  // Throws SealError when the file cannot be opened.
  explicit FileSource(const std::filesystem::path& path);
  std::uint64_t Size() const override { return size_; }
  void Read(std::uint64_t offset, std::span<std::uint8_t> into) const override;

 private:
  mutable std::ifstream stream_;
  std::uint64_t size_ = 0;
};

struct LauncherFacts {
  std::uint32_t playerSize = 0;
  std::uint64_t playerOffset = 0;    // file offset of the resource's bytes
  std::uint64_t recordOffset = 0;    // file offset of the seal record
  std::uint64_t checksumOffset = 0;  // file offset of the header checksum
  std::uint64_t sectionsEnd = 0;     // end of the last section's bytes in the file
  std::uint32_t imageLessPlayer = 0;
  bool sealed = false;  // the record carries a value and its check
  // The launcher image's size as the seal states it: where appended data begins.
  std::uint64_t ImageSize() const { return std::uint64_t{imageLessPlayer} + playerSize; }
};

inline constexpr std::uint32_t kPlayerResourceId = 1000;

// Reads the facts from a program file (or a package: launcher + data).
// Throws SealError naming what is missing or damaged.
LauncherFacts ReadLauncher(const ByteSource& file);

// Why a bare launcher file is not sealed right, or nothing when it is: the
// sealed value must equal the file's size less the player's size.
std::optional<std::string> SealProblem(const ByteSource& file);
std::optional<std::string> SealProblem(const LauncherFacts& facts, std::uint64_t fileSize);

// Why a package's launcher part is not sealed right, or nothing: sealed, and
// the image it states lies within the package and ends where its last
// section ends, as it does when the seal matches the player carried.
std::optional<std::string> PackageSealProblem(const ByteSource& package);
std::optional<std::string> PackageSealProblem(const LauncherFacts& facts,
                                              std::uint64_t packageSize);

// A file that sealing can write into: a few bytes where the seal record
// and the header checksum lie.
class PatchableSource : public ByteSource {
 public:
  virtual void Patch(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
};

// Seals a launcher: writes the value (size less player size) and its check
// into the record, and renews the header checksum. The build's sealing
// tool seals a file in memory; the packer a launcher it rewrites.
void Seal(std::span<std::uint8_t> file);
void Seal(PatchableSource& file);

// The header checksum as Windows' MapFileAndCheckSum computes it: the
// file's 16-bit little-endian words added with end-around carry, less the
// field's own two words, plus the file's length. Fed the file's bytes in
// order, in pieces of any size, so that a file is summed while it streams
// past, never read a second time.
class HeaderChecksum {
 public:
  explicit HeaderChecksum(std::uint64_t fieldOffset) : fieldOffset_(fieldOffset) {}
  void Add(std::span<const std::uint8_t> bytes);
  // What the field held in the bytes added.
  std::uint32_t Stored() const { return stored_; }
  // What the field must hold: the value MapFileAndCheckSum gives the file
  // added so far once the field holds it.
  std::uint32_t Value() const;

 private:
  std::uint64_t fieldOffset_;
  std::uint64_t length_ = 0;
  std::uint64_t residue_ = 0;  // the sum of every word, modulo 0xFFFF
  std::uint32_t stored_ = 0;
};

// The header checksum of a file whose checksum field is at checksumOffset;
// a ByteSource is read once in blocks.
std::uint32_t PeChecksum(std::span<const std::uint8_t> file, std::uint64_t checksumOffset);
std::uint32_t PeChecksum(const ByteSource& file, std::uint64_t checksumOffset);

}  // namespace turv::seal
