#include "tools/sim/lab.h"

#include <algorithm>

#include "tools/sim/shapes.h"
#include "vm/data_sets.h"
#include "vm/device/cdrom.h"
#include "vm/device/network.h"
#include "vm/device/sata_controller.h"
#include "vm/device/scsi_controller.h"
#include "vm/modules/log_level.h"

namespace Kov {
namespace Sim {

namespace Vm = ::Com::Brantel::Kov::Vm;

const std::vector<std::string>& KnownModules() {
  static const std::vector<std::string> modules{"cdrom",   "disk",  "dock", "memory", "monitor",
                                                "network", "power", "sata", "scsi",   "zub"};
  return modules;
}

// The tables are the generated enumerations' own.
const std::vector<std::string>& Texts::BackingTypes() {
  static const auto t = TextsOf<Vm::Device::CdromSvc::BackingType>();
  return t;
}

const std::vector<std::string>& Texts::Adapters() {
  static const auto t = TextsOf<Vm::Device::NetworkSvc::VirtualDev>();
  return t;
}

const std::vector<std::string>& Texts::SataHbaTypes() {
  static const auto t = TextsOf<Vm::Device::SataControllerSvc::HbaType>();
  return t;
}

const std::vector<std::string>& Texts::ScsiHbaTypes() {
  static const auto t = TextsOf<Vm::Device::ScsiControllerSvc::HbaType>();
  return t;
}

const std::vector<std::string>& Texts::Access() {
  static const auto t = TextsOf<Vm::DataSetsSvc::Access>();
  return t;
}

const std::vector<std::string>& Texts::LogLevels() {
  static const auto t = TextsOf<Vm::Modules::LogLevelSvc::Level>();
  return t;
}

std::string Texts::Join(const std::vector<std::string>& table) {
  std::string text;
  for (std::size_t i = 0; i < table.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == table.size() ? " or " : ", ") + table[i];
  }
  return text;
}

bool Texts::Contains(const std::vector<std::string>& table, const std::string& text) {
  return std::find(table.begin(), table.end(), text) != table.end();
}

Machine* FindMachine(LabData& lab, const std::string& id) {
  for (auto& m : lab.machines) {
    if (m.id == id) return &m;
  }
  return nullptr;
}

const Machine* FindMachine(const LabData& lab, const std::string& id) {
  return FindMachine(const_cast<LabData&>(lab), id);
}

bool DeviceNameTaken(const Machine& machine, const std::string& device) {
  auto same = [&](const auto& d) { return d.device == device; };
  return std::any_of(machine.cdroms.begin(), machine.cdroms.end(), same) ||
         std::any_of(machine.disks.begin(), machine.disks.end(), same) ||
         std::any_of(machine.networks.begin(), machine.networks.end(), same);
}

std::int64_t UsedBytes(const DataSet& dataSet) {
  std::int64_t used = 0;
  for (auto& e : dataSet.entries) {
    used += static_cast<std::int64_t>(e.first.size() + e.second.size());
  }
  return used;
}

Machine NewMachine(const std::string& id, const std::string& guestOS) {
  Machine m;
  m.id = id;
  m.guestOS = guestOS;
  return m;
}

}  // namespace Sim
}  // namespace Kov
