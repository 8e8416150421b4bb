// The SCSI controller service of the simulated host. A machine has up to four SCSI controllers,
// numbered 0 to 3; the service can only add them.
//
// - add: NotFound for an unknown machine; a number outside 0 to 3 or a model outside the table is
//   Error (its list has no InvalidArgument); while the machine is on, NotAllowedInCurrentState; a
//   number in use is AlreadyExists.
#include "tools/sim/services.h"
#include "tools/sim/support.h"
#include "vm/device/scsi_controller.h"

namespace Kov {
namespace Sim {
namespace {

using Com::Brantel::Kov::Vm::Device::ScsiControllerSvc;

class ScsiController final : public ScsiControllerSvc::AsyncServiceInterface {
 public:
  explicit ScsiController(std::shared_ptr<Lab> lab) : lab_(std::move(lab)) {}

  void Add(const std::string& vmId, const ScsiControllerSvc::HbaType& hbaType,
           const std::int64_t& controllerNumber,
           const std::shared_ptr<Tarn::Core::AsyncActivation>&,
           const ScsiControllerSvc::AddMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      Machine* m = FindMachine(lab, vmId);
      if (!m) return MachineNotFound(vmId);
      if (controllerNumber < 0 || controllerNumber > Limits::kMaxControllerNumber) {
        return Fail<StdErrors::Error>("kov.sim.scsi.number.invalid",
                                      "SCSI controllers are numbered 0 to {}; {} is outside.",
                                      Limits::kMaxControllerNumber, controllerNumber);
      }
      const std::string model = Tarn::EnumToText(hbaType);
      if (!Texts::Contains(Texts::ScsiHbaTypes(), model)) {
        return Fail<StdErrors::Error>("kov.sim.scsi.hba.unknown",
                                      "\"{}\" is not a SCSI controller model; use {}.", model,
                                      Texts::Join(Texts::ScsiHbaTypes()));
      }
      if (m->power == PowerState::kOn) return MachineIsOn(vmId, "SCSI controllers can be added");
      if (m->scsiControllers.count(controllerNumber) != 0) {
        return Fail<StdErrors::AlreadyExists>(
            "kov.sim.scsi.exists", "Virtual machine \"{}\" already has SCSI controller {}.", vmId,
            controllerNumber);
      }
      m->scsiControllers[controllerNumber] = model;
      return Tarn::Void();
    });
  }

 private:
  std::shared_ptr<Lab> lab_;
};

}  // namespace

BoundInterface BindScsiController(const std::shared_ptr<Lab>& lab) {
  return ScsiControllerSvc::AsyncServiceBinder::BindImplementation(
      std::make_shared<ScsiController>(lab));
}

}  // namespace Sim
}  // namespace Kov
