#include "format/rehearsal_times.h"

#include <charconv>

#include "format/karu_format.h"

namespace turv::format {

std::string WriteRehearsalTimes(std::span<const StoodTime> times) {
  std::string text;
  for (const StoodTime& time : times) {
    text.append(std::to_string(time.milliseconds)).append("\t").append(time.name).append("\n");
  }
  return text;
}

std::optional<std::vector<StoodTime>> ReadRehearsalTimes(std::string_view text) {
  if (text.size() > kRehearsalFileLimit || !IsUtf8(text)) return std::nullopt;
  std::vector<StoodTime> times;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) return std::nullopt;  // cut short
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos || tab == 0 || tab + 1 == line.size()) return std::nullopt;
    StoodTime time;
    const auto [rest, error] = std::from_chars(line.data(), line.data() + tab, time.milliseconds);
    if (error != std::errc() || rest != line.data() + tab) return std::nullopt;
    time.name = std::string(line.substr(tab + 1));
    for (const char c : time.name) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
    }
    times.push_back(std::move(time));
  }
  return times;
}

}  // namespace turv::format
