// File operations that raise the launch's I/O error when they fail. A file
// whose opening failed is simply not open: the open's own code is dropped,
// and the next operation on it raises I/O error 103.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/platform.h"

namespace turv {

std::uint64_t SizeOrRaise(const platform::File& file);
// Reads up to into.size() bytes; returns how many came.
std::uint32_t ReadOrRaise(platform::File& file, std::span<std::uint8_t> into);
// Writes all of bytes with one call; a write cut short raises I/O error 101.
void WriteOrRaise(platform::File& file, std::span<const std::uint8_t> bytes);
void CloseOrRaise(platform::File& file);

void SetCurrentFolderOrRaise(const std::string& path);

}  // namespace turv
