// The simulator's machine lifecycle: configuration (zub), dock and power, reached through stubs.
#include "tests/tools/sim_fixture.h"

namespace Kov {
namespace Sim {
namespace Testing {
namespace {

class SimMachines : public SimTest {
 protected:
  Reply<std::shared_ptr<const PowerSvc::Info>> Get(const std::string& vm) {
    return Call<PowerSvc::GetMethod>([&](auto& r) { power.Get(vm, nullptr, r); });
  }
  Reply<Tarn::Void> On(const std::string& vm) {
    return Call<PowerSvc::SwitchOnMethod>([&](auto& r) {
      power.SwitchOn(vm, std::make_shared<PowerSvc::SwitchOnSpec>(), nullptr, r);
    });
  }
  Reply<Tarn::Void> Off(const std::string& vm) {
    return Call<PowerSvc::SwitchOffMethod>([&](auto& r) { power.SwitchOff(vm, nullptr, r); });
  }
  Reply<Tarn::Void> Reset(const std::string& vm) {
    return Call<PowerSvc::ResetMethod>([&](auto& r) { power.Reset(vm, nullptr, r); });
  }
  Reply<Tarn::Void> Suspend(const std::string& vm) {
    return Call<PowerSvc::SuspendMethod>([&](auto& r) { power.Suspend(vm, nullptr, r); });
  }
  Reply<Tarn::Void> Create(const std::string& vm, const std::string& guest,
                           boost::optional<std::string> hw = boost::none) {
    auto spec = std::make_shared<ZubSvc::CreateSpec>();
    spec->vm = vm;
    spec->guestOS = guest;
    spec->hwVersion = hw;
    return Call<ZubSvc::CreateMethod>([&](auto& r) { zub.Create(spec, nullptr, r); });
  }
  Reply<Tarn::Void> Delete(const std::string& vm) {
    return Call<ZubSvc::DeleteMethod>([&](auto& r) { zub.Delete(vm, nullptr, r); });
  }
  std::vector<std::string> Dock() {
    auto r = Call<DockSvc::ListMethod>([&](auto& res) { dock.List(nullptr, res); });
    return Texts(r, [](auto& item) { return item.vm; });
  }
  // "ON", "OFF/false", "OFF/true": the power state as get reports it.
  std::string State(const std::string& vm) {
    auto r = Get(vm);
    if (!r.value) return "error";
    auto& info = **r.value;
    std::string s = Tarn::EnumToText(info.state);
    if (info.suspended) s += *info.suspended ? "/true" : "/false";
    return s;
  }
};

TEST_F(SimMachines, CreateAddsAnOffMachineToTheDockInCreationOrder) {
  EXPECT_TRUE(Dock().empty());
  EXPECT_TRUE(Succeeded(Create("b", "zubsd", std::string("zub-21"))));
  EXPECT_TRUE(Succeeded(Create("a", "zubuntu")));
  EXPECT_EQ(Dock(), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(State("b"), "OFF/false");
  ASSERT_EQ(data().machines.size(), 2u);
  EXPECT_TRUE(data().machines[0].hasHwVersion);
  EXPECT_EQ(data().machines[0].hwVersion, "zub-21");
  EXPECT_FALSE(data().machines[1].hasHwVersion);
}

TEST_F(SimMachines, CreateRefusesADuplicateOrEmptyIdentifierWithError) {
  ASSERT_TRUE(Succeeded(Create("vm-1", "zubuntu")));
  EXPECT_TRUE(FailedWith(Create("vm-1", "zubsd"), kError, "kov.sim.vm.exists"));
  EXPECT_TRUE(FailedWith(Create("", "zubsd"), kError, "kov.sim.vm.id.empty"));
  EXPECT_TRUE(FailedWith(Create("vm-2", ""), kError, "kov.sim.vm.guest.empty"));
  // The refused creates changed nothing: the first machine keeps its guest.
  ASSERT_EQ(data().machines.size(), 1u);
  EXPECT_EQ(data().machines[0].guestOS, "zubuntu");
}

TEST_F(SimMachines, PowerStateMachine) {
  CreateVm("vm");
  EXPECT_TRUE(FailedWith(Reset("vm"), kNotAllowed, "kov.sim.power.not.on"));
  EXPECT_TRUE(FailedWith(Suspend("vm"), kNotAllowed, "kov.sim.power.not.on"));
  EXPECT_TRUE(FailedWith(Off("vm"), kError, "kov.sim.power.already.off"));
  EXPECT_EQ(State("vm"), "OFF/false");

  EXPECT_TRUE(Succeeded(On("vm")));
  EXPECT_EQ(State("vm"), "ON");  // no "suspended" while on
  EXPECT_TRUE(FailedWith(On("vm"), kAlreadyInState, "kov.sim.power.already.on"));
  EXPECT_TRUE(Succeeded(Reset("vm")));
  EXPECT_EQ(State("vm"), "ON");

  EXPECT_TRUE(Succeeded(Suspend("vm")));
  EXPECT_EQ(State("vm"), "OFF/true");
  // A suspended machine is off: it cannot be reset or suspended again.
  EXPECT_TRUE(FailedWith(Reset("vm"), kNotAllowed));
  EXPECT_TRUE(FailedWith(Suspend("vm"), kNotAllowed));
  EXPECT_TRUE(Succeeded(On("vm")));  // resumes
  EXPECT_EQ(State("vm"), "ON");
  EXPECT_TRUE(Succeeded(Suspend("vm")));
  EXPECT_TRUE(Succeeded(Off("vm")));  // discards the suspended state
  EXPECT_EQ(State("vm"), "OFF/false");
}

TEST_F(SimMachines, EveryPowerOperationReportsAnUnknownMachineAsNotFound) {
  CreateVm("known");
  const char* id = "kov.sim.vm.not.found";
  EXPECT_TRUE(FailedWith(Get("ghost"), kNotFound, id));
  EXPECT_TRUE(FailedWith(On("ghost"), kNotFound, id));
  EXPECT_TRUE(FailedWith(Off("ghost"), kNotFound, id));
  EXPECT_TRUE(FailedWith(Reset("ghost"), kNotFound, id));
  EXPECT_TRUE(FailedWith(Suspend("ghost"), kNotFound, id));
  EXPECT_TRUE(FailedWith(Get(""), kNotFound));
  // Identifiers are compared exactly.
  EXPECT_TRUE(FailedWith(Get("Known"), kNotFound));
}

TEST_F(SimMachines, DeleteOnlyWhenNotOn) {
  CreateVm("vm");
  CreateVm("other");
  ASSERT_TRUE(Succeeded(On("vm")));
  EXPECT_TRUE(FailedWith(Delete("vm"), kNotAllowed, "kov.sim.vm.powered.on"));
  EXPECT_EQ(Dock(), (std::vector<std::string>{"vm", "other"}));
  ASSERT_TRUE(Succeeded(Suspend("vm")));
  EXPECT_TRUE(Succeeded(Delete("vm")));  // suspended counts as off
  EXPECT_EQ(Dock(), (std::vector<std::string>{"other"}));
  EXPECT_TRUE(FailedWith(Delete("vm"), kNotFound, "kov.sim.vm.not.found"));
  EXPECT_TRUE(FailedWith(Get("vm"), kNotFound));
  // The identifier is free again, and the new machine starts afresh.
  EXPECT_TRUE(Succeeded(Create("vm", "zubsd")));
  EXPECT_EQ(State("vm"), "OFF/false");
}

TEST_F(SimMachines, DockLoadAndSwitchOnLoad) {
  CreateVm("vm");
  auto load = [&](const std::string& vm) {
    return Call<DockSvc::LoadMethod>([&](auto& r) { dock.Load(vm, nullptr, r); });
  };
  EXPECT_FALSE(data().machines[0].loaded);
  EXPECT_TRUE(Succeeded(load("vm")));
  EXPECT_TRUE(data().machines[0].loaded);
  EXPECT_TRUE(Succeeded(load("vm")));  // loading again changes nothing
  EXPECT_TRUE(FailedWith(load("ghost"), kNotFound, "kov.sim.vm.not.found"));
  EXPECT_TRUE(FailedWith(load(""), kInvalidArgument, "kov.sim.vm.id.empty"));
  // Switching on loads a machine, whatever the specification says.
  CreateVm("other");
  auto spec = std::make_shared<PowerSvc::SwitchOnSpec>();
  spec->paused = true;
  spec->soft = false;
  EXPECT_TRUE(Succeeded(
      Call<PowerSvc::SwitchOnMethod>([&](auto& r) { power.SwitchOn("other", spec, nullptr, r); })));
  EXPECT_TRUE(data().machines[1].loaded);
}

}  // namespace
}  // namespace Testing
}  // namespace Sim
}  // namespace Kov
