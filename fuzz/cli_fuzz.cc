// Fuzzes the CLI's call path: each line of the input is "SERVICE.OPERATION JSON", run in order as
// `kov-vm --state FILE call SERVICE.OPERATION -` with the JSON on standard input, on one lab that
// starts from the same populated state for every input. Beyond "no crash" it checks that a call
// either succeeds with valid JSON on standard output that reads back to the same document, or
// fails with a clear message on standard error and nothing on standard output.
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/common.h"
#include "tools/kov-vm/cli.h"
#include "tools/sim/json_value.h"
#include "tools/sim/state_file.h"

namespace {

using Kov::Fuzz::Check;

// The state file, and the populated lab each input starts from.
struct Files {
  Kov::Fuzz::Scratch scratch{"cli"};
  std::string state = scratch.File("lab.json");
  std::string populated = Kov::Sim::StateFile::ToJson(Kov::Fuzz::PopulatedLab()).dump(2) + "\n";
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Files files;
  std::ofstream(files.state, std::ios::binary | std::ios::trunc) << files.populated;
  std::istringstream lines(std::string(reinterpret_cast<const char*>(data), size));
  std::string line;
  for (int calls = 0; calls < 4 && std::getline(lines, line); ++calls) {
    const std::size_t space = line.find(' ');
    std::istringstream in(space == std::string::npos ? "{}" : line.substr(space + 1));
    std::ostringstream out, err;
    const int status = Kov::Cli::RunKovVm(
        {"--state", files.state, "call", line.substr(0, space), "-"}, in, out, err);
    Check(status == Kov::Cli::kExitOk || status == Kov::Cli::kExitFailed ||
              status == Kov::Cli::kExitUsage,
          "a call succeeds, fails, or is refused as bad input");
    if (status != Kov::Cli::kExitOk) {
      Check(out.str().empty(), "a failed call writes nothing to standard output");
      Check(err.str().rfind("kov-vm: ", 0) == 0 && err.str().back() == '\n',
            "a failed call says why on standard error");
      continue;
    }
    nlohmann::json answer, again;
    std::string problem;
    Check(err.str().empty(), "a successful call writes nothing to standard error");
    Check(Kov::Sim::ParseJson(out.str(), answer, problem), "the answer is valid JSON");
    Check(Kov::Sim::ParseJson(answer.dump(), again, problem) && again == answer,
          "the answer reads back to the same document");
  }
  return 0;
}
