// A program file's resources, read and written. The packer gives a package
// its author's icon and version information this way: the resource section
// is built anew at its old address, the one section allowed behind it (the
// base relocations, which nothing in the program points into) moves with it,
// and the headers follow: section sizes and places, the resource and
// relocation directories, the image size. Sealing afterwards renews the seal
// record and the checksum.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "seal/pe_image.h"

namespace turv::seal {

struct Resource {
  ResourceKey type;
  ResourceKey name;
  std::uint16_t language = 0;
  std::uint32_t codePage = 0;
  std::vector<std::uint8_t> data;
};

// Every resource of a program file, in the tree's order (empty when it has
// none). Throws SealError when the tree is damaged or points outside the
// file.
std::vector<ResourceEntry> ListResources(const ByteSource& file);
std::vector<std::uint8_t> ReadResource(const ByteSource& file, const ResourceEntry& entry);

// The launcher image with these resources in place of its own, laid out
// anew and sealed. Throws SealError when the image cannot take it: a signed
// file, bytes behind the last section, resources that do not start a
// section of their own, a section behind them that is not the base
// relocations, or anything in the program that points into them.
std::vector<std::uint8_t> ReplaceResources(std::span<const std::uint8_t> launcher,
                                           const std::vector<Resource>& resources);

// Why the loader would refuse the program file, or nothing: sections
// aligned, in order, without overlap and within the file; the image size;
// every data directory within one section (the certificate table within
// the file); the resource tree readable. The checksum is not looked at:
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
