// kov-vm: command-line client for the virtual-machine API. Everything happens in RunKovVm; an
// exception that still reaches here (memory exhausted) ends the run with a message, not an abort.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "tools/kov-vm/cli.h"

int main(int argc, char** argv) {
  try {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return Kov::Cli::RunKovVm(args, std::cin, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "kov-vm: " << e.what() << "; the state file was not changed\n";
    return Kov::Cli::kExitFailed;
  }
}
