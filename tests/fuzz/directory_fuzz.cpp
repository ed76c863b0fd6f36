// The directory reader on any bytes: it refuses with a damage named by entry
// and kind, or hands out entries that lie in the region, in order, and that
// the writer writes back into a block the reader reads the same.
//
// Input: four bytes, the region's size less the block's (signed 32-bit, so
// that regions cut short are tried too), then bytes laid over the start of a
// block of unused entries, as a real directory's used entries are.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "check.h"
#include "format/karu_format.h"

namespace format = turv::format;

namespace {

bool Printable(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x20 || b == 0x7F) return false;
    if (b == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  static const std::vector<std::uint8_t> unused = [] {
    std::vector<format::Entry> none;
    return format::BuildDirectory(none);
  }();
  std::vector<std::uint8_t> block = unused;
  std::copy_n(data + 4, std::min(size - 4, block.size()), block.begin());
  const auto slack = static_cast<std::int32_t>(data[0] | data[1] << 8 | data[2] << 16 |
                                               static_cast<std::uint32_t>(data[3]) << 24);
  const auto region = static_cast<std::uint64_t>(std::int64_t{format::kDirectorySize} + slack);

  std::vector<format::Entry> entries;
  try {
    entries = format::ParseDirectory(block, region);
  } catch (const format::FormatError& error) {
    FUZZ_CHECK(error.Kind() != format::Damage::Other);
    FUZZ_CHECK(error.Entry() >= 1 && error.Entry() <= format::kMaxEntries + 1);
    FUZZ_CHECK(Printable(error.what()));
    return 0;
  }
  std::uint64_t next = format::kDirectorySize;
  for (const format::Entry& e : entries) {
    FUZZ_CHECK(!e.name.empty() && e.name.size() <= format::kNameMax);
    FUZZ_CHECK(e.caption.size() <= format::kCaptionMax);
    FUZZ_CHECK(e.size >= 0 && static_cast<std::uint64_t>(e.position) == next);
    next += static_cast<std::uint64_t>(e.size);
    FUZZ_CHECK(format::ToCp1252(format::ToUtf8(e.name)) == e.name);
    FUZZ_CHECK(Printable(format::Printable(format::ToUtf8(e.caption))));
    if (const auto problem = format::NameProblem(e.name)) FUZZ_CHECK(Printable(*problem));
  }
  FUZZ_CHECK(next <= region);

  std::vector<format::Entry> again = entries;
  FUZZ_CHECK(format::ParseDirectory(format::BuildDirectory(again), region) == entries);
  return 0;
}
