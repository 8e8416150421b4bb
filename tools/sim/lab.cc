#include "tools/sim/lab.h"

#include <algorithm>

namespace Kov {
namespace Sim {

const std::vector<std::string>& KnownModules() {
  static const std::vector<std::string> modules{"cdrom",   "disk",  "dock", "memory", "monitor",
                                                "network", "power", "sata", "scsi",   "vmx"};
  return modules;
}

const std::vector<std::string>& Texts::BackingTypes() {
  static const std::vector<std::string> t{"ATAPI", "IMAGE", "RAW"};
  return t;
}

const std::vector<std::string>& Texts::Adapters() {
  static const std::vector<std::string> t{"ZLANCE", "ZUBNET", "ZUBNET3",
                                          "ZRDMA",  "E1000",  "E1000E"};
  return t;
}

const std::vector<std::string>& Texts::SataHbaTypes() {
  static const std::vector<std::string> t{"AHCI"};
  return t;
}

const std::vector<std::string>& Texts::ScsiHbaTypes() {
  static const std::vector<std::string> t{"LSILOGIC", "LSISAS", "ZSCSI"};
  return t;
}

const std::vector<std::string>& Texts::Access() {
  static const std::vector<std::string> t{"NONE", "READ_ONLY", "READ_WRITE"};
  return t;
}

const std::vector<std::string>& Texts::LogLevels() {
  static const std::vector<std::string> t{
      "BRT_LOG_ERROR",    "BRT_LOG_WARNING",  "BRT_LOG_NOTICE",   "BRT_LOG_INFO",
      "BRT_LOG_VERBOSE",  "BRT_LOG_TRIVIA",   "BRT_LOG_DEBUG_00", "BRT_LOG_DEBUG_01",
      "BRT_LOG_DEBUG_02", "BRT_LOG_DEBUG_03", "BRT_LOG_DEBUG_04", "BRT_LOG_DEBUG_05",
      "BRT_LOG_DEBUG_06", "BRT_LOG_DEBUG_07", "BRT_LOG_DEBUG_08", "BRT_LOG_DEBUG_09",
      "BRT_LOG_DEBUG_10"};
  return t;
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
