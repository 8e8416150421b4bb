// The simulator's data sets, their entries with access levels, and per-module log levels.
#include "tests/tools/sim_fixture.h"

namespace Kov {
namespace Sim {
namespace Testing {
namespace {

class SimDataSets : public SimVmTest {
 protected:
  Reply<std::string> Create(const std::string& name, const char* host = "READ_WRITE",
                            const char* guest = "NONE", const std::string& vm = "vm") {
    auto spec = std::make_shared<DataSetsSvc::CreateSpec>();
    spec->name = name;
    spec->description = "about " + name;
    spec->host = Enum<DataSetsSvc::Access>(host);
    spec->guest = Enum<DataSetsSvc::Access>(guest);
    return Call<DataSetsSvc::CreateMethod>([&](auto& r) { dataSets.Create(vm, spec, nullptr, r); });
  }
  Reply<std::shared_ptr<const DataSetsSvc::Info>> Get(const std::string& id,
                                                      const std::string& vm = "vm") {
    return Call<DataSetsSvc::GetMethod>([&](auto& r) { dataSets.Get(vm, id, nullptr, r); });
  }
  Reply<Tarn::Void> Update(const std::string& id, std::shared_ptr<DataSetsSvc::UpdateSpec> spec,
                           const std::string& vm = "vm") {
    return Call<DataSetsSvc::UpdateMethod>(
        [&](auto& r) { dataSets.Update(vm, id, spec, nullptr, r); });
  }
  Reply<Tarn::Void> SetHost(const std::string& id, const char* access) {
    auto spec = std::make_shared<DataSetsSvc::UpdateSpec>();
    spec->host = Enum<DataSetsSvc::Access>(access);
    return Update(id, spec);
  }
  Reply<Tarn::Void> Delete(const std::string& id, boost::optional<bool> force = boost::none,
                           const std::string& vm = "vm") {
    return Call<DataSetsSvc::DeleteMethod>(
        [&](auto& r) { dataSets.Delete(vm, id, force, nullptr, r); });
  }
  std::vector<std::string> List() {
    auto r = Call<DataSetsSvc::ListMethod>([&](auto& res) { dataSets.List("vm", nullptr, res); });
    return Texts(r, [](auto& s) { return s.dataSet + "=" + s.name; });
  }
  Reply<Tarn::Void> Set(const std::string& id, const std::string& key, const std::string& value,
                        const std::string& vm = "vm") {
    return Call<EntriesSvc::SetMethod>(
        [&](auto& r) { entries.Set(vm, id, key, value, nullptr, r); });
  }
  Reply<std::string> Read(const std::string& id, const std::string& key,
                          const std::string& vm = "vm") {
    return Call<EntriesSvc::GetMethod>([&](auto& r) { entries.Get(vm, id, key, nullptr, r); });
  }
  Reply<Tarn::Void> Remove(const std::string& id, const std::string& key,
                           const std::string& vm = "vm") {
    return Call<EntriesSvc::DeleteMethod>(
        [&](auto& r) { entries.Delete(vm, id, key, nullptr, r); });
  }
  Reply<std::set<std::string>> Keys(const std::string& id, const std::string& vm = "vm") {
    return Call<EntriesSvc::ListMethod>([&](auto& r) { entries.List(vm, id, nullptr, r); });
  }
};

TEST_F(SimDataSets, CreateGetListAndHostAssignedIdentifiers) {
  auto a = Create("alpha", "READ_ONLY", "READ_WRITE");
  auto b = Create("beta");
  ASSERT_TRUE(Succeeded(a));
  ASSERT_TRUE(Succeeded(b));
  EXPECT_EQ(*a.value, "ds-1");
  EXPECT_EQ(*b.value, "ds-2");
  EXPECT_EQ(List(), (std::vector<std::string>{"ds-1=alpha", "ds-2=beta"}));
  auto info = Get("ds-1");
  ASSERT_TRUE(Succeeded(info));
  EXPECT_EQ((*info.value)->name, "alpha");
  EXPECT_EQ((*info.value)->description, "about alpha");
  EXPECT_EQ(Tarn::EnumToText((*info.value)->host), "READ_ONLY");
  EXPECT_EQ(Tarn::EnumToText((*info.value)->guest), "READ_WRITE");
  EXPECT_EQ((*info.value)->used, 0);
  EXPECT_FALSE((*info.value)->omitFromSnapshotAndClone);
  ASSERT_TRUE(Succeeded(Delete("ds-1")));
  auto c = Create("gamma");
  ASSERT_TRUE(Succeeded(c));
  EXPECT_EQ(*c.value, "ds-3");                     // identifiers are not reused
  EXPECT_TRUE(Create("alpha").value.has_value());  // the name is free again
}

TEST_F(SimDataSets, CreateRefusalsAndLimit) {
  ASSERT_TRUE(Succeeded(Create("alpha")));
  EXPECT_TRUE(FailedWith(Create("alpha"), kAlreadyExists, "kov.sim.data.set.exists"));
  EXPECT_TRUE(FailedWith(Create(""), kInvalidArgument, "kov.sim.data.set.name.empty"));
  EXPECT_TRUE(
      FailedWith(Create("x", "WRITE_ONLY"), kInvalidArgument, "kov.sim.data.set.access.unknown"));
  EXPECT_TRUE(
      FailedWith(Create("x", "NONE", "all"), kInvalidArgument, "kov.sim.data.set.access.unknown"));
  EXPECT_TRUE(FailedWith(Create("x", "NONE", "NONE", "ghost"), kNotFound, "kov.sim.vm.not.found"));
  // Names are per machine.
  CreateVm("other");
  EXPECT_TRUE(Succeeded(Create("alpha", "NONE", "NONE", "other")));
  EXPECT_EQ(List().size(), 1u);
  for (int i = 1; i < 64; ++i) ASSERT_TRUE(Succeeded(Create("set" + std::to_string(i))));
  EXPECT_TRUE(FailedWith(Create("one-more"), kUnableToAllocate, "kov.sim.data.set.limit"));
}

TEST_F(SimDataSets, UpdateChangesOnlyTheMembersGiven) {
  ASSERT_TRUE(Succeeded(Create("alpha")));
  auto spec = std::make_shared<DataSetsSvc::UpdateSpec>();
  spec->description = std::string("new words");
  spec->omitFromSnapshotAndClone = true;
  ASSERT_TRUE(Succeeded(Update("ds-1", spec)));
  auto info = *Get("ds-1").value;
  EXPECT_EQ(info->description, "new words");
  EXPECT_TRUE(info->omitFromSnapshotAndClone);
  EXPECT_EQ(Tarn::EnumToText(info->host), "READ_WRITE");
  EXPECT_EQ(info->name, "alpha");

  // An update with one bad member changes nothing at all.
  spec = std::make_shared<DataSetsSvc::UpdateSpec>();
  spec->description = std::string("ignored");
  spec->guest = Enum<DataSetsSvc::Access>("FULL");
  EXPECT_TRUE(
      FailedWith(Update("ds-1", spec), kInvalidArgument, "kov.sim.data.set.access.unknown"));
  EXPECT_EQ((*Get("ds-1").value)->description, "new words");

  EXPECT_TRUE(FailedWith(Update("ds-9", spec), kNotFound, "kov.sim.data.set.not.found"));
  EXPECT_TRUE(FailedWith(Update("ds-1", spec, "ghost"), kNotFound, "kov.sim.vm.not.found"));
}

TEST_F(SimDataSets, EntriesAndUsedBytes) {
  ASSERT_TRUE(Succeeded(Create("alpha")));
  EXPECT_TRUE(Succeeded(Set("ds-1", "b", "22")));
  EXPECT_TRUE(Succeeded(Set("ds-1", "a", "1")));
  EXPECT_TRUE(Succeeded(Set("ds-1", "b", "333")));  // replaces
  EXPECT_TRUE(Succeeded(Set("ds-1", "empty", "")));
  EXPECT_EQ(*Read("ds-1", "b").value, "333");
  EXPECT_EQ(*Read("ds-1", "empty").value, "");
  EXPECT_EQ(*Keys("ds-1").value, (std::set<std::string>{"a", "b", "empty"}));
  EXPECT_EQ((*Get("ds-1").value)->used, 2 + 4 + 5);
  EXPECT_TRUE(Succeeded(Remove("ds-1", "a")));
  EXPECT_TRUE(FailedWith(Read("ds-1", "a"), kNotFound, "kov.sim.entry.not.found"));
  EXPECT_TRUE(FailedWith(Remove("ds-1", "a"), kNotFound, "kov.sim.entry.not.found"));
  EXPECT_TRUE(FailedWith(Set("ds-1", "", "x"), kInvalidArgument, "kov.sim.entry.key.empty"));
  EXPECT_EQ(*Keys("ds-1").value, (std::set<std::string>{"b", "empty"}));
}

TEST_F(SimDataSets, EntriesOfUnknownMachinesAndDataSetsAreNotFound) {
  ASSERT_TRUE(Succeeded(Create("alpha")));
  ASSERT_TRUE(Succeeded(Set("ds-1", "k", "v")));
  EXPECT_TRUE(FailedWith(Set("ds-9", "k", "v"), kNotFound, "kov.sim.data.set.not.found"));
  EXPECT_TRUE(FailedWith(Read("ds-9", "k"), kNotFound, "kov.sim.data.set.not.found"));
  EXPECT_TRUE(FailedWith(Remove("ds-9", "k"), kNotFound, "kov.sim.data.set.not.found"));
  EXPECT_TRUE(FailedWith(Keys("ds-9"), kNotFound, "kov.sim.data.set.not.found"));
  EXPECT_TRUE(FailedWith(Set("ds-1", "k", "v", "ghost"), kNotFound, "kov.sim.vm.not.found"));
  EXPECT_TRUE(FailedWith(Read("ds-1", "k", "ghost"), kNotFound, "kov.sim.vm.not.found"));
  EXPECT_TRUE(FailedWith(Remove("ds-1", "k", "ghost"), kNotFound, "kov.sim.vm.not.found"));
  EXPECT_TRUE(FailedWith(Keys("ds-1", "ghost"), kNotFound, "kov.sim.vm.not.found"));
  EXPECT_TRUE(FailedWith(Get("ds-9"), kNotFound, "kov.sim.data.set.not.found"));
  EXPECT_TRUE(FailedWith(Get("ds-1", "ghost"), kNotFound, "kov.sim.vm.not.found"));
}

TEST_F(SimDataSets, HostAccessLevelIsEnforcedOnEntries) {
  ASSERT_TRUE(Succeeded(Create("alpha")));
  ASSERT_TRUE(Succeeded(Set("ds-1", "k", "v")));

  ASSERT_TRUE(Succeeded(SetHost("ds-1", "READ_ONLY")));
  EXPECT_EQ(*Read("ds-1", "k").value, "v");
  EXPECT_TRUE(Succeeded(Keys("ds-1")));
  EXPECT_TRUE(FailedWith(Set("ds-1", "k", "w"), kUnauthorized, "kov.sim.data.set.access.denied"));
  EXPECT_TRUE(FailedWith(Remove("ds-1", "k"), kUnauthorized, "kov.sim.data.set.access.denied"));

  ASSERT_TRUE(Succeeded(SetHost("ds-1", "NONE")));
  EXPECT_TRUE(FailedWith(Read("ds-1", "k"), kUnauthorized, "kov.sim.data.set.access.denied"));
  EXPECT_TRUE(FailedWith(Keys("ds-1"), kUnauthorized, "kov.sim.data.set.access.denied"));
  // Without access, a missing key is not revealed either.
  EXPECT_TRUE(FailedWith(Read("ds-1", "nothing"), kUnauthorized));
  EXPECT_TRUE(FailedWith(Set("ds-1", "k", "w"), kUnauthorized));

  ASSERT_TRUE(Succeeded(SetHost("ds-1", "READ_WRITE")));
  EXPECT_EQ(*Read("ds-1", "k").value, "v");  // every refused write left the entry alone
  EXPECT_TRUE(Succeeded(Set("ds-1", "k", "w")));
}

TEST_F(SimDataSets, DataSetHoldsAtMostOneMebibyte) {
  ASSERT_TRUE(Succeeded(Create("alpha")));
  const std::string half(524288 - 1, 'x');
  ASSERT_TRUE(Succeeded(Set("ds-1", "a", half)));
  ASSERT_TRUE(Succeeded(Set("ds-1", "b", half)));  // exactly 1 MiB
  EXPECT_TRUE(FailedWith(Set("ds-1", "c", ""), kUnableToAllocate, "kov.sim.data.set.full"));
  EXPECT_TRUE(FailedWith(Set("ds-1", "a", half + "y"), kUnableToAllocate));
  EXPECT_TRUE(Succeeded(Set("ds-1", "a", "small")));  // a replacement that shrinks fits
  EXPECT_EQ((*Get("ds-1").value)->used, 1 + 5 + 1 + static_cast<std::int64_t>(half.size()));
}

TEST_F(SimDataSets, DeleteNeedsForceWhileEntriesRemain) {
  ASSERT_TRUE(Succeeded(Create("alpha")));
  ASSERT_TRUE(Succeeded(Set("ds-1", "k", "v")));
  EXPECT_TRUE(FailedWith(Delete("ds-1"), kResourceInUse, "kov.sim.data.set.not.empty"));
  EXPECT_TRUE(FailedWith(Delete("ds-1", false), kResourceInUse));
  EXPECT_EQ(List().size(), 1u);
  EXPECT_TRUE(Succeeded(Delete("ds-1", true)));
  EXPECT_TRUE(List().empty());
  EXPECT_TRUE(FailedWith(Delete("ds-1"), kNotFound, "kov.sim.data.set.not.found"));
  EXPECT_TRUE(FailedWith(Delete("ds-1", true, "ghost"), kNotFound, "kov.sim.vm.not.found"));
  ASSERT_TRUE(Succeeded(Create("beta")));
  EXPECT_TRUE(Succeeded(Delete("ds-2")));  // an empty one needs no force
}

class SimLogLevels : public SimVmTest {
 protected:
  Reply<Tarn::Void> Set(const std::string& module, const char* level,
                        const std::string& vm = "vm") {
    auto spec = std::make_shared<LogLevelSvc::SetSpec>();
    spec->level = Enum<LogLevelSvc::Level>(level);
    return Call<LogLevelSvc::SetMethod>(
        [&](auto& r) { logLevel.Set(vm, module, spec, nullptr, r); });
  }
  Reply<Tarn::Void> Delete(const std::string& module, const std::string& vm = "vm") {
    return Call<LogLevelSvc::DeleteMethod>(
        [&](auto& r) { logLevel.Delete(vm, module, nullptr, r); });
  }
};

TEST_F(SimLogLevels, SetReplaceAndDelete) {
  EXPECT_TRUE(Succeeded(Set("zub", "BRT_LOG_INFO")));
  EXPECT_TRUE(Succeeded(Set("disk", "BRT_LOG_DEBUG_10")));
  EXPECT_TRUE(Succeeded(Set("zub", "BRT_LOG_ERROR")));
  EXPECT_EQ(
      data().machines[0].logLevels,
      (std::map<std::string, std::string>{{"disk", "BRT_LOG_DEBUG_10"}, {"zub", "BRT_LOG_ERROR"}}));
  EXPECT_TRUE(Succeeded(Delete("zub")));
  EXPECT_TRUE(FailedWith(Delete("zub"), kNotFound, "kov.sim.log.level.not.set"));
  EXPECT_EQ(data().machines[0].logLevels.size(), 1u);
}

TEST_F(SimLogLevels, EveryKnownModuleTakesEveryLevel) {
  for (auto& module : KnownModules()) {
    for (auto& level : Texts::LogLevels()) {
      EXPECT_TRUE(Succeeded(Set(module, level.c_str()))) << module << " " << level;
    }
  }
}

TEST_F(SimLogLevels, Refusals) {
  EXPECT_TRUE(FailedWith(Set("gpu", "BRT_LOG_INFO"), kNotFound, "kov.sim.module.not.found"));
  EXPECT_TRUE(FailedWith(Set("ZUB", "BRT_LOG_INFO"), kNotFound, "kov.sim.module.not.found"));
  EXPECT_TRUE(FailedWith(Delete("gpu"), kNotFound, "kov.sim.module.not.found"));
  EXPECT_TRUE(
      FailedWith(Set("zub", "BRT_LOG_DEBUG_11"), kInvalidArgument, "kov.sim.log.level.unknown"));
  EXPECT_TRUE(
      FailedWith(Set("zub", "brt_log_info"), kInvalidArgument, "kov.sim.log.level.unknown"));
  EXPECT_TRUE(FailedWith(Set("zub", "_UNKNOWN"), kInvalidArgument, "kov.sim.log.level.unknown"));
  EXPECT_TRUE(FailedWith(Set("zub", "BRT_LOG_INFO", "ghost"), kNotFound, "kov.sim.vm.not.found"));
  EXPECT_TRUE(FailedWith(Delete("zub", "ghost"), kNotFound, "kov.sim.vm.not.found"));
  EXPECT_TRUE(data().machines[0].logLevels.empty());
}

}  // namespace
}  // namespace Testing
}  // namespace Sim
}  // namespace Kov
