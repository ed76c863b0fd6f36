// A scratch folder per test with a sealed test launcher in it, and helpers
// to run karupack there and look at what it left.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "format/karu_format.h"
#include "runner.h"
#include "seal/launcher_image.h"
#include "test_launcher.h"

namespace turv::karupack::testing {

namespace fs = std::filesystem;

class PackerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "karupack-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    launcher_ = Write("turv.exe", MakeLauncher(5'000));
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  const fs::path& Dir() const { return dir_; }
  const fs::path& Launcher() const { return launcher_; }

  fs::path Write(const fs::path& relative, const std::string& bytes) {
    const fs::path path = dir_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  fs::path Write(const fs::path& relative, const std::vector<std::uint8_t>& bytes) {
    return Write(relative, std::string(bytes.begin(), bytes.end()));
  }
  // A file of size bytes that takes no room on disk.
  fs::path Sparse(const fs::path& relative, std::uint64_t size) {
    const fs::path path = Write(relative, std::string());
    fs::resize_file(path, size);
    return path;
  }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(fs::file_size(path), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
  }

  // Every file under folder with its content (hidden and temporary ones too).
  static std::map<std::string, std::string> Contents(const fs::path& folder) {
    std::map<std::string, std::string> all;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
      all[fs::relative(e.path(), folder).string()] = e.is_regular_file() ? Read(e.path()) : "";
    }
    return all;
  }

  Outcome Karupack(const std::vector<std::string>& args, const RunOptions& options = {}) {
    return testing::Run(args, options);
  }
  Outcome Pack(const fs::path& out, std::vector<std::string> inputs) {
    std::vector<std::string> args = {"pack", "--quiet",   "-l", launcher_.string(),
                                     "-o",   out.string()};
    args.insert(args.end(), inputs.begin(), inputs.end());
    return testing::Run(args);
  }

  // A run under strace: the calls traced (strace's -e trace=), one a line
  // without the process number, descriptors shown with their files (-y).
  struct Trace {
    Outcome outcome;
    std::vector<std::string> lines;
  };
  Trace Traced(const std::vector<std::string>& args, const std::string& calls) {
    const fs::path log = dir_ / "strace.log";
    RunOptions options;
    options.env = {"ASAN_OPTIONS=detect_leaks=0"};  // LeakSanitizer does not run under ptrace
    options.under = {"strace", "-f", "-qq", "-y", "-e", "trace=" + calls, "-o", log.string()};
    Trace trace{Karupack(args, options), {}};
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) {
      trace.lines.push_back(line.substr(line.find_first_not_of(' ', line.find(' '))));
    }
    fs::remove(log);
    return trace;
  }

  // The used entries of a package written with the test launcher.
  static std::vector<format::Entry> EntriesOf(const fs::path& package) {
    const std::string bytes = Read(package);
    const seal::FileSource source(package);
    const auto start = static_cast<std::size_t>(seal::ReadLauncher(source).ImageSize());
    const auto* region = reinterpret_cast<const std::uint8_t*>(bytes.data()) + start;
    return format::ParseDirectory({region, bytes.size() - start}, bytes.size() - start);
  }

 private:
  fs::path dir_;
  fs::path launcher_;
};

// Failed with one line on stderr that says why.
MATCHER_P(FailedWith, why, "") {
  *result_listener << "stderr: " << arg.err;
  return arg.status == 1 && arg.err.find(why) != std::string::npos &&
         arg.err.starts_with("karupack: ") && arg.err.find('\n') == arg.err.size() - 1;
}

}  // namespace turv::karupack::testing
