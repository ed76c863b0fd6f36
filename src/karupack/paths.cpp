#include "karupack/paths.h"

#include "format/karu_format.h"

namespace turv::karupack {

std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string Shown(std::string_view cp1252) {
  return format::Quoted(cp1252);
}

std::string ShownPath(const std::filesystem::path& path) {
  return format::Printable(Utf8(path));
}

bool SameFile(const FileId& a, const FileId& b) {
  if (a.volume != b.volume || (a.index != b.index && a.index != 0 && b.index != 0)) return false;
  // A file of several names may be reached by paths that share nothing.
  if (a.index != 0 && a.index == b.index && a.links > 1) return true;
  return CanonicalPath(a.path) == CanonicalPath(b.path);
}

}  // namespace turv::karupack
