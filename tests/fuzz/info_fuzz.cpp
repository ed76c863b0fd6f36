// The info file reader (a dropped folder's info.txt; the --info lines pass
// the same checks) on any text: it refuses with a Failure naming the file
// and line, or hands out known keys, each once, with values of 1 to 256
// UTF-16 characters free of control characters, which the version resource
// carries unchanged.
#include <algorithm>
#include <set>
#include <string>

#include "check.h"
#include "karupack/branding.h"
#include "karupack/errors.h"
#include "seal/branding.h"

namespace seal = turv::seal;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // The lenient reading refuses the lines the strict one stops at, and
  // only those.
  const auto lenient = turv::karupack::ParseInfoFileLeniently(text);
  turv::karupack::InfoLines lines;
  try {
    lines = turv::karupack::ParseInfoFile(text, "info.txt");
  } catch (const turv::karupack::Failure& failure) {
    FUZZ_CHECK(!lenient.refused.empty());
    FUZZ_CHECK(std::string_view(failure.what())
                   .starts_with("info.txt: line " + std::to_string(lenient.refused[0].line) + ": " +
                                lenient.refused[0].why));
    return 0;
  }
  FUZZ_CHECK(lenient.refused.empty() && lenient.lines == lines);
  std::set<std::string> keys;
  for (const auto& [key, value] : lines) {
    FUZZ_CHECK(std::find(seal::kVersionKeys.begin(), seal::kVersionKeys.end(), key) !=
               seal::kVersionKeys.end());
    FUZZ_CHECK(keys.insert(key).second);
    const std::u16string wide = seal::Utf16(value);
    FUZZ_CHECK(!wide.empty() && wide.size() <= 256);
    for (const char16_t c : wide) FUZZ_CHECK(c >= 0x20 && (c < 0x7F || c >= 0xA0));
    if (const auto number = seal::ParseVersionNumber(value)) {
      FUZZ_CHECK(seal::ParseVersionNumber(seal::FormatVersionNumber(*number)) == number);
    }
  }
  seal::VersionInfo info;
  info.strings = lines;
  FUZZ_CHECK(seal::ParseVersionResource(seal::BuildVersionResource(info)).strings == lines);
  return 0;
}
