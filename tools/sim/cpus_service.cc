// The CPU service of the simulated host.
//
// Rules: a count or cores-per-socket below 1, a count above the host's maximum, or a count that is
// not a multiple of the cores per socket is InvalidArgument. While the machine is on, adding CPUs
// needs hot-add enabled, removing them needs hot-remove enabled, and cores per socket and the two
// hot-plug switches cannot change: NotAllowedInCurrentState. Unset members of the specification
// keep their current values.
#include "tools/sim/services.h"
#include "tools/sim/support.h"
#include "vm/compute/cpus.h"

namespace Kov {
namespace Sim {
namespace {

using Com::Brantel::Kov::Vm::Compute::CpusSvc;

class Cpus final : public CpusSvc::AsyncServiceInterface {
 public:
  explicit Cpus(std::shared_ptr<Lab> lab) : lab_(std::move(lab)) {}

  void Get(const std::string& vm, const std::shared_ptr<Tarn::Core::AsyncActivation>&,
           const CpusSvc::GetMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<std::shared_ptr<const CpusSvc::Info>> {
      const Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      auto info = std::make_shared<CpusSvc::Info>();
      info->count = m->cpuCount;
      info->coresPerSocket = m->coresPerSocket;
      info->hotAddEnabled = m->cpuHotAddEnabled;
      info->hotRemoveEnabled = m->cpuHotRemoveEnabled;
      return std::shared_ptr<const CpusSvc::Info>(std::move(info));
    });
  }

  void Update(const std::string& vm, const std::shared_ptr<const CpusSvc::UpdateSpec>& spec,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const CpusSvc::UpdateMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      if (!spec) return NoSpec<StdErrors::InvalidArgument>();
      const std::int64_t count = spec->count.value_or(m->cpuCount);
      const std::int64_t cores = spec->coresPerSocket.value_or(m->coresPerSocket);
      const bool hotAdd = spec->hotAddEnabled.value_or(m->cpuHotAddEnabled);
      const bool hotRemove = spec->hotRemoveEnabled.value_or(m->cpuHotRemoveEnabled);
      if (count < 1 || count > Limits::kMaxCpuCount) {
        return Fail<StdErrors::InvalidArgument>(
            "kov.sim.cpu.count.invalid", "A CPU count must be between 1 and {}; {} was given.",
            Limits::kMaxCpuCount, count);
      }
      if (cores < 1 || cores > Limits::kMaxCpuCount) {
        return Fail<StdErrors::InvalidArgument>(
            "kov.sim.cpu.cores.invalid", "Cores per socket must be between 1 and {}; {} was given.",
            Limits::kMaxCpuCount, cores);
      }
      if (count % cores != 0) {
        return Fail<StdErrors::InvalidArgument>(
            "kov.sim.cpu.count.not.multiple",
            "A CPU count of {} cannot be split into sockets of {} cores.", count, cores);
      }
      if (m->power == PowerState::kOn) {
        if (cores != m->coresPerSocket || hotAdd != m->cpuHotAddEnabled ||
            hotRemove != m->cpuHotRemoveEnabled) {
          return MachineIsOn(vm, "cores per socket and CPU hot-plug can be changed");
        }
        if (count > m->cpuCount && !m->cpuHotAddEnabled) {
          return Fail<StdErrors::NotAllowedInCurrentState>(
              "kov.sim.cpu.hot.add.disabled",
              "Virtual machine \"{}\" is on and CPU hot-add is disabled; switch it off to add "
              "CPUs.",
              vm);
        }
        if (count < m->cpuCount && !m->cpuHotRemoveEnabled) {
          return Fail<StdErrors::NotAllowedInCurrentState>(
              "kov.sim.cpu.hot.remove.disabled",
              "Virtual machine \"{}\" is on and CPU hot-remove is disabled; switch it off to "
              "remove CPUs.",
              vm);
        }
      }
      m->cpuCount = count;
      m->coresPerSocket = cores;
      m->cpuHotAddEnabled = hotAdd;
      m->cpuHotRemoveEnabled = hotRemove;
      return Tarn::Void();
    });
  }

 private:
  std::shared_ptr<Lab> lab_;
};

}  // namespace

BoundInterface BindCpus(const std::shared_ptr<Lab>& lab) {
  return CpusSvc::AsyncServiceBinder::BindImplementation(std::make_shared<Cpus>(lab));
}

}  // namespace Sim
}  // namespace Kov
