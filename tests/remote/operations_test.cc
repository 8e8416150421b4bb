// Every operation of the thirteen services, through the typed stubs, in process and over the
// transport: the answers are the same, and every value on the way crosses the encoding exactly.
#include <gtest/gtest.h>

#include <set>

#include "remote/value_codec.h"
#include "tests/remote/remote_test_util.h"
#include "tools/sim/await.h"
#include "tools/sim/simulator.h"
#include "vm/compute/cpus.h"
#include "vm/compute/memory.h"
#include "vm/data_sets.h"
#include "vm/data_sets/entries.h"
#include "vm/device/cdrom.h"
#include "vm/device/disk.h"
#include "vm/device/network.h"
#include "vm/device/sata_controller.h"
#include "vm/device/scsi_controller.h"
#include "vm/dock.h"
#include "vm/modules/log_level.h"
#include "vm/power.h"
#include "vm/zub.h"

namespace Tarn {
namespace Remote {
namespace Testing {
namespace {

using namespace ::Com::Brantel::Kov::Vm;
using Compute::CpusSvc;
using Compute::MemorySvc;
using DataSets::EntriesSvc;
using Device::CdromSvc;
using Device::DiskSvc;
using Device::NetworkSvc;
using Device::SataControllerSvc;
using Device::ScsiControllerSvc;
using Modules::LogLevelSvc;

struct Stubs {
  explicit Stubs(const std::shared_ptr<Stub::AsyncApiStub>& api)
      : power(api),
        zub(api),
        cpus(api),
        memory(api),
        cdrom(api),
        disk(api),
        network(api),
        sata(api),
        scsi(api),
        dataSets(api),
        entries(api),
        dock(api),
        logLevel(api) {}
  PowerSvc::AsyncServiceStub power;
  ZubSvc::AsyncServiceStub zub;
  CpusSvc::AsyncServiceStub cpus;
  MemorySvc::AsyncServiceStub memory;
  CdromSvc::AsyncServiceStub cdrom;
  DiskSvc::AsyncServiceStub disk;
  NetworkSvc::AsyncServiceStub network;
  SataControllerSvc::AsyncServiceStub sata;
  ScsiControllerSvc::AsyncServiceStub scsi;
  DataSetsSvc::AsyncServiceStub dataSets;
  EntriesSvc::AsyncServiceStub entries;
  DockSvc::AsyncServiceStub dock;
  LogLevelSvc::AsyncServiceStub logLevel;
};

// One line per call: the operation and its answer, as the caller received it.
struct Transcript {
  template <class M, class F>
  void Call(F&& call) {
    auto reply = Kov::Sim::Await<M>(std::forward<F>(call), std::chrono::seconds(10));
    std::string line = Data::TypeInfo<typename M::Interface>::name() + "/" + M::methodName();
    if (reply.error) {
      line += " failed: " + reply.error->ToString();
    } else if constexpr (std::is_same<typename M::Output, Tarn::Void>::value) {
      line += " done";
    } else {
      DataValuePtr value;
      MessageList messages;
      line += Data::NativeToValueAdapter::Adapt(&*reply.value, &value, messages)
                  ? " -> " + value->ToString()
                  : " (unreadable)";
    }
    lines.push_back(line);
  }
  std::vector<std::string> lines;
};

template <class E>
E Enum(const char* text) {
  return EnumFromText<E>(text);
}

// Calls all thirty-seven operations, some of them failing.
std::vector<std::string> CallEverything(Stubs& s) {
  Transcript t;
  auto web = std::make_shared<ZubSvc::CreateSpec>();
  web->vm = "web-1";
  web->guestOS = "zubuntu-64";
  web->hwVersion = std::string("zub-21");
  t.Call<ZubSvc::CreateMethod>([&](auto& r) { s.zub.Create(web, nullptr, r); });
  t.Call<ZubSvc::CreateMethod>([&](auto& r) { s.zub.Create(web, nullptr, r); });
  t.Call<DockSvc::ListMethod>([&](auto& r) { s.dock.List(nullptr, r); });
  t.Call<DockSvc::LoadMethod>([&](auto& r) { s.dock.Load("ghost", nullptr, r); });
  t.Call<DockSvc::LoadMethod>([&](auto& r) { s.dock.Load("web-1", nullptr, r); });
  t.Call<PowerSvc::GetMethod>([&](auto& r) { s.power.Get("web-1", nullptr, r); });
  t.Call<PowerSvc::ResetMethod>([&](auto& r) { s.power.Reset("web-1", nullptr, r); });
  t.Call<CpusSvc::GetMethod>([&](auto& r) { s.cpus.Get("web-1", nullptr, r); });
  auto cpus = std::make_shared<CpusSvc::UpdateSpec>();
  cpus->count = 4;
  cpus->coresPerSocket = 2;
  cpus->hotAddEnabled = true;
  t.Call<CpusSvc::UpdateMethod>([&](auto& r) { s.cpus.Update("web-1", cpus, nullptr, r); });
  t.Call<MemorySvc::GetMethod>([&](auto& r) { s.memory.Get("web-1", nullptr, r); });
  auto memory = std::make_shared<MemorySvc::UpdateSpec>();
  memory->size = 4096;
  t.Call<MemorySvc::UpdateMethod>([&](auto& r) { s.memory.Update("web-1", memory, nullptr, r); });

  auto iso = std::make_shared<CdromSvc::BackingInfo>();
  iso->type = Enum<CdromSvc::BackingType>("IMAGE");
  iso->isoFile = std::string("/images/zubuntu-64.iso");
  t.Call<CdromSvc::AddMethod>([&](auto& r) { s.cdrom.Add("web-1", iso, "ide0:0", nullptr, r); });
  t.Call<CdromSvc::ListMethod>([&](auto& r) { s.cdrom.List("web-1", nullptr, nullptr, r); });
  t.Call<CdromSvc::DeleteMethod>([&](auto& r) { s.cdrom.Delete("web-1", "ide0:0", nullptr, r); });
  auto disk = std::make_shared<DiskSvc::AddSpec>();
  disk->vm = "web-1";
  disk->device = "scsi0:0";
  t.Call<DiskSvc::AddMethod>([&](auto& r) { s.disk.Add(disk, nullptr, r); });
  t.Call<DiskSvc::ListMethod>([&](auto& r) { s.disk.List("web-1", nullptr, nullptr, r); });
  auto nic = std::make_shared<NetworkSvc::AddSpec>();
  nic->vm = "web-1";
  nic->network = "net-lab";
  nic->adapter = Enum<NetworkSvc::VirtualDev>("E1000E");
  nic->device = "ethernet0";
  t.Call<NetworkSvc::AddMethod>([&](auto& r) { s.network.Add(nic, nullptr, r); });
  t.Call<NetworkSvc::ListMethod>([&](auto& r) { s.network.List("web-1", nullptr, nullptr, r); });
  t.Call<NetworkSvc::RemoveMethod>(
      [&](auto& r) { s.network.Remove("web-1", "ethernet0", nullptr, r); });
  const auto ahci = Enum<SataControllerSvc::HbaType>("AHCI");
  t.Call<SataControllerSvc::AddMethod>(
      [&](auto& r) { s.sata.Add("web-1", ahci, std::int64_t{0}, nullptr, r); });
  t.Call<SataControllerSvc::UpdateMethod>(
      [&](auto& r) { s.sata.Update("web-1", ahci, std::int64_t{0}, nullptr, r); });
  t.Call<SataControllerSvc::ListMethod>(
      [&](auto& r) { s.sata.List("web-1", nullptr, nullptr, r); });
  t.Call<SataControllerSvc::DeleteMethod>(
      [&](auto& r) { s.sata.Delete("web-1", std::int64_t{0}, nullptr, r); });
  t.Call<ScsiControllerSvc::AddMethod>([&](auto& r) {
    s.scsi.Add("web-1", Enum<ScsiControllerSvc::HbaType>("LSISAS"), std::int64_t{0}, nullptr, r);
  });

  auto spec = std::make_shared<DataSetsSvc::CreateSpec>();
  spec->name = "app-config";
  spec->description = "settings the guest reads";
  spec->host = Enum<DataSetsSvc::Access>("READ_WRITE");
  spec->guest = Enum<DataSetsSvc::Access>("READ_ONLY");
  t.Call<DataSetsSvc::CreateMethod>([&](auto& r) { s.dataSets.Create("web-1", spec, nullptr, r); });
  const std::string id = "ds-1";
  t.Call<EntriesSvc::SetMethod>(
      [&](auto& r) { s.entries.Set("web-1", id, "db.port", "5432", nullptr, r); });
  t.Call<EntriesSvc::GetMethod>(
      [&](auto& r) { s.entries.Get("web-1", id, "db.port", nullptr, r); });
  t.Call<EntriesSvc::ListMethod>([&](auto& r) { s.entries.List("web-1", id, nullptr, r); });
  t.Call<EntriesSvc::DeleteMethod>(
      [&](auto& r) { s.entries.Delete("web-1", id, "db.port", nullptr, r); });
  auto readOnly = std::make_shared<DataSetsSvc::UpdateSpec>();
  readOnly->host = Enum<DataSetsSvc::Access>("READ_ONLY");
  t.Call<DataSetsSvc::UpdateMethod>(
      [&](auto& r) { s.dataSets.Update("web-1", id, readOnly, nullptr, r); });
  t.Call<DataSetsSvc::GetMethod>([&](auto& r) { s.dataSets.Get("web-1", id, nullptr, r); });
  t.Call<DataSetsSvc::ListMethod>([&](auto& r) { s.dataSets.List("web-1", nullptr, r); });
  t.Call<DataSetsSvc::DeleteMethod>(
      [&](auto& r) { s.dataSets.Delete("web-1", id, boost::optional<bool>(true), nullptr, r); });

  auto debug = std::make_shared<LogLevelSvc::SetSpec>();
  debug->level = Enum<LogLevelSvc::Level>("BRT_LOG_DEBUG_03");
  t.Call<LogLevelSvc::SetMethod>(
      [&](auto& r) { s.logLevel.Set("web-1", "zub-core", debug, nullptr, r); });
  t.Call<LogLevelSvc::DeleteMethod>(
      [&](auto& r) { s.logLevel.Delete("web-1", "zub-core", nullptr, r); });

  auto on = std::make_shared<PowerSvc::SwitchOnSpec>();
  t.Call<PowerSvc::SwitchOnMethod>([&](auto& r) { s.power.SwitchOn("web-1", on, nullptr, r); });
  t.Call<PowerSvc::ResetMethod>([&](auto& r) { s.power.Reset("web-1", nullptr, r); });
  t.Call<PowerSvc::SuspendMethod>([&](auto& r) { s.power.Suspend("web-1", nullptr, r); });
  t.Call<PowerSvc::GetMethod>([&](auto& r) { s.power.Get("web-1", nullptr, r); });
  t.Call<PowerSvc::SwitchOffMethod>([&](auto& r) { s.power.SwitchOff("web-1", nullptr, r); });
  t.Call<ZubSvc::DeleteMethod>([&](auto& r) { s.zub.Delete("web-1", nullptr, r); });
  t.Call<PowerSvc::GetMethod>([&](auto& r) { s.power.Get("web-1", nullptr, r); });
  return t.lines;
}

// Passes calls on, and checks that every input and every answer crosses the encoding exactly.
class RoundTripCheck final : public Core::InvocationTarget {
 public:
  explicit RoundTripCheck(std::shared_ptr<Core::InvocationTarget> next) : next_(std::move(next)) {}

  void Invoke(const std::shared_ptr<const Core::MethodIdentifier>& methodId,
              const DataValuePtr& input, const std::shared_ptr<Core::AsyncActivation>& activation,
              const AsyncApiResultCb& resultCb) override {
    services.insert(methodId->interfaceId()->name());
    Check(input);
    next_->Invoke(methodId, input, activation,
                  [resultCb](const MethodResultPtr& result, const Progress& progress,
                             AsyncApiResultCb::Continuation&& next) {
                    if (result && result->output()) Check(result->output());
                    if (result && result->error()) Check(result->error());
                    resultCb(result, progress, std::move(next));
                  });
  }
  std::set<std::string> services;

 private:
  static void Check(const DataValuePtr& value) {
    kov::remote::v1::Value wire, parsed;
    MessageList messages;
    DataValuePtr back;
    ASSERT_TRUE(EncodeValue(value, wire, messages));
    ASSERT_TRUE(parsed.ParseFromString(wire.SerializeAsString()));
    ASSERT_TRUE(DecodeValue(parsed, back, messages)) << messages[0].defaultMessage;
    EXPECT_TRUE(back->Equals(*value)) << value->ToString() << "\n" << back->ToString();
  }
  std::shared_ptr<Core::InvocationTarget> next_;
};

TEST(RemoteOperationsTest, EveryOperationAnswersAsInProcess) {
  MessageList messages;
  Kov::Sim::Simulator here;
  auto local = Core::LocalProvider::GetInstance();
  ASSERT_TRUE(here.RegisterWith(*local, messages));
  auto check = std::make_shared<RoundTripCheck>(local);
  Stubs inProcess(Stub::AsyncApiStub::GetInstance(check));
  const auto expected = CallEverything(inProcess);
  EXPECT_EQ(check->services.size(), 13u);

  Kov::Sim::Simulator there;
  auto served = Core::LocalProvider::GetInstance();
  ASSERT_TRUE(there.RegisterWith(*served, messages));
  auto counting = std::make_shared<Kov::Sim::CountingTarget>(served);
  auto server = StartServer(counting);
  Stubs remote(Stub::AsyncApiStub::GetInstance(Connect(server->port())));
  const auto actual = CallEverything(remote);

  EXPECT_EQ(counting->Counts().size(), 37u);
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(actual[i], expected[i]);
}

}  // namespace
}  // namespace Testing
}  // namespace Remote
}  // namespace Tarn
