// An open input file as the seal reader reads it: the launcher and the
// package are checked through the handle already opened (and found to be a
// regular file), never opened a second time by name.
#pragma once

#include "karupack/system.h"
#include "seal/launcher_image.h"

namespace turv::karupack {

class InputSource : public seal::ByteSource {
 public:
  explicit InputSource(InputFile& file) : file_(file) {}
  std::uint64_t Size() const override { return file_.Size(); }
  void Read(std::uint64_t offset, std::span<std::uint8_t> into) const override;

 private:
  InputFile& file_;
};

}  // namespace turv::karupack
