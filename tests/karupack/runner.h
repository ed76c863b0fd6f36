// Runs the built karupack program as a user would, and tells what it did:
// exit status or signal, its output, and its peak memory.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace turv::karupack::testing {

struct Outcome {
  int status = -1;  // exit status, or -1 when a signal ended it
  int signal = 0;
  std::string out;
  std::string err;  // stderr; with a terminal, what the terminal showed
  long peakKib = 0;
};

// For failure messages: what the run did, not the object's bytes.
inline void PrintTo(const Outcome& outcome, std::ostream* os) {
  *os << "status " << outcome.status << ", signal " << outcome.signal;
}

struct RunOptions {
  std::vector<std::string> env;       // "NAME=value" added; TURV_LAUNCHER is never inherited
  std::optional<long> fileSizeLimit;  // RLIMIT_FSIZE, writes beyond it fail
  bool stderrTerminal = false;        // stderr on a pseudo terminal
  unsigned timeLimit = 120;           // seconds; a program still running then is killed
  std::filesystem::path folder;       // its current folder; empty: ours
  std::vector<std::string> under;     // a program (found on PATH) that runs it: strace, say
  std::optional<unsigned> umask;      // its umask; empty: ours
};

inline RunOptions WithEnv(const std::string& setting) {
  RunOptions options;
  options.env = {setting};
  return options;
}
inline RunOptions WithFileSizeLimit(long bytes) {
  RunOptions options;
  options.fileSizeLimit = bytes;
  return options;
}
inline RunOptions OnTerminal() {
  RunOptions options;
  options.stderrTerminal = true;
  return options;
}

class Child {
 public:
  Child(const std::vector<std::string>& args, const RunOptions& options = {});
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child();

  pid_t Pid() const { return pid_; }
  Outcome Wait();

 private:
  pid_t pid_ = -1;
  int terminal_ = -1;  // our side of the pseudo terminal
  std::FILE* out_ = nullptr;
  std::FILE* err_ = nullptr;
};

Outcome Run(const std::vector<std::string>& args, const RunOptions& options = {});

// Whether a program is on PATH.
bool HaveTool(const std::string& name);

}  // namespace turv::karupack::testing
