// The SATA controller service of the simulated host. A machine has up to four SATA controllers,
// numbered 0 to 3, each labelled "SATA controller <number>". Controllers change only while the
// machine is not on.
//
// - add: NotFound for an unknown machine; a number outside 0 to 3 or a model outside the table is
//   Error (its list has no InvalidArgument); while the machine is on, NotAllowedInCurrentState; a
//   number in use is AlreadyExists.
// - update: changes a controller's model; NotFound for an unknown machine or controller, Error for
//   a model outside the table, NotAllowedInCurrentState while the machine is on.
// - delete: NotFound for an unknown machine or controller, NotAllowedInCurrentState while on.
// - list: the controllers by number, kept by the filter's labels.
#include "tools/sim/services.h"
#include "tools/sim/support.h"
#include "vm/device/sata_controller.h"

namespace Kov {
namespace Sim {
namespace {

using Com::Brantel::Kov::Vm::Device::SataControllerSvc;

std::string Label(std::int64_t number) { return "SATA controller " + std::to_string(number); }

class SataController final : public SataControllerSvc::AsyncServiceInterface {
 public:
  explicit SataController(std::shared_ptr<Lab> lab) : lab_(std::move(lab)) {}

  void Add(const std::string& vm, const SataControllerSvc::HbaType& hbaType,
           const std::int64_t& controllerNumber,
           const std::shared_ptr<Tarn::Core::AsyncActivation>&,
           const SataControllerSvc::AddMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      if (controllerNumber < 0 || controllerNumber > Limits::kMaxControllerNumber) {
        return Fail<StdErrors::Error>("kov.sim.sata.number.invalid",
                                      "SATA controllers are numbered 0 to {}; {} is outside.",
                                      Limits::kMaxControllerNumber, controllerNumber);
      }
      const std::string model = Tarn::EnumToText(hbaType);
      if (!Texts::Contains(Texts::SataHbaTypes(), model)) return UnknownModel(model);
      if (m->power == PowerState::kOn) return MachineIsOn(vm, "SATA controllers can be added");
      if (m->sataControllers.count(controllerNumber) != 0) {
        return Fail<StdErrors::AlreadyExists>(
            "kov.sim.sata.exists", "Virtual machine \"{}\" already has SATA controller {}.", vm,
            controllerNumber);
      }
      m->sataControllers[controllerNumber] = model;
      return Tarn::Void();
    });
  }

  void Update(const std::string& vm, const SataControllerSvc::HbaType& hbaType,
              const std::int64_t& controllerNumber,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const SataControllerSvc::UpdateMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      auto it = m->sataControllers.find(controllerNumber);
      if (it == m->sataControllers.end()) return NoController(vm, controllerNumber);
      const std::string model = Tarn::EnumToText(hbaType);
      if (!Texts::Contains(Texts::SataHbaTypes(), model)) return UnknownModel(model);
      if (m->power == PowerState::kOn) return MachineIsOn(vm, "SATA controllers can be changed");
      it->second = model;
      return Tarn::Void();
    });
  }

  void Delete(const std::string& vm, const std::int64_t& controllerNumber,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const SataControllerSvc::DeleteMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      auto it = m->sataControllers.find(controllerNumber);
      if (it == m->sataControllers.end()) return NoController(vm, controllerNumber);
      if (m->power == PowerState::kOn) return MachineIsOn(vm, "SATA controllers can be removed");
      m->sataControllers.erase(it);
      return Tarn::Void();
    });
  }

  void List(const std::string& vm,
            const Tarn::OptionalPtr<const SataControllerSvc::FilterSpec>& filter,
            const std::shared_ptr<Tarn::Core::AsyncActivation>&,
            const SataControllerSvc::ListMethod::ResultCbType& result) override {
    using Summaries = std::vector<std::shared_ptr<const SataControllerSvc::Summary>>;
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Summaries> {
      const Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      Summaries list;
      for (auto& c : m->sataControllers) {
        std::string label = Label(c.first);
        if (filter && !Keeps(filter->labels, label)) continue;
        auto summary = std::make_shared<SataControllerSvc::Summary>();
        summary->label = std::move(label);
        list.push_back(std::move(summary));
      }
      return list;
    });
  }

 private:
  static Tarn::Data::ErrorValuePtr UnknownModel(const std::string& model) {
    return Fail<StdErrors::Error>("kov.sim.sata.hba.unknown",
                                  "\"{}\" is not a SATA controller model; use {}.", model,
                                  Texts::Join(Texts::SataHbaTypes()));
  }
  static Tarn::Data::ErrorValuePtr NoController(const std::string& vm, std::int64_t number) {
    return Fail<StdErrors::NotFound>(
        "kov.sim.sata.not.found", "Virtual machine \"{}\" has no SATA controller {}.", vm, number);
  }

  std::shared_ptr<Lab> lab_;
};

}  // namespace

BoundInterface BindSataController(const std::shared_ptr<Lab>& lab) {
  return SataControllerSvc::AsyncServiceBinder::BindImplementation(
      std::make_shared<SataController>(lab));
}

}  // namespace Sim
}  // namespace Kov
