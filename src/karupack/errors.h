// What goes wrong in karupack, and how it ends: a UsageError (exit 2), a
// Failure naming the file and the reason (exit 1), or Interrupted (a signal
// asked us to stop). karupack.cpp turns them into the one-line message.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "karupack/paths.h"

namespace turv::karupack {

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Failure : public std::runtime_error {
 public:
  Failure(const std::filesystem::path& file, const std::string& reason)
      : std::runtime_error(Utf8(file) + ": " + reason) {}
  // FILE:LINE: reason, as compilers name a line.
  Failure(const std::filesystem::path& file, int line, const std::string& reason)
      : std::runtime_error(Utf8(file) + ":" + std::to_string(line) + ": " + reason) {}
};

class Interrupted : public std::runtime_error {
 public:
  explicit Interrupted(int signal)
      : std::runtime_error("interrupted; the unfinished file was removed"), signal_(signal) {}
  int Signal() const { return signal_; }

 private:
  int signal_;
};

}  // namespace turv::karupack
