// The launch's errors. A failed file operation raises an IoError carrying
// the system's code (or 103 for a file that is not open); the start-folder
// file's stream raises a FileStreamError. Their what() is the German text
// that the application's error report shows.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace turv {

class LaunchError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class IoError : public LaunchError {
 public:
  explicit IoError(std::uint32_t code);
  std::uint32_t Code() const { return code_; }

 private:
  std::uint32_t code_;
};

class FileStreamError : public LaunchError {
 public:
  using LaunchError::LaunchError;
};

// The code of an operation on a file that was never opened.
inline constexpr std::uint32_t kFileNotOpen = 103;
// The code of a write that the system cut short.
inline constexpr std::uint32_t kShortWrite = 101;

std::string IoErrorText(std::uint32_t code);

// "Datei "<full path>" kann nicht erstellt werden. <system text>", the
// system text cut of its trailing periods, blanks and line breaks.
std::string CannotCreateText(const std::string& fullPath, const std::string& systemText);

}  // namespace turv
