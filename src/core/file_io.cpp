#include "core/file_io.h"

#include "core/errors.h"

namespace turv {

namespace {
void RequireOpen(const platform::File& file) {
  if (!file.IsOpen()) throw IoError(kFileNotOpen);
}
}  // namespace

std::uint64_t SizeOrRaise(const platform::File& file) {
  RequireOpen(file);
  std::uint64_t size = 0;
  if (const auto error = file.Size(size)) throw IoError(error);
  return size;
}

std::uint32_t ReadOrRaise(platform::File& file, std::span<std::uint8_t> into) {
  RequireOpen(file);
  std::uint32_t done = 0;
  if (const auto error = file.Read(into.data(), static_cast<std::uint32_t>(into.size()), done)) {
    throw IoError(error);
  }
  return done;
}

void WriteOrRaise(platform::File& file, std::span<const std::uint8_t> bytes) {
  RequireOpen(file);
  std::uint32_t done = 0;
  if (const auto error = file.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()), done)) {
    throw IoError(error);
  }
  if (done != bytes.size()) throw IoError(kShortWrite);
}

void CloseOrRaise(platform::File& file) {
  RequireOpen(file);
  if (const auto error = file.Close()) throw IoError(error);
}

void SetCurrentFolderOrRaise(const std::string& path) {
  if (const auto error = platform::SetCurrentFolder(path)) throw IoError(error);
}

}  // namespace turv
