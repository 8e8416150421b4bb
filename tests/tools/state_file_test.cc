// The simulator's state file: what it holds, what it refuses, and how it is written.
#include "tools/sim/state_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/tools/temp_dir.h"

namespace Kov {
namespace Sim {
namespace {

using nlohmann::json;

// A lab with something of every kind: a suspended machine with devices, a data set and a log
// level, and a new machine; ids named by the caller beyond the counters, texts that need escapes.
const json kFull = json::parse(R"({"format":"kov-vm-sim-state","version":1,"machines":[
{"id":"vm-1","guest_OS":"zubuntu-64","hw_version":"zub-21","power":"SUSPENDED","loaded":true,
"cpu":{"cores_per_socket":4,"count":8,"hot_add_enabled":true,"hot_remove_enabled":false},
"memory":{"hot_add_enabled":true,"size":4096},
"cdroms":[{"backing_type":"IMAGE","device":"ide0:0","id":"cdrom-1","iso_file":"/iso/a.iso"},
{"backing_type":"IMAGE","device":"ide0:1","id":"cdrom-2"},
{"backing_type":"ATAPI","device":"ide1:0","device_name":"/dev/sr0","id":"cdrom-4"}],
"disks":[{"device":"scsi0:0","disk":"disk-1"},{"device":"scsi0:1","disk":"disk-9"}],
"networks":[{"adapter":"E1000E","device":"ethernet0","network":"lan"}],
"sata_controllers":[{"hba_type":"AHCI","number":0}],
"scsi_controllers":[{"hba_type":"ZSCSI","number":3}],
"data_sets":[{"description":"what \"quotes\" and\nnewlines do","guest":"NONE","host":"READ_WRITE",
"id":"ds-1","name":"config","omit_from_snapshot_and_clone":true,
"entries":{"empty":"","k":"v","unicode":"\u00e9t\u00e9"}}],
"log_levels":{"zub":"BRT_LOG_DEBUG_10"},"next_ids":{"cdrom":5,"data_set":2,"disk":2}},
{"id":"vm-2","guest_OS":"zubsd","hw_version":null,"power":"OFF","loaded":false,
"cpu":{"cores_per_socket":1,"count":1,"hot_add_enabled":false,"hot_remove_enabled":false},
"memory":{"hot_add_enabled":false,"size":1024},"cdroms":[],"disks":[],"networks":[],
"sata_controllers":[],"scsi_controllers":[],"data_sets":[],"log_levels":{},
"next_ids":{"cdrom":1,"data_set":1,"disk":1}}]})");

LabData FullLab() {
  LabData lab;
  std::string error;
  EXPECT_TRUE(StateFile::FromJson(kFull, lab, error)) << error;
  return lab;
}

TEST(StateFile, EverythingSurvivesTheRoundTrip) {
  EXPECT_EQ(StateFile::ToJson(LabData{}),
            json::parse(R"({"format": "kov-vm-sim-state", "version": 1, "machines": []})"));
  const LabData lab = FullLab();
  EXPECT_EQ(StateFile::ToJson(lab), kFull);
  ASSERT_EQ(lab.machines.size(), 2u);
  const Machine& m = lab.machines[0];
  EXPECT_TRUE(m.power == PowerState::kSuspended && m.loaded && m.hasHwVersion &&
              !lab.machines[1].hasHwVersion && !lab.machines[1].loaded);
  EXPECT_TRUE(m.cdroms[0].hasIsoFile && m.cdroms[0].isoFile == "/iso/a.iso" &&
              !m.cdroms[1].hasIsoFile && m.cdroms[2].deviceName == "/dev/sr0");
  EXPECT_TRUE(m.dataSets[0].entries.at("unicode") == "\xc3\xa9t\xc3\xa9" &&
              m.scsiControllers.at(3) == "ZSCSI" && m.nextCdrom == 5);
}

TEST(StateFile, ForeignAndInconsistentDocumentsAreRefused) {
  // Each row sets the member at a JSON pointer to a value, or removes it ("-").
  const std::pair<const char*, const char*> cases[] = {
      {"", "[]"},  // not an object
      {"/format", R"("something-else")"},
      {"/version", "2"},
      {"/machines", "{}"},
      {"/machines/0", "5"},
      {"/machines/0/id", R"("")"},
      {"/machines/1/id", R"("vm-1")"},  // a machine twice
      {"/machines/0/power", R"("HALF")"},
      {"/machines/0/hw_version", "21"},
      {"/machines/0/cpu", "-"},
      {"/machines/0/cpu/count", "0"},
      {"/machines/0/cpu/count", "129"},
      {"/machines/0/cpu/count", "8.0"},
      {"/machines/0/cpu/cores_per_socket", "3"},  // uneven sockets
      {"/machines/0/memory/size", "4097"},
      {"/machines/0/cdroms/0/device_name", R"("/dev/sr0")"},  // an IMAGE drive with a host device
      {"/machines/0/cdroms/2/device_name", "-"},              // an ATAPI drive without one
      {"/machines/0/cdroms/2/iso_file", R"("a.iso")"},        // an ATAPI drive with an image
      {"/machines/0/cdroms/0/backing_type", R"("USB")"},
      {"/machines/0/cdroms/1/id", R"("cdrom-1")"},    // a drive id twice
      {"/machines/0/disks/0/device", R"("ide0:0")"},  // a device name twice
      {"/machines/0/networks/0/device", R"("")"},
      {"/machines/0/networks/0/adapter", R"("X")"},
      {"/machines/0/sata_controllers/0/number", "4"},
      {"/machines/0/sata_controllers/1", R"({"hba_type":"AHCI","number":0})"},  // twice
      {"/machines/0/scsi_controllers/0/hba_type", R"("AHCI")"},
      {"/machines/0/data_sets/0/host", R"("ALL")"},
      {"/machines/0/data_sets/1", R"({"description":"","guest":"NONE","host":"NONE","id":"ds-2",
          "name":"config","omit_from_snapshot_and_clone":false,"entries":{}})"},  // a name twice
      {"/machines/0/data_sets/0/entries/k", "1"},
      {"/machines/0/data_sets/0/entries/", R"("x")"},  // an empty key
      {"/machines/0/log_levels/gpu", R"("BRT_LOG_INFO")"},
      {"/machines/0/log_levels/zub", R"("LOUD")"},
      {"/machines/0/next_ids/cdrom", "0"},
      {"/machines/1/next_ids", "-"},
      // Members this version does not know would be dropped by the next save.
      {"/comment", R"("x")"},
      {"/machines/0/owner", R"("x")"},
      {"/machines/0/cpu/threads", "2"},
      // Combinations the simulator never makes: suspended but not loaded, counters that would
      // issue an id again.
      {"/machines/0/loaded", "false"},
      {"/machines/0/next_ids/cdrom", "4"},
      {"/machines/0/next_ids/data_set", "1"},
  };
  for (auto& c : cases) {
    json doc = kFull;
    const json::json_pointer at(c.first);
    if (std::string(c.second) == "-") {
      doc[at.parent_pointer()].erase(at.back());
    } else {
      doc[at] = json::parse(c.second);
    }
    LabData out = FullLab();
    out.machines.resize(1);
    std::string error;
    EXPECT_FALSE(StateFile::FromJson(doc, out, error)) << c.first << " " << c.second;
    EXPECT_FALSE(error.empty()) << c.first;
    EXPECT_EQ(out.machines.size(), 1u) << c.first << ": a refused document must change nothing";
  }
  // A refusal says where.
  json doc = kFull;
  doc["machines"][0]["cpu"]["count"] = "eight";
  LabData out;
  std::string error;
  ASSERT_FALSE(StateFile::FromJson(doc, out, error));
  EXPECT_NE(error.find("machines[0].cpu.count"), std::string::npos) << error;
  ASSERT_FALSE(StateFile::FromJson(json{{"name", "package.json"}}, out, error));
  EXPECT_NE(error.find("not a kov-vm state file"), std::string::npos) << error;
}

// A machine's device lists load when filled to their limits, and are refused one past them.
TEST(StateFile, DeviceListsLoadUpToTheirLimits) {
  const struct {
    const char* list;
    std::size_t limit;
    const char* item;  // "#" stands for the item's number
  } lists[] = {
      {"cdroms", Limits::kMaxCdroms, R"({"backing_type":"IMAGE","device":"d#","id":"cd#"})"},
      {"disks", Limits::kMaxDisks, R"({"device":"d#","disk":"data-#"})"},
      {"networks", Limits::kMaxNetworks, R"({"adapter":"E1000E","device":"d#","network":"lan"})"},
  };
  for (const auto& l : lists) {
    for (std::size_t n : {l.limit, l.limit + 1}) {
      json doc = kFull;
      for (std::size_t i = 0; i < n; ++i) {
        std::string item = l.item;
        for (std::size_t at; (at = item.find('#')) != std::string::npos;)
          item.replace(at, 1, std::to_string(i));
        doc["machines"][1][l.list].push_back(json::parse(item));
      }
      LabData out;
      std::string error;
      EXPECT_EQ(StateFile::FromJson(doc, out, error), n == l.limit) << l.list << n << ": " << error;
    }
  }
}

TEST(StateFileOnDisk, SavingKeepsModeLinksAndCleansUp) {
  TempDir dir;
  const std::string path = dir.path() + "/lab.json";
  std::string error;
  LabData out;
  struct stat st;
  // A rewritten file keeps its mode, whatever the umask.
  for (mode_t mode : {0600, 0640, 0664}) {
    ASSERT_TRUE(StateFile::Save(path, LabData{}, error)) << error;
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    const mode_t umask = ::umask(0);
    ASSERT_TRUE(StateFile::Save(path, FullLab(), error)) << error;
    ::umask(umask);
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, mode);
  }
  ASSERT_EQ(StateFile::Load(path, out, error), StateFile::LoadResult::kLoaded) << error;
  EXPECT_EQ(StateFile::ToJson(out), kFull);
  EXPECT_EQ(ReadFile(path).back(), '\n');
  // A link is resolved once: both spellings are the real file, which is what a save replaces.
  const std::string link = dir.path() + "/link.json";
  ASSERT_EQ(::symlink("lab.json", link.c_str()), 0);
  std::string viaLink, direct;
  ASSERT_TRUE(StateFile::Resolve(link, viaLink, error)) << error;
  ASSERT_TRUE(StateFile::Resolve(path, direct, error)) << error;
  EXPECT_EQ(viaLink, direct);
  ASSERT_TRUE(StateFile::Save(viaLink, LabData{}, error)) << error;
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(StateFile::Load(link, out, error), StateFile::LoadResult::kLoaded) << error;
  EXPECT_TRUE(out.machines.empty());
  // Temporary files of runs killed during a save go with the next save; a live run's stays, and so
  // do another file's.
  const std::string dead = ".lab.json.tmp.999999999.0badf00d";
  const std::string live = ".lab.json.tmp." + std::to_string(::getppid()) + ".0badf00d";
  const std::string other = ".other.json.tmp.999999999.0badf00d";
  for (auto& name : {dead, live, other}) WriteFile(dir.path() + "/" + name, "{");
  ASSERT_TRUE(StateFile::Save(direct, FullLab(), error)) << error;
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{live, other, "lab.json", "link.json"}));
}

}  // namespace
}  // namespace Sim
}  // namespace Kov
