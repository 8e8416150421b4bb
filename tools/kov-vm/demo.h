// The guided tour of kov-vm: a fresh simulator, and the typed stubs of all thirteen services
// calling every operation at least once, some of them failing the way a user would expect.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/stub.h"

namespace Kov {
namespace Cli {

struct DemoResult {
  int exitCode = 0;
  // Calls per operation, keyed "<service id>/<operation>", as they reached the runtime.
  std::map<std::string, int> counts;
  std::size_t operations = 0;  // operations the simulator offers
  int calls = 0;
  int expectedFailures = 0;
  // Each call that failed as the tour expected: its operation and the error's short name.
  std::vector<std::pair<std::string, std::string>> failures;
  int surprises = 0;  // answers other than the tour expected
};

// Runs the tour, writing it to `out`, on a fresh embedded simulator, or on `host` when it is given
// (a host on the network; its lab must not hold the tour's machines). Exit code 0 when every
// operation was called and every answer was the expected one, 1 otherwise.
DemoResult RunDemo(std::ostream& out, std::shared_ptr<Tarn::Core::InvocationTarget> host = nullptr);

}  // namespace Cli
}  // namespace Kov
