// Feld: the launch's byte buffer, growable and zero-filled as it grows.
//
// It holds the launcher's own file, which may come close to 2 GiB; a 32-bit
// process rarely finds one free block that large, so the bytes live in
// segments of equal size, allocated as the buffer grows. Reserve() tells the
// buffer how large it will get, so that the last segment is no larger than
// needed and nothing is ever copied while growing within the plan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace turv {

class Feld {
 public:
  // Reads of 16,284 bytes from index 0 never straddle a segment.
  static constexpr std::size_t kSegmentBytes = std::size_t{16'284} * 4'096;

  Feld() = default;
  Feld(Feld&&) noexcept = default;
  Feld& operator=(Feld&&) noexcept = default;

  // The length the buffer is expected to reach; memory is taken as it grows.
  void Reserve(std::int64_t bytes);
  // Grows with zeros or shrinks (releasing whole segments no longer used).
  void SetLength(std::int64_t length);
  void Grow(std::int64_t by) { SetLength(length_ + by); }
  std::int64_t Length() const { return length_; }
  // Length 0, all memory and the reservation released.
  void Clear();

  // The bytes from at up to at + count, or fewer when a segment or the
  // buffer ends first.
  std::span<std::uint8_t> Run(std::int64_t at, std::size_t count);
  std::span<const std::uint8_t> Run(std::int64_t at, std::size_t count) const;

  std::uint8_t& operator[](std::int64_t i);
  std::uint8_t operator[](std::int64_t i) const;

 private:
  struct Segment {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t capacity = 0;
  };
  void EnsureCapacity(std::int64_t length);
  std::span<std::uint8_t> RawRun(std::int64_t at, std::size_t count) const;

  std::vector<Segment> segments_;
  std::int64_t length_ = 0;
  std::int64_t reserved_ = 0;
};

}  // namespace turv
