// What every service implementation of the simulator shares: answering an operation from one step
// under the lab's lock, and building the errors it answers with.
#pragma once

#include <boost/optional.hpp>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "binding/async_result.h"
#include "runtime/data_value.h"
#include "runtime/message.h"
#include "runtime/std_errors.h"
#include "tools/sim/json_value.h"
#include "tools/sim/lab.h"

namespace Kov {
namespace Sim {

namespace StdErrors = ::Com::Brantel::Tarn::Std::Errors;

// The answer of one operation: its result, or the error it fails with.
template <class R>
struct Outcome {
  Outcome(R v) : value(std::move(v)) {}                                        // NOLINT: implicit
  Outcome(Tarn::Data::ErrorValuePtr e) : error(std::move(e)) {}                // NOLINT: implicit
  Outcome(std::shared_ptr<Tarn::Data::ErrorValue> e) : error(std::move(e)) {}  // NOLINT
  boost::optional<R> value;
  Tarn::Data::ErrorValuePtr error;
};

// Runs `body` on the lab's data under its lock, then answers through `result` once the lock is
// released, so that a caller answered on this thread may call the simulator again.
template <class R, class Policy, class F>
void Run(Lab& lab, const Tarn::AsyncResult<R, Policy>& result, F&& body) {
  boost::optional<Outcome<R>> outcome;
  {
    std::lock_guard<std::mutex> lock(lab.mutex);
    outcome.emplace(body(lab.data));
  }
  if (outcome->error) {
    result.error(outcome->error);
  } else {
    result(*outcome->value);
  }
}

// A message argument as it is shown: a text from the caller is cut to a readable length.
inline std::string Shown(const std::string& text) { return Cut(text); }
template <class A>
const A& Shown(const A& arg) {
  return arg;
}

// An error of standard type E carrying one message of the simulator.
template <class E, class... A>
Tarn::Data::ErrorValuePtr Fail(const char* id, const char* text, const A&... args) {
  return E::Create({Tarn::MakeMessage(id, text, Shown(args)...)});
}

inline Tarn::Data::ErrorValuePtr MachineNotFound(const std::string& vm) {
  return Fail<StdErrors::NotFound>("kov.sim.vm.not.found",
                                   "No virtual machine has the identifier \"{}\".", vm);
}

inline Tarn::Data::ErrorValuePtr MachineIsOn(const std::string& vm, const char* what) {
  return Fail<StdErrors::NotAllowedInCurrentState>(
      "kov.sim.vm.powered.on", "Virtual machine \"{}\" is on; {} only while it is off.", vm, what);
}

// An operation's required specification was null: possible only when the implementation is called
// directly, since the binding refuses such input before it gets here.
template <class E>
Tarn::Data::ErrorValuePtr NoSpec() {
  return Fail<E>("kov.sim.spec.missing", "The operation needs a specification.");
}

template <class E>
Tarn::Data::ErrorValuePtr EmptyDevice() {
  return Fail<E>("kov.sim.device.name.empty", "A device needs a non-empty device name.");
}

inline Tarn::Data::ErrorValuePtr DeviceTaken(const std::string& vm, const std::string& device) {
  return Fail<StdErrors::AlreadyExists>("kov.sim.device.name.taken",
                                        "Virtual machine \"{}\" already has a device named \"{}\".",
                                        vm, device);
}

// Whether a list filter's set keeps `value`: an absent or empty set keeps everything.
template <class X>
bool Keeps(const boost::optional<std::set<X>>& filter, const X& value) {
  return !filter || filter->empty() || filter->count(value) != 0;
}

inline const char* PowerName(PowerState p) {
  switch (p) {
    case PowerState::kOn:
      return "on";
    case PowerState::kSuspended:
      return "suspended";
    case PowerState::kOff:
      break;
  }
  return "off";
}

}  // namespace Sim
}  // namespace Kov
