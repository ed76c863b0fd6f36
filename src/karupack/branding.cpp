#include "karupack/branding.h"

#include <algorithm>
#include <array>

#include "format/karu_format.h"
#include "karupack/errors.h"
#include "karupack/input_source.h"
#include "karupack/transfer.h"
#include "seal/player_image.h"

namespace turv::karupack {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kValueMax = 256;         // characters of one version string
constexpr std::uint64_t kIconMax = 16 << 20;   // far beyond any real icon file
constexpr std::uint64_t kInfoMax = 64 * 1024;  // far beyond six lines
constexpr std::uint32_t kCertificateRevision = 0x0200;
constexpr std::uint32_t kPkcsSignedData = 0x0002;

std::vector<std::uint8_t> ReadSmallFile(const fs::path& file, std::uint64_t limit,
                                        const char* what) {
  InputFile in(file);
  if (in.Size() > limit) {
    throw Failure(
        file, std::string("too large for ") + what + " (" + std::to_string(in.Size()) + " bytes)");
  }
  std::vector<std::uint8_t> bytes(in.Size());
  InputSource(in).Read(0, bytes);
  return bytes;
}

// C0 and C1 controls and DEL: they would steer a terminal or hide text.
bool IsControl(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

seal::VersionInfo VersionOf(const InfoLines& info) {
  seal::VersionInfo version;
  std::optional<seal::VersionNumber> file, product;
  for (const std::string_view key : seal::kVersionKeys) {
    for (const auto& [k, value] : info) {
      if (k != key) continue;
      version.strings.emplace_back(k, value);
      if (k == "FileVersion") file = seal::ParseVersionNumber(value);
      if (k == "ProductVersion") product = seal::ParseVersionNumber(value);
    }
  }
  // One number given sets both: Explorer shows the file's, installers the
  // product's.
  version.fileVersion = file.value_or(product.value_or(seal::VersionNumber{}));
  version.productVersion = product.value_or(file.value_or(seal::VersionNumber{}));
  return version;
}

}  // namespace

std::optional<std::string> AddInfo(std::string_view keyValue, InfoLines& lines) {
  const auto eq = keyValue.find('=');
  if (eq == std::string_view::npos) return "KEY=VALUE expected";
  const std::string key(keyValue.substr(0, eq));
  const std::string value(keyValue.substr(eq + 1));
  if (std::find(seal::kVersionKeys.begin(), seal::kVersionKeys.end(), key) ==
      seal::kVersionKeys.end()) {
    std::string known;
    for (const auto k : seal::kVersionKeys) known += (known.empty() ? "" : ", ") + std::string(k);
    return "unknown key \"" + format::Printable(key) + "\"; the keys are " + known;
  }
  if (std::any_of(lines.begin(), lines.end(), [&](const auto& l) { return l.first == key; })) {
    return key + " is given twice";
  }
  std::u16string wide;
  try {
    wide = seal::Utf16(value);
  } catch (const seal::SealError&) {
    return key + ": the value is not UTF-8";
  }
  if (wide.empty()) return key + ": the value is empty";
  if (wide.size() > kValueMax) {
    return key + ": the value has " + std::to_string(wide.size()) + " characters; at most " +
           std::to_string(kValueMax) + " fit";
  }
  if (std::any_of(wide.begin(), wide.end(), [](char16_t c) { return IsControl(c); })) {
    return key + ": the value holds a control character";
  }
  lines.emplace_back(key, value);
  return std::nullopt;
}

InfoLines ReadInfoFile(const fs::path& file) {
  const auto bytes = ReadSmallFile(file, kInfoMax, "an info file");
  return ParseInfoFile({reinterpret_cast<const char*>(bytes.data()), bytes.size()}, file);
}

namespace {

// Each line that is neither blank nor a comment, with its number.
template <typename Take>
void EachInfoLine(std::string_view text, Take take) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  for (int number = 1; !text.empty(); ++number) {
    const auto end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty() || line.starts_with('#')) continue;
    take(number, line);
  }
}

}  // namespace

InfoLines ParseInfoFile(std::string_view text, const fs::path& file) {
  InfoLines lines;
  EachInfoLine(text, [&](int number, std::string_view line) {
    if (const auto problem = AddInfo(line, lines)) {
      throw Failure(file, "line " + std::to_string(number) + ": " + *problem);
    }
  });
  return lines;
}

InfoFileLines ReadInfoFileLeniently(const fs::path& file) {
  const auto bytes = ReadSmallFile(file, kInfoMax, "an info file");
  return ParseInfoFileLeniently({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

InfoFileLines ParseInfoFileLeniently(std::string_view text) {
  InfoFileLines read;
  EachInfoLine(text, [&](int number, std::string_view line) {
    auto problem = AddInfo(line, read.lines);
    if (!problem) return;
    if (read.refused.size() < CaptionLines::kRefusedKept) {
      read.refused.push_back({number, std::string(line), std::move(*problem)});
    } else {
      ++read.refusedMore;
    }
  });
  return read;
}

void CheckPlayer(InputFile& player, std::ostream& notes) {
  const seal::PlayerFacts facts = seal::ReadPlayer(InputSource(player));
  if (facts.problem) {
    throw Failure(player.Path(), "not a player to carry: " + *facts.problem);
  }
  if (facts.note) {
    notes << "karupack: " << ShownPath(player.Path()) << ": note: an " << facts.kind << ": "
          << *facts.note << "\n";
  }
}

BrandedLauncher::BrandedLauncher(InputFile& launcher, const std::optional<fs::path>& icon,
                                 const InfoLines& info, InputFile* player)
    : launcherFile_(launcher), playerFile_(player), launcher_(launcher) {
  if (icon) {
    try {
      branding_.icon = seal::ParseIconFile(ReadSmallFile(*icon, kIconMax, "an icon file"));
    } catch (const seal::SealError& error) {
      throw Failure(*icon, std::string("not an icon to use: ") + error.what());
    }
  }
  if (!info.empty()) branding_.version = VersionOf(info);
  if (player != nullptr) branding_.player = &player_.emplace(*player);
  try {
    rewrite_.emplace(seal::PlanBranding(launcher_, branding_));
  } catch (const seal::SealError& error) {
    throw Failure(launcher.Path(), std::string("cannot take ") + What() + ": " + error.what());
  }
}

void BrandedLauncher::Build() {
  try {
    image_.emplace(rewrite_->Build());
  } catch (const seal::SealError& error) {
    throw Failure(launcherFile_.Path(), std::string("cannot take ") + What() + ": " + error.what());
  }
}

void BrandedLauncher::WriteTo(Transfer& transfer, OutputFile& out) {
  std::uint64_t written = 0;
  for (const seal::RewrittenImage::Piece& piece : image_->Pieces()) {
    transfer.Write(out, std::vector<std::uint8_t>(piece.at - written, 0));
    if (piece.from == nullptr) {
      transfer.Write(out, piece.held);
    } else {
      // Ranges of the two files the image is read from, copied through the
      // open files: the player read a second time, never held whole.
      InputFile& file = piece.from == &launcher_ ? launcherFile_ : *playerFile_;
      file.Seek(piece.offset);
      transfer.Copy(file, out, piece.size);
    }
    written = piece.at + piece.Size();
  }
  transfer.Write(out, std::vector<std::uint8_t>(image_->Size() - written, 0));
}

// What the rewrite gives the launcher, for its messages.
std::string BrandedLauncher::What() const {
  std::vector<std::string> parts;
  if (!branding_.icon.empty()) parts.emplace_back("an icon");
  if (branding_.version) parts.emplace_back("version information");
  if (branding_.player != nullptr) parts.emplace_back("a player");
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
  }
  return text;
}

void DescribeLauncher(InputFile& package, const seal::LauncherFacts& facts, std::ostream& out,
                      std::string_view indent, bool showMissing) {
  const InputSource file(package);
  seal::ShownBranding shown;
  try {
    shown = seal::ReadBranding(file);
  } catch (const seal::SealError& error) {
    throw Failure(package.Path(), std::string("the launcher's resources: ") + error.what());
  }
  if (!shown.icon.empty() || showMissing) {
    out << indent << "icon: " << (shown.icon.empty() ? "none" : seal::DescribeIcon(shown.icon))
        << "\n";
  }
  if (shown.version) {
    out << indent << "version: file " << seal::FormatVersionNumber(shown.version->fileVersion)
        << ", product " << seal::FormatVersionNumber(shown.version->productVersion) << "\n";
    for (const auto& [key, value] : shown.version->strings) {
      out << indent << format::Printable(key) << ": " << format::Printable(value) << "\n";
    }
  } else if (showMissing) {
    out << indent << "version information: none\n";
  }
  const seal::PlayerFacts player =
      seal::ReadPlayer(seal::RangeSource(file, facts.playerOffset, facts.playerSize));
  out << indent << "player: " << player.size << " bytes, ";
  if (player.problem) {
    out << format::Printable(*player.problem) << "\n";
    return;
  }
  out << player.kind << ", " << (player.isSigned ? "signed" : "not signed");
  for (const auto& [key, value] : player.strings) {
    out << ", " << key << " \"" << format::Printable(value) << "\"";
  }
  out << "\n";
}

std::optional<std::string> CheckSignature(InputFile& package, std::uint64_t dataEnd) {
  const InputSource file(package);
  std::optional<seal::FileRange> table;
  try {
    table = seal::CertificateTable(file);
  } catch (const seal::SealError& error) {
    throw Failure(package.Path(), error.what());
  }
  if (!table) return std::nullopt;
  const auto broken = [&](const std::string& why) {
    return Failure(package.Path(), "the signature's frame is broken: " + why);
  };
  if (table->offset + table->size != file.Size()) {
    throw broken(table->offset + table->size > file.Size()
                     ? std::string("the certificate table runs past the end of the file")
                     : std::to_string(file.Size() - table->offset - table->size) +
                           " bytes follow the certificate table (data appended after "
                           "signing breaks the signature)");
  }
  if (table->offset < dataEnd) throw broken("the certificate table overlaps the packed files");
  if (table->offset % 8 != 0) throw broken("the certificate table is not on an 8-byte boundary");
  std::vector<std::uint8_t> gap(table->offset - dataEnd);
  if (gap.size() >= 8) {
    throw broken(std::to_string(gap.size()) + " bytes lie between the last file and the signature");
  }
  file.Read(dataEnd, gap);
  if (std::any_of(gap.begin(), gap.end(), [](std::uint8_t b) { return b != 0; })) {
    throw broken("the padding before the certificate table is not zero");
  }
  std::size_t entries = 0;
  for (std::uint64_t at = table->offset; at < file.Size(); ++entries) {
    std::array<std::uint8_t, 8> head{};
    if (file.Size() - at < head.size()) throw broken("a certificate entry is cut short");
    file.Read(at, head);
    const std::uint32_t length =
        head[0] | head[1] << 8 | head[2] << 16 | static_cast<std::uint32_t>(head[3]) << 24;
    const std::uint32_t revision = head[4] | head[5] << 8;
    const std::uint32_t type = head[6] | head[7] << 8;
    if (length <= head.size() || length > file.Size() - at) {
      throw broken("a certificate entry of " + std::to_string(length) + " bytes");
    }
    if (revision != kCertificateRevision || type != kPkcsSignedData) {
      throw broken("a certificate entry that is no Authenticode signature");
    }
    at += (std::uint64_t{length} + 7) / 8 * 8;
    if (at > file.Size()) throw broken("the last certificate entry is not padded to 8 bytes");
  }
  return "signed: an Authenticode certificate table of " + std::to_string(table->size) +
         " bytes (" + std::to_string(entries) + (entries == 1 ? " entry" : " entries") +
         ") ends the file; osslsigncode verify or signtool verify /pa checks the signature itself";
}

}  // namespace turv::karupack
