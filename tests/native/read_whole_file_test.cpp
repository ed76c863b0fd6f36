// ReadWholeFile: sizes around the read chunk, the buffer it leaves, and the
// errors of a file that will not open or read.
#include "core/errors.h"
#include "launch_fixture.h"

namespace turv::testing {
namespace {

class ReadWholeFileTest : public LaunchTest {};

TEST_F(ReadWholeFileTest, SizesAroundTheChunk) {
  for (const std::size_t size : {0u, 1u, 16'283u, 16'284u, 16'285u, 2u * 16'284u, 100'000u}) {
    SetUp();
    const auto bytes = Pattern(size, 8);
    W().AddFile("C:\\f.bin", bytes);
    Feld buffer;
    EXPECT_EQ(ReadWholeFile("C:\\f.bin", buffer), static_cast<std::int32_t>(size));
    const std::size_t reads = size / 16'284 + 1;  // the last one comes back short
    EXPECT_EQ(W().CallSizes("C:\\f.bin", 'r'), std::vector<std::uint32_t>(reads, 16'284u)) << size;
    ASSERT_EQ(buffer.Length(), static_cast<std::int64_t>(1 + 16'284 * reads)) << size;
    for (std::size_t i = 0; i < size; ++i)
      ASSERT_EQ(buffer[static_cast<std::int64_t>(i)], bytes[i]);
    for (auto i = static_cast<std::int64_t>(size); i < buffer.Length(); ++i)
      ASSERT_EQ(buffer[i], 0);
  }
}

TEST_F(ReadWholeFileTest, AnUnopenedFileIsIoError103WhateverTheReason) {
  Feld buffer;
  for (const char* path : {"C:\\missing.exe", "C:\\NoFolder\\x.exe", "C:\\locked.exe"}) {
    W().AddFile("C:\\locked.exe", {1});
    W().lockedFiles.insert("C:\\locked.exe");
    try {
      ReadWholeFile(path, buffer);
      FAIL() << path;
    } catch (const IoError& e) {
      EXPECT_EQ(e.Code(), 103u) << path;
    }
  }
}

TEST_F(ReadWholeFileTest, AReadErrorCarriesTheSystemsCode) {
  W().AddFile("C:\\f.bin", Pattern(10, 1));
  W().readFaults["c:\\f.bin"] = 23;
  Feld buffer;
  try {
    ReadWholeFile("C:\\f.bin", buffer);
    FAIL();
  } catch (const IoError& e) {
    EXPECT_EQ(e.Code(), 23u);
    EXPECT_STREQ(e.what(), "E/A-Fehler 23");
  }
}

}  // namespace
}  // namespace turv::testing
