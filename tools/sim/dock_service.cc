// The dock service of the simulated host: the dock holds every machine, in creation order.
//
// - load: marks a machine as loaded (loading a loaded machine again changes nothing); an empty
//   identifier is InvalidArgument, an unknown one NotFound.
// - list: every machine of the dock; it cannot fail.
#include "tools/sim/services.h"
#include "tools/sim/support.h"
#include "vm/dock.h"

namespace Kov {
namespace Sim {
namespace {

using Com::Brantel::Kov::Vm::DockSvc;

class Dock final : public DockSvc::AsyncServiceInterface {
 public:
  explicit Dock(std::shared_ptr<Lab> lab) : lab_(std::move(lab)) {}

  void Load(const std::string& vm, const std::shared_ptr<Tarn::Core::AsyncActivation>&,
            const DockSvc::LoadMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      if (vm.empty()) {
        return Fail<StdErrors::InvalidArgument>("kov.sim.vm.id.empty",
                                                "A virtual machine needs a non-empty identifier.");
      }
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      m->loaded = true;
      return Tarn::Void();
    });
  }

  void List(const std::shared_ptr<Tarn::Core::AsyncActivation>&,
            const DockSvc::ListMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<std::shared_ptr<const DockSvc::ListResult>> {
      auto list = std::make_shared<DockSvc::ListResult>();
      list->items.reserve(lab.machines.size());
      for (auto& m : lab.machines) {
        auto item = std::make_shared<DockSvc::Info>();
        item->vm = m.id;
        list->items.push_back(std::move(item));
      }
      return std::shared_ptr<const DockSvc::ListResult>(std::move(list));
    });
  }

 private:
  std::shared_ptr<Lab> lab_;
};

}  // namespace

BoundInterface BindDock(const std::shared_ptr<Lab>& lab) {
  return DockSvc::AsyncServiceBinder::BindImplementation(std::make_shared<Dock>(lab));
}

}  // namespace Sim
}  // namespace Kov
