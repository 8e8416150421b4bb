// What the fuzz targets share: the check of an invariant, a folder for the files a target writes,
// and a lab with something of every kind in it, so that operations on existing machines and
// devices get past "not found".
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/sim/lab.h"

namespace Kov {
namespace Fuzz {

// Aborts, which libFuzzer reports as a crash with the input that caused it, when `ok` is false.
inline void Check(bool ok, const char* invariant) {
  if (ok) return;
  std::fprintf(stderr, "kov fuzz: invariant broken: %s\n", invariant);
  std::abort();
}

// A folder of this process's own in memory (named after the target), removed at exit with the
// files that `File` named in it.
class Scratch {
 public:
  explicit Scratch(const std::string& target)
      : dir_("/dev/shm/kov-fuzz-" + target + "-" + std::to_string(::getpid())) {
    Check(::mkdir(dir_.c_str(), 0700) == 0 || errno == EEXIST, "a folder in /dev/shm");
  }
  ~Scratch() {
    for (auto& f : files_) ::unlink(f.c_str());
    ::rmdir(dir_.c_str());
  }
  std::string File(const std::string& name) {
    files_.push_back(dir_ + "/" + name);
    return files_.back();
  }

 private:
  std::string dir_;
  std::vector<std::string> files_;
};

inline Sim::LabData PopulatedLab() {
  using namespace Sim;
  Machine web = NewMachine("web-1", "zubuntu-64");
  web.hasHwVersion = true;
  web.hwVersion = "zub-21";
  web.cdroms.push_back({"cdrom-1", "ide0:0", "IMAGE", "", true, "/isos/zubuntu-64.iso"});
  web.disks.push_back({"disk-1", "scsi0:0"});
  web.networks.push_back({"net-1", "E1000E", "ethernet0"});
  web.sataControllers[0] = "AHCI";
  web.scsiControllers[0] = "ZSCSI";
  DataSet set;
  set.id = "ds-1";
  set.name = "app";
  set.host = "READ_WRITE";
  set.guest = "READ_ONLY";
  set.entries["release"] = "2.4";
  web.dataSets.push_back(set);
  web.logLevels["power"] = "BRT_LOG_INFO";
  web.nextCdrom = web.nextDisk = web.nextDataSet = 2;
  Machine db = NewMachine("db-1", "zubuntu-64");
  db.power = PowerState::kOn;
  db.loaded = true;
  db.cpuHotAddEnabled = true;
  db.cpuCount = 4;
  db.coresPerSocket = 2;
  LabData lab;
  lab.machines = {web, db};
  return lab;
}

}  // namespace Fuzz
}  // namespace Kov
