#include "tools/sim/state_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>

#include "tools/sim/json_value.h"

namespace Kov {
namespace Sim {

using nlohmann::json;

namespace {

const char* PowerText(PowerState p) {
  switch (p) {
    case PowerState::kOn:
      return "ON";
    case PowerState::kSuspended:
      return "SUSPENDED";
    case PowerState::kOff:
      break;
  }
  return "OFF";
}

json MachineToJson(const Machine& m) {
  json j;
  j["id"] = m.id;
  j["guest_OS"] = m.guestOS;
  j["hw_version"] = m.hasHwVersion ? json(m.hwVersion) : json(nullptr);
  j["power"] = PowerText(m.power);
  j["loaded"] = m.loaded;
  j["cpu"] = {{"count", m.cpuCount},
              {"cores_per_socket", m.coresPerSocket},
              {"hot_add_enabled", m.cpuHotAddEnabled},
              {"hot_remove_enabled", m.cpuHotRemoveEnabled}};
  j["memory"] = {{"size", m.memorySize}, {"hot_add_enabled", m.memoryHotAddEnabled}};
  json cdroms = json::array();
  for (auto& c : m.cdroms) {
    json d = {{"id", c.id}, {"device", c.device}, {"backing_type", c.backingType}};
    if (c.backingType != "IMAGE") d["device_name"] = c.deviceName;
    if (c.hasIsoFile) d["iso_file"] = c.isoFile;
    cdroms.push_back(std::move(d));
  }
  j["cdroms"] = std::move(cdroms);
  json disks = json::array();
  for (auto& d : m.disks) disks.push_back({{"disk", d.disk}, {"device", d.device}});
  j["disks"] = std::move(disks);
  json networks = json::array();
  for (auto& n : m.networks) {
    networks.push_back({{"network", n.network}, {"adapter", n.adapter}, {"device", n.device}});
  }
  j["networks"] = std::move(networks);
  auto controllers = [](const std::map<std::int64_t, std::string>& map) {
    json list = json::array();
    for (auto& c : map) list.push_back({{"number", c.first}, {"hba_type", c.second}});
    return list;
  };
  j["sata_controllers"] = controllers(m.sataControllers);
  j["scsi_controllers"] = controllers(m.scsiControllers);
  json dataSets = json::array();
  for (auto& d : m.dataSets) {
    json entries = json::object();
    for (auto& e : d.entries) entries[e.first] = e.second;
    dataSets.push_back({{"id", d.id},
                        {"name", d.name},
                        {"description", d.description},
                        {"host", d.host},
                        {"guest", d.guest},
                        {"omit_from_snapshot_and_clone", d.omitFromSnapshotAndClone},
                        {"entries", std::move(entries)}});
  }
  j["data_sets"] = std::move(dataSets);
  json levels = json::object();
  for (auto& l : m.logLevels) levels[l.first] = l.second;
  j["log_levels"] = std::move(levels);
  j["next_ids"] = {{"cdrom", m.nextCdrom}, {"disk", m.nextDisk}, {"data_set", m.nextDataSet}};
  return j;
}

// Reads members with their place in the document, and keeps the first problem it meets.
class Reader {
 public:
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  bool Fail(const std::string& path, const std::string& what) {
    if (error_.empty()) error_ = path + ": " + what;
    return false;
  }

  // Refuses members other than `keys`: a member this version does not know would be dropped by
  // the next save.
  bool Only(const json& object, const std::string& path, std::initializer_list<const char*> keys) {
    if (!ok() || !object.is_object()) return ok();
    for (auto it = object.begin(); it != object.end(); ++it) {
      bool known = false;
      for (const char* k : keys) known = known || it.key() == k;
      if (!known) return Fail(Join(path, Cut(it.key())), "unknown member");
    }
    return true;
  }

  const json* Member(const json& object, const char* key, const std::string& path) {
    if (!ok()) return nullptr;
    if (!object.is_object()) {
      Fail(path, "expected an object");
      return nullptr;
    }
    auto it = object.find(key);
    if (it == object.end()) {
      Fail(path, std::string("missing member \"") + key + "\"");
      return nullptr;
    }
    return &*it;
  }

  bool String(const json& object, const char* key, const std::string& path, std::string& out) {
    const json* v = Member(object, key, path);
    if (!v) return false;
    if (!v->is_string()) return Fail(Join(path, key), "expected a string");
    out = v->get<std::string>();
    return true;
  }

  bool Bool(const json& object, const char* key, const std::string& path, bool& out) {
    const json* v = Member(object, key, path);
    if (!v) return false;
    if (!v->is_boolean()) return Fail(Join(path, key), "expected true or false");
    out = v->get<bool>();
    return true;
  }

  bool Int(const json& object, const char* key, const std::string& path, std::int64_t& out,
           std::int64_t min, std::int64_t max) {
    const json* v = Member(object, key, path);
    if (!v) return false;
    if (v->is_number_integer() && !v->is_number_unsigned()) {
      out = v->get<std::int64_t>();
    } else if (v->is_number_unsigned() &&
               v->get<std::uint64_t>() <= static_cast<std::uint64_t>(INT64_MAX)) {
      out = static_cast<std::int64_t>(v->get<std::uint64_t>());
    } else {
      return Fail(Join(path, key), "expected an integer");
    }
    if (out < min || out > max) {
      return Fail(Join(path, key), "value " + std::to_string(out) + " is outside " +
                                       std::to_string(min) + " to " + std::to_string(max));
    }
    return true;
  }

  bool Text(const json& object, const char* key, const std::string& path, std::string& out,
            const std::vector<std::string>& table) {
    if (!String(object, key, path, out)) return false;
    if (!Texts::Contains(table, out)) {
      return Fail(Join(path, key), "unknown value \"" + Cut(out) + "\"");
    }
    return true;
  }

  const json* Array(const json& object, const char* key, const std::string& path) {
    const json* v = Member(object, key, path);
    if (v && !v->is_array()) {
      Fail(Join(path, key), "expected an array");
      return nullptr;
    }
    return v;
  }

  const json* Object(const json& object, const char* key, const std::string& path) {
    const json* v = Member(object, key, path);
    if (v && !v->is_object()) {
      Fail(Join(path, key), "expected an object");
      return nullptr;
    }
    return v;
  }

  static std::string Join(const std::string& path, const std::string& key) {
    return path + "." + key;
  }
  static std::string Index(const std::string& path, std::size_t i) {
    return path + "[" + std::to_string(i) + "]";
  }

 private:
  std::string error_;
};

// Whether a host-assigned identifier ("cdrom-3") was issued before the counter `next`, so that the
// counter cannot issue it again. Identifiers of another form were given by the caller.
bool IssuedBefore(const std::string& id, const std::string& prefix, std::int64_t next) {
  if (id.compare(0, prefix.size(), prefix) != 0 || id.size() == prefix.size() ||
      id.size() > prefix.size() + 18 ||
      id.find_first_not_of("0123456789", prefix.size()) != std::string::npos) {
    return true;
  }
  return std::stoll(id.substr(prefix.size())) < next;
}

bool ReadMachine(Reader& r, const json& j, const std::string& path, Machine& m) {
  if (!r.Only(j, path,
              {"id", "guest_OS", "hw_version", "power", "loaded", "cpu", "memory", "cdroms",
               "disks", "networks", "sata_controllers", "scsi_controllers", "data_sets",
               "log_levels", "next_ids"})) {
    return false;
  }
  if (!r.String(j, "id", path, m.id)) return false;
  if (m.id.empty()) return r.Fail(Reader::Join(path, "id"), "empty machine identifier");
  if (!r.String(j, "guest_OS", path, m.guestOS)) return false;
  const json* hw = r.Member(j, "hw_version", path);
  if (!hw) return false;
  if (hw->is_string()) {
    m.hasHwVersion = true;
    m.hwVersion = hw->get<std::string>();
  } else if (!hw->is_null()) {
    return r.Fail(Reader::Join(path, "hw_version"), "expected a string or null");
  }
  std::string power;
  if (!r.Text(j, "power", path, power, {"OFF", "ON", "SUSPENDED"})) return false;
  m.power = power == "ON"          ? PowerState::kOn
            : power == "SUSPENDED" ? PowerState::kSuspended
                                   : PowerState::kOff;
  if (!r.Bool(j, "loaded", path, m.loaded)) return false;
  if (m.power != PowerState::kOff && !m.loaded) {
    return r.Fail(Reader::Join(path, "loaded"), "a machine that is on or suspended is loaded");
  }

  const std::string cpuPath = Reader::Join(path, "cpu");
  const json* cpu = r.Object(j, "cpu", path);
  if (!cpu ||
      !r.Only(*cpu, cpuPath,
              {"count", "cores_per_socket", "hot_add_enabled", "hot_remove_enabled"}) ||
      !r.Int(*cpu, "count", cpuPath, m.cpuCount, 1, Limits::kMaxCpuCount) ||
      !r.Int(*cpu, "cores_per_socket", cpuPath, m.coresPerSocket, 1, Limits::kMaxCpuCount) ||
      !r.Bool(*cpu, "hot_add_enabled", cpuPath, m.cpuHotAddEnabled) ||
      !r.Bool(*cpu, "hot_remove_enabled", cpuPath, m.cpuHotRemoveEnabled)) {
    return false;
  }
  if (m.cpuCount % m.coresPerSocket != 0) {
    return r.Fail(cpuPath, "count is not a multiple of cores_per_socket");
  }
  const std::string memPath = Reader::Join(path, "memory");
  const json* memory = r.Object(j, "memory", path);
  if (!memory || !r.Only(*memory, memPath, {"size", "hot_add_enabled"}) ||
      !r.Int(*memory, "size", memPath, m.memorySize, 1, Limits::kMaxMemorySize) ||
      !r.Bool(*memory, "hot_add_enabled", memPath, m.memoryHotAddEnabled)) {
    return false;
  }
  if (m.memorySize % Limits::kMemoryGranule != 0) {
    return r.Fail(memPath, "size is not a multiple of 4");
  }

  std::set<std::string> devices;
  auto device = [&](const std::string& name, const std::string& where) {
    if (name.empty()) return r.Fail(where, "empty device name");
    if (!devices.insert(name).second)
      return r.Fail(where, "device name \"" + Cut(name) + "\" twice");
    return true;
  };

  const json* cdroms = r.Array(j, "cdroms", path);
  if (!cdroms) return false;
  if (cdroms->size() > Limits::kMaxCdroms) return r.Fail(path, "too many CD-ROM drives");
  std::set<std::string> cdromIds;
  for (std::size_t i = 0; i < cdroms->size(); ++i) {
    const std::string p = Reader::Index(Reader::Join(path, "cdroms"), i);
    const json& e = (*cdroms)[i];
    CdromDrive c;
    if (!r.Only(e, p, {"id", "device", "backing_type", "device_name", "iso_file"}) ||
        !r.String(e, "id", p, c.id) || !r.String(e, "device", p, c.device) ||
        !r.Text(e, "backing_type", p, c.backingType, Texts::BackingTypes())) {
      return false;
    }
    if (c.id.empty() || !cdromIds.insert(c.id).second) {
      return r.Fail(Reader::Join(p, "id"), "empty or repeated drive identifier");
    }
    if (!device(c.device, Reader::Join(p, "device"))) return false;
    if (c.backingType == "IMAGE") {
      if (e.contains("device_name")) {
        return r.Fail(p, "an IMAGE drive has no device_name");
      }
      if (e.contains("iso_file")) {
        if (!r.String(e, "iso_file", p, c.isoFile)) return false;
        c.hasIsoFile = true;
      }
    } else {
      if (e.contains("iso_file")) return r.Fail(p, "only an IMAGE drive has an iso_file");
      if (!r.String(e, "device_name", p, c.deviceName)) return false;
    }
    m.cdroms.push_back(std::move(c));
  }

  const json* disks = r.Array(j, "disks", path);
  if (!disks) return false;
  if (disks->size() > Limits::kMaxDisks) return r.Fail(path, "too many disks");
  std::set<std::string> diskIds;
  for (std::size_t i = 0; i < disks->size(); ++i) {
    const std::string p = Reader::Index(Reader::Join(path, "disks"), i);
    DiskAttachment d;
    if (!r.Only((*disks)[i], p, {"disk", "device"}) || !r.String((*disks)[i], "disk", p, d.disk) ||
        !r.String((*disks)[i], "device", p, d.device)) {
      return false;
    }
    if (d.disk.empty() || !diskIds.insert(d.disk).second) {
      return r.Fail(Reader::Join(p, "disk"), "empty or repeated disk identifier");
    }
    if (!device(d.device, Reader::Join(p, "device"))) return false;
    m.disks.push_back(std::move(d));
  }

  const json* networks = r.Array(j, "networks", path);
  if (!networks) return false;
  if (networks->size() > Limits::kMaxNetworks) return r.Fail(path, "too many network adapters");
  for (std::size_t i = 0; i < networks->size(); ++i) {
    const std::string p = Reader::Index(Reader::Join(path, "networks"), i);
    NetworkAdapter n;
    if (!r.Only((*networks)[i], p, {"network", "adapter", "device"}) ||
        !r.String((*networks)[i], "network", p, n.network) ||
        !r.Text((*networks)[i], "adapter", p, n.adapter, Texts::Adapters()) ||
        !r.String((*networks)[i], "device", p, n.device)) {
      return false;
    }
    if (n.network.empty()) return r.Fail(Reader::Join(p, "network"), "empty network identifier");
    if (!device(n.device, Reader::Join(p, "device"))) return false;
    m.networks.push_back(std::move(n));
  }

  auto controllers = [&](const char* key, const std::vector<std::string>& table,
                         std::map<std::int64_t, std::string>& out) {
    const json* list = r.Array(j, key, path);
    if (!list) return false;
    for (std::size_t i = 0; i < list->size(); ++i) {
      const std::string p = Reader::Index(Reader::Join(path, key), i);
      std::int64_t number = 0;
      std::string hba;
      if (!r.Only((*list)[i], p, {"number", "hba_type"}) ||
          !r.Int((*list)[i], "number", p, number, 0, Limits::kMaxControllerNumber) ||
          !r.Text((*list)[i], "hba_type", p, hba, table)) {
        return false;
      }
      if (!out.emplace(number, hba).second) {
        return r.Fail(Reader::Join(p, "number"), "controller " + std::to_string(number) + " twice");
      }
    }
    return true;
  };
  if (!controllers("sata_controllers", Texts::SataHbaTypes(), m.sataControllers) ||
      !controllers("scsi_controllers", Texts::ScsiHbaTypes(), m.scsiControllers)) {
    return false;
  }

  const json* dataSets = r.Array(j, "data_sets", path);
  if (!dataSets) return false;
  if (dataSets->size() > Limits::kMaxDataSets) return r.Fail(path, "too many data sets");
  std::set<std::string> dataSetIds, dataSetNames;
  for (std::size_t i = 0; i < dataSets->size(); ++i) {
    const std::string p = Reader::Index(Reader::Join(path, "data_sets"), i);
    const json& e = (*dataSets)[i];
    DataSet d;
    if (!r.Only(e, p,
                {"id", "name", "description", "host", "guest", "omit_from_snapshot_and_clone",
                 "entries"}) ||
        !r.String(e, "id", p, d.id) || !r.String(e, "name", p, d.name) ||
        !r.String(e, "description", p, d.description) ||
        !r.Text(e, "host", p, d.host, Texts::Access()) ||
        !r.Text(e, "guest", p, d.guest, Texts::Access()) ||
        !r.Bool(e, "omit_from_snapshot_and_clone", p, d.omitFromSnapshotAndClone)) {
      return false;
    }
    if (d.id.empty() || !dataSetIds.insert(d.id).second) {
      return r.Fail(Reader::Join(p, "id"), "empty or repeated data set identifier");
    }
    if (d.name.empty() || !dataSetNames.insert(d.name).second) {
      return r.Fail(Reader::Join(p, "name"), "empty or repeated data set name");
    }
    const json* entries = r.Object(e, "entries", p);
    if (!entries) return false;
    for (auto it = entries->begin(); it != entries->end(); ++it) {
      if (!it.value().is_string()) {
        return r.Fail(Reader::Join(Reader::Join(p, "entries"), Cut(it.key())), "expected a string");
      }
      if (it.key().empty()) return r.Fail(Reader::Join(p, "entries"), "empty key");
      d.entries.emplace(it.key(), it.value().get<std::string>());
    }
    if (UsedBytes(d) > static_cast<std::int64_t>(Limits::kMaxDataSetBytes)) {
      return r.Fail(Reader::Join(p, "entries"), "more data than a data set holds");
    }
    m.dataSets.push_back(std::move(d));
  }

  const json* levels = r.Object(j, "log_levels", path);
  if (!levels) return false;
  for (auto it = levels->begin(); it != levels->end(); ++it) {
    const std::string p = Reader::Join(Reader::Join(path, "log_levels"), Cut(it.key()));
    if (!Texts::Contains(KnownModules(), it.key())) return r.Fail(p, "unknown module");
    if (!it.value().is_string() || !Texts::Contains(Texts::LogLevels(), it.value())) {
      return r.Fail(p, "expected a log level such as \"BRT_LOG_INFO\"");
    }
    m.logLevels.emplace(it.key(), it.value().get<std::string>());
  }

  const std::string nextPath = Reader::Join(path, "next_ids");
  const json* next = r.Object(j, "next_ids", path);
  if (!next || !r.Only(*next, nextPath, {"cdrom", "disk", "data_set"}) ||
      !r.Int(*next, "cdrom", nextPath, m.nextCdrom, 1, INT64_MAX / 2) ||
      !r.Int(*next, "disk", nextPath, m.nextDisk, 1, INT64_MAX / 2) ||
      !r.Int(*next, "data_set", nextPath, m.nextDataSet, 1, INT64_MAX / 2)) {
    return false;
  }
  // The counters lie beyond every identifier they issued, or the next one would repeat it. Disks
  // are left out: a caller may name a disk "disk-9" itself, and the host skips the names in use
  // when it makes one up.
  for (auto& c : m.cdroms) {
    if (!IssuedBefore(c.id, "cdrom-", m.nextCdrom))
      return r.Fail(nextPath, "cdrom is not beyond " + c.id);
  }
  for (auto& d : m.dataSets) {
    if (!IssuedBefore(d.id, "ds-", m.nextDataSet))
      return r.Fail(nextPath, "data_set is not beyond " + d.id);
  }
  return true;
}

std::string ErrnoText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

constexpr const char StateFile::kFormat[];
constexpr int StateFile::kVersion;

json StateFile::ToJson(const LabData& lab) {
  json machines = json::array();
  for (auto& m : lab.machines) machines.push_back(MachineToJson(m));
  json document;
  document["format"] = kFormat;
  document["version"] = kVersion;
  document["machines"] = std::move(machines);
  return document;
}

bool StateFile::FromJson(const json& document, LabData& out, std::string& error) {
  if (!document.is_object() || !document.contains("format") ||
      document["format"] != json(kFormat)) {
    error = std::string("not a kov-vm state file (it has no \"format\": \"") + kFormat + "\")";
    return false;
  }
  if (!document.contains("version") || document["version"] != json(kVersion)) {
    error =
        "a kov-vm state file of version " +
        (document.contains("version") ? Cut(document["version"].dump()) : std::string("(none)")) +
        "; this kov-vm reads version " + std::to_string(kVersion);
    return false;
  }
  Reader r;
  LabData lab;
  r.Only(document, "state", {"format", "version", "machines"});
  const json* machines = r.Array(document, "machines", "state");
  std::set<std::string> ids;
  for (std::size_t i = 0; machines && r.ok() && i < machines->size(); ++i) {
    Machine m;
    const std::string path = Reader::Index("machines", i);
    if (!ReadMachine(r, (*machines)[i], path, m)) break;
    if (!ids.insert(m.id).second) {
      r.Fail(Reader::Join(path, "id"), "machine \"" + Cut(m.id) + "\" twice");
      break;
    }
    lab.machines.push_back(std::move(m));
  }
  if (!r.ok()) {
    error = "inconsistent state file: " + r.error();
    return false;
  }
  out = std::move(lab);
  return true;
}

StateFile::LoadResult StateFile::Load(const std::string& path, LabData& out, std::string& error) {
  // Not blocking: a FIFO at the path is refused below instead of waiting for a writer.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT) return LoadResult::kMissing;
    error = ErrnoText("cannot read", path);
    return LoadResult::kRefused;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = path + " is not a regular file";
    ::close(fd);
    return LoadResult::kRefused;
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = ErrnoText("cannot read", path);
      ::close(fd);
      return LoadResult::kRefused;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  json document;
  std::string why;
  if (!ParseJson(text, document, why)) {
    error = path + " is corrupt or not a kov-vm state file (" + why + ")";
    return LoadResult::kRefused;
  }
  try {
    if (!FromJson(document, out, why)) {
      error = path + " is refused: " + why;
      return LoadResult::kRefused;
    }
  } catch (const json::exception& e) {
    error = path + " is refused: " + e.what();
    return LoadResult::kRefused;
  }
  return LoadResult::kLoaded;
}

namespace {

std::string DirOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Temporary files of a state file are named ".FILE.tmp.<pid>.<random>" beside it.
std::string TempPrefix(const std::string& realPath) { return "." + BaseOf(realPath) + ".tmp."; }

// Removes temporary files of this state file left by processes that no longer run (killed during
// a save). The caller holds the state file's lock, so no live save of this file can be among them
// except its own, already renamed.
void RemoveStaleTemps(const std::string& realPath) {
  const std::string dir = DirOf(realPath);
  const std::string prefix = TempPrefix(realPath);
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  std::vector<std::string> stale;
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
    const bool alive =
        pid > 0 && pid != ::getpid() && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
    if (alive) continue;
    stale.push_back(dir + "/" + name);
  }
  ::closedir(d);
  for (auto& name : stale) ::unlink(name.c_str());
}

}  // namespace

bool StateFile::Resolve(const std::string& path, std::string& real, std::string& error) {
  char buffer[PATH_MAX];
  if (::realpath(path.c_str(), buffer)) {
    real = buffer;
    return true;
  }
  const int why = errno;
  struct stat st;
  if (why == ENOENT && ::lstat(path.c_str(), &st) == 0) {
    error = "the state file " + path + " is a symbolic link to a missing file";
    return false;
  }
  if (why != ENOENT) {
    errno = why;
    error = ErrnoText("cannot resolve the state file", path);
    return false;
  }
  // A new file: its folder must exist; the file will be made there.
  const std::string dir = DirOf(path);
  if (!::realpath(dir.c_str(), buffer)) {
    error = ErrnoText("cannot use the folder of the state file", path);
    return false;
  }
  real = std::string(buffer) + (std::string(buffer) == "/" ? "" : "/") + BaseOf(path);
  return true;
}

bool StateFile::CheckWritable(const std::string& realPath, std::string& error) {
  struct stat st;
  if (::stat(realPath.c_str(), &st) == 0) {
    // A file made read-only is kept so, also for a caller (root) whom the system would let write.
    if ((st.st_mode & S_IWUSR) == 0 || ::access(realPath.c_str(), W_OK) != 0) {
      error = realPath + " is read-only; make it writable to let kov-vm change the lab";
      return false;
    }
  }
  if (::access(DirOf(realPath).c_str(), W_OK) != 0) {
    error = ErrnoText("cannot write in the folder of", realPath);
    return false;
  }
  return true;
}

namespace {

// A server marks the state file it keeps locked with a shared record lock on one byte far beyond
// any content; record locks and flock locks do not interact, so the mark only tells, never blocks.
constexpr off_t kServedMarkOffset = off_t(1) << 40;

struct flock ServedMark(short type) {
  struct flock mark;
  std::memset(&mark, 0, sizeof mark);
  mark.l_type = type;
  mark.l_whence = SEEK_SET;
  mark.l_start = kServedMarkOffset;
  mark.l_len = 1;
  return mark;
}

bool ServedBySomeone(int fd) {
  struct flock probe = ServedMark(F_WRLCK);
  return ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

bool SetServedMark(int fd) {
  struct flock mark = ServedMark(F_RDLCK);
  return ::fcntl(fd, F_OFD_SETLK, &mark) == 0;
}

}  // namespace

bool StateFile::Lock::MarkServed(std::string& error) {
  if (fd_ < 0 || !SetServedMark(fd_)) {
    error = std::string("cannot mark the state file as served: ") + std::strerror(errno);
    return false;
  }
  served_ = true;
  return true;
}

StateFile::Lock::~Lock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

bool StateFile::Lock::Acquire(const std::string& realPath, std::string& error) {
  // The lock is taken on the state file itself, so that no side file can be removed from under
  // it. A save replaces the file, so after waiting the lock may be on a file no longer at the
  // path: then the new one is locked instead. While there is no file yet, its folder is locked.
  for (int attempt = 0; attempt < 1000; ++attempt) {
    if (fd_ >= 0) ::close(fd_);
    bool folder = false;
    fd_ = ::open(realPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd_ < 0 && errno == ENOENT) {
      folder = true;
      fd_ = ::open(DirOf(realPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    if (fd_ < 0) {
      error = ErrnoText("cannot open the state file to lock it:", realPath);
      return false;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 && !folder && ServedBySomeone(fd_)) {
      error = realPath + " is in use by a running `kov-vm serve`; call it with --host instead";
      return false;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      error = ErrnoText("cannot lock", realPath);
      return false;
    }
    struct stat locked, now;
    if (::fstat(fd_, &locked) != 0) {
      error = ErrnoText("cannot lock", realPath);
      return false;
    }
    const bool exists = ::stat(realPath.c_str(), &now) == 0;
    if (folder ? !exists : exists && now.st_dev == locked.st_dev && now.st_ino == locked.st_ino) {
      return true;
    }
  }
  error = "cannot lock " + realPath + ": it is replaced again and again";
  return false;
}

bool StateFile::Save(const std::string& realPath, const LabData& lab, std::string& error,
                     Lock* keep) {
  const std::string text = ToJson(lab).dump(2, ' ', false, json::error_handler_t::replace) + "\n";
  struct stat old;
  const bool exists = ::stat(realPath.c_str(), &old) == 0;
  std::random_device random;
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "%ld.%08x", static_cast<long>(::getpid()),
                static_cast<unsigned>(random()));
  const std::string temp = DirOf(realPath) + "/" + TempPrefix(realPath) + suffix;
  // A new file gets the permissions the umask allows; a rewritten one keeps its own.
  int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : 0666);
  if (fd < 0) {
    error = ErrnoText("cannot create a temporary file for", realPath);
    return false;
  }
  auto fail = [&](const std::string& what) {
    error = ErrnoText(what, temp);
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  };
  if (exists) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 && errno != EPERM) {
      return fail("cannot give the owner to");
    }
    if (::fchmod(fd, old.st_mode & 07777) != 0) return fail("cannot set the mode of");
  }
  std::size_t written = 0;
  while (written < text.size()) {
    ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail("cannot write");
    }
    written += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) return fail("cannot flush");
  if (keep) {
    // Nobody else knows the new file yet, so these cannot wait.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return fail("cannot lock");
    if (keep->served_ && !SetServedMark(fd)) return fail("cannot mark");
  } else if (::close(fd) != 0) {
    error = ErrnoText("cannot close", temp);
    ::unlink(temp.c_str());
    return false;
  }
  if (::rename(temp.c_str(), realPath.c_str()) != 0) {
    error = ErrnoText("cannot rename the new state onto", realPath);
    if (keep) ::close(fd);
    ::unlink(temp.c_str());
    return false;
  }
  if (keep) {
    if (keep->fd_ >= 0) ::close(keep->fd_);
    keep->fd_ = fd;
  }
  // The rename is durable once the folder is flushed.
  int dir = ::open(DirOf(realPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  RemoveStaleTemps(realPath);
  return true;
}

}  // namespace Sim
}  // namespace Kov
