// WriteByteRange: which bytes reach the data file, in which calls.
#include <numeric>

#include "core/errors.h"
#include "launch_fixture.h"

namespace turv::testing {
namespace {

class ByteRangeTest : public LaunchTest {
 protected:
  // A buffer as ReadWholeFile leaves it: the file, then zeros.
  void Fill(const fake::Bytes& file) {
    buffer.Clear();
    buffer.SetLength(static_cast<std::int64_t>(file.size()) + 16'285);
    for (std::size_t i = 0; i < file.size(); ++i) buffer[static_cast<std::int64_t>(i)] = file[i];
  }

  fake::Bytes Written() { return W().FileBytes("C:\\out.pqd").value_or(fake::Bytes{'?'}); }
  std::vector<std::uint32_t> Calls() { return W().CallSizes("C:\\out.pqd", 'w'); }

  Feld buffer;
};

TEST_F(ByteRangeTest, BlocksFromTheStartThenTheirRestThenOneByteCallsToTheEnd) {
  const auto file = Pattern(3 * 8'142 + 100, 1);
  Fill(file);
  WriteByteRange("C:\\out.pqd", buffer, 10, static_cast<std::int64_t>(file.size()));
  EXPECT_EQ(Written(), fake::Bytes(file.begin() + 10, file.end()));
  std::vector<std::uint32_t> expected{8'142, 8'142, 8'133};  // indices 10 .. 3 * 8,142
  expected.insert(expected.end(), 99, 1);
  EXPECT_EQ(Calls(), expected);
}

TEST_F(ByteRangeTest, ASizeThatIsAMultipleOfTheBlockEndsWithTheFilesLastByte) {
  const auto file = Pattern(4 * 8'142, 2);
  Fill(file);
  WriteByteRange("C:\\out.pqd", buffer, 8'142, static_cast<std::int64_t>(file.size()));
  EXPECT_EQ(Written(), fake::Bytes(file.begin() + 8'142, file.end()));
  EXPECT_EQ(Calls(), (std::vector<std::uint32_t>{8'142, 8'142, 8'142}));
}

TEST_F(ByteRangeTest, DataShorterThanTheSizeModuloTheBlockGoesByteByByte) {
  const auto file = Pattern(2 * 8'142 + 500, 3);
  Fill(file);
  const std::int64_t start = 2 * 8'142 + 200;  // beyond the last multiple of the block
  WriteByteRange("C:\\out.pqd", buffer, start, static_cast<std::int64_t>(file.size()));
  EXPECT_EQ(Written(), fake::Bytes(file.begin() + start, file.end()));
  EXPECT_EQ(Calls(), std::vector<std::uint32_t>(300, 1));

  // Starting exactly at the multiple: that byte is the block part's.
  Fill(file);
  W().io.clear();
  WriteByteRange("C:\\out.pqd", buffer, 2 * 8'142, static_cast<std::int64_t>(file.size()));
  EXPECT_EQ(Written(), fake::Bytes(file.begin() + 2 * 8'142, file.end()));
  EXPECT_EQ(Calls(), std::vector<std::uint32_t>(500, 1));
}

TEST_F(ByteRangeTest, EmptyRangesCreateAnEmptyFileAndReleaseTheBuffer) {
  const auto file = Pattern(20'000, 4);
  for (const auto& [start, len] :
       {std::pair<std::int64_t, std::int64_t>{20'000, 20'000}, {0, 0}, {30'000, 20'000}}) {
    W().AddFile("C:\\out.pqd", {'o', 'l', 'd'});
    Fill(file);
    WriteByteRange("C:\\out.pqd", buffer, start, len);
    EXPECT_EQ(Written(), fake::Bytes{}) << start << " " << len;
    EXPECT_EQ(buffer.Length(), 1);
  }
}

TEST_F(ByteRangeTest, NeverReachesPastTheBytesTheBufferHolds) {
  const auto file = Pattern(1'000, 5);
  Fill(file);
  WriteByteRange("C:\\out.pqd", buffer, 0, 1'000'000);  // the entry said more than was read
  const auto written = Written();
  ASSERT_EQ(written.size(), 1'000u + 16'285u);
  EXPECT_EQ(fake::Bytes(written.begin(), written.begin() + 1'000), file);
}

TEST_F(ByteRangeTest, AnUncreatableFileFailsWithIoError103AtTheFirstCall) {
  Fill(Pattern(100, 6));
  W().lockedFiles.insert("C:\\out.pqd");
  try {
    WriteByteRange("C:\\out.pqd", buffer, 50, 50);  // nothing to write: fails at the close
    FAIL();
  } catch (const IoError& e) {
    EXPECT_EQ(e.Code(), 103u);
  }
}

TEST_F(ByteRangeTest, BlocksAcrossTheBuffersSegmentsArriveWhole) {
  const auto size = static_cast<std::int64_t>(Feld::kSegmentBytes) + 20'000;
  buffer.Clear();
  buffer.SetLength(size);
  for (std::int64_t i = 0; i < size; i += 4'093) buffer[i] = static_cast<std::uint8_t>(i / 4'093);
  const std::int64_t start = static_cast<std::int64_t>(Feld::kSegmentBytes) - 5'000;
  WriteByteRange("C:\\out.pqd", buffer, start, size);
  const auto written = Written();
  ASSERT_EQ(static_cast<std::int64_t>(written.size()), size - start);
  for (std::int64_t i = start; i < size; ++i) {
    const auto expected = i % 4'093 == 0 ? static_cast<std::uint8_t>(i / 4'093) : 0;
    ASSERT_EQ(written[static_cast<std::size_t>(i - start)], expected) << i;
  }
  const auto calls = Calls();
  EXPECT_EQ(calls[0], 8'142u);  // the straddling block is one call
}

}  // namespace
}  // namespace turv::testing
