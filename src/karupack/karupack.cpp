#include "karupack/karupack.h"

#include <iostream>
#include <map>
#include <set>
#include <span>
#include <sstream>

#include "format/karu_format.h"
#include "karupack/branding.h"
#include "karupack/commands.h"
#include "karupack/errors.h"
#include "karupack/folder_package.h"
#include "karupack/system.h"
#include "turv_version.h"

namespace turv::karupack {

namespace {

constexpr const char* kOverview =
    "usage: karupack COMMAND [OPTIONS] ...\n"
    "\n"
    "Turns a presentation's files into one package: the launcher turv.exe with\n"
    "the files' data appended.\n"
    "\n"
    "commands:\n"
    "  pack -o OUT.exe [-l LAUNCHER] [-c CAPTIONS] [--show SHOW.ini]\n"
    "       [--icon FILE.ico] [--info KEY=VALUE]... [--player FILE.exe]\n"
    "       [--follow-links] [--quiet] FILE|DIR...\n"
    "  pack -o OUT.exe --folder-settings [-l LAUNCHER] [--follow-links] [--quiet] DIR\n"
    "  list PACKAGE|DATAFILE\n"
    "  extract PACKAGE|DATAFILE -C DIR\n"
    "  verify PACKAGE\n"
    "\n"
    "'karupack COMMAND --help' tells more about each; 'karupack --version'\n"
    "names this version. Every file karupack reads must be a regular file: a\n"
    "pipe or a device is refused, never waited on. Control characters in\n"
    "anything printed are shown escaped (\\x1B, \\u009D), and so are the\n"
    "characters that reorder text (\\u202E). On Windows, a folder dropped on\n"
    "karupack.exe is packed into FOLDER.exe beside it, and karupack.exe\n"
    "started from Explorer without one opens its authoring window (see the\n"
    "packing guide).\n";

constexpr const char* kPackHelp =
    "usage: karupack pack -o OUT.exe [-l LAUNCHER] [-c CAPTIONS] [--show SHOW.ini]\n"
    "                     [--icon FILE.ico] [--info KEY=VALUE]... [--player FILE.exe]\n"
    "                     [--follow-links] [--quiet]\n"
    "                     FILE|DIR...\n"
    "       karupack pack -o OUT.exe --folder-settings [-l LAUNCHER] [--follow-links]\n"
    "                     [--quiet] DIR\n"
    "\n"
    "Writes OUT.exe: the launcher, then the data region with the given files,\n"
    "in the order given; a folder contributes its regular files, sorted by\n"
    "name (folders inside it are skipped). OUT.exe is written under a\n"
    "temporary name beside it, put on the disk, and takes its place only\n"
    "when complete; a file it replaces keeps its permissions. Its header\n"
    "checksum covers the whole package.\n"
    "\n"
    "  -o, --output OUT.exe    the package to write\n"
    "  -l, --launcher FILE     the sealed launcher to put in front (default:\n"
    "                          $TURV_LAUNCHER, else the turv.exe beside\n"
    "                          karupack, else the turv.exe of the build)\n"
    "  -c, --captions FILE     UTF-8 lines 'name<TAB>caption'; lines starting\n"
    "                          with # and blank lines are skipped; a file\n"
    "                          without a caption gets its name\n"
    "      --show SHOW.ini     the show's settings (slide times, loop, kiosk,\n"
    "                          sounds, notes), packed last as the entry\n"
    "                          show.ini; a packed file of that name is the\n"
    "                          settings too, and is checked the same way\n"
    "      --icon FILE.ico     the package's icon, in place of the launcher's\n"
    "                          (every image of the file is kept)\n"
    "      --info KEY=VALUE    a version string of the package (repeatable):\n"
    "                          ProductName, FileDescription, CompanyName,\n"
    "                          LegalCopyright, ProductVersion, FileVersion;\n"
    "                          a version 1.2.3 or 1.2.3.4 also sets the\n"
    "                          version numbers\n"
    "      --player FILE.exe   the program the package starts, in place of\n"
    "                          the launcher's player: carried byte for byte,\n"
    "                          unpacked as lumirax.exe into the work folder;\n"
    "                          a Windows program (x86; x64 and ARM64 ones\n"
    "                          start on 64-bit Windows only), no DLL or driver\n"
    "      --follow-links      pack the files that symbolic links inside the\n"
    "                          folders point to; without it such a link is\n"
    "                          refused (links named as FILE are followed)\n"
    "      --folder-settings   take the settings from the one folder DIR, as a\n"
    "                          folder dropped on karupack.exe and the\n"
    "                          authoring window do: its captions.txt, icon.ico,\n"
    "                          info.txt (KEY=VALUE lines), lumirax.exe and\n"
    "                          show.ini are read as -c, --icon, --info,\n"
    "                          --player and --show, and are not packed as\n"
    "                          files\n"
    "  -q, --quiet             no progress bar and no summary\n"
    "\n"
    "Names must be valid Windows file names of 1 to 32 Windows-1252\n"
    "characters, no control characters, distinct but for case; captions hold\n"
    "up to 184 characters and no control characters; a package holds up to\n"
    "2872 files and stays below 2 GiB. A show.ini with a bad line, or one\n"
    "naming a file not packed, is refused as FILE:LINE: what is wrong.\n"
    "\n"
    "OUT.exe is replaced, as cp replaces its target, but must not be any\n"
    "file the pack reads: a file to pack, the launcher, the captions or the\n"
    "icon file (however spelt), nor a folder, a pipe or a device, nor a\n"
    "symbolic link to one. A symbolic link to another file is replaced by\n"
    "the package; the file it points to is left as it was.\n";

constexpr const char* kListHelp =
    "usage: karupack list PACKAGE|DATAFILE\n"
    "\n"
    "Lists the packed files of a package or of a bare data file (karu.pqd):\n"
    "name, caption, size and position in the data region, and a total; then\n"
    "the show's settings in one line, when a show.ini is packed; then a\n"
    "package's icon, version strings and player.\n";

constexpr const char* kExtractHelp =
    "usage: karupack extract PACKAGE|DATAFILE -C DIR\n"
    "\n"
    "Writes every packed file into DIR, created when missing; files of the\n"
    "same names there are replaced, keeping their permissions, each only\n"
    "once it is complete and on the disk. Nothing is written outside DIR:\n"
    "a file whose name is no plain Windows file name, or one that would\n"
    "replace PACKAGE itself, stops the extraction before anything is\n"
    "written.\n"
    "\n"
    "  -C, --directory DIR     the folder to write into\n";

constexpr const char* kVerifyHelp =
    "usage: karupack verify PACKAGE\n"
    "\n"
    "Checks that the launcher is sealed for the player it carries, and that\n"
    "the data region reads cleanly with names every system can write. Bytes\n"
    "after the last file (a signature) are fine; a signature's frame must\n"
    "hold (its certificate table last in the file, right behind the data).\n"
    "Shows the icon sizes, the version strings and the player (its size,\n"
    "processor, signature and version), and whether the header checksum is\n"
    "the one the whole file gives (a stale one is reported, not refused),\n"
    "and the show's settings in one line (show.ini settings the player\n"
    "cannot use are reported, not refused). Exits 0 only then.\n";

struct Command {
  const char* help;
  std::map<std::string, std::string> valued;  // option -> its canonical short form
  std::map<std::string, std::string> flags;
  std::set<std::string> repeatable = {};  // canonical forms that may come more than once
};

struct Parsed {
  std::map<std::string, std::string> values;
  std::map<std::string, std::vector<std::string>> repeated;
  std::set<std::string> flags;
  std::vector<std::string> operands;
  bool help = false;
};

Parsed Parse(const std::string& name, const Command& command, std::span<const std::string> args) {
  Parsed parsed;
  const auto take = [&](const std::string& option, const std::string& value) {
    const std::string& key = command.valued.at(option);
    if (command.repeatable.contains(key)) {
      parsed.repeated[key].push_back(value);
      return;
    }
    if (!parsed.values.emplace(key, value).second) {
      throw UsageError(name + ": " + key + " is given twice");
    }
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      parsed.operands.insert(parsed.operands.end(),
                             args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    }
    if (arg == "-h" || arg == "--help") {
      parsed.help = true;
    } else if (command.flags.contains(arg)) {
      parsed.flags.insert(command.flags.at(arg));
    } else if (command.valued.contains(arg)) {
      if (i + 1 == args.size()) throw UsageError(name + ": " + arg + " needs a value");
      take(arg, args[++i]);
    } else if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos &&
                                              command.valued.contains(arg.substr(0, eq))) {
      take(arg.substr(0, eq), arg.substr(eq + 1));
    } else if (arg.size() > 2 && arg[0] == '-' && arg[1] != '-' &&
               command.valued.contains(arg.substr(0, 2))) {
      take(arg.substr(0, 2), arg.substr(2));
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError(name + ": unknown option " + arg);
    } else {
      parsed.operands.push_back(arg);
    }
  }
  return parsed;
}

std::filesystem::path One(const std::string& name, const Parsed& parsed, const char* what) {
  if (parsed.operands.empty()) throw UsageError(name + ": which " + std::string(what) + "?");
  if (parsed.operands.size() > 1) {
    throw UsageError(name + ": one " + std::string(what) + " only, not " +
                     std::to_string(parsed.operands.size()));
  }
  return PathFromUtf8(parsed.operands.front());
}

int ShowHelp(const char* help) {
  std::cout << help;
  return 0;
}

int Dispatch(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError("which command? pack, list, extract or verify");
  const std::string& name = args.front();
  if (name == "-h" || name == "--help" || name == "help") return ShowHelp(kOverview);
  if (name == "--version" || name == "version") {
    std::cout << "karupack " << TURV_VERSION_TEXT << "\n";
    return 0;
  }
  const std::span<const std::string> rest(args.begin() + 1, args.end());
  if (name == "pack") {
    const Command command{kPackHelp,
                          {{"-o", "-o"},
                           {"--output", "-o"},
                           {"-l", "-l"},
                           {"--launcher", "-l"},
                           {"-c", "-c"},
                           {"--captions", "-c"},
                           {"--icon", "--icon"},
                           {"--info", "--info"},
                           {"--player", "--player"},
                           {"--show", "--show"}},
                          {{"-q", "-q"},
                           {"--quiet", "-q"},
                           {"--follow-links", "--follow-links"},
                           {"--folder-settings", "--folder-settings"}},
                          {"--info"}};
    const Parsed parsed = Parse(name, command, rest);
    if (parsed.help) return ShowHelp(command.help);
    if (!parsed.values.contains("-o")) throw UsageError("pack: -o OUT.exe is missing");
    const std::filesystem::path output = PathFromUtf8(parsed.values.at("-o"));
    PackOptions options;
    if (parsed.flags.contains("--folder-settings")) {
      for (const char* setting : {"-c", "--icon", "--player", "--show"}) {
        if (parsed.values.contains(setting)) {
          throw UsageError(std::string("pack: --folder-settings takes ") + setting +
                           " from the folder; give one or the other");
        }
      }
      if (parsed.repeated.contains("--info")) {
        throw UsageError("pack: --folder-settings takes --info from the folder's info.txt");
      }
      if (parsed.operands.size() != 1) {
        throw UsageError("pack: --folder-settings packs one folder, given as the only DIR");
      }
      const std::filesystem::path folder = PathFromUtf8(parsed.operands[0]);
      std::error_code error;
      if (!std::filesystem::is_directory(folder, error)) throw Failure(folder, "is no folder");
      options = FolderPackOptions(folder, output);
    } else {
      options.output = output;
      if (parsed.operands.empty()) throw UsageError("pack: no files or folders to pack");
      for (const auto& operand : parsed.operands) options.inputs.push_back(PathFromUtf8(operand));
    }
    if (parsed.values.contains("-l")) options.launcher = PathFromUtf8(parsed.values.at("-l"));
    if (parsed.values.contains("-c")) options.captions = PathFromUtf8(parsed.values.at("-c"));
    if (parsed.values.contains("--show")) options.show = PathFromUtf8(parsed.values.at("--show"));
    options.quiet = parsed.flags.contains("-q");
    options.followLinks = parsed.flags.contains("--follow-links");
    if (parsed.values.contains("--icon")) options.icon = PathFromUtf8(parsed.values.at("--icon"));
    if (parsed.values.contains("--player")) {
      options.player = PathFromUtf8(parsed.values.at("--player"));
    }
    if (parsed.repeated.contains("--info")) {
      for (const std::string& line : parsed.repeated.at("--info")) {
        if (const auto problem = AddInfo(line, options.info)) {
          throw UsageError("pack: --info: " + *problem);
        }
      }
    }
    Pack(options, std::cout, std::cerr);
    return 0;
  }
  if (name == "list" || name == "verify") {
    const Command command{name == "list" ? kListHelp : kVerifyHelp, {}, {}};
    const Parsed parsed = Parse(name, command, rest);
    if (parsed.help) return ShowHelp(command.help);
    const auto input = One(name, parsed, name == "list" ? "package or data file" : "package");
    if (name == "list") {
      List(input, std::cout);
    } else {
      Verify(input, std::cout);
    }
    return 0;
  }
  if (name == "extract") {
    const Command command{kExtractHelp, {{"-C", "-C"}, {"--directory", "-C"}}, {}};
    const Parsed parsed = Parse(name, command, rest);
    if (parsed.help) return ShowHelp(command.help);
    if (!parsed.values.contains("-C")) throw UsageError("extract: -C DIR is missing");
    Extract(One(name, parsed, "package or data file"), PathFromUtf8(parsed.values.at("-C")),
            std::cout);
    return 0;
  }
  throw UsageError("unknown command " + name + "; the commands are pack, list, extract, verify");
}

}  // namespace

int RunDropped(const std::filesystem::path& dropped, std::string& message) {
  std::filesystem::path folder = dropped;
  try {
    folder = PresentationFolder(dropped);
    const std::filesystem::path output = PackageBeside(folder);
    // A re-drop replaces the package made before; anything else of that
    // name (the program a folder was unpacked from, say) stays.
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(output, error))) {
      if (const auto why = WhyNoPackage(output)) {
        message = Utf8(folder.filename()) + " was not packed: " + Utf8(output.filename()) +
                  " beside the folder is no package karupack made, so it was left as it is (" +
                  *why + "). Move or rename it, then drop the folder again.";
        return 1;
      }
    }
    const PackOptions options = FolderPackOptions(folder, output);
    std::ostringstream notes;
    const Packed packed = Pack(options, notes, notes);
    message = Utf8(output.filename()) + " is ready beside the folder " + Utf8(folder.filename()) +
              ": " + std::to_string(packed.files) + " files, " + std::to_string(packed.dataBytes) +
              " bytes" + (options.captions ? ", with its captions" : "") +
              (options.icon ? ", its icon" : "") +
              (options.info.empty() ? "" : ", its version information") +
              (options.player ? ", its player" : "") +
              (options.show ? ", its show's settings" : "") + ".";
    if (!notes.str().empty()) message += "\n\n" + notes.str();
    return 0;
  } catch (const std::exception& error) {
    message = Utf8(folder.filename()) + " was not packed:\n" + format::Printable(error.what());
    return 1;
  }
}

// Messages quote names, paths and arguments as given: they are escaped
// here, in the one place every message passes.
int Run(const std::vector<std::string>& args) {
  try {
    return Dispatch(args);
  } catch (const UsageError& error) {
    std::cerr << "karupack: " << format::Printable(error.what()) << " (see karupack --help)\n";
    return 2;
  } catch (const Interrupted& error) {
    std::cerr << "karupack: " << error.what() << "\n";
    return EndByInterrupt(error.Signal());
  } catch (const std::exception& error) {
    std::cerr << "karupack: " << format::Printable(error.what()) << "\n";
    return 1;
  }
}

}  // namespace turv::karupack
