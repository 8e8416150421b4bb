// The network adapter service of the simulated host. An adapter connects the machine to a
// network (its identifier) under a device name no other device of the machine uses. Adapters can
// be plugged into a running machine, but not pulled out of one.
//
// - add: NotFound for an unknown machine; a device name in use is AlreadyExists. Its list has
//   neither InvalidArgument nor UnableToAllocateResource, so an empty network or device name, an
//   adapter model outside the table, and an eleventh adapter are Error.
// - list: the adapters in the order they were added, kept by every set the filter gives.
// - remove: "device" is the adapter's device name; NotFound for an unknown machine or device,
//   NotAllowedInCurrentState while the machine is on.
#include <algorithm>

#include "tools/sim/services.h"
#include "tools/sim/support.h"
#include "vm/device/network.h"

namespace Kov {
namespace Sim {
namespace {

using Com::Brantel::Kov::Vm::Device::NetworkSvc;

class Network final : public NetworkSvc::AsyncServiceInterface {
 public:
  explicit Network(std::shared_ptr<Lab> lab) : lab_(std::move(lab)) {}

  void Add(const std::shared_ptr<const NetworkSvc::AddSpec>& spec,
           const std::shared_ptr<Tarn::Core::AsyncActivation>&,
           const NetworkSvc::AddMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      if (!spec) return NoSpec<StdErrors::Error>();
      Machine* m = FindMachine(lab, spec->vm);
      if (!m) return MachineNotFound(spec->vm);
      if (spec->network.empty()) {
        return Fail<StdErrors::Error>("kov.sim.network.id.empty",
                                      "A network adapter needs the identifier of a network.");
      }
      if (spec->device.empty()) return EmptyDevice<StdErrors::Error>();
      const std::string adapter = Tarn::EnumToText(spec->adapter);
      if (!Texts::Contains(Texts::Adapters(), adapter)) {
        return Fail<StdErrors::Error>("kov.sim.network.adapter.unknown",
                                      "\"{}\" is not an adapter model; use {}.", adapter,
                                      Texts::Join(Texts::Adapters()));
      }
      if (DeviceNameTaken(*m, spec->device)) return DeviceTaken(spec->vm, spec->device);
      if (m->networks.size() >= Limits::kMaxNetworks) {
        return Fail<StdErrors::Error>(
            "kov.sim.network.limit",
            "Virtual machine \"{}\" already has {} network adapters, the most it can hold.",
            spec->vm, static_cast<std::int64_t>(Limits::kMaxNetworks));
      }
      m->networks.push_back(NetworkAdapter{spec->network, adapter, spec->device});
      return Tarn::Void();
    });
  }

  void List(const std::string& vm, const Tarn::OptionalPtr<const NetworkSvc::FilterSpec>& filter,
            const std::shared_ptr<Tarn::Core::AsyncActivation>&,
            const NetworkSvc::ListMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<std::shared_ptr<const NetworkSvc::ListResult>> {
      const Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      auto list = std::make_shared<NetworkSvc::ListResult>();
      for (auto& n : m->networks) {
        auto adapter = Tarn::EnumFromText<NetworkSvc::VirtualDev>(n.adapter);
        if (filter && (!Keeps(filter->networks, n.network) || !Keeps(filter->devices, n.device) ||
                       !Keeps(filter->adapters, adapter))) {
          continue;
        }
        auto summary = std::make_shared<NetworkSvc::Summary>();
        summary->id = n.network;
        summary->adapter = adapter;
        summary->device = n.device;
        list->list.push_back(std::move(summary));
      }
      return std::shared_ptr<const NetworkSvc::ListResult>(std::move(list));
    });
  }

  void Remove(const std::string& vm, const std::string& device,
              const std::shared_ptr<Tarn::Core::AsyncActivation>&,
              const NetworkSvc::RemoveMethod::ResultCbType& result) override {
    Run(*lab_, result, [&](LabData& lab) -> Outcome<Tarn::Void> {
      Machine* m = FindMachine(lab, vm);
      if (!m) return MachineNotFound(vm);
      auto it = std::find_if(m->networks.begin(), m->networks.end(),
                             [&](const NetworkAdapter& n) { return n.device == device; });
      if (it == m->networks.end()) {
        return Fail<StdErrors::NotFound>(
            "kov.sim.network.not.found",
            "Virtual machine \"{}\" has no network adapter with the device name \"{}\".", vm,
            device);
      }
      if (m->power == PowerState::kOn) return MachineIsOn(vm, "network adapters can be removed");
      m->networks.erase(it);
      return Tarn::Void();
    });
  }

 private:
  std::shared_ptr<Lab> lab_;
};

}  // namespace

BoundInterface BindNetwork(const std::shared_ptr<Lab>& lab) {
  return NetworkSvc::AsyncServiceBinder::BindImplementation(std::make_shared<Network>(lab));
}

}  // namespace Sim
}  // namespace Kov
