// A program file's resources, read and written. The packer gives a package
// its author's icon, version information and player this way: the resource
// section is built anew at its old address, the one section allowed behind
// it (the base relocations, which nothing in the program points into) moves
// with it, and the headers follow: section sizes and places, the resource
// and relocation directories, the initialised data and image sizes.
// Sealing afterwards renews the seal record and the checksum.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "seal/pe_image.h"

namespace turv::seal {

struct Resource {
  ResourceKey type;
  ResourceKey name;
  std::uint16_t language = 0;
  std::uint32_t codePage = 0;
  std::vector<std::uint8_t> data;  // the bytes, when from is null
  // Else size bytes at offset of from, read straight into their place when
  // the launcher is written: a player of any size is copied once.
  const ByteSource* from = nullptr;
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  std::uint64_t Size() const { return from != nullptr ? size : data.size(); }
};

// Every resource of a program file, in the tree's order (empty when it has
// none). Throws SealError when the tree is damaged or points outside the
// file.
std::vector<ResourceEntry> ListResources(const ByteSource& file);
std::vector<std::uint8_t> ReadResource(const ByteSource& file, const ResourceEntry& entry);
// A resource of the file, to be copied from where it lies.
Resource KeptResource(const ByteSource& file, const ResourceEntry& entry);

// A rewritten launcher as pieces: bytes held in memory (the headers and
// the sections before the resources, the tree, small resources, the
// relocations) and ranges of other files (the player, the resources kept),
// in file order, zeros between them. It reads as the file it stands for
// and takes the seal's patches into its held bytes, so a player of any size
// is never held in memory: it is read for the checksum, and again when the
// image is written out.
class RewrittenImage : public PatchableSource {
 public:
  struct Piece {
    std::uint64_t at = 0;  // where it lies in the image
    std::vector<std::uint8_t> held;
    const ByteSource* from = nullptr;  // or size bytes at offset of this file
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint64_t Size() const { return from != nullptr ? size : held.size(); }
  };

  RewrittenImage(std::vector<Piece> pieces, std::uint64_t size);
  std::uint64_t Size() const override { return size_; }
  void Read(std::uint64_t offset, std::span<std::uint8_t> into) const override;
  // Only into held bytes.
  void Patch(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;
  const std::vector<Piece>& Pieces() const { return pieces_; }
  // The whole image in memory.
  std::vector<std::uint8_t> Bytes() const;

 private:
  std::vector<Piece> pieces_;
  std::uint64_t size_;
};

// The launcher image with these resources in place of its own, laid out
// anew: its size is known before a byte of the resources is read. The
// launcher and every file a resource is read from must outlive it.
class LauncherRewrite {
 public:
  // Throws SealError when the image cannot take it: a signed file, bytes
  // behind the last section, resources that do not start a section of
  // their own, a section behind them that is not the base relocations,
  // anything in the program that points into them, or a result too large
  // for a program file.
  LauncherRewrite(const ByteSource& launcher, std::vector<Resource> resources);

  std::uint64_t Size() const { return size_; }
  // The image, sealed and checked again as the build checks a launcher.
  // Once: the held resources move into it.
  RewrittenImage Build();

 private:
  // Where the section behind the resources goes.
  std::uint64_t MovedOffset(const PeSection& s) const;
  std::uint64_t MovedAddress(const PeSection& s) const;

  const ByteSource* launcher_;
  std::vector<Resource> resources_;
  PeHeaders headers_;
  std::size_t rsrc_ = 0;            // the resource section's index
  std::vector<std::uint8_t> tree_;  // directories, data entries, names
  // Each resource and where its bytes go in the section, in the tree's order.
  std::vector<std::pair<std::size_t, std::uint64_t>> placed_;
  std::uint64_t sectionSize_ = 0;  // the new section's bytes
  std::uint64_t size_ = 0;         // the whole image
};

// Why the loader would refuse the program file, or nothing: sections
// aligned, in order, without overlap and within the file; the image size;
// every data directory within the headers or one section (the certificate
// table within the file); the resource tree readable. The checksum is not looked at:
// data appended behind a launcher is not part of its sum.
std::optional<std::string> ImageProblem(const ByteSource& file);

// The Authenticode certificate table: where the security directory puts it
// in the file, or nothing when the file is not signed.
struct FileRange {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
};
std::optional<FileRange> CertificateTable(const ByteSource& file);

}  // namespace turv::seal
