// The errors each operation of the simulator answers with, checked against the operation's own
// error list as bound: an error outside it would reach a client as an internal server error.
// The behaviour behind each entry is tested in the other sim_*_test.cc files.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/sim/simulator.h"

namespace Kov {
namespace Sim {
namespace {

const std::string kPrefix = "com.brantel.kov.vm.";

// operation (service id without the prefix above) -> the short names of the errors the simulator
// gives.
const std::map<std::string, std::vector<std::string>>& SimulatorErrors() {
  static const std::map<std::string, std::vector<std::string>> table{
      {"power/get", {"not_found"}},
      {"power/switch_on", {"not_found", "already_in_desired_state"}},
      {"power/switch_off", {"not_found", "error"}},
      {"power/reset", {"not_found", "not_allowed_in_current_state"}},
      {"power/suspend", {"not_found", "not_allowed_in_current_state"}},
      {"zub/create", {"error"}},
      {"zub/delete", {"not_found", "not_allowed_in_current_state"}},
      {"compute.cpus/get", {"not_found"}},
      {"compute.cpus/update", {"not_found", "invalid_argument", "not_allowed_in_current_state"}},
      {"compute.memory/get", {"not_found"}},
      {"compute.memory/update", {"not_found", "invalid_argument", "not_allowed_in_current_state"}},
      {"device.cdrom/add",
       {"not_found", "invalid_argument", "not_allowed_in_current_state", "already_exists",
        "unable_to_allocate_resource"}},
      {"device.cdrom/list", {"not_found"}},
      {"device.cdrom/delete", {"not_found", "invalid_argument", "not_allowed_in_current_state"}},
      {"device.disk/add",
       {"not_found", "invalid_argument", "not_allowed_in_current_state", "already_exists",
        "unable_to_allocate_resource"}},
      {"device.disk/list", {"not_found"}},
      {"device.network/add", {"not_found", "already_exists", "error"}},
      {"device.network/list", {"not_found"}},
      {"device.network/remove", {"not_found", "not_allowed_in_current_state"}},
      {"device.sata_controller/add",
       {"not_found", "error", "not_allowed_in_current_state", "already_exists"}},
      {"device.sata_controller/update", {"not_found", "error", "not_allowed_in_current_state"}},
      {"device.sata_controller/delete", {"not_found", "not_allowed_in_current_state"}},
      {"device.sata_controller/list", {"not_found"}},
      {"device.scsi_controller/add",
       {"not_found", "error", "not_allowed_in_current_state", "already_exists"}},
      {"data_sets/create",
       {"not_found", "invalid_argument", "already_exists", "unable_to_allocate_resource"}},
      {"data_sets/delete", {"not_found", "resource_in_use"}},
      {"data_sets/get", {"not_found"}},
      {"data_sets/update", {"not_found", "invalid_argument"}},
      {"data_sets/list", {"not_found"}},
      {"data_sets.entries/set",
       {"not_found", "invalid_argument", "unauthorized", "unable_to_allocate_resource"}},
      {"data_sets.entries/get", {"not_found", "unauthorized"}},
      {"data_sets.entries/delete", {"not_found", "unauthorized"}},
      {"data_sets.entries/list", {"not_found", "unauthorized"}},
      {"dock/load", {"invalid_argument", "not_found"}},
      {"dock/list", {}},
      {"modules.log_level/set", {"not_found", "invalid_argument"}},
      {"modules.log_level/delete", {"not_found"}},
  };
  return table;
}

TEST(SimErrors, EveryErrorTheSimulatorGivesIsInItsOperationsList) {
  Simulator simulator;
  std::size_t operations = 0;
  for (auto& iface : simulator.Bind()) {
    for (auto& method : iface->methods()) {
      ++operations;
      const std::string key =
          iface->identifier()->name().substr(kPrefix.size()) + "/" + method->methodName();
      auto it = SimulatorErrors().find(key);
      ASSERT_NE(it, SimulatorErrors().end()) << key << " is missing from the table";
      std::set<std::string> allowed;
      for (auto& def : method->errorDefinitions()) {
        auto* s = dynamic_cast<const Tarn::Data::StructDefinition*>(def.get());
        ASSERT_TRUE(s);
        allowed.insert(s->name());
      }
      for (auto& error : it->second) {
        EXPECT_TRUE(allowed.count("com.brantel.tarn.std.errors." + error))
            << key << " may not answer with " << error;
      }
    }
  }
  EXPECT_EQ(operations, 37u);
  EXPECT_EQ(SimulatorErrors().size(), 37u);
}

TEST(SimErrors, SimulatorBindsThirteenServicesInTableOrder) {
  Simulator simulator;
  std::vector<std::string> ids;
  for (auto& iface : simulator.Bind()) ids.push_back(iface->identifier()->name());
  for (auto& id : ids) id = id.rfind(kPrefix, 0) == 0 ? id.substr(kPrefix.size()) : "!" + id;
  EXPECT_EQ(ids,
            (std::vector<std::string>{
                "power", "zub", "compute.cpus", "compute.memory", "device.cdrom", "device.disk",
                "device.network", "device.sata_controller", "device.scsi_controller", "data_sets",
                "data_sets.entries", "dock", "modules.log_level"}));
}

TEST(SimErrors, RegisteringTwiceWithOneProviderIsRefused) {
  Simulator simulator;
  auto provider = Tarn::Core::LocalProvider::GetInstance();
  Tarn::MessageList messages;
  ASSERT_TRUE(simulator.RegisterWith(*provider, messages));
  EXPECT_FALSE(simulator.RegisterWith(*provider, messages));
  EXPECT_FALSE(messages.empty());
}

}  // namespace
}  // namespace Sim
}  // namespace Kov
