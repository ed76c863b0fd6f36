// The show's settings reader on any file: every problem on a line the file
// has, in line order and worded without a control character; the settings
// within their ranges; and after the check against the packed names, only
// packed names left, sounds and music among the audio ones.
#include <algorithm>
#include <string>
#include <vector>

#include "check.h"
#include "format/karu_format.h"
#include "format/show_settings.h"

namespace format = turv::format;

namespace {

bool Printable(const std::string& text) {
  return std::none_of(text.begin(), text.end(),
                      [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

void CheckProblems(const format::ShowParse& parse, int lines) {
  int last = 0;
  for (const auto& problem : parse.problems) {
    FUZZ_CHECK(problem.line >= last && problem.line <= lines);
    last = problem.line;
    FUZZ_CHECK(Printable(format::Describe(problem)));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  format::ShowParse parse = format::ParseShowSettings(bytes);
  const int lines = static_cast<int>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
  CheckProblems(parse, lines);
  const format::ShowSettings& settings = parse.settings;
  FUZZ_CHECK(settings.advanceMilliseconds <= format::kMaxStandMilliseconds);
  FUZZ_CHECK(settings.fadeMilliseconds <= format::kMaxFadeMilliseconds);
  FUZZ_CHECK(!settings.musicVolume || (*settings.musicVolume >= 0 && *settings.musicVolume <= 100));
  FUZZ_CHECK(!settings.kiosk || settings.startInShow);
  FUZZ_CHECK(Printable(format::ShowSummary(settings)));

  // Every other section's entry packed, and the sounds named.
  std::vector<std::string> names;
  for (std::size_t i = 0; i < settings.slides.size(); ++i) {
    const auto& slide = settings.slides[i];
    FUZZ_CHECK(settings.Slide(slide.entry) == &slide);  // no section twice
    FUZZ_CHECK(!slide.milliseconds || *slide.milliseconds <= format::kMaxStandMilliseconds);
    FUZZ_CHECK(!slide.volume || (*slide.volume >= 0 && *slide.volume <= 100));
    if (i % 2 == 0) names.push_back(slide.entry);
    if (!slide.sound.empty()) names.push_back(slide.sound);
  }
  format::CheckShowEntries(parse, names);
  CheckProblems(parse, lines);
  const auto packed = [&](const std::string& name) {
    return std::any_of(names.begin(), names.end(), [&](const std::string& other) {
      return format::FoldCase(other) == format::FoldCase(name);
    });
  };
  FUZZ_CHECK(parse.settings.music.empty() || format::IsAudioName(parse.settings.music));
  for (const auto& slide : parse.settings.slides) {
    FUZZ_CHECK(packed(slide.entry));
    FUZZ_CHECK(slide.sound.empty() || (packed(slide.sound) && format::IsAudioName(slide.sound)));
  }
  return 0;
}
