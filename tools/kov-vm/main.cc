// kov-vm: command-line client for the virtual-machine API. Everything happens in RunKovVm.
#include <iostream>
#include <string>
#include <vector>

#include "tools/kov-vm/cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return Kov::Cli::RunKovVm(args, std::cin, std::cout, std::cerr);
}
