// turv_seal: the build step that fixes a launcher's data offset.
//
//   turv_seal seal UNSEALED.exe OUT.exe   write OUT sealed (via a temporary
//                                          file, renamed when complete)
//   turv_seal check FILE.exe [PLAYER]     exit 0 only when FILE is sealed
//                                          right (and carries PLAYER's bytes)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "seal/launcher_image.h"

namespace {

namespace fs = std::filesystem;
using turv::seal::FileSource;

std::vector<std::uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw turv::seal::SealError("cannot open " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Check(const fs::path& file, const fs::path* player) {
  const FileSource source(file);
  if (const auto problem = turv::seal::SealProblem(source)) {
    std::fprintf(stderr, "turv_seal: %s: %s\n", file.string().c_str(), problem->c_str());
    return 1;
  }
  if (player != nullptr) {
    const auto facts = turv::seal::ReadLauncher(source);
    const auto expected = ReadAll(*player);
    std::vector<std::uint8_t> carried(facts.playerSize);
    source.Read(facts.playerOffset, carried);
    if (carried != expected) {
      std::fprintf(stderr, "turv_seal: %s: the player resource differs from %s\n",
                   file.string().c_str(), player->string().c_str());
      return 1;
    }
  }
  return 0;
}

int SealFile(const fs::path& in, const fs::path& out) {
  auto bytes = ReadAll(in);
  turv::seal::Seal(bytes);
  const fs::path temporary = out.string() + ".sealing";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) throw turv::seal::SealError("cannot write " + temporary.string());
  }
  fs::permissions(temporary, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                  fs::perm_options::add);
  if (Check(temporary, nullptr) != 0) {
    fs::remove(temporary);
    return 1;
  }
  fs::rename(temporary, out);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "seal") return SealFile(args[1], args[2]);
    if ((args.size() == 2 || args.size() == 3) && args[0] == "check") {
      const fs::path player = args.size() == 3 ? fs::path(args[2]) : fs::path();
      return Check(args[1], args.size() == 3 ? &player : nullptr);
    }
    std::fputs("usage: turv_seal seal UNSEALED OUT | turv_seal check FILE [PLAYER]\n", stderr);
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "turv_seal: %s\n", e.what());
    return 1;
  }
}
