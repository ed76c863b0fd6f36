// karupack: the packer's command line, on Linux.
#include <string>
#include <vector>

#include "karupack/karupack.h"

int main(int argc, char** argv) {
  return turv::karupack::Run(std::vector<std::string>(argv + 1, argv + argc));
}
