// The simulator's rules, driven through its bound services with JSON input the way kov-vm sends
// it. Each script is a sequence of calls on one lab, each with the answer it must give; an error
// outside the operation's list would arrive as an internal server error and fail its step.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "runtime/activation.h"
#include "runtime/local_provider.h"
#include "runtime/stub.h"
#include "tools/sim/await.h"
#include "tools/sim/catalog.h"
#include "tools/sim/json_value.h"
#include "tools/sim/simulator.h"
#include "vm/data_sets.h"
#include "vm/device/network.h"
#include "vm/modules/log_level.h"

namespace Kov {
namespace Sim {
namespace {

// One call: "service.operation", its input as JSON, and its answer: "ok" for completion, "= " and
// the answer as JSON, or the error's first message id (the tour checks the error types).
struct Step {
  std::string op, input, answer;
};

class SimScript : public ::testing::Test {
 protected:
  std::string Call(const std::string& op, const std::string& input) {
    const Catalog::Service* service = nullptr;
    Tarn::Provider::AsyncApiMethodPtr method;
    std::string error;
    nlohmann::json json;
    Tarn::Data::DataValuePtr value;
    if (!catalog.FindOperation(op, service, method, error) || !ParseJson(input, json, error) ||
        !JsonToValue(json, method->inputDefinition(), value, error)) {
      return "refused: " + error;
    }
    Tarn::Core::MethodResultPtr result;
    method->Invoke(value, Tarn::Core::AsyncActivation::GetInstance(),
                   [&result](const Tarn::Core::MethodResultPtr& r, const Tarn::Progress&,
                             Tarn::Core::AsyncApiResultCb::Continuation&&) { result = r; });
    if (!result) return "no answer";
    if (auto e = result->error()) {
      auto messages = e->Messages();
      return messages.empty() ? ShortErrorName(e->name()) : messages[0].id;
    }
    auto answer = ValueToJson(result->output());
    return answer.is_null() ? "ok" : "= " + answer.dump();
  }
  void Run(const std::vector<Step>& steps) {
    for (auto& s : steps) EXPECT_EQ(Call(s.op, s.input), s.answer) << s.op << " " << s.input;
  }
  // Calls `op` with `input` (in which "#" stands for 1, 2, ... n) n times, each successfully.
  void Repeat(int n, const std::string& op, const std::string& input) {
    for (int i = 1; i <= n; ++i) {
      std::string text = input;
      text.replace(text.find('#'), 1, std::to_string(i));
      std::string answer = Call(op, text);
      ASSERT_TRUE(answer == "ok" || answer.rfind("= ", 0) == 0) << text << ": " << answer;
    }
  }

  Simulator simulator;
  Catalog catalog{simulator.Bind()};
};

// A lab holding machine "vm", off.
class SimVmScript : public SimScript {
 protected:
  void SetUp() override {
    Run({{"zub.create", R"({"spec":{"vm":"vm","guest_OS":"zubuntu-64"}})", "ok"}});
  }
};

TEST_F(SimScript, MachinesDockAndPower) {
  Run({
      {"dock.list", "{}", R"(= {"items":[]})"},
      {"zub.create", R"({"spec":{"vm":"b","guest_OS":"zubsd-64"}})", "ok"},
      {"zub.create", R"({"spec":{"vm":"a","guest_OS":"zubuntu-64","hw_version":"zub-21"}})", "ok"},
      {"dock.list", "{}", R"(= {"items":[{"vm":"b"},{"vm":"a"}]})"},
      {"zub.create", R"({"spec":{"vm":"a","guest_OS":"zubsd-64"}})", "kov.sim.vm.exists"},
      {"zub.create", R"({"spec":{"vm":"","guest_OS":"zubsd-64"}})", "kov.sim.vm.id.empty"},
      {"zub.create", R"({"spec":{"vm":"c","guest_OS":""}})", "kov.sim.vm.guest.empty"},
      {"power.get", R"({"vm":"a"})", R"(= {"state":"OFF","suspended":false})"},
      {"power.switch_on", R"({"vm":"ghost","spec":{}})", "kov.sim.vm.not.found"},
      {"power.reset", R"({"vm":"a"})", "kov.sim.power.not.on"},
      {"power.switch_off", R"({"vm":"a"})", "kov.sim.power.already.off"},

      {"power.switch_on", R"({"vm":"a","spec":{"paused":true,"soft":false}})", "ok"},
      {"power.get", R"({"vm":"a"})", R"(= {"state":"ON"})"},
      {"power.switch_on", R"({"vm":"a","spec":{}})", "kov.sim.power.already.on"},
      {"power.reset", R"({"vm":"a"})", "ok"},
      {"zub.delete", R"({"vm":"a"})", "kov.sim.vm.powered.on"},
      {"power.suspend", R"({"vm":"a"})", "ok"},
      {"power.get", R"({"vm":"a"})", R"(= {"state":"OFF","suspended":true})"},
      {"power.suspend", R"({"vm":"a"})", "kov.sim.power.not.on"},
      {"power.switch_on", R"({"vm":"a","spec":{}})", "ok"},  // resumes
      {"power.suspend", R"({"vm":"a"})", "ok"},
      {"power.switch_off", R"({"vm":"a"})", "ok"},  // discards the suspended state
      {"power.get", R"({"vm":"a"})", R"(= {"state":"OFF","suspended":false})"},
      {"power.switch_on", R"({"vm":"b","spec":{}})", "ok"},
      {"power.suspend", R"({"vm":"b"})", "ok"},
      {"zub.delete", R"({"vm":"b"})", "ok"},  // a suspended machine counts as off
      {"zub.delete", R"({"vm":"b"})", "kov.sim.vm.not.found"},
      {"zub.create", R"({"spec":{"vm":"b","guest_OS":"zubsd-64"}})", "ok"},  // free again

      {"dock.load", R"({"vm":"a"})", "ok"},
      {"dock.load", R"({"vm":"ghost"})", "kov.sim.vm.not.found"},
      {"dock.load", R"({"vm":""})", "kov.sim.vm.id.empty"},
  });
  auto& machines = simulator.lab()->data.machines;
  ASSERT_EQ(machines.size(), 2u);
  EXPECT_TRUE(machines[0].loaded && machines[0].hasHwVersion && machines[0].hwVersion == "zub-21");
  EXPECT_FALSE(machines[1].loaded || machines[1].hasHwVersion);
  // Switching on loads a machine, whatever its switch-on options say.
  Run({{"power.switch_on", R"({"vm":"b","spec":{"paused":true}})", "ok"}});
  EXPECT_TRUE(machines[1].loaded);
}

TEST_F(SimVmScript, CpusAndMemory) {
  const std::string on = R"({"vm":"vm","spec":{}})";
  auto cpus = [](const std::string& spec, const std::string& vm = "vm") {
    return R"({"vm":")" + vm + R"(","update_spec":)" + spec + "}";
  };
  auto& memory = cpus;  // the same input shape
  Run({
      {"cpus.get", R"({"vm":"vm"})",
       R"(= {"cores_per_socket":1,"count":1,"hot_add_enabled":false,"hot_remove_enabled":false})"},
      {"memory.get", R"({"vm":"vm"})", R"(= {"hot_add_enabled":false,"size":1024})"},
      {"cpus.get", R"({"vm":"ghost"})", "kov.sim.vm.not.found"},
      {"memory.get", R"({"vm":"ghost"})", "kov.sim.vm.not.found"},
      // Only the members given change.
      {"cpus.update", cpus(R"({"count":8,"cores_per_socket":4,"hot_add_enabled":true})"), "ok"},
      {"cpus.update", cpus(R"({"hot_remove_enabled":true})"), "ok"},
      {"cpus.get", R"({"vm":"vm"})",
       R"(= {"cores_per_socket":4,"count":8,"hot_add_enabled":true,"hot_remove_enabled":true})"},

      {"cpus.update", cpus(R"({"count":129})"), "kov.sim.cpu.count.invalid"},
      {"cpus.update", cpus(R"({"cores_per_socket":0})"), "kov.sim.cpu.cores.invalid"},
      {"cpus.update", cpus(R"({"count":6})"), "kov.sim.cpu.count.not.multiple"},
      {"cpus.update", cpus(R"({"count":128})"), "ok"},
      {"cpus.update",
       cpus(
           R"({"count":4,"cores_per_socket":2,"hot_add_enabled":false,"hot_remove_enabled":false})"),
       "ok"},
      {"memory.update", memory(R"({"size":0})"), "kov.sim.memory.size.invalid"},
      {"memory.update", memory(R"({"size":1048580})"), "kov.sim.memory.size.invalid"},
      {"memory.update", memory(R"({"size":1026})"), "kov.sim.memory.size.granule"},
      {"memory.update", memory(R"({"size":1048576})"), "ok"},
      {"memory.update", memory(R"({"size":2048})"), "ok"},
      {"power.switch_on", on, "ok"},
      // A running machine without hot-plug keeps its CPUs and memory.
      {"cpus.update", cpus(R"({"count":6})"), "kov.sim.cpu.hot.add.disabled"},
      {"cpus.update", cpus(R"({"count":2})"), "kov.sim.cpu.hot.remove.disabled"},
      {"cpus.update", cpus(R"({"hot_add_enabled":true})"), "kov.sim.vm.powered.on"},
      {"cpus.update", cpus(R"({"count":4,"cores_per_socket":2})"), "ok"},  // unchanged values
      {"memory.update", memory(R"({"size":4096})"), "kov.sim.memory.hot.add.disabled"},
      {"memory.update", memory(R"({"size":1024})"), "kov.sim.vm.powered.on"},
      // With hot-add only, a running machine may grow but not shrink.
      {"power.switch_off", R"({"vm":"vm"})", "ok"},
      {"cpus.update", cpus(R"({"hot_add_enabled":true})"), "ok"},
      {"memory.update", memory(R"({"hot_add_enabled":true})"), "ok"},
      {"power.switch_on", on, "ok"},
      {"cpus.update", cpus(R"({"count":8})"), "ok"},
      {"cpus.update", cpus(R"({"count":6})"), "kov.sim.cpu.hot.remove.disabled"},
      {"memory.update", memory(R"({"size":8192})"), "ok"},
      {"memory.get", R"({"vm":"vm"})", R"(= {"hot_add_enabled":true,"size":8192})"},
  });
}

TEST_F(SimVmScript, CdromDrives) {
  auto add = [](const std::string& backing, const std::string& device,
                const std::string& vm = "vm") {
    return R"({"vm":")" + vm + R"(","backing":)" + backing + R"(,"device":")" + device + R"("})";
  };
  const std::string image = R"({"type":"IMAGE"})";
  const std::string all = R"(= [{"backing_type":"ATAPI","cdrom":"cdrom-2","device":"ide0:1"},)"
                          R"({"backing_type":"IMAGE","cdrom":"cdrom-3","device":"ide1:0"},)"
                          R"({"backing_type":"RAW","cdrom":"cdrom-4","device":"ide1:1"}])";
  Run({
      {"cdrom.add", add(R"({"type":"IMAGE","iso_file":"/iso/a.iso"})", "ide0:0"), R"(= "cdrom-1")"},
      {"cdrom.add", add(R"({"type":"ATAPI","device_name":"/dev/sr0"})", "ide0:1"),
       R"(= "cdrom-2")"},
      {"cdrom.delete", R"({"vm":"vm","device":"cdrom-1"})", "ok"},  // by identifier
      {"cdrom.add", add(image, "ide1:0"), R"(= "cdrom-3")"},        // never reused
      {"cdrom.add", add(R"({"type":"RAW","device_name":"/dev/sr1"})", "ide1:1"), R"(= "cdrom-4")"},
      {"cdrom.list", R"({"vm":"vm"})", all},
      {"cdrom.list", R"({"vm":"vm","filter":{"backing_types":[]}})", all},
      {"cdrom.list",
       R"({"vm":"vm","filter":{"backing_types":["ATAPI","RAW"],"devices":["ide1:1","ide0:0"]}})",
       R"(= [{"backing_type":"RAW","cdrom":"cdrom-4","device":"ide1:1"}])"},
      {"cdrom.list", R"({"vm":"vm","filter":{"cdroms":["cdrom-3","cdrom-9"]}})",
       R"(= [{"backing_type":"IMAGE","cdrom":"cdrom-3","device":"ide1:0"}])"},
      {"cdrom.list", R"({"vm":"ghost"})", "kov.sim.vm.not.found"},
      {"cdrom.add", add(image, "ide0:1"), "kov.sim.device.name.taken"},
      {"cdrom.add", add(image, ""), "kov.sim.device.name.empty"},
      {"cdrom.add", add(image, "ide2:0", "ghost"), "kov.sim.vm.not.found"},
      {"cdrom.add", add(image, "ide2:0"), R"(= "cdrom-5")"},
      {"cdrom.add", add(image, "ide2:1"), "kov.sim.cdrom.limit"},
      {"cdrom.delete", R"({"vm":"vm","device":"ide2:0"})", "ok"},  // by device name
      {"cdrom.delete", R"({"vm":"vm","device":""})", "kov.sim.device.name.empty"},
      {"power.switch_on", R"({"vm":"vm","spec":{}})", "ok"},
      {"cdrom.add", add(image, "ide2:0"), "kov.sim.vm.powered.on"},
      {"cdrom.delete", R"({"vm":"vm","device":"ide0:1"})", "kov.sim.vm.powered.on"},
  });
}

TEST_F(SimVmScript, DisksAndNetworkAdapters) {
  auto disk = [](const std::string& id, const std::string& device, const std::string& vm = "vm") {
    return R"({"spec":{"vm":")" + vm + R"(","disk":")" + id + R"(","device":")" + device + R"("}})";
  };
  auto nic = [](const std::string& net, const std::string& adapter, const std::string& device,
                const std::string& vm = "vm") {
    return R"({"spec":{"vm":")" + vm + R"(","network":")" + net + R"(","adapter":")" + adapter +
           R"(","device":")" + device + R"("}})";
  };
  Run({
      {"disk.add", disk("", "scsi0:0"), R"(= "disk-1")"},
      {"disk.add", disk("data-7", "scsi0:1"), R"(= "data-7")"},
      // A given identifier that looks like the host's is skipped by the host's numbering.
      {"disk.add", disk("disk-2", "scsi0:2"), R"(= "disk-2")"},
      {"disk.add", disk("", "scsi0:3"), R"(= "disk-3")"},
      {"disk.add", disk("data-7", "scsi1:0"), "kov.sim.disk.attached"},
      {"disk.add", disk("x", "scsi0:0"), "kov.sim.device.name.taken"},
      {"disk.add", disk("x", ""), "kov.sim.device.name.empty"},
      {"disk.list", R"({"vm":"vm","filter":{"disks":["data-7","disk-3"],"devices":["scsi0:1"]}})",
       R"(= {"list":[{"device":"scsi0:1","disk":"data-7"}]})"},
      {"disk.list", R"({"vm":"ghost"})", "kov.sim.vm.not.found"},
      {"network.add", nic("lan", "E1000E", "ethernet0"), "ok"},
      {"network.add", nic("lan", "ZUBNET3", "ethernet1"), "ok"},  // two adapters on one network
      {"network.add", nic("lan", "E1000", "scsi0:0"), "kov.sim.device.name.taken"},
      {"network.add", nic("", "E1000", "ethernet2"), "kov.sim.network.id.empty"},
      {"power.switch_on", R"({"vm":"vm","spec":{}})", "ok"},
      {"disk.add", disk("y", "scsi1:1"), "kov.sim.vm.powered.on"},
      {"network.add", nic("dmz", "E1000", "ethernet2"), "ok"},  // adapters are hot-added
      {"network.list", R"({"vm":"vm","filter":{"adapters":["E1000","E1000E"],"networks":["dmz"]}})",
       R"(= {"list":[{"adapter":"E1000","device":"ethernet2","id":"dmz"}]})"},
      {"network.list", R"({"vm":"vm","filter":{"devices":["ethernet1"]}})",
       R"(= {"list":[{"adapter":"ZUBNET3","device":"ethernet1","id":"lan"}]})"},
      // ...but not removed from a running machine.
      {"network.remove", R"({"vm":"vm","device":"ethernet1"})", "kov.sim.vm.powered.on"},
      {"network.remove", R"({"vm":"vm","device":"ethernet9"})", "kov.sim.network.not.found"},
      {"network.list", R"({"vm":"ghost"})", "kov.sim.vm.not.found"},
      {"power.switch_off", R"({"vm":"vm"})", "ok"},
  });
  Repeat(12, "disk.add", disk("", "d#"));
  Repeat(7, "network.add", nic("lan", "E1000", "e#"));
  Run({
      {"disk.add", disk("", "d16"), "kov.sim.disk.limit"},
      {"network.add", nic("lan", "E1000", "e10"), "kov.sim.network.limit"},
      {"network.remove", R"({"vm":"vm","device":"e1"})", "ok"},
      {"network.add", nic("lan", "E1000", "e10"), "ok"},
  });
}

TEST_F(SimVmScript, Controllers) {
  auto sata = [](int n, const std::string& hba = "AHCI", const std::string& vm = "vm") {
    return R"({"vm":")" + vm + R"(","hba_type":")" + hba + R"(","controller_number":)" +
           std::to_string(n) + "}";
  };
  auto scsi = [&](int n, const std::string& hba, const std::string& vm = "vm") {
    std::string input = sata(n, hba, vm);
    return input.replace(2, 2, "vm_id");
  };
  Run({
      {"sata_controller.add", sata(1), "ok"},
      {"sata_controller.add", sata(0), "ok"},
      {"sata_controller.list", R"({"vm":"vm"})",
       R"(= [{"label":"SATA controller 0"},{"label":"SATA controller 1"}])"},
      {"sata_controller.list", R"({"vm":"vm","filter":{"labels":["SATA controller 1"]}})",
       R"(= [{"label":"SATA controller 1"}])"},
      {"sata_controller.add", sata(1), "kov.sim.sata.exists"},
      {"sata_controller.add", sata(4), "kov.sim.sata.number.invalid"},
      {"sata_controller.add", sata(3, "NVME"), "kov.sim.sata.hba.unknown"},
      {"sata_controller.update", sata(1), "ok"},
      {"sata_controller.update", sata(3), "kov.sim.sata.not.found"},
      {"sata_controller.update", sata(1, "NVME"), "kov.sim.sata.hba.unknown"},
      {"sata_controller.list", R"({"vm":"ghost"})", "kov.sim.vm.not.found"},
      {"scsi_controller.add", scsi(0, "LSILOGIC"), "ok"},  // numbered apart from SATA
      {"scsi_controller.add", scsi(3, "ZSCSI"), "ok"},
      {"scsi_controller.add", scsi(0, "LSISAS"), "kov.sim.scsi.exists"},
      {"scsi_controller.add", scsi(4, "LSISAS"), "kov.sim.scsi.number.invalid"},
      {"scsi_controller.add", scsi(1, "AHCI"), "kov.sim.scsi.hba.unknown"},
      {"power.switch_on", R"({"vm":"vm","spec":{}})", "ok"},
      {"sata_controller.add", sata(2), "kov.sim.vm.powered.on"},
      {"sata_controller.delete", R"({"vm":"vm","controller_number":1})", "kov.sim.vm.powered.on"},
      {"sata_controller.delete", R"({"vm":"vm","controller_number":3})", "kov.sim.sata.not.found"},
      {"scsi_controller.add", scsi(1, "LSISAS"), "kov.sim.vm.powered.on"},
      {"power.switch_off", R"({"vm":"vm"})", "ok"},
      {"sata_controller.delete", R"({"vm":"vm","controller_number":1})", "ok"},
      {"sata_controller.delete", R"({"vm":"ghost","controller_number":1})", "kov.sim.vm.not.found"},
      {"sata_controller.list", R"({"vm":"vm"})", R"(= [{"label":"SATA controller 0"}])"},
  });
}

TEST_F(SimVmScript, DataSetsAndEntries) {
  auto create = [](const std::string& name, const std::string& host = "READ_WRITE",
                   const std::string& vm = "vm") {
    return R"({"vm":")" + vm + R"(","spec":{"name":")" + name + R"(","description":"about )" +
           name + R"(","host":")" + host + R"(","guest":"NONE"}})";
  };
  auto entry = [](const std::string& ds, const std::string& key, const std::string& value = "",
                  const std::string& vm = "vm") {
    return R"({"vm":")" + vm + R"(","data_set":")" + ds + R"(","key":")" + key + "\"" +
           (value.empty() ? "" : R"(,"value":")" + value + "\"") + "}";
  };
  auto set = [&](const std::string& ds, const std::string& key, const std::string& value) {
    std::string input = entry(ds, key, value);
    return value.empty() ? input.insert(input.size() - 1, R"(,"value":"")") : input;
  };
  auto update = [](const std::string& ds, const std::string& spec, const std::string& vm = "vm") {
    return R"({"vm":")" + vm + R"(","data_set":")" + ds + R"(","spec":)" + spec + "}";
  };
  const std::string ds1 = R"({"vm":"vm","data_set":"ds-1"})";
  Run({
      {"data_sets.create", create("alpha", "READ_ONLY"), R"(= "ds-1")"},
      {"data_sets.create", create("beta"), R"(= "ds-2")"},
      {"data_sets.list", R"({"vm":"vm"})",
       R"(= [{"data_set":"ds-1","description":"about alpha","name":"alpha"},)"
       R"({"data_set":"ds-2","description":"about beta","name":"beta"}])"},
      {"data_sets.get", ds1,
       R"(= {"description":"about alpha","guest":"NONE","host":"READ_ONLY","name":"alpha",)"
       R"("omit_from_snapshot_and_clone":false,"used":0})"},
      {"data_sets.create", create("alpha"), "kov.sim.data.set.exists"},
      {"data_sets.create", create(""), "kov.sim.data.set.name.empty"},
      {"data_sets.get", R"({"vm":"vm","data_set":"ds-9"})", "kov.sim.data.set.not.found"},
      {"data_sets.update", update("ds-9", "{}"), "kov.sim.data.set.not.found"},
      {"data_sets.list", R"({"vm":"ghost"})", "kov.sim.vm.not.found"},
      // Only the members given change; one bad member changes nothing at all.
      {"data_sets.update",
       update("ds-1", R"({"host":"READ_WRITE","omit_from_snapshot_and_clone":true})"), "ok"},
      {"data_sets.get", ds1,
       R"(= {"description":"about alpha","guest":"NONE","host":"READ_WRITE","name":"alpha",)"
       R"("omit_from_snapshot_and_clone":true,"used":0})"},
      // Entries, and the bytes their keys and values use.
      {"entries.set", set("ds-1", "b", "22"), "ok"},
      {"entries.set", set("ds-1", "a", "1"), "ok"},
      {"entries.set", set("ds-1", "b", "333"), "ok"},  // replaces
      {"entries.set", set("ds-1", "empty", ""), "ok"},
      {"entries.get", entry("ds-1", "b"), R"(= "333")"},
      {"entries.list", ds1, R"(= ["a","b","empty"])"},
      {"entries.delete", entry("ds-1", "a"), "ok"},
      {"entries.get", entry("ds-1", "a"), "kov.sim.entry.not.found"},
      {"entries.delete", entry("ds-1", "a"), "kov.sim.entry.not.found"},
      {"entries.set", set("ds-1", "", "x"), "kov.sim.entry.key.empty"},
      {"data_sets.get", ds1,
       R"(= {"description":"about alpha","guest":"NONE","host":"READ_WRITE","name":"alpha",)"
       R"("omit_from_snapshot_and_clone":true,"used":9})"},
      {"entries.set", set("ds-9", "k", "v"), "kov.sim.data.set.not.found"},
      {"entries.get", entry("ds-1", "b", "", "ghost"), "kov.sim.vm.not.found"},
      // The host's access level guards the entries; without access a missing key stays hidden.
      {"data_sets.update", update("ds-1", R"({"host":"READ_ONLY"})"), "ok"},
      {"entries.get", entry("ds-1", "b"), R"(= "333")"},
      {"entries.set", set("ds-1", "b", "4"), "kov.sim.data.set.access.denied"},
      {"entries.delete", entry("ds-1", "b"), "kov.sim.data.set.access.denied"},
      {"data_sets.update", update("ds-1", R"({"host":"NONE"})"), "ok"},
      {"entries.get", entry("ds-1", "nothing"), "kov.sim.data.set.access.denied"},
      {"entries.list", ds1, "kov.sim.data.set.access.denied"},
      {"data_sets.update", update("ds-1", R"({"host":"READ_WRITE"})"), "ok"},
      {"entries.get", entry("ds-1", "b"), R"(= "333")"},
      // A data set that holds entries is deleted only with "force".
      {"data_sets.delete", ds1, "kov.sim.data.set.not.empty"},
      {"data_sets.delete", R"({"vm":"vm","data_set":"ds-1","force":true})", "ok"},
      {"data_sets.delete", ds1, "kov.sim.data.set.not.found"},
      {"data_sets.delete", R"({"vm":"vm","data_set":"ds-2"})", "ok"},
      {"data_sets.create", create("alpha"), R"(= "ds-3")"},  // identifiers are not reused
  });
  // A data set holds at most 1 MiB of keys and values.
  const std::string half(524288 - 1, 'x');
  Run({
      {"entries.set", set("ds-3", "a", half), "ok"},
      {"entries.set", set("ds-3", "b", half), "ok"},
      {"entries.set", set("ds-3", "c", ""), "kov.sim.data.set.full"},
      {"entries.set", set("ds-3", "a", half + "y"), "kov.sim.data.set.full"},
      {"entries.set", set("ds-3", "a", "small"), "ok"},  // a replacement that shrinks fits
  });
  Repeat(63, "data_sets.create", create("set#"));
  Run({{"data_sets.create", create("one-more"), "kov.sim.data.set.limit"}});
}

TEST_F(SimVmScript, LogLevels) {
  auto set = [](const std::string& module, const std::string& level, const std::string& vm = "vm") {
    return R"({"vm":")" + vm + R"(","module":")" + module + R"(","spec":{"level":")" + level +
           R"("}})";
  };
  for (auto& module : KnownModules()) {
    for (auto& level : Texts::LogLevels()) Run({{"log_level.set", set(module, level), "ok"}});
  }
  Run({
      {"log_level.set", set("gpu", "BRT_LOG_INFO"), "kov.sim.module.not.found"},
      {"log_level.set", set("zub", "BRT_LOG_INFO", "ghost"), "kov.sim.vm.not.found"},
      {"log_level.delete", R"({"vm":"vm","module":"zub"})", "ok"},
      {"log_level.delete", R"({"vm":"vm","module":"zub"})", "kov.sim.log.level.not.set"},
      {"log_level.delete", R"({"vm":"vm","module":"gpu"})", "kov.sim.module.not.found"},
  });
}

// Enumeration texts outside their tables, which kov-vm refuses before sending but another client
// may send: the simulator answers with its own errors.
TEST_F(SimVmScript, UnknownEnumerationTextsFromOtherClients) {
  using Net = Com::Brantel::Kov::Vm::Device::NetworkSvc;
  using Sets = Com::Brantel::Kov::Vm::DataSetsSvc;
  using Log = Com::Brantel::Kov::Vm::Modules::LogLevelSvc;
  auto provider = Tarn::Core::LocalProvider::GetInstance();
  Tarn::MessageList messages;
  ASSERT_TRUE(simulator.RegisterWith(*provider, messages));
  EXPECT_FALSE(simulator.RegisterWith(*provider, messages));  // once only
  auto api = Tarn::Stub::AsyncApiStub::GetInstance(provider);
  auto id = [](const auto& reply) { return reply.error->Messages().at(0).id; };
  auto nic = std::make_shared<Net::AddSpec>();
  nic->vm = "vm";
  nic->network = "lan";
  nic->device = "ethernet0";
  nic->adapter = Tarn::EnumFromText<Net::VirtualDev>("ZUBNET4");
  EXPECT_EQ(id(Await<Net::AddMethod>([&](auto& r) { Net::AsyncServiceStub(api).Add(nic, {}, r); })),
            "kov.sim.network.adapter.unknown");
  auto set = std::make_shared<Sets::CreateSpec>();
  set->name = "x";
  set->host = Tarn::EnumFromText<Sets::Access>("WRITE_ONLY");
  EXPECT_EQ(id(Await<Sets::CreateMethod>(
                [&](auto& r) { Sets::AsyncServiceStub(api).Create("vm", set, {}, r); })),
            "kov.sim.data.set.access.unknown");
  // An update with one bad member changes nothing at all.
  Run({{"data_sets.create",
        R"({"vm":"vm","spec":{"name":"n","description":"","host":"NONE","guest":"NONE"}})",
        R"(= "ds-1")"}});
  auto update = std::make_shared<Sets::UpdateSpec>();
  update->description = std::string("ignored");
  update->guest = Tarn::EnumFromText<Sets::Access>("FULL");
  EXPECT_EQ(id(Await<Sets::UpdateMethod>(
                [&](auto& r) { Sets::AsyncServiceStub(api).Update("vm", "ds-1", update, {}, r); })),
            "kov.sim.data.set.access.unknown");
  Run({{"data_sets.list", R"({"vm":"vm"})",
        R"(= [{"data_set":"ds-1","description":"","name":"n"}])"}});
  auto level = std::make_shared<Log::SetSpec>();
  level->level = Tarn::EnumFromText<Log::Level>("BRT_LOG_DEBUG_11");
  EXPECT_EQ(id(Await<Log::SetMethod>(
                [&](auto& r) { Log::AsyncServiceStub(api).Set("vm", "zub", level, {}, r); })),
            "kov.sim.log.level.unknown");
  EXPECT_EQ(ShortErrorName("com.example.errors.x"), "com.example.errors.x");  // not a standard one
}

// Each operation is one step under the lab's lock: concurrent calls neither lose updates nor see
// half-done ones.
TEST_F(SimScript, ConcurrencyOfCallsKeepsTheLabConsistent) {
  constexpr int kThreads = 4, kRounds = 25;
  Run({{"zub.create", R"({"spec":{"vm":"shared","guest_OS":"zubuntu-64"}})", "ok"},
       {"data_sets.create",
        R"({"vm":"shared","spec":{"name":"n","description":"","host":"READ_WRITE","guest":"NONE"}})",
        R"(= "ds-1")"}});
  std::atomic<int> failures{0}, switchedOn{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::string vm = "vm-" + std::to_string(t);
      failures +=
          Call("zub.create", R"({"spec":{"vm":")" + vm + R"(","guest_OS":"zubuntu-64"}})") != "ok";
      for (int i = 0; i < kRounds; ++i) {
        failures += Call("entries.set", R"({"vm":"shared","data_set":"ds-1","key":")" + vm + "-" +
                                            std::to_string(i) + R"(","value":"x"})") != "ok";
        // Only the thread that switched the shared machine on switches it off.
        std::string on = Call("power.switch_on", R"({"vm":"shared","spec":{}})");
        if (on == "ok") {
          ++switchedOn;
          failures += Call("power.switch_off", R"({"vm":"shared"})") != "ok";
        } else {
          failures += on != "kov.sim.power.already.on";
        }
        failures += Call("cpus.update", R"({"vm":")" + vm + R"(","update_spec":{"count":)" +
                                            std::to_string(1 + i % 4) + "}}") != "ok";
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_GE(switchedOn.load(), 1);
  auto keys =
      nlohmann::json::parse(Call("entries.list", R"({"vm":"shared","data_set":"ds-1"})").substr(2));
  EXPECT_EQ(keys.size(), static_cast<std::size_t>(kThreads * kRounds));
  EXPECT_EQ(simulator.lab()->data.machines.size(), static_cast<std::size_t>(kThreads + 1));
  Run({{"power.get", R"({"vm":"shared"})", R"(= {"state":"OFF","suspended":false})"}});
}

}  // namespace
}  // namespace Sim
}  // namespace Kov
