// The process-wide record of one launch. Every field starts empty or zero
// and is written only on the GUI thread.
#pragma once

#include <cstdint>
#include <string>

#include "core/feld.h"

namespace turv {

struct LaunchState {
  std::string StartDir;         // current folder at the start, as the system gives it
  std::string TempDir;          // temporary folder, no trailing backslash; may be empty
  std::string WorkDir;          // work folder, no trailing backslash
  std::string PlayerPath;       // the extracted player file
  std::string DataPath;         // WorkDir + "\karu.pqd"
  std::string OwnPath;          // the program file's path, A-Z lowered
  std::int64_t OwnSize = 0;     // program file size from its directory entry
  std::int64_t ReadSize = 0;    // program file size found when opened for reading
  std::int64_t PlayerSize = 0;  // size of the player resource
  std::int64_t DataOffset = 0;  // where the appended data starts in the program file
  Feld ImageBytes;              // the program file, read whole
  bool HasData = false;         // the program file is larger than the player
};

extern LaunchState Launch;

}  // namespace turv
