#include "runner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace turv::karupack::testing {

namespace {

std::string ReadAll(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char chunk[4096];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
    text.append(chunk, got);
  return text;
}

}  // namespace

Child::Child(const std::vector<std::string>& args, const RunOptions& options)
    : out_(std::tmpfile()), err_(std::tmpfile()) {
  if (out_ == nullptr || err_ == nullptr) throw std::runtime_error("no temporary file");
  int slave = -1;
  if (options.stderrTerminal && ::openpty(&terminal_, &slave, nullptr, nullptr, nullptr) != 0) {
    throw std::runtime_error("no pseudo terminal");
  }
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "TURV_LAUNCHER=", 14) != 0) env.emplace_back(*e);
  }
  env.insert(env.end(), options.env.begin(), options.env.end());
  std::vector<std::string> argv = options.under;
  argv.push_back(KARUPACK_PROGRAM);
  argv.insert(argv.end(), args.begin(), args.end());
  // Prepared before fork: the child only calls what is safe there.
  const std::string folder = options.folder.string();
  std::vector<char*> argp, envp;
  for (auto& a : argv) argp.push_back(a.data());
  for (auto& e : env) envp.push_back(e.data());
  argp.push_back(nullptr);
  envp.push_back(nullptr);

  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // a test killed by a time limit takes it along
    ::alarm(options.timeLimit);          // a program that hangs ends by SIGALRM, not the test
    ::dup2(::fileno(out_), 1);
    ::dup2(slave >= 0 ? slave : ::fileno(err_), 2);
    if (options.fileSizeLimit) {
      const rlimit limit{static_cast<rlim_t>(*options.fileSizeLimit),
                         static_cast<rlim_t>(*options.fileSizeLimit)};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      ::signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit fails instead
    }
    if (options.umask) ::umask(static_cast<mode_t>(*options.umask));
    if (!folder.empty() && ::chdir(folder.c_str()) != 0) ::_exit(126);
    ::execvpe(argp[0], argp.data(), envp.data());
    ::_exit(127);
  }
  if (slave >= 0) ::close(slave);
}

Child::~Child() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (terminal_ >= 0) ::close(terminal_);
  std::fclose(out_);
  std::fclose(err_);
}

Outcome Child::Wait() {
  Outcome outcome;
  int status = 0;
  rusage usage{};
  if (terminal_ >= 0) {
    // Read the terminal while the program runs, or it would block on a full one.
    for (bool running = true;;) {
      pollfd ready{terminal_, POLLIN, 0};
      if (::poll(&ready, 1, running ? 50 : 0) > 0) {
        char chunk[4096];
        const ssize_t got = ::read(terminal_, chunk, sizeof chunk);
        if (got > 0) {
          outcome.err.append(chunk, static_cast<std::size_t>(got));
          continue;
        }
      }
      if (!running) break;
      running = ::wait4(pid_, &status, WNOHANG, &usage) == 0;
    }
  } else {
    ::wait4(pid_, &status, 0, &usage);
    outcome.err = ReadAll(err_);
  }
  pid_ = -1;
  outcome.out = ReadAll(out_);
  outcome.peakKib = usage.ru_maxrss;
  if (WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  return outcome;
}

Outcome Run(const std::vector<std::string>& args, const RunOptions& options) {
  return Child(args, options).Wait();
}

bool HaveTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace turv::karupack::testing
