// karupack pack: checks everything first, then writes launcher, directory
// and bodies in one pass into a file that takes the output's place only
// when complete.
#include <algorithm>
#include <array>
#include <map>

#include "format/karu_format.h"
#include "format/show_settings.h"
#include "karupack/branding.h"
#include "karupack/captions.h"
#include "karupack/commands.h"
#include "karupack/errors.h"
#include "karupack/input_source.h"
#include "karupack/pending_file.h"
#include "karupack/transfer.h"
#include "seal/launcher_image.h"

namespace turv::karupack {

namespace {

namespace fs = std::filesystem;

// The launcher takes file sizes as signed 32-bit numbers.
constexpr std::uint64_t kPackageLimit = std::uint64_t{1} << 31;
// Smaller packs finish before a bar would tell anything.
constexpr std::uint64_t kProgressFrom = 4 << 20;

struct Source {
  fs::path file;
  format::Entry entry;  // name and caption in Windows-1252
  std::optional<FileId> id;
};

std::string StoredName(const fs::path& file) {
  std::string name;
  try {
    name = format::ToCp1252(Utf8(file.filename()));
  } catch (const format::FormatError& error) {
    throw Failure(file, std::string("the name cannot be packed: ") + error.what());
  }
  if (const auto problem = format::NameProblem(name)) {
    throw Failure(file, "the name cannot be packed: " + *problem);
  }
  return name;
}

// The file packed under its own name, or under storedAs.
void Add(const fs::path& file, std::vector<Source>& sources, std::string_view storedAs = {}) {
  std::error_code error;
  const auto size = fs::file_size(file, error);
  if (error) throw Failure(file, "cannot read: " + error.message());
  Source source{file, {}, IdentityOf(file)};
  source.entry.name = storedAs.empty() ? StoredName(file) : std::string(storedAs);
  source.entry.caption = source.entry.name;
  source.entry.size = static_cast<std::int64_t>(size);
  sources.push_back(std::move(source));
}

// The files to pack, in order: each FILE as given, each DIR's regular files
// sorted by name. A link inside a folder could lead anywhere (to the
// author's keys, say): it is refused unless the author asked for links to
// be followed; one given by name is followed, as the author chose it.
std::vector<Source> Gather(const std::vector<fs::path>& inputs, bool followLinks,
                           std::ostream& notes) {
  std::vector<Source> sources;
  for (const fs::path& input : inputs) {
    std::error_code error;
    const auto status = fs::status(input, error);
    if (status.type() == fs::file_type::not_found) throw Failure(input, "no such file or folder");
    if (error) throw Failure(input, "cannot read: " + error.message());
    if (status.type() == fs::file_type::regular) {
      Add(input, sources);
      continue;
    }
    if (status.type() != fs::file_type::directory) {
      throw Failure(input, "neither a regular file nor a folder");
    }
    std::vector<fs::path> files;
    for (fs::directory_iterator it(input, error), end; !error && it != end; it.increment(error)) {
      if (const auto target = LinkTarget(it->path()); target && !followLinks) {
        throw Failure(it->path(), "is a symbolic link to " + Utf8(*target) +
                                      "; links inside a folder are packed only with "
                                      "--follow-links");
      }
      std::error_code typeError;
      if (it->is_regular_file(typeError)) {
        files.push_back(it->path());
      } else {
        notes << "karupack: " << ShownPath(it->path()) << ": skipped, not a regular file\n";
      }
    }
    if (error) throw Failure(input, "cannot list the folder: " + error.message());
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
      return Utf8(a.filename()) < Utf8(b.filename());
    });
    for (const fs::path& file : files) Add(file, sources);
  }
  return sources;
}

// Windows keeps one file per name but for case in a folder.
void CheckDistinct(const std::vector<Source>& sources) {
  std::map<std::string, const Source*> seen;
  for (const Source& source : sources) {
    const auto [it, added] = seen.emplace(format::FoldCase(source.entry.name), &source);
    if (added) continue;
    const bool same = it->second->entry.name == source.entry.name;
    throw Failure(source.file, "the name " + std::string(same ? "" : "(but for case) ") +
                                   "is already taken by " + Utf8(it->second->file));
  }
}

void ApplyCaptions(const fs::path& file, std::vector<Source>& sources) {
  std::map<std::string, Source*> byName;
  for (Source& source : sources) byName.emplace(format::FoldCase(source.entry.name), &source);
  std::map<std::string, int> firstLine;
  for (const Caption& caption : ReadCaptions(file)) {
    const std::string key = format::FoldCase(caption.name);
    const auto [seen, added] = firstLine.emplace(key, caption.line);
    if (!added) {
      throw Failure(file, "line " + std::to_string(caption.line) + ": a second caption for " +
                              Shown(caption.name) + " (the first is on line " +
                              std::to_string(seen->second) + ")");
    }
    const auto target = byName.find(key);
    if (target == byName.end()) {
      throw Failure(file, "line " + std::to_string(caption.line) + ": " + Shown(caption.name) +
                              " names no packed file");
    }
    target->second->entry.caption = caption.text;
  }
}

bool IsShow(const Source& source) {
  return format::FoldCase(source.entry.name) == format::kShowSettingsName;
}

// The show's settings given apart from the files (--show, a folder's
// show.ini) go last, under their entry's name; a show.ini among the files
// too would be a second.
void AddShow(const fs::path& file, std::vector<Source>& sources) {
  const auto other = std::find_if(sources.begin(), sources.end(), IsShow);
  if (other != sources.end()) {
    throw Failure(other->file, "a second show's settings beside --show " + Utf8(file) +
                                   "; pack one show.ini, not two");
  }
  Add(file, sources, format::kShowSettingsName);
}

// An entry named show.ini is the show's settings wherever it comes from:
// it must read cleanly and name only files packed with it.
void CheckShow(const std::vector<Source>& sources) {
  const auto show = std::find_if(sources.begin(), sources.end(), IsShow);
  if (show == sources.end()) return;
  format::ShowParse parse;
  InputFile file(show->file);
  if (file.Size() > format::kShowSettingsMax) {
    parse.problems.push_back({0, format::ShowFault::TooLarge, std::to_string(file.Size())});
  } else {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
    InputSource(file).Read(0, bytes);
    parse = format::ParseShowSettings(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    std::vector<std::string> names;
    for (const Source& source : sources) names.push_back(source.entry.name);
    format::CheckShowEntries(parse, names);
  }
  if (parse.problems.empty()) return;
  const format::ShowProblem& first = parse.problems.front();
  std::string what = format::DescribeFault(first);
  if (parse.problems.size() > 1) {
    what += " (and " + std::to_string(parse.problems.size() - 1) + " more)";
  }
  if (first.line == 0) throw Failure(show->file, what);
  throw Failure(show->file, first.line, what);
}

// The launcher, opened once: checked, branded and copied through this one
// file.
InputFile OpenLauncher(const fs::path& launcher, bool chosen) {
  std::error_code error;
  if (!fs::exists(launcher, error)) {
    throw Failure(launcher, chosen ? "no such launcher"
                                   : "no launcher here; build the win32 preset, set "
                                     "TURV_LAUNCHER or give one with -l");
  }
  return InputFile(launcher);
}

// The sealed launcher's facts: its image size is where the data region
// will begin.
seal::LauncherFacts CheckLauncher(InputFile& launcher) {
  const InputSource source(launcher);
  try {
    const seal::LauncherFacts facts = seal::ReadLauncher(source);
    if (const auto problem = seal::SealProblem(facts, source.Size())) {
      throw Failure(launcher.Path(), "not a launcher to pack with: " + *problem);
    }
    return facts;
  } catch (const seal::SealError& sealError) {
    throw Failure(launcher.Path(), std::string("not a launcher to pack with: ") + sealError.what());
  }
}

// Replacing a file we are about to read would lose it, whatever its part
// in the pack; the rename that puts the package in place would also
// replace a pipe or a device, or a link to one. A link to a regular file is
// replaced itself: that file stays as it was.
void CheckOutput(const PackOptions& options, const fs::path& launcher,
                 const std::vector<Source>& sources) {
  std::error_code error;
  if (fs::is_directory(options.output, error)) throw Failure(options.output, "is a folder");
  if (const auto kind = SpecialFileKind(options.output)) {
    throw Failure(options.output, "is " + *kind + ", not a regular file to replace");
  }
  const auto output = IdentityOf(options.output);
  if (!output) return;
  const auto is = [&](const std::optional<FileId>& id) { return id && SameFile(*id, *output); };
  for (const Source& source : sources) {
    if (is(source.id)) {
      throw Failure(options.output, "is one of the files to pack (" + Utf8(source.file) + ")");
    }
  }
  const std::vector<std::pair<const char*, std::optional<fs::path>>> others = {
      {"the launcher", launcher},
      {"the captions file", options.captions},
      {"the show's settings", options.show},
      {"the icon file", options.icon},
      {"the player", options.player}};
  for (const auto& [role, path] : others) {
    if (path && is(IdentityOf(*path))) throw Failure(options.output, std::string("is ") + role);
  }
  for (const fs::path& aside : options.setAside) {
    if (is(IdentityOf(aside))) {
      throw Failure(options.output, "is one of the files the pack reads (" + Utf8(aside) + ")");
    }
  }
}

}  // namespace

Packed Pack(const PackOptions& options, std::ostream& out, std::ostream& notes) {
  const fs::path launcher = options.launcher ? *options.launcher : DefaultLauncher();
  InputFile launcherFile = OpenLauncher(launcher, options.launcher.has_value());
  const seal::LauncherFacts facts = CheckLauncher(launcherFile);
  std::uint64_t imageSize = facts.ImageSize();
  // Rewriting keeps the headers where they are: the checksum field stays.
  seal::HeaderChecksum checksum(facts.checksumOffset);
  std::optional<InputFile> player;
  if (options.player) {
    player.emplace(*options.player);
    CheckPlayer(*player, notes);
  }
  // Laid out here, read and written only once the package fits its budget.
  std::optional<BrandedLauncher> branded;
  if (options.icon || !options.info.empty() || player) {
    branded.emplace(launcherFile, options.icon, options.info, player ? &*player : nullptr);
    imageSize = branded->Size();
  }

  std::vector<Source> sources = Gather(options.inputs, options.followLinks, notes);
  for (const fs::path& aside : options.setAside) {
    const auto id = IdentityOf(aside);
    std::erase_if(sources, [&](const Source& source) {
      return id && source.id && SameFile(*source.id, *id);
    });
  }
  if (sources.empty()) throw Failure(options.output, "nothing to pack: the folders hold no files");
  if (options.show) AddShow(*options.show, sources);
  if (sources.size() > format::kMaxEntries) {
    throw Failure(options.output, std::to_string(sources.size()) +
                                      " files to pack; a package holds at most " +
                                      std::to_string(format::kMaxEntries));
  }
  CheckDistinct(sources);
  if (options.captions) ApplyCaptions(*options.captions, sources);
  CheckShow(sources);
  CheckOutput(options, launcher, sources);

  std::uint64_t total = imageSize + format::kDirectorySize;
  for (const Source& source : sources) total += static_cast<std::uint64_t>(source.entry.size);
  if (total >= kPackageLimit) {
    throw Failure(options.output, "the package would be " + std::to_string(total) +
                                      " bytes; it must stay below 2 GiB (" +
                                      std::to_string(kPackageLimit) +
                                      " bytes), as the launcher reads sizes as signed 32-bit");
  }
  std::vector<format::Entry> entries;
  for (const Source& source : sources) entries.push_back(source.entry);
  const std::vector<std::uint8_t> directory = format::BuildDirectory(entries);

  // Sealed and checked before anything is written.
  if (branded) branded->Build();

  Progress progress(notes, ShownPath(options.output.filename()), total,
                    !options.quiet && total > kProgressFrom && StderrIsTerminal(),
                    options.onProgress);
  Transfer transfer(progress, options.cancel);
  transfer.SumInto(checksum);
  PendingFile pending(options.output, true);
  if (branded) {
    branded->WriteTo(transfer, pending.Out());
  } else {
    launcherFile.Seek(0);
    transfer.Copy(launcherFile, pending.Out(), imageSize);
  }
  transfer.Write(pending.Out(), directory);
  for (const Source& source : sources) {
    InputFile body(source.file);
    const auto size = static_cast<std::uint64_t>(source.entry.size);
    if (body.Size() != size) throw Failure(source.file, "changed while karupack was reading it");
    transfer.Copy(body, pending.Out(), size);
  }
  transfer.CheckInterrupt();
  // The header checksum covers the whole package, as the tools that check
  // it read it; Windows itself does not check it for programs.
  const std::uint32_t sum = checksum.Value();
  const std::array<std::uint8_t, 4> field = {
      static_cast<std::uint8_t>(sum), static_cast<std::uint8_t>(sum >> 8),
      static_cast<std::uint8_t>(sum >> 16), static_cast<std::uint8_t>(sum >> 24)};
  pending.Out().Patch(facts.checksumOffset, field);
  pending.Commit();
  FlushFolder(options.output.parent_path());

  if (!options.quiet) {
    out << ShownPath(options.output) << ": " << sources.size() << " files, " << total - imageSize
        << " bytes of data behind a launcher of " << imageSize << " bytes"
        << (branded ? " with " + branded->What() + " of its own" : "") << "\n";
  }
  return {sources.size(), total - imageSize - format::kDirectorySize, imageSize};
}

}  // namespace turv::karupack
