#include "core/feld.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace turv {

namespace {
constexpr std::int64_t kSegment = static_cast<std::int64_t>(Feld::kSegmentBytes);
}

void Feld::Reserve(std::int64_t bytes) {
  reserved_ = std::max(reserved_, bytes);
}

void Feld::Clear() {
  segments_.clear();
  segments_.shrink_to_fit();
  length_ = 0;
  reserved_ = 0;
}

void Feld::EnsureCapacity(std::int64_t length) {
  const std::int64_t goal = std::max(length, reserved_);
  const auto needed = static_cast<std::size_t>((length + kSegment - 1) / kSegment);
  // A short last segment that must now hold more is moved once into a larger
  // one; within the reservation this never happens.
  if (!segments_.empty()) {
    const std::size_t last = segments_.size() - 1;
    const std::int64_t lastEnd = static_cast<std::int64_t>(last) * kSegment +
                                 static_cast<std::int64_t>(segments_[last].capacity);
    if (segments_[last].capacity < Feld::kSegmentBytes && lastEnd < length) {
      const auto size = static_cast<std::size_t>(
          std::min(kSegment, goal - static_cast<std::int64_t>(last) * kSegment));
      auto bigger = std::make_unique_for_overwrite<std::uint8_t[]>(size);
      std::memcpy(bigger.get(), segments_[last].bytes.get(), segments_[last].capacity);
      segments_[last] = Segment{std::move(bigger), size};
    }
  }
  while (segments_.size() < needed) {
    const std::int64_t begin = static_cast<std::int64_t>(segments_.size()) * kSegment;
    const auto size = static_cast<std::size_t>(std::min(kSegment, goal - begin));
    segments_.push_back(Segment{std::make_unique_for_overwrite<std::uint8_t[]>(size), size});
  }
}

void Feld::SetLength(std::int64_t length) {
  if (length < 0) throw std::length_error("Feld: negative length");
  if (length > length_) {
    EnsureCapacity(length);
    for (std::int64_t at = length_; at < length;) {
      auto run =
          RawRun(at, static_cast<std::size_t>(std::min<std::int64_t>(length - at, kSegment)));
      std::memset(run.data(), 0, run.size());
      at += static_cast<std::int64_t>(run.size());
    }
  } else {
    segments_.resize(static_cast<std::size_t>((length + kSegment - 1) / kSegment));
  }
  length_ = length;
}

std::span<std::uint8_t> Feld::RawRun(std::int64_t at, std::size_t count) const {
  const auto segment = static_cast<std::size_t>(at / kSegment);
  const auto offset = static_cast<std::size_t>(at % kSegment);
  const std::size_t n = std::min(count, segments_[segment].capacity - offset);
  return {segments_[segment].bytes.get() + offset, n};
}

std::span<std::uint8_t> Feld::Run(std::int64_t at, std::size_t count) {
  if (at < 0 || at >= length_) throw std::out_of_range("Feld: index outside the buffer");
  return RawRun(at, static_cast<std::size_t>(
                        std::min<std::int64_t>(static_cast<std::int64_t>(count), length_ - at)));
}

std::span<const std::uint8_t> Feld::Run(std::int64_t at, std::size_t count) const {
  if (at < 0 || at >= length_) throw std::out_of_range("Feld: index outside the buffer");
  return RawRun(at, static_cast<std::size_t>(
                        std::min<std::int64_t>(static_cast<std::int64_t>(count), length_ - at)));
}

std::uint8_t& Feld::operator[](std::int64_t i) {
  return Run(i, 1)[0];
}
std::uint8_t Feld::operator[](std::int64_t i) const {
  return Run(i, 1)[0];
}

}  // namespace turv
