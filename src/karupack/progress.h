// The progress bar of a long pack, drawn on one terminal line.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace turv::karupack {

class Progress {
 public:
  // Told the bytes done and the total after every step (a window's bar).
  using Report = std::function<void(std::uint64_t done, std::uint64_t total)>;

  // Draws nothing unless shown.
  Progress(std::ostream& out, std::string label, std::uint64_t total, bool shown,
           Report report = {});
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  ~Progress();  // ends the line, so that a message after a failure starts afresh

  void Advance(std::uint64_t bytes);

 private:
  void Draw();

  std::ostream& out_;
  std::string label_;
  std::uint64_t total_;
  std::uint64_t done_ = 0;
  int drawn_ = -1;  // the last permille drawn
  bool shown_;
  Report report_;
};

}  // namespace turv::karupack
