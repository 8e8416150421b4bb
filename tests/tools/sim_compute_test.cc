// The simulator's CPU and memory rules, reached through stubs.
#include <tuple>

#include "tests/tools/sim_fixture.h"

namespace Kov {
namespace Sim {
namespace Testing {
namespace {

struct CpuSpec {
  boost::optional<std::int64_t> count, cores;
  boost::optional<bool> hotAdd, hotRemove;
};

class SimCompute : public SimVmTest {
 protected:
  Reply<Tarn::Void> UpdateCpus(const CpuSpec& s, const std::string& vm = "vm") {
    auto spec = std::make_shared<CpusSvc::UpdateSpec>();
    spec->count = s.count;
    spec->coresPerSocket = s.cores;
    spec->hotAddEnabled = s.hotAdd;
    spec->hotRemoveEnabled = s.hotRemove;
    return Call<CpusSvc::UpdateMethod>([&](auto& r) { cpus.Update(vm, spec, nullptr, r); });
  }
  std::shared_ptr<const CpusSvc::Info> GetCpus(const std::string& vm = "vm") {
    auto r = Call<CpusSvc::GetMethod>([&](auto& res) { cpus.Get(vm, nullptr, res); });
    EXPECT_TRUE(Succeeded(r));
    return r.value ? *r.value : nullptr;
  }
  Reply<Tarn::Void> UpdateMemory(boost::optional<std::int64_t> size,
                                 boost::optional<bool> hotAdd = boost::none,
                                 const std::string& vm = "vm") {
    auto spec = std::make_shared<MemorySvc::UpdateSpec>();
    spec->size = size;
    spec->hotAddEnabled = hotAdd;
    return Call<MemorySvc::UpdateMethod>([&](auto& r) { memory.Update(vm, spec, nullptr, r); });
  }
  std::shared_ptr<const MemorySvc::Properties> GetMemory() {
    auto r = Call<MemorySvc::GetMethod>([&](auto& res) { memory.Get("vm", nullptr, res); });
    EXPECT_TRUE(Succeeded(r));
    return r.value ? *r.value : nullptr;
  }
};

TEST_F(SimCompute, NewMachineDefaults) {
  auto c = GetCpus();
  auto m = GetMemory();
  ASSERT_TRUE(c && m);
  EXPECT_EQ(std::make_tuple(c->count, c->coresPerSocket, c->hotAddEnabled, c->hotRemoveEnabled),
            std::make_tuple(1, 1, false, false));
  EXPECT_EQ(std::make_tuple(m->size, m->hotAddEnabled), std::make_tuple(1024, false));
}

TEST_F(SimCompute, CpuUpdateChangesOnlyTheMembersGiven) {
  ASSERT_TRUE(Succeeded(UpdateCpus({8, 4, true, boost::none})));
  ASSERT_TRUE(Succeeded(UpdateCpus({boost::none, boost::none, boost::none, true})));
  auto c = GetCpus();
  EXPECT_EQ(std::make_tuple(c->count, c->coresPerSocket, c->hotAddEnabled, c->hotRemoveEnabled),
            std::make_tuple(8, 4, true, true));
  EXPECT_TRUE(Succeeded(UpdateCpus({})));  // an empty specification changes nothing
  EXPECT_EQ(GetCpus()->count, 8);
}

TEST_F(SimCompute, CpuValuesTheHostRefuses) {
  struct Case {
    CpuSpec spec;
    const char* id;
  } cases[] = {
      {{0, {}, {}, {}}, "kov.sim.cpu.count.invalid"},
      {{-4, {}, {}, {}}, "kov.sim.cpu.count.invalid"},
      {{129, {}, {}, {}}, "kov.sim.cpu.count.invalid"},
      {{INT64_MIN, {}, {}, {}}, "kov.sim.cpu.count.invalid"},
      {{{}, 0, {}, {}}, "kov.sim.cpu.cores.invalid"},
      {{4, -2, {}, {}}, "kov.sim.cpu.cores.invalid"},
      {{6, 4, {}, {}}, "kov.sim.cpu.count.not.multiple"},
      {{{}, 2, {}, {}}, "kov.sim.cpu.count.not.multiple"},  // 1 CPU in sockets of 2
  };
  for (auto& c : cases) {
    EXPECT_TRUE(FailedWith(UpdateCpus(c.spec), kInvalidArgument, c.id)) << c.id;
  }
  EXPECT_EQ(GetCpus()->count, 1);  // nothing changed
  EXPECT_EQ(GetCpus()->coresPerSocket, 1);
  EXPECT_TRUE(Succeeded(UpdateCpus({128, 2, {}, {}})));  // the largest count
}

TEST_F(SimCompute, RunningMachineNeedsHotPlugForCpuChanges) {
  ASSERT_TRUE(Succeeded(UpdateCpus({4, 2, false, false})));
  SwitchOn("vm");
  EXPECT_TRUE(FailedWith(UpdateCpus({6, {}, {}, {}}), kNotAllowed, "kov.sim.cpu.hot.add.disabled"));
  EXPECT_TRUE(
      FailedWith(UpdateCpus({2, {}, {}, {}}), kNotAllowed, "kov.sim.cpu.hot.remove.disabled"));
  EXPECT_TRUE(FailedWith(UpdateCpus({{}, {}, true, {}}), kNotAllowed, "kov.sim.vm.powered.on"));
  EXPECT_TRUE(FailedWith(UpdateCpus({4, 4, {}, {}}), kNotAllowed, "kov.sim.vm.powered.on"));
  // A value error is reported before the state.
  EXPECT_TRUE(FailedWith(UpdateCpus({0, {}, {}, {}}), kInvalidArgument));
  // Giving the current values changes nothing and is allowed.
  EXPECT_TRUE(Succeeded(UpdateCpus({4, 2, false, false})));
  EXPECT_EQ(GetCpus()->count, 4);

  // With hot-add only, a running machine may grow but not shrink.
  CreateVm("hot");
  ASSERT_TRUE(Succeeded(UpdateCpus({2, 2, true, false}, "hot")));
  SwitchOn("hot");
  EXPECT_TRUE(Succeeded(UpdateCpus({8, {}, {}, {}}, "hot")));
  EXPECT_EQ(GetCpus("hot")->count, 8);
  EXPECT_TRUE(FailedWith(UpdateCpus({4, {}, {}, {}}, "hot"), kNotAllowed,
                         "kov.sim.cpu.hot.remove.disabled"));
}

TEST_F(SimCompute, MemoryRules) {
  for (std::int64_t size : {0, -1024, 1048580}) {
    EXPECT_TRUE(FailedWith(UpdateMemory(size), kInvalidArgument, "kov.sim.memory.size.invalid"));
  }
  EXPECT_TRUE(FailedWith(UpdateMemory(1026), kInvalidArgument, "kov.sim.memory.size.granule"));
  EXPECT_EQ(GetMemory()->size, 1024);
  EXPECT_TRUE(Succeeded(UpdateMemory(2048)));
  EXPECT_TRUE(Succeeded(UpdateMemory(4)));
  EXPECT_EQ(GetMemory()->size, 4);

  ASSERT_TRUE(Succeeded(UpdateMemory(2048)));
  SwitchOn("vm");
  EXPECT_TRUE(FailedWith(UpdateMemory(4096), kNotAllowed, "kov.sim.memory.hot.add.disabled"));
  EXPECT_TRUE(FailedWith(UpdateMemory(1024), kNotAllowed, "kov.sim.vm.powered.on"));
  EXPECT_TRUE(FailedWith(UpdateMemory(boost::none, true), kNotAllowed, "kov.sim.vm.powered.on"));
  EXPECT_EQ(GetMemory()->size, 2048);
}

TEST_F(SimCompute, MemoryHotAddLetsARunningMachineGrowButNotShrink) {
  ASSERT_TRUE(Succeeded(UpdateMemory(2048, true)));
  SwitchOn("vm");
  EXPECT_TRUE(Succeeded(UpdateMemory(8192)));
  EXPECT_TRUE(FailedWith(UpdateMemory(4096), kNotAllowed));
  EXPECT_TRUE(FailedWith(UpdateMemory(boost::none, false), kNotAllowed));
  EXPECT_EQ(GetMemory()->size, 8192);
  EXPECT_TRUE(GetMemory()->hotAddEnabled);
}

TEST_F(SimCompute, UnknownMachineIsNotFound) {
  EXPECT_TRUE(FailedWith(Call<CpusSvc::GetMethod>([&](auto& r) { cpus.Get("ghost", nullptr, r); }),
                         kNotFound, "kov.sim.vm.not.found"));
  EXPECT_TRUE(FailedWith(UpdateCpus({2, {}, {}, {}}, "ghost"), kNotFound, "kov.sim.vm.not.found"));
  EXPECT_TRUE(
      FailedWith(Call<MemorySvc::GetMethod>([&](auto& r) { memory.Get("ghost", nullptr, r); }),
                 kNotFound, "kov.sim.vm.not.found"));
  EXPECT_TRUE(FailedWith(UpdateMemory(2048, boost::none, "ghost"), kNotFound));
}

TEST_F(SimCompute, NullSpecificationNeverReachesTheSimulator) {
  // The stub refuses to send it: the binding's own invalid-argument error, not the simulator's.
  EXPECT_TRUE(FailedWith(
      Call<CpusSvc::UpdateMethod>([&](auto& r) { cpus.Update("vm", nullptr, nullptr, r); }),
      kInvalidArgument, "tarn.data.unset.non.optional.field"));
}

}  // namespace
}  // namespace Testing
}  // namespace Sim
}  // namespace Kov
