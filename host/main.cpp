// zorvik-host: the reference host of the callbook plug-in.
#include <iostream>

#include "host/HostCommandLine.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return RunHostCommandLine(args, std::cout, std::cerr);
}
