#include "karupack/progress.h"

#include <algorithm>
#include <cstdio>

namespace turv::karupack {

namespace {

constexpr int kWidth = 30;

std::string Mib(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

}  // namespace

Progress::Progress(std::ostream& out, std::string label, std::uint64_t total, bool shown,
                   Report report)
    : out_(out),
      label_(std::move(label)),
      total_(std::max<std::uint64_t>(total, 1)),
      shown_(shown),
      report_(std::move(report)) {
  Draw();
}

Progress::~Progress() {
  if (shown_) out_ << '\n' << std::flush;
}

void Progress::Advance(std::uint64_t bytes) {
  done_ = std::min(total_, done_ + bytes);
  if (report_) report_(done_, total_);
  Draw();
}

void Progress::Draw() {
  const auto permille = static_cast<int>(done_ * 1000 / total_);
  if (!shown_ || permille == drawn_) return;  // one line per tenth of a percent at most
  drawn_ = permille;
  const int filled = permille * kWidth / 1000;
  std::string line = "\r" + label_ + " [";
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(kWidth - filled), '.');
  char percent[16];
  std::snprintf(percent, sizeof percent, "] %3d%% ", permille / 10);
  line += percent + Mib(done_) + "/" + Mib(total_) + " MiB";
  out_ << line << std::flush;
}

}  // namespace turv::karupack
