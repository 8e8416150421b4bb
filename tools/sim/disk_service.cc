// The disk service of the simulated host. A disk attachment joins a virtual disk (its identifier)
// to the machine under a device name no other device of the machine uses.
//
// - add: NotFound for an unknown machine; an empty device name is InvalidArgument; while the
//   machine is on, NotAllowedInCurrentState; a device name in use, or a disk already attached to
//   the machine, is AlreadyExists; a seventeenth disk is UnableToAllocateResource. An empty "disk"
//   asks the host for a new disk: it gets an identifier "disk-<n>". Answers with the identifier of
//   the disk attached.
// - list: the disks in the order they were attached, kept by every set the filter gives.
#include <algorithm>

#include "tools/sim/services.h"
#include "tools/sim/support.h"
#include "vm/device/disk.h"

namespace Kov {
namespace Sim {
namespace {

using Com::Brantel::Kov::Vm::Device::DiskSvc;

class Disk final : public DiskSvc::AsyncServiceInterface {
 public:
  explicit Disk(std::shared_ptr<Lab> lab) : lab_(std::move(lab)) {}

  void Add(const std::shared_ptr<const DiskSvc::AddSpec>& spec,
           const std::shared_ptr<Tarn::Core::AsyncActivation>&,
           const DiskSvc::AddMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<std::string> {
      if (!spec) return NoSpec<StdErrors::InvalidArgument>();
      Machine* m = FindMachine(lab, spec->vm);
      if (!m) return MachineNotFound(spec->vm);
      if (spec->device.empty()) return EmptyDevice<StdErrors::InvalidArgument>();
      if (m->power == PowerState::kOn) return MachineIsOn(spec->vm, "disks can be attached");
      if (DeviceNameTaken(*m, spec->device)) return DeviceTaken(spec->vm, spec->device);
      auto attached = [&](const std::string& disk) {
        return std::any_of(m->disks.begin(), m->disks.end(),
                           [&](const DiskAttachment& d) { return d.disk == disk; });
      };
      if (!spec->disk.empty() && attached(spec->disk)) {
        return Fail<StdErrors::AlreadyExists>(
            "kov.sim.disk.attached", "Disk \"{}\" is already attached to virtual machine \"{}\".",
            spec->disk, spec->vm);
      }
      if (m->disks.size() >= Limits::kMaxDisks) {
        return Fail<StdErrors::UnableToAllocateResource>(
            "kov.sim.disk.limit",
            "Virtual machine \"{}\" already has {} disks, the most it can hold.", spec->vm,
            static_cast<std::int64_t>(Limits::kMaxDisks));
      }
      DiskAttachment disk{spec->disk, spec->device};
      while (disk.disk.empty() || attached(disk.disk)) {
        disk.disk = "disk-" + std::to_string(m->nextDisk++);
      }
      std::string id = disk.disk;
      m->disks.push_back(std::move(disk));
      return id;
    });
  }

  void List(const std::string& vm, const Tarn::OptionalPtr<const DiskSvc::FilterSpec>& filter,
            const std::shared_ptr<Tarn::Core::AsyncActivation>&,
            const DiskSvc::ListMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<std::shared_ptr<const DiskSvc::ListResult>> {
      const Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      auto list = std::make_shared<DiskSvc::ListResult>();
      for (auto& d : m->disks) {
        if (filter && (!Keeps(filter->disks, d.disk) || !Keeps(filter->devices, d.device))) {
          continue;
        }
        auto summary = std::make_shared<DiskSvc::Summary>();
        summary->disk = d.disk;
        summary->device = d.device;
        list->list.push_back(std::move(summary));
      }
      return std::shared_ptr<const DiskSvc::ListResult>(std::move(list));
    });
  }

 private:
  std::shared_ptr<Lab> lab_;
};

}  // namespace

BoundInterface BindDisk(const std::shared_ptr<Lab>& lab) {
  return DiskSvc::AsyncServiceBinder::BindImplementation(std::make_shared<Disk>(lab));
}

}  // namespace Sim
}  // namespace Kov
