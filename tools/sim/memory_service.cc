// The memory service of the simulated host. Sizes are in MiB.
//
// Rules: a size below 1, above the host's maximum, or not a multiple of 4 is InvalidArgument.
// While the machine is on, memory can grow only with hot-add enabled, and can neither shrink nor
// have its hot-add switch changed: NotAllowedInCurrentState. Unset members keep their values.
#include "tools/sim/services.h"
#include "tools/sim/support.h"
#include "vm/compute/memory.h"

namespace Kov {
namespace Sim {
namespace {

using Com::Brantel::Kov::Vm::Compute::MemorySvc;

class Memory final : public MemorySvc::AsyncServiceInterface {
 public:
  explicit Memory(std::shared_ptr<Lab> lab) : lab_(std::move(lab)) {}

  void Get(const std::string& vm, const std::shared_ptr<Tarn::Core::AsyncActivation>&,
           const MemorySvc::GetMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<std::shared_ptr<const MemorySvc::Properties>> {
      const Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      auto properties = std::make_shared<MemorySvc::Properties>();
      properties->size = m->memorySize;
      properties->hotAddEnabled = m->memoryHotAddEnabled;
      return std::shared_ptr<const MemorySvc::Properties>(std::move(properties));
    });
  }

  void Update(const std::string& vm, const std::shared_ptr<const MemorySvc::UpdateSpec>& spec,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const MemorySvc::UpdateMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      if (!spec) return NoSpec<StdErrors::InvalidArgument>();
      const std::int64_t size = spec->size.value_or(m->memorySize);
      const bool hotAdd = spec->hotAddEnabled.value_or(m->memoryHotAddEnabled);
      if (size < 1 || size > Limits::kMaxMemorySize) {
        return Fail<StdErrors::InvalidArgument>(
            "kov.sim.memory.size.invalid",
            "A memory size must be between 1 and {} MiB; {} was given.", Limits::kMaxMemorySize,
            size);
      }
      if (size % Limits::kMemoryGranule != 0) {
        return Fail<StdErrors::InvalidArgument>(
            "kov.sim.memory.size.granule", "A memory size must be a multiple of {} MiB; {} is not.",
            Limits::kMemoryGranule, size);
      }
      if (m->power == PowerState::kOn) {
        if (hotAdd != m->memoryHotAddEnabled) {
          return MachineIsOn(vm, "memory hot-add can be switched");
        }
        if (size < m->memorySize) return MachineIsOn(vm, "memory can be removed");
        if (size > m->memorySize && !m->memoryHotAddEnabled) {
          return Fail<StdErrors::NotAllowedInCurrentState>(
              "kov.sim.memory.hot.add.disabled",
              "Virtual machine \"{}\" is on and memory hot-add is disabled; switch it off to add "
              "memory.",
              vm);
        }
      }
      m->memorySize = size;
      m->memoryHotAddEnabled = hotAdd;
      return Tarn::Void();
    });
  }

 private:
  std::shared_ptr<Lab> lab_;
};

}  // namespace

BoundInterface BindMemory(const std::shared_ptr<Lab>& lab) {
  return MemorySvc::AsyncServiceBinder::BindImplementation(std::make_shared<Memory>(lab));
}

}  // namespace Sim
}  // namespace Kov
