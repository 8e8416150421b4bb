// The CD-ROM service of the simulated host. Drives get identifiers from the host ("cdrom-1",
// "cdrom-2", ...; never reused within a machine), and each has a device name that no other
// device of the machine (drive, disk or network adapter) may use.
//
// - add: NotFound for an unknown machine; an empty device name, or an ATAPI or RAW backing with an
//   empty host device, is InvalidArgument; while the machine is on, NotAllowedInCurrentState (a
//   drive cannot be plugged into a running machine); a device name in use is AlreadyExists; a
//   fifth drive is UnableToAllocateResource. Answers with the new drive's identifier.
// - list: the drives in the order they were added, kept by every set the filter gives (an absent
//   or empty set keeps all).
// - delete: "device" is the drive's identifier or its device name. An empty one is
//   InvalidArgument, an unknown one NotFound; while the machine is on, NotAllowedInCurrentState.
#include <algorithm>

#include "tools/sim/services.h"
#include "tools/sim/support.h"
#include "vm/device/cdrom.h"

namespace Kov {
namespace Sim {
namespace {

using Com::Brantel::Kov::Vm::Device::CdromSvc;

class Cdrom final : public CdromSvc::AsyncServiceInterface {
 public:
  explicit Cdrom(std::shared_ptr<Lab> lab) : lab_(std::move(lab)) {}

  void Add(const std::string& vm, const std::shared_ptr<const CdromSvc::BackingInfo>& backing,
           const std::string& device, const std::shared_ptr<Tarn::Core::AsyncActivation>&,
           const CdromSvc::AddMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<std::string> {
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      if (!backing) return NoSpec<StdErrors::InvalidArgument>();
      if (device.empty()) return EmptyDevice<StdErrors::InvalidArgument>();
      CdromDrive drive;
      drive.device = device;
      drive.backingType = Tarn::EnumToText(backing->type);
      if (!Texts::Contains(Texts::BackingTypes(), drive.backingType)) {
        return Fail<StdErrors::InvalidArgument>(
            "kov.sim.cdrom.backing.unknown", "\"{}\" is not a CD-ROM backing; use {}.",
            drive.backingType, Texts::Join(Texts::BackingTypes()));
      }
      if (drive.backingType == "IMAGE") {
        drive.hasIsoFile = static_cast<bool>(backing->isoFile);
        drive.isoFile = backing->isoFile.value_or("");
      } else {
        drive.deviceName = backing->deviceName.value_or("");
        if (drive.deviceName.empty()) {
          return Fail<StdErrors::InvalidArgument>(
              "kov.sim.cdrom.host.device.empty",
              "A CD-ROM drive backed by {} needs the name of a host device.", drive.backingType);
        }
      }
      if (m->power == PowerState::kOn) return MachineIsOn(vm, "CD-ROM drives can be added");
      if (DeviceNameTaken(*m, device)) return DeviceTaken(vm, device);
      if (m->cdroms.size() >= Limits::kMaxCdroms) {
        return Fail<StdErrors::UnableToAllocateResource>(
            "kov.sim.cdrom.limit",
            "Virtual machine \"{}\" already has {} CD-ROM drives, the most "
            "it can hold.",
            vm, static_cast<std::int64_t>(Limits::kMaxCdroms));
      }
      do {
        drive.id = "cdrom-" + std::to_string(m->nextCdrom++);
      } while (std::any_of(m->cdroms.begin(), m->cdroms.end(),
                           [&](const CdromDrive& d) { return d.id == drive.id; }));
      std::string id = drive.id;
      m->cdroms.push_back(std::move(drive));
      return id;
    });
  }

  void List(const std::string& vm, const Tarn::OptionalPtr<const CdromSvc::FilterSpec>& filter,
            const std::shared_ptr<Tarn::Core::AsyncActivation>&,
            const CdromSvc::ListMethod::ResultCbType& result) override {
    using Summaries = std::vector<std::shared_ptr<const CdromSvc::Summary>>;
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Summaries> {
      const Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      Summaries list;
      for (auto& d : m->cdroms) {
        auto type = Tarn::EnumFromText<CdromSvc::BackingType>(d.backingType);
        if (filter && (!Keeps(filter->cdroms, d.id) || !Keeps(filter->backingTypes, type) ||
                       !Keeps(filter->devices, d.device))) {
          continue;
        }
        auto summary = std::make_shared<CdromSvc::Summary>();
        summary->cdrom = d.id;
        summary->backingType = type;
        summary->device = d.device;
        list.push_back(std::move(summary));
      }
      return list;
    });
  }

  void Delete(const std::string& vm, const std::string& device,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const CdromSvc::DeleteMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      if (device.empty()) return EmptyDevice<StdErrors::InvalidArgument>();
      auto it = std::find_if(m->cdroms.begin(), m->cdroms.end(),
                             [&](const CdromDrive& d) { return d.id == device; });
      if (it == m->cdroms.end()) {
        it = std::find_if(m->cdroms.begin(), m->cdroms.end(),
                          [&](const CdromDrive& d) { return d.device == device; });
      }
      if (it == m->cdroms.end()) {
        return Fail<StdErrors::NotFound>(
            "kov.sim.cdrom.not.found",
            "Virtual machine \"{}\" has no CD-ROM drive with the identifier or device name \"{}\".",
            vm, device);
      }
      if (m->power == PowerState::kOn) return MachineIsOn(vm, "CD-ROM drives can be removed");
      m->cdroms.erase(it);
      return Tarn::Void();
    });
  }

 private:
  std::shared_ptr<Lab> lab_;
};

}  // namespace

BoundInterface BindCdrom(const std::shared_ptr<Lab>& lab) {
  return CdromSvc::AsyncServiceBinder::BindImplementation(std::make_shared<Cdrom>(lab));
}

}  // namespace Sim
}  // namespace Kov
