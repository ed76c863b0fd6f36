// A package's face to the user: its icon and its version information, as
// Windows Explorer, signing tools and scanners read them, and the player it
// starts. The formats of the .ico file, the icon group and the version
// resource, and the launcher rewritten to carry them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "seal/launcher_image.h"
#include "seal/pe_resources.h"

namespace turv::seal {

struct IconImage {
  std::uint32_t width = 0;  // 256 where the directory writes 0
  std::uint32_t height = 0;
  std::uint8_t colorCount = 0;
  std::uint16_t bitCount = 0;
  bool png = false;
  std::vector<std::uint8_t> bytes;  // the image as the .ico holds it
};

// The images of an .ico file, each checked (a bitmap with its masks, or a
// PNG of the size its entry states) and in bytes of its own: images that
// share bytes are refused, so the images take no more than the file.
// Throws SealError naming what is wrong.
std::vector<IconImage> ParseIconFile(std::span<const std::uint8_t> ico);

// "16x16 32-bit, 256x256 PNG".
std::string DescribeIcon(const std::vector<IconImage>& images);

// The version strings a package may set, in the order they are shown.
inline constexpr std::array<std::string_view, 6> kVersionKeys = {
    "ProductName",    "FileDescription", "CompanyName",
    "LegalCopyright", "ProductVersion",  "FileVersion"};

using VersionNumber = std::array<std::uint16_t, 4>;

struct VersionInfo {
  std::vector<std::pair<std::string, std::string>> strings;  // key and value, UTF-8
  VersionNumber fileVersion{};
  VersionNumber productVersion{};
};

// "1.2.3" or "1.2.3.4" (each part up to 65535); nothing for other texts.
std::optional<VersionNumber> ParseVersionNumber(std::string_view text);
std::string FormatVersionNumber(const VersionNumber& number);

// UTF-16 as the version resource stores it; throws SealError for a text
// that is not UTF-8.
std::u16string Utf16(std::string_view utf8);
std::string Utf8(std::u16string_view utf16);

std::vector<std::uint8_t> BuildVersionResource(const VersionInfo& info);
VersionInfo ParseVersionResource(std::span<const std::uint8_t> resource);

struct Branding {
  std::vector<IconImage> icon;         // empty: the launcher's own stays
  std::optional<VersionInfo> version;  // nothing: the launcher's own stays
  // The program to carry as RCDATA 1000, read straight into the launcher:
  // nothing, the launcher's own player stays. It must outlive the rewrite.
  const ByteSource* player = nullptr;
};

// The launcher with its icon, version information and player replaced,
// laid out (its size known) before anything is read whole; Build writes it
// sealed again. Throws SealError when the launcher cannot take them.
LauncherRewrite PlanBranding(const ByteSource& launcher, const Branding& branding);
std::vector<std::uint8_t> Brand(std::span<const std::uint8_t> launcher, const Branding& branding);

// What a program file shows: the images of its first icon group, and its
// version information (the first string table). Image bytes are left out.
struct ShownBranding {
  std::vector<IconImage> icon;
  std::optional<VersionInfo> version;
};
ShownBranding ReadBranding(const ByteSource& file);
// The version information alone, or nothing when the file has none.
std::optional<VersionInfo> ReadVersion(const ByteSource& file);

}  // namespace turv::seal
