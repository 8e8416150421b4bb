// The simulator's state file: what it holds, what it refuses, and how it is written.
#include "tools/sim/state_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "tests/tools/temp_dir.h"

namespace Kov {
namespace Sim {
namespace {

using nlohmann::json;

LabData FullLab() {
  LabData lab;
  Machine m = NewMachine("vm-1", "zubuntu-64");
  m.hasHwVersion = true;
  m.hwVersion = "zub-21";
  m.power = PowerState::kSuspended;
  m.loaded = true;
  m.cpuCount = 8;
  m.coresPerSocket = 4;
  m.cpuHotAddEnabled = true;
  m.memorySize = 4096;
  m.memoryHotAddEnabled = true;
  m.cdroms.push_back({"cdrom-1", "ide0:0", "IMAGE", "", true, "/iso/a.iso"});
  m.cdroms.push_back({"cdrom-2", "ide0:1", "IMAGE", "", false, ""});
  m.cdroms.push_back({"cdrom-4", "ide1:0", "ATAPI", "/dev/sr0", false, ""});
  m.disks.push_back({"disk-1", "scsi0:0"});
  m.disks.push_back({"disk-9", "scsi0:1"});  // named by the caller, beyond the counter
  m.networks.push_back({"lan", "E1000E", "ethernet0"});
  m.sataControllers[0] = "AHCI";
  m.scsiControllers[3] = "ZSCSI";
  DataSet d;
  d.id = "ds-1";
  d.name = "config";
  d.description = "what \"quotes\" and\nnewlines do";
  d.host = "READ_WRITE";
  d.guest = "NONE";
  d.omitFromSnapshotAndClone = true;
  d.entries = {{"k", "v"}, {"unicode", "\xc3\xa9t\xc3\xa9"}, {"empty", ""}};
  m.dataSets.push_back(d);
  m.logLevels["zub"] = "BRT_LOG_DEBUG_10";
  m.nextCdrom = 5;
  m.nextDisk = 2;
  m.nextDataSet = 2;
  lab.machines.push_back(m);
  lab.machines.push_back(NewMachine("vm-2", "zubsd"));
  return lab;
}

TEST(StateFile, EverythingSurvivesTheRoundTrip) {
  const json empty = StateFile::ToJson(LabData{});
  EXPECT_EQ(empty, json::parse(R"({"format": "kov-vm-sim-state", "version": 1, "machines": []})"));
  const json doc = StateFile::ToJson(FullLab());
  LabData back;
  std::string error;
  ASSERT_TRUE(StateFile::FromJson(doc, back, error)) << error;
  EXPECT_EQ(StateFile::ToJson(back), doc);
  ASSERT_EQ(back.machines.size(), 2u);
  const Machine& m = back.machines[0];
  EXPECT_EQ(m.power, PowerState::kSuspended);
  EXPECT_EQ(m.hwVersion, "zub-21");
  EXPECT_FALSE(back.machines[1].hasHwVersion);
  EXPECT_TRUE(m.cdroms[0].hasIsoFile);
  EXPECT_FALSE(m.cdroms[1].hasIsoFile);
  EXPECT_EQ(m.cdroms[2].deviceName, "/dev/sr0");
  EXPECT_EQ(m.dataSets[0].entries.at("unicode"), "\xc3\xa9t\xc3\xa9");
  EXPECT_EQ(m.dataSets[0].description, "what \"quotes\" and\nnewlines do");
  EXPECT_EQ(m.scsiControllers.at(3), "ZSCSI");
  EXPECT_EQ(m.nextCdrom, 5);
}

TEST(StateFile, ForeignAndInconsistentDocumentsAreRefused) {
  using Edit = std::function<void(json&)>;
  struct Case {
    const char* what;
    Edit edit;
  } cases[] = {
      {"another marker", [](json& d) { d["format"] = "something-else"; }},
      {"not an object", [](json& d) { d = json::array(); }},
      {"another version", [](json& d) { d["version"] = 2; }},
      {"machines not a list", [](json& d) { d["machines"] = json::object(); }},
      {"machine not an object", [](json& d) { d["machines"][0] = 5; }},
      {"empty machine id", [](json& d) { d["machines"][0]["id"] = ""; }},
      {"machine twice", [](json& d) { d["machines"][1]["id"] = "vm-1"; }},
      {"unknown power state", [](json& d) { d["machines"][0]["power"] = "HALF"; }},
      {"hw_version a number", [](json& d) { d["machines"][0]["hw_version"] = 21; }},
      {"no cpu", [](json& d) { d["machines"][0].erase("cpu"); }},
      {"zero CPUs", [](json& d) { d["machines"][0]["cpu"]["count"] = 0; }},
      {"too many CPUs", [](json& d) { d["machines"][0]["cpu"]["count"] = 129; }},
      {"CPUs a float", [](json& d) { d["machines"][0]["cpu"]["count"] = 8.0; }},
      {"uneven sockets", [](json& d) { d["machines"][0]["cpu"]["cores_per_socket"] = 3; }},
      {"memory not a multiple of 4", [](json& d) { d["machines"][0]["memory"]["size"] = 4097; }},
      {"IMAGE drive with a host device",
       [](json& d) { d["machines"][0]["cdroms"][0]["device_name"] = "/dev/sr0"; }},
      {"ATAPI drive without a host device",
       [](json& d) { d["machines"][0]["cdroms"][2].erase("device_name"); }},
      {"ATAPI drive with an image",
       [](json& d) { d["machines"][0]["cdroms"][2]["iso_file"] = "a.iso"; }},
      {"unknown backing", [](json& d) { d["machines"][0]["cdroms"][0]["backing_type"] = "USB"; }},
      {"drive id twice", [](json& d) { d["machines"][0]["cdroms"][1]["id"] = "cdrom-1"; }},
      {"device name twice", [](json& d) { d["machines"][0]["disks"][0]["device"] = "ide0:0"; }},
      {"empty device name", [](json& d) { d["machines"][0]["networks"][0]["device"] = ""; }},
      {"unknown adapter", [](json& d) { d["machines"][0]["networks"][0]["adapter"] = "X"; }},
      {"controller 4", [](json& d) { d["machines"][0]["sata_controllers"][0]["number"] = 4; }},
      {"controller twice",
       [](json& d) {
         d["machines"][0]["sata_controllers"].push_back(d["machines"][0]["sata_controllers"][0]);
       }},
      {"unknown SCSI model",
       [](json& d) { d["machines"][0]["scsi_controllers"][0]["hba_type"] = "AHCI"; }},
      {"unknown access", [](json& d) { d["machines"][0]["data_sets"][0]["host"] = "ALL"; }},
      {"data set name twice",
       [](json& d) {
         json copy = d["machines"][0]["data_sets"][0];
         copy["id"] = "ds-2";
         d["machines"][0]["data_sets"].push_back(copy);
       }},
      {"entry not a string", [](json& d) { d["machines"][0]["data_sets"][0]["entries"]["k"] = 1; }},
      {"empty key", [](json& d) { d["machines"][0]["data_sets"][0]["entries"][""] = "x"; }},
      {"unknown module", [](json& d) { d["machines"][0]["log_levels"]["gpu"] = "BRT_LOG_INFO"; }},
      {"unknown level", [](json& d) { d["machines"][0]["log_levels"]["zub"] = "LOUD"; }},
      {"next id 0", [](json& d) { d["machines"][0]["next_ids"]["cdrom"] = 0; }},
      {"no next ids", [](json& d) { d["machines"][1].erase("next_ids"); }},
      // Members this version does not know would be dropped by the next save.
      {"unknown top member", [](json& d) { d["comment"] = "x"; }},
      {"unknown machine member", [](json& d) { d["machines"][0]["owner"] = "x"; }},
      {"unknown cpu member", [](json& d) { d["machines"][0]["cpu"]["threads"] = 2; }},
      // Combinations the simulator never makes.
      {"suspended but not loaded", [](json& d) { d["machines"][0]["loaded"] = false; }},
      {"counter would issue a drive id again",
       [](json& d) { d["machines"][0]["next_ids"]["cdrom"] = 4; }},
      {"counter would issue a data set id again",
       [](json& d) { d["machines"][0]["next_ids"]["data_set"] = 1; }},
  };
  const json good = StateFile::ToJson(FullLab());
  for (auto& c : cases) {
    json doc = good;
    c.edit(doc);
    LabData out = FullLab();
    out.machines.resize(1);
    std::string error;
    EXPECT_FALSE(StateFile::FromJson(doc, out, error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
    EXPECT_EQ(out.machines.size(), 1u) << c.what << ": a refused document must change nothing";
  }
}

TEST(StateFile, RefusalsSayWhere) {
  json doc = StateFile::ToJson(FullLab());
  doc["machines"][0]["cpu"]["count"] = "eight";
  LabData out;
  std::string error;
  ASSERT_FALSE(StateFile::FromJson(doc, out, error));
  EXPECT_NE(error.find("machines[0].cpu.count"), std::string::npos) << error;
  doc = json{{"name", "package.json"}};
  ASSERT_FALSE(StateFile::FromJson(doc, out, error));
  EXPECT_NE(error.find("not a kov-vm state file"), std::string::npos) << error;
}

class StateFileOnDisk : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string path_ = dir_.path() + "/lab.json";
};

TEST_F(StateFileOnDisk, MissingThenSavedThenReplaced) {
  LabData out;
  std::string error;
  EXPECT_EQ(StateFile::Load(path_, out, error), StateFile::LoadResult::kMissing);
  EXPECT_TRUE(out.machines.empty());
  EXPECT_FALSE(FileExists(path_));
  ASSERT_TRUE(StateFile::Save(path_, FullLab(), error)) << error;
  ASSERT_EQ(StateFile::Load(path_, out, error), StateFile::LoadResult::kLoaded) << error;
  EXPECT_EQ(StateFile::ToJson(out), StateFile::ToJson(FullLab()));
  // Only the state file is left: the temporary file was renamed into place.
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"lab.json"}));
  EXPECT_EQ(ReadFile(path_).back(), '\n');
  ASSERT_TRUE(StateFile::Save(path_, LabData{}, error));
  ASSERT_EQ(StateFile::Load(path_, out, error), StateFile::LoadResult::kLoaded);
  EXPECT_TRUE(out.machines.empty());
  EXPECT_EQ(dir_.Entries().size(), 1u);
}

TEST_F(StateFileOnDisk, UnusableLocationsFail) {
  std::string error;
  EXPECT_FALSE(StateFile::Save(dir_.path() + "/no/such/lab.json", FullLab(), error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(dir_.Entries().empty());
  LabData out;
  error.clear();
  EXPECT_EQ(StateFile::Load(dir_.path(), out, error), StateFile::LoadResult::kRefused);
  EXPECT_FALSE(error.empty());
}

TEST_F(StateFileOnDisk, DamagedFilesAreRefusedAndLeftAsTheyAre) {
  std::string error;
  ASSERT_TRUE(StateFile::Save(path_, FullLab(), error));
  const std::string whole = ReadFile(path_);
  const std::string contents[] = {
      whole.substr(0, whole.size() / 2),  // truncated
      "",                                 // empty
      "\x89PNG\r\n\x1a\n",                // some other kind of file
      R"({"format": "kov-vm-sim-state", "version": 1e400, "machines": []})",
      R"({"format": "kov-vm-sim-state", "version": 1, "machines": [], "machines": []})",
      whole + std::string(1, '\0') + "garbage",  // bytes after a NUL
  };
  for (auto& content : contents) {
    WriteFile(path_, content);
    LabData out;
    EXPECT_EQ(StateFile::Load(path_, out, error), StateFile::LoadResult::kRefused) << content;
    EXPECT_NE(error.find(path_), std::string::npos) << error;
    EXPECT_EQ(ReadFile(path_), content);
    EXPECT_TRUE(out.machines.empty());
  }
}

TEST_F(StateFileOnDisk, SavingKeepsModeLinksAndCleansUp) {
  std::string error;
  struct stat st;
  // A rewritten file keeps its mode, whatever the umask.
  for (mode_t mode : {0600, 0640, 0664}) {
    ASSERT_TRUE(StateFile::Save(path_, LabData{}, error)) << error;
    ASSERT_EQ(::chmod(path_.c_str(), mode), 0);
    const mode_t umask = ::umask(0);
    ASSERT_TRUE(StateFile::Save(path_, FullLab(), error)) << error;
    ::umask(umask);
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, mode);
  }
  // A link is resolved once: both spellings are the real file, which is what a save replaces.
  const std::string link = dir_.path() + "/link.json";
  ASSERT_EQ(::symlink("lab.json", link.c_str()), 0);
  std::string viaLink, direct;
  ASSERT_TRUE(StateFile::Resolve(link, viaLink, error)) << error;
  ASSERT_TRUE(StateFile::Resolve(path_, direct, error)) << error;
  EXPECT_EQ(viaLink, direct);
  ASSERT_TRUE(StateFile::Save(viaLink, LabData{}, error)) << error;
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  LabData out;
  ASSERT_EQ(StateFile::Load(link, out, error), StateFile::LoadResult::kLoaded) << error;
  EXPECT_TRUE(out.machines.empty());
  // Temporary files of runs killed during a save go with the next save; a live run's stays, and so
  // do another file's.
  const std::string dead = ".lab.json.tmp.999999999.0badf00d";
  const std::string live = ".lab.json.tmp." + std::to_string(::getppid()) + ".0badf00d";
  const std::string other = ".other.json.tmp.999999999.0badf00d";
  for (auto& name : {dead, live, other}) WriteFile(dir_.path() + "/" + name, "{");
  ASSERT_TRUE(StateFile::Save(direct, FullLab(), error)) << error;
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{live, other, "lab.json", "link.json"}));
}

}  // namespace
}  // namespace Sim
}  // namespace Kov
