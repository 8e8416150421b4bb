// The simulator host: implementations of all thirteen services of the virtual-machine API over one
// in-memory lab, bound through each service's AsyncServiceBinder. Clients reach it only through
// the runtime: register it with a Tarn::Core::LocalProvider and call it through stubs.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/local_provider.h"
#include "runtime/provider.h"
#include "runtime/stub.h"
#include "tools/sim/lab.h"

namespace Kov {
namespace Sim {

class Simulator {
 public:
  // A simulator over `lab`, or over a fresh, empty lab when it is null.
  explicit Simulator(std::shared_ptr<Lab> lab = nullptr);

  const std::shared_ptr<Lab>& lab() const { return lab_; }

  // Binds a new implementation of every service over the lab: one interface object per service,
  // in the order of the API's service table (power, zub, cpus, memory, cdrom, disk, network,
  // sata_controller, scsi_controller, data_sets, data_sets.entries, dock, log_level).
  std::vector<std::shared_ptr<const Tarn::Provider::AsyncApiInterface>> Bind() const;

  // Binds every service and registers it with `provider`; false with the provider's messages when
  // a service could not be registered (for example, one of the same id is already there).
  bool RegisterWith(Tarn::Core::LocalProvider& provider, Tarn::MessageList& messages) const;

 private:
  std::shared_ptr<Lab> lab_;
};

// An invocation target that passes every call on to another target and counts the calls per
// operation ("com.brantel.kov.vm.power/get"). Thread-safe.
class CountingTarget final : public Tarn::Core::InvocationTarget {
 public:
  explicit CountingTarget(std::shared_ptr<Tarn::Core::InvocationTarget> next)
      : next_(std::move(next)) {}

  void Invoke(const std::shared_ptr<const Tarn::Core::MethodIdentifier>& methodId,
              const Tarn::Data::DataValuePtr& input,
              const std::shared_ptr<Tarn::Core::AsyncActivation>& activation,
              const Tarn::Core::AsyncApiResultCb& resultCb) override;

  // Calls per operation, keyed "<service id>/<operation>".
  std::map<std::string, int> Counts() const;

 private:
  std::shared_ptr<Tarn::Core::InvocationTarget> next_;
  mutable std::mutex mutex_;
  std::map<std::string, int> counts_;
};

}  // namespace Sim
}  // namespace Kov
