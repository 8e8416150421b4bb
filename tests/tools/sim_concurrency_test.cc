// The simulator called from several threads at once: each operation is one step under the lab's
// lock, so concurrent calls neither lose updates nor see half-done ones.
#include <atomic>
#include <thread>

#include "tests/tools/sim_fixture.h"

namespace Kov {
namespace Sim {
namespace Testing {
namespace {

using SimConcurrency = SimTest;

TEST_F(SimConcurrency, ParallelCallsKeepTheLabConsistent) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 25;
  CreateVm("shared");
  auto spec = std::make_shared<DataSetsSvc::CreateSpec>();
  spec->name = "counters";
  spec->host = Enum<DataSetsSvc::Access>("READ_WRITE");
  spec->guest = Enum<DataSetsSvc::Access>("NONE");
  auto created = Call<DataSetsSvc::CreateMethod>(
      [&](auto& r) { dataSets.Create("shared", spec, nullptr, r); });
  ASSERT_TRUE(Succeeded(created));
  const std::string ds = *created.value;

  std::atomic<int> failures{0};
  std::atomic<int> switchedOn{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      // Each thread's own machine and entries, plus contention on the shared machine's power.
      const std::string vm = "vm-" + std::to_string(t);
      auto create = std::make_shared<ZubSvc::CreateSpec>();
      create->vm = vm;
      create->guestOS = "zubuntu";
      if (Call<ZubSvc::CreateMethod>([&](auto& r) { zub.Create(create, nullptr, r); }).error) {
        ++failures;
      }
      for (int i = 0; i < kRounds; ++i) {
        const std::string key = vm + "-" + std::to_string(i);
        if (Call<EntriesSvc::SetMethod>([&](auto& r) {
              entries.Set("shared", ds, key, "x", nullptr, r);
            }).error) {
          ++failures;
        }
        auto on = Call<PowerSvc::SwitchOnMethod>([&](auto& r) {
          power.SwitchOn("shared", std::make_shared<PowerSvc::SwitchOnSpec>(), nullptr, r);
        });
        if (!on.error) {
          ++switchedOn;
          if (Call<PowerSvc::SwitchOffMethod>([&](auto& r) {
                power.SwitchOff("shared", nullptr, r);
              }).error) {
            ++failures;  // only the thread that switched it on switches it off
          }
        } else if (on.error->name() != kAlreadyInState) {
          ++failures;
        }
        auto cpu = std::make_shared<CpusSvc::UpdateSpec>();
        cpu->count = 1 + (i % 4);
        if (Call<CpusSvc::UpdateMethod>([&](auto& r) { cpus.Update(vm, cpu, nullptr, r); }).error) {
          ++failures;
        }
      }
    });
  }
  for (auto& t : threads) t.join();

  EXPECT_EQ(failures.load(), 0);
  EXPECT_GE(switchedOn.load(), 1);
  auto keys =
      Call<EntriesSvc::ListMethod>([&](auto& r) { entries.List("shared", ds, nullptr, r); });
  ASSERT_TRUE(Succeeded(keys));
  EXPECT_EQ(keys.value->size(), static_cast<std::size_t>(kThreads * kRounds));
  auto list = Call<DockSvc::ListMethod>([&](auto& r) { dock.List(nullptr, r); });
  ASSERT_TRUE(Succeeded(list));
  EXPECT_EQ((*list.value)->items.size(), static_cast<std::size_t>(kThreads + 1));
  auto state = Call<PowerSvc::GetMethod>([&](auto& r) { power.Get("shared", nullptr, r); });
  ASSERT_TRUE(Succeeded(state));
  EXPECT_EQ(Tarn::EnumToText((*state.value)->state), "OFF");
}

}  // namespace
}  // namespace Testing
}  // namespace Sim
}  // namespace Kov
