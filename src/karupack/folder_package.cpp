// The packer's rule for a whole folder: shared by drop mode and the
// authoring window, on top of Pack and Verify.
#include "karupack/folder_package.h"

#include <sstream>

#include "format/karu_format.h"
#include "karupack/branding.h"
#include "karupack/errors.h"

namespace turv::karupack {

namespace fs = std::filesystem;

fs::path PresentationFolder(const fs::path& folder) {
  fs::path absolute = fs::absolute(folder).lexically_normal();
  if (!absolute.has_filename()) absolute = absolute.parent_path();
  if (!absolute.has_filename()) throw Failure(absolute, "a drive's root has no name to pack into");
  return absolute;
}

fs::path PackageBeside(const fs::path& folder) {
  return folder.parent_path() / PathFromUtf8(Utf8(folder.filename()) + ".exe");
}

PackOptions FolderPackOptions(const fs::path& folder, const fs::path& output) {
  PackOptions options;
  options.output = output;
  options.quiet = true;
  options.inputs = {folder};
  const auto inside = [&](std::string_view name) -> std::optional<fs::path> {
    std::error_code error;
    const fs::path file = folder / PathFromUtf8(name);
    if (!fs::is_regular_file(file, error)) return std::nullopt;
    options.setAside.push_back(file);
    return file;
  };
  options.captions = inside(kCaptionsFile);
  options.icon = inside(kIconFile);
  if (const auto info = inside(kInfoFile)) options.info = ReadInfoFile(*info);
  options.player = inside(kPlayerFile);
  options.show = inside(kShowFile);
  return options;
}

std::optional<std::string> WhyNoPackage(const fs::path& file) {
  std::ostringstream ignored;
  try {
    Verify(file, ignored);
    return std::nullopt;
  } catch (const std::exception& error) {
    // Verify names the file first; the caller names it already.
    std::string_view why = error.what();
    const std::string named = Utf8(file) + ": ";
    if (why.starts_with(named)) why.remove_prefix(named.size());
    return format::Printable(why);
  }
}

}  // namespace turv::karupack
