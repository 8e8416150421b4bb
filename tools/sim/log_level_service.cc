// The log level service of the simulated host. Every machine has the same fixed set of modules
// (KnownModules()); a module has a level once one is set, until it is deleted.
//
// - set: NotFound for an unknown machine or module; a level outside the scale is InvalidArgument.
// - delete: NotFound for an unknown machine or module, and for a module that has no level set.
#include "tools/sim/services.h"
#include "tools/sim/support.h"
#include "vm/modules/log_level.h"

namespace Kov {
namespace Sim {
namespace {

using Com::Brantel::Kov::Vm::Modules::LogLevelSvc;

Tarn::Data::ErrorValuePtr ModuleNotFound(const std::string& module) {
  std::string known;
  for (auto& k : KnownModules()) known += (known.empty() ? "" : ", ") + k;
  return Fail<StdErrors::NotFound>(
      "kov.sim.module.not.found", "There is no module \"{}\"; the modules are: {}.", module, known);
}

class LogLevel final : public LogLevelSvc::AsyncServiceInterface {
 public:
  explicit LogLevel(std::shared_ptr<Lab> lab) : lab_(std::move(lab)) {}

  void Set(const std::string& vm, const std::string& module,
           const std::shared_ptr<const LogLevelSvc::SetSpec>& spec,
           const std::shared_ptr<Tarn::Core::AsyncActivation>&,
           const LogLevelSvc::SetMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      if (!Texts::Contains(KnownModules(), module)) return ModuleNotFound(module);
      if (!spec) return NoSpec<StdErrors::InvalidArgument>();
      const std::string level = Tarn::EnumToText(spec->level);
      if (!Texts::Contains(Texts::LogLevels(), level)) {
        return Fail<StdErrors::InvalidArgument>(
            "kov.sim.log.level.unknown", "\"{}\" is not a log level; the levels run from {} to {}.",
            level, Texts::LogLevels().front(), Texts::LogLevels().back());
      }
      m->logLevels[module] = level;
      return Tarn::Void();
    });
  }

  void Delete(const std::string& vm, const std::string& module,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const LogLevelSvc::DeleteMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      if (!Texts::Contains(KnownModules(), module)) return ModuleNotFound(module);
      if (m->logLevels.erase(module) == 0) {
        return Fail<StdErrors::NotFound>("kov.sim.log.level.not.set",
                                         "Module \"{}\" of virtual machine \"{}\" has no log "
                                         "level set.",
                                         module, vm);
      }
      return Tarn::Void();
    });
  }

 private:
  std::shared_ptr<Lab> lab_;
};

}  // namespace

BoundInterface BindLogLevel(const std::shared_ptr<Lab>& lab) {
  return LogLevelSvc::AsyncServiceBinder::BindImplementation(std::make_shared<LogLevel>(lab));
}

}  // namespace Sim
}  // namespace Kov
