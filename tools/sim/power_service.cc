// The power service of the simulated host.
//
// A machine is on, off, or suspended (which the API reports as off with "suspended" true; a
// machine switched off reports "suspended" false, and one that is on carries no "suspended").
// - switch_on: an off or suspended machine goes on (and is loaded into the dock); one that is
//   already on gives AlreadyInDesiredState. "paused" and "soft" are accepted and change nothing.
// - switch_off: an on or suspended machine goes off, discarding a suspended state; one already
//   off gives Error, the only error of its list that fits (it has no AlreadyInDesiredState).
// - reset: only a machine that is on; otherwise NotAllowedInCurrentState.
// - suspend: only a machine that is on; otherwise NotAllowedInCurrentState.
#include "tools/sim/services.h"
#include "tools/sim/support.h"
#include "vm/power.h"

namespace Kov {
namespace Sim {
namespace {

using Com::Brantel::Kov::Vm::PowerSvc;

class Power final : public PowerSvc::AsyncServiceInterface {
 public:
  explicit Power(std::shared_ptr<Lab> lab) : lab_(std::move(lab)) {}

  void Get(const std::string& vm, const std::shared_ptr<Tarn::Core::AsyncActivation>&,
           const PowerSvc::GetMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<std::shared_ptr<const PowerSvc::Info>> {
      const Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      auto info = std::make_shared<PowerSvc::Info>();
      if (m->power == PowerState::kOn) {
        info->state = Tarn::EnumFromText<PowerSvc::State>("ON");
      } else {
        info->state = Tarn::EnumFromText<PowerSvc::State>("OFF");
        info->suspended = m->power == PowerState::kSuspended;
      }
      return std::shared_ptr<const PowerSvc::Info>(std::move(info));
    });
  }

  void SwitchOn(const std::string& vm, const std::shared_ptr<const PowerSvc::SwitchOnSpec>&,
                const std::shared_ptr<Tarn::Core::AsyncActivation>&,
                const PowerSvc::SwitchOnMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      if (m->power == PowerState::kOn) {
        return Fail<StdErrors::AlreadyInDesiredState>("kov.sim.power.already.on",
                                                      "Virtual machine \"{}\" is already on.", vm);
      }
      m->power = PowerState::kOn;
      m->loaded = true;
      return Tarn::Void();
    });
  }

  void SwitchOff(const std::string& vm, const std::shared_ptr<Tarn::Core::AsyncActivation>&,
                 const PowerSvc::SwitchOffMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      if (m->power == PowerState::kOff) {
        return Fail<StdErrors::Error>("kov.sim.power.already.off",
                                      "Virtual machine \"{}\" is already off.", vm);
      }
      m->power = PowerState::kOff;
      return Tarn::Void();
    });
  }

  void Reset(const std::string& vm, const std::shared_ptr<Tarn::Core::AsyncActivation>&,
             const PowerSvc::ResetMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      if (m->power != PowerState::kOn) return NotOn(vm, *m, "reset");
      return Tarn::Void();
    });
  }

  void Suspend(const std::string& vm, const std::shared_ptr<Tarn::Core::AsyncActivation>&,
               const PowerSvc::SuspendMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      if (m->power != PowerState::kOn) return NotOn(vm, *m, "suspended");
      m->power = PowerState::kSuspended;
      return Tarn::Void();
    });
  }

 private:
  static Tarn::Data::ErrorValuePtr NotOn(const std::string& vm, const Machine& m,
                                         const char* action) {
    return Fail<StdErrors::NotAllowedInCurrentState>(
        "kov.sim.power.not.on",
        "Virtual machine \"{}\" is {}; only a machine that is on can be {}.", vm,
        PowerName(m.power), action);
  }

  std::shared_ptr<Lab> lab_;
};

}  // namespace

BoundInterface BindPower(const std::shared_ptr<Lab>& lab) {
  return PowerSvc::AsyncServiceBinder::BindImplementation(std::make_shared<Power>(lab));
}

}  // namespace Sim
}  // namespace Kov
