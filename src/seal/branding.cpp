#include "seal/branding.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "seal/pe_resources.h"

namespace turv::seal {

namespace {

constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr std::size_t kFixedInfoSize = 52;
constexpr std::size_t kMaxImages = 256;
// An icon group or a version resource: 16-bit lengths keep them small.
constexpr std::uint32_t kMaxSmallResource = 1 << 20;
constexpr std::uint16_t kGerman = 0x0407;
constexpr std::uint16_t kUnicode = 1200;
constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

using Bytes = std::vector<std::uint8_t>;
using View = std::span<const std::uint8_t>;

std::uint32_t Le(View b, std::size_t at, int width) {
  std::uint32_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

std::uint32_t Be32(View b, std::size_t at) {
  return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 |
         std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

void Add(Bytes& b, std::uint32_t v, int width) {
  for (int i = 0; i < width; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void Set16(Bytes& b, std::size_t at, std::size_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

bool IsPng(View image) {
  return image.size() >= kPngSignature.size() &&
         std::equal(kPngSignature.begin(), kPngSignature.end(), image.begin());
}

bool IsId(const ResourceKey& key, std::uint16_t id) {
  return key == ResourceKey(id);
}

std::string Size(std::uint32_t width, std::uint32_t height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

// A bitmap image: its header, its colour table, the colour bits and the
// transparency mask, all in the bytes the entry gives it.
void CheckBitmap(View image, std::uint32_t width, std::uint32_t height, IconImage& icon,
                 const std::string& label) {
  if (image.size() < 40 || Le(image, 0, 4) < 40 || Le(image, 0, 4) > image.size()) {
    throw SealError(label + ": no bitmap header");
  }
  const std::uint32_t headerSize = Le(image, 0, 4);
  const std::uint32_t bitmapWidth = Le(image, 4, 4);
  const std::uint32_t bitmapHeight = Le(image, 8, 4);
  if (bitmapWidth != width || bitmapHeight != 2 * height) {
    throw SealError(label + ": its bitmap is " + Size(bitmapWidth, bitmapHeight / 2));
  }
  const std::uint32_t bits = Le(image, 14, 2);
  if (Le(image, 12, 2) != 1 ||
      (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)) {
    throw SealError(label + ": " + std::to_string(bits) + " bits a pixel is no icon depth");
  }
  if (Le(image, 16, 4) != 0) throw SealError(label + ": a compressed bitmap");
  const std::uint64_t used = Le(image, 32, 4);
  const std::uint64_t colours = used != 0 ? used : bits <= 8 ? std::uint64_t{1} << bits : 0;
  const std::uint64_t colourStride = (std::uint64_t{width} * bits + 31) / 32 * 4;
  const std::uint64_t maskStride = (std::uint64_t{width} + 31) / 32 * 4;
  if (colours > 256 ||
      headerSize + colours * 4 + (colourStride + maskStride) * height > image.size()) {
    throw SealError(label + ": its bitmap is cut short");
  }
  icon.bitCount = static_cast<std::uint16_t>(bits);
}

// The version resource's nodes: length, value length, type, a UTF-16 key,
// the value and the children, each on a 4-byte boundary.
struct Node {
  std::u16string key;
  View value;
  std::vector<View> children;
};

std::size_t Align4(std::size_t v) {
  return (v + 3) & ~std::size_t{3};
}

Node ReadNode(View block) {
  const auto damaged = [] { return SealError("damaged version information"); };
  if (block.size() < 6) throw damaged();
  const std::size_t length = Le(block, 0, 2);
  if (length < 6 || length > block.size()) throw damaged();
  block = block.first(length);
  const std::size_t valueLength = Le(block, 2, 2);
  const bool text = Le(block, 4, 2) == 1;
  Node node;
  std::size_t at = 6;
  for (;; at += 2) {
    if (at + 2 > block.size()) throw damaged();
    const auto c = static_cast<char16_t>(Le(block, at, 2));
    if (c == 0) break;
    node.key.push_back(c);
  }
  at = std::min(Align4(at + 2), block.size());
  const std::size_t valueBytes = std::min(text ? valueLength * 2 : valueLength, block.size() - at);
  node.value = block.subspan(at, valueBytes);
  for (at = Align4(at + valueBytes); at + 6 <= block.size();) {
    const std::size_t childLength = Le(block, at, 2);
    if (childLength < 6 || childLength > block.size() - at) throw damaged();
    node.children.push_back(block.subspan(at, childLength));
    at = Align4(at + childLength);
  }
  return node;
}

std::string TextOf(View value) {
  std::u16string text;
  for (std::size_t at = 0; at + 1 < value.size(); at += 2) {
    const auto c = static_cast<char16_t>(Le(value, at, 2));
    if (c == 0) break;
    text.push_back(c);
  }
  return Utf8(text);
}

// Writes a node; children are written by the callback. Returns nothing:
// the node's length is filled in when it is complete.
template <typename Children>
void WriteNode(Bytes& out, std::u16string_view key, View value, std::size_t valueLength, bool text,
               Children&& children) {
  out.resize(Align4(out.size()), 0);
  const std::size_t start = out.size();
  Add(out, 0, 2);
  Add(out, static_cast<std::uint32_t>(valueLength), 2);
  Add(out, text ? 1 : 0, 2);
  for (const char16_t c : key) Add(out, c, 2);
  Add(out, 0, 2);
  out.resize(Align4(out.size()), 0);
  out.insert(out.end(), value.begin(), value.end());
  children();
  Set16(out, start, out.size() - start);
}

VersionNumber FromWords(std::uint32_t high, std::uint32_t low) {
  return {static_cast<std::uint16_t>(high >> 16), static_cast<std::uint16_t>(high),
          static_cast<std::uint16_t>(low >> 16), static_cast<std::uint16_t>(low)};
}

// The first version resource of the file's resources.
std::optional<VersionInfo> VersionIn(const ByteSource& file,
                                     const std::vector<ResourceEntry>& entries) {
  const auto version = std::find_if(entries.begin(), entries.end(),
                                    [](const auto& e) { return IsId(e.type, kRtVersion); });
  if (version == entries.end()) return std::nullopt;
  if (version->size > kMaxSmallResource) throw SealError("damaged version information");
  return ParseVersionResource(ReadResource(file, *version));
}

}  // namespace

std::vector<IconImage> ParseIconFile(View ico) {
  if (ico.size() < 6 || Le(ico, 0, 2) != 0) throw SealError("not an icon file");
  if (Le(ico, 2, 2) == 2) throw SealError("a cursor file, not an icon");
  if (Le(ico, 2, 2) != 1) throw SealError("not an icon file");
  const std::size_t count = Le(ico, 4, 2);
  if (count == 0) throw SealError("the icon file holds no image");
  if (count > kMaxImages) throw SealError("the icon file holds more than 256 images");
  const std::size_t directoryEnd = 6 + 16 * count;
  if (directoryEnd > ico.size()) throw SealError("the icon file's directory is cut short");
  std::vector<IconImage> images;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = 6 + 16 * i;
    IconImage icon;
    icon.width = ico[entry] != 0 ? ico[entry] : 256;
    icon.height = ico[entry + 1] != 0 ? ico[entry + 1] : 256;
    icon.colorCount = ico[entry + 2];
    const std::size_t size = Le(ico, entry + 8, 4);
    const std::size_t offset = Le(ico, entry + 12, 4);
    const std::string label =
        "image " + std::to_string(i + 1) + " (" + Size(icon.width, icon.height) + ")";
    if (size == 0 || offset < directoryEnd || offset > ico.size() || size > ico.size() - offset) {
      throw SealError(label + " lies outside the file");
    }
    for (std::size_t j = 0; j < i; ++j) {
      const std::size_t otherSize = Le(ico, 6 + 16 * j + 8, 4);
      const std::size_t otherOffset = Le(ico, 6 + 16 * j + 12, 4);
      if (offset < otherOffset + otherSize && otherOffset < offset + size) {
        throw SealError(label + " shares bytes with image " + std::to_string(j + 1));
      }
    }
    const View image = ico.subspan(offset, size);
    if (IsPng(image)) {
      if (image.size() < 33 || Le(image, 12, 4) != 0x52444849) {  // "IHDR"
        throw SealError(label + ": a PNG without its header");
      }
      if (Be32(image, 16) != icon.width || Be32(image, 20) != icon.height) {
        throw SealError(label + ": the PNG is " + Size(Be32(image, 16), Be32(image, 20)));
      }
      icon.png = true;
      icon.bitCount = 32;
    } else {
      CheckBitmap(image, icon.width, icon.height, icon, label);
    }
    icon.bytes.assign(image.begin(), image.end());
    images.push_back(std::move(icon));
  }
  return images;
}

std::string DescribeIcon(const std::vector<IconImage>& images) {
  std::string text;
  for (const IconImage& image : images) {
    if (!text.empty()) text += ", ";
    text += Size(image.width, image.height);
    if (image.png) {
      text += " PNG";
    } else {
      text += ' ';
      text += std::to_string(image.bitCount);
      text += "-bit";
    }
  }
  return text;
}

std::optional<VersionNumber> ParseVersionNumber(std::string_view text) {
  VersionNumber number{};
  std::size_t parts = 0;
  const char* at = text.data();
  const char* end = text.data() + text.size();
  while (parts < 4) {
    unsigned value = 0;
    const auto [next, error] = std::from_chars(at, end, value);
    if (error != std::errc() || next == at || value > 0xFFFF) return std::nullopt;
    number[parts++] = static_cast<std::uint16_t>(value);
    at = next;
    if (at == end) break;
    if (*at++ != '.') return std::nullopt;
  }
  if (at != end || parts < 3) return std::nullopt;
  return number;
}

std::string FormatVersionNumber(const VersionNumber& n) {
  return std::to_string(n[0]) + "." + std::to_string(n[1]) + "." + std::to_string(n[2]) + "." +
         std::to_string(n[3]);
}

std::u16string Utf16(std::string_view utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const int extra = lead < 0x80                   ? 0
                      : lead >= 0xC2 && lead < 0xE0 ? 1
                      : lead >= 0xE0 && lead < 0xF0 ? 2
                      : lead >= 0xF0 && lead < 0xF5 ? 3
                                                    : -1;
    if (extra < 0 || utf8.size() - i <= static_cast<std::size_t>(extra)) {
      throw SealError("not UTF-8");
    }
    char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) throw SealError("not UTF-8");
      c = (c << 6) | (next & 0x3F);
    }
    const char32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (c < least[extra] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
      throw SealError("not UTF-8");
    }
    if (c >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

std::string Utf8(std::u16string_view utf16) {
  std::string out;
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[++i] - 0xDC00);
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;  // half a pair
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::vector<std::uint8_t> BuildVersionResource(const VersionInfo& info) {
  Bytes fixed;
  Add(fixed, kFixedInfoSignature, 4);
  Add(fixed, 0x00010000, 4);  // structure version 1.0
  const auto words = [&](const VersionNumber& n) {
    Add(fixed, std::uint32_t{n[0]} << 16 | n[1], 4);
    Add(fixed, std::uint32_t{n[2]} << 16 | n[3], 4);
  };
  words(info.fileVersion);
  words(info.productVersion);
  Add(fixed, 0x3F, 4);        // flags mask
  Add(fixed, 0, 4);           // flags
  Add(fixed, 0x00040004, 4);  // Windows NT, 32-bit
  Add(fixed, 1, 4);           // an application
  Add(fixed, 0, 4);
  Add(fixed, 0, 4);  // no date
  Add(fixed, 0, 4);

  Bytes out;
  WriteNode(out, u"VS_VERSION_INFO", fixed, fixed.size(), false, [&] {
    WriteNode(out, u"StringFileInfo", {}, 0, true, [&] {
      WriteNode(out, u"040704B0", {}, 0, true, [&] {
        for (const auto& [key, value] : info.strings) {
          Bytes text;
          for (const char16_t c : Utf16(value)) Add(text, c, 2);
          Add(text, 0, 2);
          WriteNode(out, Utf16(key), text, text.size() / 2, true, [] {});
        }
      });
    });
    WriteNode(out, u"VarFileInfo", {}, 0, true, [&] {
      Bytes translation;
      Add(translation, kGerman, 2);
      Add(translation, kUnicode, 2);
      WriteNode(out, u"Translation", translation, translation.size(), false, [] {});
    });
  });
  return out;
}

VersionInfo ParseVersionResource(View resource) {
  const Node root = ReadNode(resource);
  if (root.key != u"VS_VERSION_INFO" || root.value.size() < kFixedInfoSize ||
      Le(root.value, 0, 4) != kFixedInfoSignature) {
    throw SealError("damaged version information");
  }
  VersionInfo info;
  info.fileVersion = FromWords(Le(root.value, 8, 4), Le(root.value, 12, 4));
  info.productVersion = FromWords(Le(root.value, 16, 4), Le(root.value, 20, 4));
  for (const View child : root.children) {
    const Node fileInfo = ReadNode(child);
    if (fileInfo.key != u"StringFileInfo" || fileInfo.children.empty()) continue;
    for (const View string : ReadNode(fileInfo.children.front()).children) {
      const Node node = ReadNode(string);
      info.strings.emplace_back(Utf8(node.key), TextOf(node.value));
    }
    break;
  }
  return info;
}

LauncherRewrite PlanBranding(const ByteSource& launcher, const Branding& branding) {
  std::vector<Resource> resources;
  std::optional<ResourceKey> groupName;
  std::uint16_t iconLanguage = 0;
  std::uint16_t versionLanguage = 0;
  std::optional<ResourceEntry> player;
  for (const ResourceEntry& e : ListResources(launcher)) {
    if (!branding.icon.empty() && (IsId(e.type, kRtIcon) || IsId(e.type, kRtGroupIcon))) {
      if (IsId(e.type, kRtGroupIcon) && !groupName) {
        groupName = e.name;
        iconLanguage = e.language;
      }
      continue;
    }
    if (branding.version && IsId(e.type, kRtVersion)) {
      versionLanguage = e.language;
      continue;
    }
    // Every language of the player goes; the new one takes the first's
    // language, the one the launcher finds.
    if (branding.player != nullptr && IsId(e.type, kRtRcData) &&
        IsId(e.name, static_cast<std::uint16_t>(kPlayerResourceId))) {
      if (!player) player = e;
      continue;
    }
    resources.push_back(KeptResource(launcher, e));
  }
  if (!branding.icon.empty()) {
    Bytes group;
    Add(group, 0, 2);
    Add(group, 1, 2);
    Add(group, static_cast<std::uint32_t>(branding.icon.size()), 2);
    for (std::size_t i = 0; i < branding.icon.size(); ++i) {
      const IconImage& image = branding.icon[i];
      const auto id = static_cast<std::uint16_t>(i + 1);
      group.push_back(static_cast<std::uint8_t>(image.width & 0xFF));  // 256 is written 0
      group.push_back(static_cast<std::uint8_t>(image.height & 0xFF));
      group.push_back(image.colorCount);
      group.push_back(0);
      Add(group, 1, 2);  // planes
      Add(group, image.bitCount, 2);
      Add(group, static_cast<std::uint32_t>(image.bytes.size()), 4);
      Add(group, id, 2);
      resources.push_back({kRtIcon, id, iconLanguage, 0, image.bytes});
    }
    resources.push_back(
        {kRtGroupIcon, groupName.value_or(std::uint16_t{1}), iconLanguage, 0, std::move(group)});
  }
  if (branding.version) {
    resources.push_back({kRtVersion, std::uint16_t{1}, versionLanguage, 0,
                         BuildVersionResource(*branding.version)});
  }
  if (branding.player != nullptr) {
    if (!player) throw SealError("no player resource (RCDATA 1000 missing)");
    resources.push_back({kRtRcData,
                         static_cast<std::uint16_t>(kPlayerResourceId),
                         player->language,
                         player->codePage,
                         {},
                         branding.player,
                         0,
                         branding.player->Size()});
  }
  return LauncherRewrite(launcher, std::move(resources));
}

std::vector<std::uint8_t> Brand(View launcher, const Branding& branding) {
  const MemorySource source(launcher);
  return PlanBranding(source, branding).Build().Bytes();
}

ShownBranding ReadBranding(const ByteSource& file) {
  ShownBranding shown;
  const std::vector<ResourceEntry> entries = ListResources(file);
  const auto group = std::find_if(entries.begin(), entries.end(),
                                  [](const auto& e) { return IsId(e.type, kRtGroupIcon); });
  if (group != entries.end()) {
    if (group->size > kMaxSmallResource) throw SealError("damaged icon group");
    const Bytes directory = ReadResource(file, *group);
    if (directory.size() < 6 || directory.size() < 6 + 14 * std::size_t{Le(directory, 4, 2)}) {
      throw SealError("damaged icon group");
    }
    // The images by id, the first of each in the tree's order: a group may
    // name 65,535 of them.
    std::map<std::uint16_t, const ResourceEntry*> images;
    for (const ResourceEntry& e : entries) {
      if (IsId(e.type, kRtIcon) && std::holds_alternative<std::uint16_t>(e.name)) {
        images.emplace(std::get<std::uint16_t>(e.name), &e);
      }
    }
    for (std::size_t i = 0; i < Le(directory, 4, 2); ++i) {
      const std::size_t at = 6 + 14 * i;
      const auto found = images.find(static_cast<std::uint16_t>(Le(directory, at + 12, 2)));
      if (found == images.end()) throw SealError("the icon group names a missing image");
      const ResourceEntry* image = found->second;
      IconImage icon;
      icon.width = directory[at] != 0 ? directory[at] : 256;
      icon.height = directory[at + 1] != 0 ? directory[at + 1] : 256;
      icon.colorCount = directory[at + 2];
      icon.bitCount = static_cast<std::uint16_t>(Le(directory, at + 6, 2));
      std::array<std::uint8_t, 8> head{};
      if (image->size >= head.size()) file.Read(image->offset, head);
      icon.png = IsPng(head);
      shown.icon.push_back(std::move(icon));
    }
  }
  shown.version = VersionIn(file, entries);
  return shown;
}

std::optional<VersionInfo> ReadVersion(const ByteSource& file) {
  return VersionIn(file, ListResources(file));
}

}  // namespace turv::seal
