// The captions reader on any file: it refuses with a Failure naming the file
// and line, or hands out captions the directory can hold, free of control
// characters.
#include <sstream>
#include <string>

#include "check.h"
#include "format/karu_format.h"
#include "karupack/captions.h"
#include "karupack/errors.h"

namespace format = turv::format;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // The lenient reading refuses the lines the strict one stops at, and
  // only those.
  std::istringstream all(text);
  const auto lenient = turv::karupack::ParseCaptionsLeniently(all);
  FUZZ_CHECK(lenient.refused.size() <= turv::karupack::CaptionLines::kRefusedKept);
  std::istringstream in(text);
  std::vector<turv::karupack::Caption> captions;
  try {
    captions = turv::karupack::ParseCaptions(in, "captions.txt");
  } catch (const turv::karupack::Failure& failure) {
    FUZZ_CHECK(!lenient.refused.empty());
    FUZZ_CHECK(std::string_view(failure.what())
                   .starts_with("captions.txt: line " + std::to_string(lenient.refused[0].line) +
                                ": " + lenient.refused[0].why));
    return 0;
  }
  FUZZ_CHECK(lenient.refused.empty() && lenient.captions == captions);
  int line = 0;
  for (const auto& caption : captions) {
    FUZZ_CHECK(caption.line > line);
    line = caption.line;
    FUZZ_CHECK(!caption.text.empty() && caption.text.size() <= format::kCaptionMax);
    for (const char c : caption.text) FUZZ_CHECK(!format::IsControl(c));
    FUZZ_CHECK(format::ToCp1252(format::ToUtf8(caption.name)) == caption.name);
  }
  return 0;
}
