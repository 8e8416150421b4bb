// The machine configuration service of the simulated host.
//
// - create: makes a machine, switched off, with one CPU and 1024 MiB of memory, no devices, and
//   adds it to the dock. An empty identifier or guest OS, or an identifier already in use, gives
//   Error, the only error of its list.
// - delete: removes a machine with everything it holds; NotFound for an unknown machine,
//   NotAllowedInCurrentState while it is on (a machine that is off or suspended can be deleted).
#include "tools/sim/services.h"
#include "tools/sim/support.h"
#include "vm/zub.h"

namespace Kov {
namespace Sim {
namespace {

using Com::Brantel::Kov::Vm::ZubSvc;

class Zub final : public ZubSvc::AsyncServiceInterface {
 public:
  explicit Zub(std::shared_ptr<Lab> lab) : lab_(std::move(lab)) {}

  void Create(const std::shared_ptr<const ZubSvc::CreateSpec>& spec,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const ZubSvc::CreateMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      if (!spec) return NoSpec<StdErrors::Error>();
      if (spec->vm.empty()) {
        return Fail<StdErrors::Error>("kov.sim.vm.id.empty",
                                      "A virtual machine needs a non-empty identifier.");
      }
      if (spec->guestOS.empty()) {
        return Fail<StdErrors::Error>("kov.sim.vm.guest.empty",
                                      "Virtual machine \"{}\" needs a guest OS.", spec->vm);
      }
      if (FindMachine(lab, spec->vm)) {
        return Fail<StdErrors::Error>(
            "kov.sim.vm.exists", "A virtual machine with the identifier \"{}\" already exists.",
            spec->vm);
      }
      Machine m = NewMachine(spec->vm, spec->guestOS);
      if (spec->hwVersion) {
        m.hasHwVersion = true;
        m.hwVersion = *spec->hwVersion;
      }
      lab.machines.push_back(std::move(m));
      return Tarn::Void();
    });
  }

  void Delete(const std::string& vm, const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const ZubSvc::DeleteMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      for (auto it = lab.machines.begin(); it != lab.machines.end(); ++it) {
        if (it->id != vm) continue;
        if (it->power == PowerState::kOn) return MachineIsOn(vm, "it can be deleted");
        lab.machines.erase(it);
        return Tarn::Void();
      }
      return MachineNotFound(vm);
    });
  }

 private:
  std::shared_ptr<Lab> lab_;
};

}  // namespace

BoundInterface BindZub(const std::shared_ptr<Lab>& lab) {
  return ZubSvc::AsyncServiceBinder::BindImplementation(std::make_shared<Zub>(lab));
}

}  // namespace Sim
}  // namespace Kov
