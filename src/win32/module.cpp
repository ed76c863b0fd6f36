// The running program: its file, its directory entry, its player resource
// and the value the build sealed into it.
#include <windows.h>

#include "platform/platform.h"
#include "seal/seal_record.h"
#include "win32/handles.h"
#include "win32/system_text.h"

// Patched after linking; volatile so that the compiler never folds the blank.
extern "C" __attribute__((used)) const volatile turv::seal::Record turv_image_seal = {
    {'t', 'u', 'r', 'v', '-', 'i', 'm', 'a', 'g', 'e', '-', 's', 'e', 'a', 'l', '1'}, 0, 0};

namespace turv::platform {

std::string ModuleFileName() {
  return win32::AnsiPath(win32::ModulePathWide());
}

std::optional<std::int32_t> FindEntrySize(const std::string& path) {
  WIN32_FIND_DATAW entry{};
  const win32::FindHandle find(::FindFirstFileW(win32::WidePath(path).c_str(), &entry));
  if (!find) return std::nullopt;
  return static_cast<std::int32_t>(entry.nFileSizeLow);
}

std::optional<std::span<const std::uint8_t>> FindRcData(int id) {
  HRSRC info = ::FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (info == nullptr) return std::nullopt;
  HGLOBAL loaded = ::LoadResource(nullptr, info);
  const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (bytes == nullptr) return std::nullopt;
  return std::span(static_cast<const std::uint8_t*>(bytes), ::SizeofResource(nullptr, info));
}

std::optional<std::int64_t> ImageSizeLessPlayer() {
  const std::uint32_t value = turv_image_seal.imageLessPlayer;
  // The blank record of an unsealed link holds 0 and 0: the check word tells.
  if (turv_image_seal.check != ~value) return std::nullopt;
  return value;
}

}  // namespace turv::platform
