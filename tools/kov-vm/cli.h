// kov-vm, the command-line client of the virtual-machine API: lists and describes the services,
// calls any operation with JSON input, and runs a guided tour, all against the embedded simulator
// host, optionally keeping the simulator's lab in a state file between runs.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace Kov {
namespace Cli {

// Exit statuses of kov-vm.
enum ExitStatus : int {
  kExitOk = 0,
  kExitFailed = 1,  // the operation answered with an error, or the tour met a surprise
  kExitUsage = 2,   // bad command line or bad input; nothing was called, nothing changed
  kExitState = 3,   // the state file was refused or could not be saved
  kExitOutput = 4,  // the answer could not be written to standard output; nothing was saved
  kExitUnreachable =
      5,  // the host given by --host could not be reached (or serve could not listen)
};

// Runs kov-vm with `args` (the arguments after the program name), reading input from `in`,
// writing results to `out` and problems to `err`. Returns the exit status.
int RunKovVm(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
             std::ostream& err);

}  // namespace Cli
}  // namespace Kov
