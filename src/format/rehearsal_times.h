// The times a rehearsal recorded, as the player hands them to the authoring
// window: the player that was started with kRehearsalVariable set to a path
// writes there, when the show ends, how long each slide stood; the window
// reads it and offers to take the times as the slides' seconds.
//
// The file is UTF-8 text, one slide a line in the order the show first
// showed them: the milliseconds, a tab, the entry's name (names hold no
// control characters, so neither tab nor line break can occur in one).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace turv::format {

// The environment variable that makes the player's start a rehearsal.
inline constexpr std::string_view kRehearsalVariable = "TURV_PROBELAUF";
// A file larger than this is no rehearsal's (a million slides' lines).
inline constexpr std::size_t kRehearsalFileLimit = 64u << 20;

struct StoodTime {
  std::string name;  // the entry's, UTF-8
  std::uint64_t milliseconds = 0;
  friend bool operator==(const StoodTime&, const StoodTime&) = default;
};

std::string WriteRehearsalTimes(std::span<const StoodTime> times);
// The times the text holds, or nothing when it is not such a file (a line
// without its tab, a number that is none, a name that is empty, holds a
// control character or is no UTF-8).
std::optional<std::vector<StoodTime>> ReadRehearsalTimes(std::string_view text);

}  // namespace turv::format
