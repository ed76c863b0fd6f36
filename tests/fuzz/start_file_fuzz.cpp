// The player's reader of norvi.stq on any file: it refuses with a
// PlayerError or hands out exactly the folder's bytes the length promises,
// which the status line then shows.
#include <cstring>

#include "check.h"
#include "lumirax/player_model.h"

namespace player = turv::player;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string folder;
  try {
    folder = player::ReadStartFile({data, size});
  } catch (const player::PlayerError&) {
    return 0;
  }
  FUZZ_CHECK(size >= 4 && folder.size() <= size - 4);
  FUZZ_CHECK(std::memcmp(folder.data(), data + 4, folder.size()) == 0);
  player::StatusLine({player::StartFolder::State::Found, player::FromCp1252(folder)});
  return 0;
}
