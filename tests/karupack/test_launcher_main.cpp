// Writes a small sealed launcher for the packer's benchmark:
//   karupack_test_launcher OUT.exe
#include <fstream>
#include <iostream>

#include "test_launcher.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: karupack_test_launcher OUT.exe\n";
    return 2;
  }
  const auto launcher = turv::karupack::testing::MakeLauncher(100'000);
  std::ofstream out(argv[1], std::ios::binary);
  out.write(reinterpret_cast<const char*>(launcher.data()),
            static_cast<std::streamsize>(launcher.size()));
  out.close();
  if (!out) {
    std::cerr << "karupack_test_launcher: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
