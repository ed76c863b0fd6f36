// samecalls IN OUT OFFSET: the launcher's file calls and nothing else. IN is
// read whole in 16,284-byte reads straight into one block reserved for it,
// then the bytes from OFFSET to the end of IN go to OUT in 8,142-byte writes
// and a tail of one-byte writes, over exactly the ranges the launcher uses:
// the floor for that design.
#include <algorithm>
#include <cstdio>

#include "bench_win.h"

namespace {
constexpr std::int64_t kReadChunk = 16'284;
constexpr std::int64_t kWriteBlock = 8'142;
}  // namespace

int main(int argc, char** argv) {
  std::int64_t start = 0;
  if (argc != 4 || !bench::ParseCount(argv[3], start)) {
    std::fprintf(stderr, "usage: samecalls IN OUT OFFSET\n");
    return 1;
  }
  bench::Handle in = bench::OpenSource(argv[1]);
  if (!in) bench::Fail("open IN");
  const DWORD size = ::GetFileSize(in.Get(), nullptr);
  if (size == INVALID_FILE_SIZE) bench::Fail("GetFileSize");

  // Room for the whole file and the last read, as the launcher reserves it.
  const std::int64_t room = std::int64_t{size} + kReadChunk + 1;
  const bench::Pages buffer(static_cast<std::size_t>(room));
  if (buffer.Get() == nullptr) bench::Fail("VirtualAlloc");
  std::int64_t held = 0;
  for (;;) {
    if (held + kReadChunk > room) bench::Fail("reading IN, which grew,");
    DWORD got = 0;
    if (!::ReadFile(in.Get(), buffer.Get() + held, kReadChunk, &got, nullptr)) {
      bench::Fail("ReadFile");
    }
    held += got;
    if (got < kReadChunk) break;
  }
  if (!in.Close()) bench::Fail("close IN");

  // The range ends at the file's size, as the launcher's does.
  const std::int64_t len = size;
  const std::int64_t full = len / kWriteBlock * kWriteBlock;
  bench::Handle out = bench::CreateTarget(argv[2]);
  if (!out) bench::Fail("create OUT");
  const std::int64_t blockEnd = std::min(full, len - 1);
  for (std::int64_t at = start; at <= blockEnd;) {
    const std::int64_t count = std::min(kWriteBlock, blockEnd - at + 1);
    bench::WriteAll(out.Get(), buffer.Get() + at, static_cast<DWORD>(count));
    at += count;
  }
  for (std::int64_t at = std::max(start, full + 1); at <= len - 1; ++at) {
    bench::WriteAll(out.Get(), buffer.Get() + at, 1);
  }
  if (!out.Close()) bench::Fail("close OUT");
  return 0;
}
