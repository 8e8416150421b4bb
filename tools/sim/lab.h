// The simulator's lab: every virtual machine the simulated host knows, with its power state, CPU
// and memory settings, devices, data sets and log levels. Plain data, independent of the bindings,
// so that it can be saved to a state file and read back. Enumerations are kept as their wire texts.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace Kov {
namespace Sim {

enum class PowerState { kOff, kOn, kSuspended };

struct CdromDrive {
  std::string id;           // host-assigned, "cdrom-<n>"
  std::string device;       // the drive's device name, unique among the machine's devices
  std::string backingType;  // "ATAPI", "IMAGE" or "RAW"
  std::string deviceName;   // host device behind an ATAPI or RAW drive
  bool hasIsoFile = false;  // an IMAGE drive may be empty
  std::string isoFile;
};

struct DiskAttachment {
  std::string disk;  // identifier of the virtual disk; host-assigned when the caller leaves it out
  std::string device;  // device name
};

struct NetworkAdapter {
  std::string network;  // identifier of the network the adapter is connected to
  std::string adapter;  // emulated model, e.g. "E1000E"
  std::string device;   // device name
};

struct DataSet {
  std::string id;  // host-assigned, "ds-<n>"
  std::string name;
  std::string description;
  std::string host;   // access of the host: "NONE", "READ_ONLY" or "READ_WRITE"
  std::string guest;  // access of the guest (kept, not enforced: the simulator has no guest)
  bool omitFromSnapshotAndClone = false;
  std::map<std::string, std::string> entries;  // ordered by key
};

struct Machine {
  std::string id;
  std::string guestOS;
  bool hasHwVersion = false;
  std::string hwVersion;
  PowerState power = PowerState::kOff;
  bool loaded = false;

  std::int64_t cpuCount = 1;
  std::int64_t coresPerSocket = 1;
  bool cpuHotAddEnabled = false;
  bool cpuHotRemoveEnabled = false;

  std::int64_t memorySize = 1024;  // MiB
  bool memoryHotAddEnabled = false;

  std::vector<CdromDrive> cdroms;
  std::vector<DiskAttachment> disks;
  std::vector<NetworkAdapter> networks;
  std::map<std::int64_t, std::string> sataControllers;  // controller number -> HBA type
  std::map<std::int64_t, std::string> scsiControllers;  // controller number -> HBA type
  std::vector<DataSet> dataSets;
  std::map<std::string, std::string> logLevels;  // module -> level

  // Counters behind the host-assigned identifiers; never reused within a machine.
  std::int64_t nextCdrom = 1;
  std::int64_t nextDisk = 1;
  std::int64_t nextDataSet = 1;
};

struct LabData {
  std::vector<Machine> machines;  // in creation order, which is the dock's order
};

// The shared lab of a simulator: every service implementation takes the mutex for the whole of an
// operation, so that each operation is checked and applied as one step.
struct Lab {
  std::mutex mutex;
  LabData data;
};

// Limits and fixed tables of the simulated host.
struct Limits {
  static constexpr std::int64_t kMaxCpuCount = 128;
  static constexpr std::int64_t kMaxMemorySize = 1048576;  // 1 TiB in MiB
  static constexpr std::int64_t kMemoryGranule = 4;        // sizes are multiples of 4 MiB
  static constexpr std::size_t kMaxCdroms = 4;
  static constexpr std::size_t kMaxDisks = 16;
  static constexpr std::size_t kMaxNetworks = 10;
  static constexpr std::int64_t kMaxControllerNumber = 3;  // controllers 0 to 3 of each kind
  static constexpr std::size_t kMaxDataSets = 64;
  static constexpr std::size_t kMaxDataSetBytes = 1048576;  // keys and values of one data set
};

// The modules whose log level can be set.
const std::vector<std::string>& KnownModules();

// The known texts of the services' enumerations, in table order (without "_UNKNOWN"), as the
// generated enumerations list them.
struct Texts {
  static const std::vector<std::string>& BackingTypes();  // CD-ROM backings
  static const std::vector<std::string>& Adapters();      // network adapter models
  static const std::vector<std::string>& SataHbaTypes();  // SATA controller models
  static const std::vector<std::string>& ScsiHbaTypes();  // SCSI controller models
  static const std::vector<std::string>& Access();        // data set access levels
  static const std::vector<std::string>& LogLevels();     // module log levels
  static bool Contains(const std::vector<std::string>& table, const std::string& text);
  // The texts of a table for a message: "A, B or C".
  static std::string Join(const std::vector<std::string>& table);
};

// Finds a machine by identifier; null when there is none.
Machine* FindMachine(LabData& lab, const std::string& id);
const Machine* FindMachine(const LabData& lab, const std::string& id);

// Whether `device` names any device of the machine (CD-ROM drive, disk or network adapter).
bool DeviceNameTaken(const Machine& machine, const std::string& device);

// The bytes a data set's entries take: the lengths of all keys and values.
std::int64_t UsedBytes(const DataSet& dataSet);

// A fresh machine with the simulator's defaults.
Machine NewMachine(const std::string& id, const std::string& guestOS);

}  // namespace Sim
}  // namespace Kov
