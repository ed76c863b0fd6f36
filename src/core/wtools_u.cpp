#include "core/wtools_u.h"

#include <cstdint>
#include <vector>

#include "core/launch_state.h"
#include "core/text_tools.h"
#include "platform/ansi_text.h"
#include "platform/platform.h"

namespace turv {

namespace {
// Most temporary folders fit; a longer one is asked for again at its size.
constexpr std::uint32_t kFirstTry = 20;
}  // namespace

std::string GetTempDir() {
  Launch.TempDir.clear();
  std::vector<char> buffer(kFirstTry, '\0');
  std::uint32_t length = platform::TempPath(kFirstTry, buffer.data());
  if (length > kFirstTry) {
    buffer.assign(length + 1, '\0');
    length = platform::TempPath(length + 1, buffer.data());
  }
  std::string result;
  if (length != 0) {
    // The buffer's zero ends the path; a path that changed between the two
    // asks leaves the buffer untouched and the result empty.
    std::string path(buffer.data(), buffer.size());
    path.resize(path.find('\0') == std::string::npos ? path.size() : path.find('\0'));
    result = TrimControls(path);
    if (platform::EndsInBackslash(result)) result.pop_back();
  }
  Launch.TempDir = result;
  return result;
}

}  // namespace turv
