// karupack list, extract and verify: reading a package or a bare data file.
#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <sstream>

#include "format/karu_format.h"
#include "format/show_settings.h"
#include "karupack/branding.h"
#include "karupack/commands.h"
#include "karupack/errors.h"
#include "karupack/input_source.h"
#include "karupack/pending_file.h"
#include "karupack/transfer.h"
#include "seal/launcher_image.h"
#include "seal/pe_resources.h"

namespace turv::karupack {

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kPackageLimit = std::uint64_t{1} << 31;

struct Region {
  InputFile file;
  std::uint64_t start = 0;                      // where the data region begins in the file
  std::uint64_t size = 0;                       // to the end of the file
  std::optional<seal::LauncherFacts> launcher;  // for a package
  std::vector<format::Entry> entries;
};

// A package is a file that starts as a program does and carries a sealed
// launcher; anything else is read as a bare data file. No data file starts
// with "MZ": its first byte is a name's length, 32 at most.
Region Open(const fs::path& path, bool packageOnly) {
  Region region{InputFile(path), 0, 0, std::nullopt, {}};
  std::array<std::uint8_t, 2> head{};
  const std::size_t got = region.file.Read(head);
  if (got == 2 && head[0] == 'M' && head[1] == 'Z') {
    try {
      const InputSource source(region.file);
      const seal::LauncherFacts facts = seal::ReadLauncher(source);
      if (const auto problem = seal::PackageSealProblem(facts, source.Size())) {
        throw Failure(path, "the launcher part is not sealed right: " + *problem);
      }
      region.launcher = facts;
      region.start = facts.ImageSize();
    } catch (const seal::SealError& error) {
      throw Failure(path, std::string("not a package: ") + error.what());
    }
  } else if (packageOnly) {
    throw Failure(path, "not a package: no launcher in front of the data");
  }
  if (region.start > region.file.Size()) {
    throw Failure(path, "ended early: it changed while karupack read it");
  }
  region.size = region.file.Size() - region.start;
  if (region.size < format::kDirectorySize) {
    throw Failure(
        path, (region.launcher ? "no data behind the launcher: " : "too short for a data file: ") +
                  std::to_string(region.size) + " bytes, but the directory alone takes " +
                  std::to_string(format::kDirectorySize));
  }
  std::vector<std::uint8_t> directory(format::kDirectorySize);
  InputSource(region.file).Read(region.start, directory);
  try {
    region.entries = format::ParseDirectory(directory, region.size);
  } catch (const format::FormatError& error) {
    throw Failure(path, error.what());
  }
  return region;
}

std::string EntryLabel(std::size_t index, const format::Entry& entry) {
  return "entry " + std::to_string(index + 1) + " (" + Shown(entry.name) + "): ";
}

// Every name must be a plain file name, distinct but for case, so that
// writing the files stays inside the folder meant for them.
void CheckNames(const fs::path& path, const std::vector<format::Entry>& entries) {
  std::map<std::string, std::size_t> seen;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (const auto problem = format::NameProblem(entries[i].name)) {
      throw Failure(path, EntryLabel(i, entries[i]) + *problem);
    }
    const auto [it, added] = seen.emplace(format::FoldCase(entries[i].name), i);
    if (!added) {
      throw Failure(path, EntryLabel(i, entries[i]) + "the name of entry " +
                              std::to_string(it->second + 1) + " again");
    }
  }
}

std::uint64_t BodiesEnd(const Region& region) {
  if (region.entries.empty()) return format::kDirectorySize;
  const auto& last = region.entries.back();
  return static_cast<std::uint64_t>(last.position + last.size);
}

// A stored text as a cell of the list: UTF-8, control characters escaped.
std::string Cell(std::string_view cp1252) {
  return format::Printable(format::ToUtf8(cp1252));
}

// The columns a cell takes: one per character (the escapes are ASCII).
std::size_t Columns(std::string_view utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string Pad(std::string_view utf8, std::size_t width) {
  return std::string(width - std::min(width, Columns(utf8)), ' ');
}

// Whether the header checksum is the one the whole file gives. A stale
// one (an older packer summed the launcher only) is reported, not
// refused: Windows does not check it for programs, some scanners do.
std::string DescribeChecksum(Region& region) {
  seal::HeaderChecksum checksum(region.launcher->checksumOffset);
  std::vector<std::uint8_t> buffer(std::min<std::uint64_t>(Transfer::kBuffer, region.file.Size()));
  region.file.Seek(0);
  for (std::uint64_t left = region.file.Size(); left > 0;) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
    const std::size_t got = region.file.Read(std::span(buffer).first(want));
    if (got == 0)
      throw Failure(region.file.Path(), "ended early: it changed while karupack read it");
    checksum.Add(std::span(buffer).first(got));
    left -= got;
  }
  char text[160];
  if (checksum.Stored() == checksum.Value()) {
    std::snprintf(text, sizeof text, "checksum: 0x%08X, right", checksum.Value());
  } else {
    std::snprintf(text, sizeof text,
                  "checksum: 0x%08X, stale: the file gives 0x%08X (packing it again renews it)",
                  checksum.Stored(), checksum.Value());
  }
  return text;
}

// The show's settings as list and verify show them: what they set, or what
// is wrong with them. A package of an older packer may carry a show.ini
// never checked: it is reported, not refused, as the player then runs the
// show by hand.
std::optional<std::string> DescribeShow(Region& region) {
  const auto show = std::find_if(region.entries.begin(), region.entries.end(), [](const auto& e) {
    return format::FoldCase(e.name) == format::kShowSettingsName;
  });
  if (show == region.entries.end()) return std::nullopt;
  format::ShowParse parse;
  const auto size = static_cast<std::uint64_t>(show->size);
  if (size > format::kShowSettingsMax) {
    parse.problems.push_back({0, format::ShowFault::TooLarge, std::to_string(size)});
  } else {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    InputSource(region.file).Read(region.start + static_cast<std::uint64_t>(show->position), bytes);
    parse = format::ParseShowSettings(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    std::vector<std::string> names;
    for (const format::Entry& e : region.entries) names.push_back(e.name);
    format::CheckShowEntries(parse, names);
  }
  const std::string label = Cell(show->name) + ": ";
  if (parse.problems.empty())
    return label + "the show's settings: " + format::ShowSummary(parse.settings);
  return label + "show settings the player cannot use (it runs by hand): " +
         format::Describe(parse.problems.front());
}

}  // namespace

void List(const fs::path& input, std::ostream& out) {
  Region region = Open(input, false);
  std::vector<std::array<std::string, 4>> rows = {{"name", "caption", "size", "position"}};
  std::uint64_t total = 0;
  for (const format::Entry& e : region.entries) {
    rows.push_back(
        {Cell(e.name), Cell(e.caption), std::to_string(e.size), std::to_string(e.position)});
    total += static_cast<std::uint64_t>(e.size);
  }
  rows.push_back(
      {"total", std::to_string(region.entries.size()) + " files", std::to_string(total), ""});
  std::array<std::size_t, 4> width{};
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < 4; ++c) width[c] = std::max(width[c], Columns(row[c]));
  }
  for (const auto& row : rows) {
    std::string line = row[0] + Pad(row[0], width[0]) + "  " + row[1] + Pad(row[1], width[1]) +
                       "  " + Pad(row[2], width[2]) + row[2] + "  " + Pad(row[3], width[3]) +
                       row[3];
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << "\n";
  }
  if (const auto show = DescribeShow(region)) out << *show << "\n";
  if (region.launcher) DescribeLauncher(region.file, *region.launcher, out, "", false);
}

void Extract(const fs::path& input, const fs::path& folder, std::ostream& out) {
  Region region = Open(input, false);
  CheckNames(input, region.entries);
  // Writing an entry over the file being read would lose it, whatever the
  // spelling (a link, or a name equal but for case on Windows).
  if (const auto self = IdentityOf(input)) {
    for (std::size_t i = 0; i < region.entries.size(); ++i) {
      const auto entry = IdentityOf(folder / PathFromUtf8(format::ToUtf8(region.entries[i].name)));
      if (entry && SameFile(*entry, *self)) {
        throw Failure(input, EntryLabel(i, region.entries[i]) +
                                 "it would replace the file being extracted; extract into "
                                 "another folder");
      }
    }
  }
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) throw Failure(folder, "cannot create the folder: " + error.message());
  if (!fs::is_directory(folder, error)) throw Failure(folder, "not a folder");

  Progress quiet(out, {}, 0, false);
  Transfer transfer(quiet);
  for (const format::Entry& e : region.entries) {
    // A checked name is one plain file name: it stays inside folder.
    PendingFile pending(folder / PathFromUtf8(format::ToUtf8(e.name)), false);
    region.file.Seek(region.start + static_cast<std::uint64_t>(e.position));
    transfer.Copy(region.file, pending.Out(), static_cast<std::uint64_t>(e.size));
    transfer.CheckInterrupt();
    pending.Commit();
  }
  FlushFolder(folder);
  out << region.entries.size() << " files written to " << ShownPath(folder) << "\n";
}

void Verify(const fs::path& package, std::ostream& out) {
  Region region = Open(package, true);
  CheckNames(package, region.entries);
  if (region.file.Size() >= kPackageLimit) {
    throw Failure(package, "the package is " + std::to_string(region.file.Size()) +
                               " bytes; the launcher reads sizes as signed 32-bit, so it must "
                               "stay below 2 GiB");
  }
  const std::uint64_t end = BodiesEnd(region);
  // Everything is checked before the verdict is written, all of it through
  // the file opened once.
  if (const auto problem = seal::ImageProblem(InputSource(region.file))) {
    throw Failure(package, "the launcher part would not load: " + *problem);
  }
  std::ostringstream launcher;
  DescribeLauncher(region.file, *region.launcher, launcher, "  ", true);
  const auto signature = CheckSignature(region.file, region.start + end);
  const std::string checksum = DescribeChecksum(region);
  const auto show = DescribeShow(region);
  out << ShownPath(package) << ": OK: sealed launcher of " << region.start << " bytes, "
      << region.entries.size() << " files, " << end - format::kDirectorySize << " bytes of data";
  if (end < region.size) out << ", " << region.size - end << " bytes after the last file";
  out << "\n"
      << launcher.str() << "  " << checksum << "\n  " << signature.value_or("not signed") << "\n";
  if (show) out << "  " << *show << "\n";
}

}  // namespace turv::karupack
