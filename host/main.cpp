// zorvik-host: the reference host of the callbook plug-in.
#include <iostream>

#include "host/HostCommandLine.h"
#include "host/HostTerminal.h"
#ifdef ZORVIK_HOST_GUI
#include "host/HostGui.h"
#endif

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
#ifdef ZORVIK_HOST_GUI
  if (IsHostGuiCommand(args)) return RunHostGui(args, std::cout, std::cerr);
#endif
  return RunHostCommandLine(args, std::cout, std::cerr, StandardErrorIsTerminal());
}
