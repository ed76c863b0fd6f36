// Paths between the system's wide (UTF-16) form and the ANSI texts the
// launch works with. The Win32 layer and the test double share this rule,
// so both choose the same text for the same path.
//
// A path the system gives becomes its exact ANSI form where the code page
// holds every character of it, byte for byte as the ANSI calls give it.
// Else it becomes the ANSI form of its short (8.3) path, plain text that
// every program, the player included, can follow. Where the volume has no
// short names either, it becomes the ANSI form with "?" for what the code
// page cannot hold, and that text is remembered as standing for the wide
// path: the layer's own calls, which convert every path back through
// ToSystem, then reach the real folder or file. "?" never occurs in a real
// Windows path, so such a text cannot name another file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace turv::platform {

// What the system says about wide paths, from its own code page and volumes.
class PathSystem {
 public:
  virtual ~PathSystem() = default;
  // The text in the ANSI code page, "?" for each character it cannot hold;
  // exact tells whether it converts back to the same wide text.
  virtual std::string ToAnsi(std::u16string_view wide, bool& exact) const = 0;
  virtual std::u16string FromAnsi(std::string_view ansi) const = 0;
  // The short (8.3) form of an existing path; nothing when there is none.
  virtual std::optional<std::u16string> ShortForm(std::u16string_view wide) const = 0;
};

class AnsiPaths {
 public:
  explicit AnsiPaths(const PathSystem& system) : system_(system) {}

  // The text the launch uses for a path the system gives.
  std::string FromSystem(std::u16string_view wide);
  // The wide path a text from the launch names: a remembered text at its
  // start (whole folder names, letters A-Z in either case) stands for its
  // wide path; everything else converts from the code page.
  std::u16string ToSystem(std::string_view ansi) const;

 private:
  struct Alias {
    std::string ansi;  // no trailing backslash
    std::u16string wide;
  };
  const Alias* Longest(std::string_view ansi) const;

  const PathSystem& system_;
  std::vector<Alias> aliases_;
};

}  // namespace turv::platform
