// copy1m IN OUT OFFSET: copies the bytes of IN from OFFSET to its end into
// OUT with 1 MiB reads and writes: the floor for this I/O on this system.
#include <cstdio>
#include <vector>

#include "bench_win.h"

int main(int argc, char** argv) {
  std::int64_t offset = 0;
  if (argc != 4 || !bench::ParseCount(argv[3], offset)) {
    std::fprintf(stderr, "usage: copy1m IN OUT OFFSET\n");
    return 1;
  }
  constexpr DWORD kBlock = 1 << 20;
  bench::Handle in = bench::OpenSource(argv[1]);
  if (!in) bench::Fail("open IN");
  LARGE_INTEGER to{};
  to.QuadPart = offset;
  if (!::SetFilePointerEx(in.Get(), to, nullptr, FILE_BEGIN)) bench::Fail("SetFilePointerEx");
  bench::Handle out = bench::CreateTarget(argv[2]);
  if (!out) bench::Fail("create OUT");

  std::vector<std::uint8_t> block(kBlock);
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(in.Get(), block.data(), kBlock, &got, nullptr)) bench::Fail("ReadFile");
    if (got == 0) break;
    bench::WriteAll(out.Get(), block.data(), got);
  }
  if (!out.Close()) bench::Fail("close OUT");
  return 0;
}
