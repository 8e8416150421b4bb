#include "tools/kov-vm/demo.h"

#include <memory>
#include <ostream>

#include "runtime/local_provider.h"
#include "runtime/stub.h"
#include "tools/sim/await.h"
#include "tools/sim/catalog.h"
#include "tools/sim/json_value.h"
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

namespace Kov {
namespace Cli {

namespace {

using namespace Com::Brantel::Kov::Vm;
using Compute::CpusSvc;
using Compute::MemorySvc;
using DataSets::EntriesSvc;
using Device::CdromSvc;
using Device::DiskSvc;
using Device::NetworkSvc;
using Device::SataControllerSvc;
using Device::ScsiControllerSvc;
using Modules::LogLevelSvc;

// Passes each call on and shows it first: the operation and its input as it travels.
class TracingTarget final : public Tarn::Core::InvocationTarget {
 public:
  TracingTarget(std::shared_ptr<Tarn::Core::InvocationTarget> next, std::ostream& out)
      : next_(std::move(next)), out_(out) {}

  void Invoke(const std::shared_ptr<const Tarn::Core::MethodIdentifier>& methodId,
              const Tarn::Data::DataValuePtr& input,
              const std::shared_ptr<Tarn::Core::AsyncActivation>& activation,
              const Tarn::Core::AsyncApiResultCb& resultCb) override {
    if (methodId && methodId->interfaceId()) {
      out_ << Sim::Catalog::AliasOf(methodId->interfaceId()->name()) << "." << methodId->name()
           << " " << Sim::ValueToJson(input).dump() << "\n";
    }
    next_->Invoke(methodId, input, activation, resultCb);
  }

 private:
  std::shared_ptr<Tarn::Core::InvocationTarget> next_;
  std::ostream& out_;
};

template <class R>
std::string AnswerText(const R& value) {
  if constexpr (std::is_same<R, Tarn::Void>::value) {
    (void)value;
    return "done";
  } else {
    Tarn::Data::DataValuePtr v;
    Tarn::MessageList messages;
    if (!Tarn::Data::NativeToValueAdapter::Adapt(&value, &v, messages)) return "(unreadable)";
    return Sim::ValueToJson(v).dump();
  }
}

std::string ErrorText(const Tarn::Data::ErrorValue& error) {
  std::string text = Sim::ShortErrorName(error.name());
  for (auto& m : error.Messages()) text += ": " + m.defaultMessage;
  return text;
}

class Tour {
 public:
  explicit Tour(std::ostream& out) : out_(out) {}

  void Section(const char* title) { out_ << "\n== " << title << "\n"; }
  void Note(const std::string& text) { out_ << "   " << text << "\n"; }

  // A call that should succeed: shows the answer and returns it.
  template <class M, class F>
  boost::optional<typename M::Output> Ok(F&& call) {
    auto reply = Sim::Await<M>(std::forward<F>(call));
    ++calls_;
    if (reply.error) {
      ++surprises_;
      out_ << "  !! unexpected failure: " << ErrorText(*reply.error) << "\n";
      return boost::none;
    }
    out_ << "  -> " << AnswerText(*reply.value) << "\n";
    return reply.value;
  }

  // A call that should fail with the given error type (its short name, such as "not_found").
  template <class M, class F>
  void Fails(const char* expected, F&& call) {
    auto reply = Sim::Await<M>(std::forward<F>(call));
    ++calls_;
    if (!reply.error) {
      ++surprises_;
      out_ << "  !! expected " << expected << ", but it succeeded\n";
      return;
    }
    if (Sim::ShortErrorName(reply.error->name()) != expected) {
      ++surprises_;
      out_ << "  !! expected " << expected << ", got " << ErrorText(*reply.error) << "\n";
      return;
    }
    ++expectedFailures_;
    failures_.emplace_back(
        Tarn::Data::TypeInfo<typename M::Interface>::name() + "/" + M::methodName(), expected);
    out_ << "  -> fails, as it should: " << ErrorText(*reply.error) << "\n";
  }

  int calls() const { return calls_; }
  int surprises() const { return surprises_; }
  int expectedFailures() const { return expectedFailures_; }
  const std::vector<std::pair<std::string, std::string>>& failures() const { return failures_; }

 private:
  std::ostream& out_;
  int calls_ = 0;
  int surprises_ = 0;
  int expectedFailures_ = 0;
  std::vector<std::pair<std::string, std::string>> failures_;
};

template <class E>
E Enum(const char* text) {
  return Tarn::EnumFromText<E>(text);
}

void Tour1Machines(Tour& t, PowerSvc::AsyncServiceStub& power, ZubSvc::AsyncServiceStub& zub,
                   DockSvc::AsyncServiceStub& dock) {
  t.Section("Machines: create them, find them in the dock, switch them on (zub, dock, power)");
  auto web = std::make_shared<ZubSvc::CreateSpec>();
  web->vm = "demo-web";
  web->guestOS = "zubuntu-64";
  web->hwVersion = std::string("zub-21");
  t.Ok<ZubSvc::CreateMethod>([&](auto& r) { zub.Create(web, nullptr, r); });
  auto db = std::make_shared<ZubSvc::CreateSpec>();
  db->vm = "demo-db";
  db->guestOS = "zubsd-64";
  t.Ok<ZubSvc::CreateMethod>([&](auto& r) { zub.Create(db, nullptr, r); });
  t.Note("A second machine with the same identifier is refused:");
  t.Fails<ZubSvc::CreateMethod>("error", [&](auto& r) { zub.Create(web, nullptr, r); });

  if (auto list = t.Ok<DockSvc::ListMethod>([&](auto& r) { dock.List(nullptr, r); })) {
    t.Note("The dock holds " + std::to_string((*list)->items.size()) + " machines.");
  }
  t.Ok<DockSvc::LoadMethod>([&](auto& r) { dock.Load("demo-db", nullptr, r); });
  t.Fails<DockSvc::LoadMethod>("not_found", [&](auto& r) { dock.Load("ghost", nullptr, r); });

  t.Ok<PowerSvc::GetMethod>([&](auto& r) { power.Get("demo-web", nullptr, r); });
  t.Note("A machine that is off cannot be reset:");
  t.Fails<PowerSvc::ResetMethod>("not_allowed_in_current_state",
                                 [&](auto& r) { power.Reset("demo-web", nullptr, r); });
  auto on = std::make_shared<PowerSvc::SwitchOnSpec>();
  t.Ok<PowerSvc::SwitchOnMethod>([&](auto& r) { power.SwitchOn("demo-web", on, nullptr, r); });
  t.Fails<PowerSvc::SwitchOnMethod>("already_in_desired_state",
                                    [&](auto& r) { power.SwitchOn("demo-web", on, nullptr, r); });
  t.Ok<PowerSvc::ResetMethod>([&](auto& r) { power.Reset("demo-web", nullptr, r); });
  t.Ok<PowerSvc::GetMethod>([&](auto& r) { power.Get("demo-web", nullptr, r); });
}

void Tour2Compute(Tour& t, PowerSvc::AsyncServiceStub& power, CpusSvc::AsyncServiceStub& cpus,
                  MemorySvc::AsyncServiceStub& memory) {
  t.Section("CPU and memory: sizes, and what a running machine allows (cpus, memory)");
  t.Ok<CpusSvc::GetMethod>([&](auto& r) { cpus.Get("demo-web", nullptr, r); });
  auto four = std::make_shared<CpusSvc::UpdateSpec>();
  four->count = 4;
  four->coresPerSocket = 2;
  t.Note("demo-web is on and CPU hot-plug is off, so its CPUs cannot change now:");
  t.Fails<CpusSvc::UpdateMethod>("not_allowed_in_current_state",
                                 [&](auto& r) { cpus.Update("demo-web", four, nullptr, r); });
  auto none = std::make_shared<CpusSvc::UpdateSpec>();
  none->count = 0;
  t.Fails<CpusSvc::UpdateMethod>("invalid_argument",
                                 [&](auto& r) { cpus.Update("demo-web", none, nullptr, r); });
  t.Ok<MemorySvc::GetMethod>([&](auto& r) { memory.Get("demo-web", nullptr, r); });
  auto more = std::make_shared<MemorySvc::UpdateSpec>();
  more->size = 4096;
  t.Fails<MemorySvc::UpdateMethod>("not_allowed_in_current_state",
                                   [&](auto& r) { memory.Update("demo-web", more, nullptr, r); });

  t.Note("Switched off, the machine takes the new sizes and hot-add:");
  t.Ok<PowerSvc::SwitchOffMethod>([&](auto& r) { power.SwitchOff("demo-web", nullptr, r); });
  four->hotAddEnabled = true;
  t.Ok<CpusSvc::UpdateMethod>([&](auto& r) { cpus.Update("demo-web", four, nullptr, r); });
  more->hotAddEnabled = true;
  t.Ok<MemorySvc::UpdateMethod>([&](auto& r) { memory.Update("demo-web", more, nullptr, r); });
  auto on = std::make_shared<PowerSvc::SwitchOnSpec>();
  on->soft = true;
  t.Ok<PowerSvc::SwitchOnMethod>([&](auto& r) { power.SwitchOn("demo-web", on, nullptr, r); });
  t.Note("With hot-add enabled, a running machine can grow:");
  auto grow = std::make_shared<MemorySvc::UpdateSpec>();
  grow->size = 8192;
  t.Ok<MemorySvc::UpdateMethod>([&](auto& r) { memory.Update("demo-web", grow, nullptr, r); });
  if (auto info = t.Ok<CpusSvc::GetMethod>([&](auto& r) { cpus.Get("demo-web", nullptr, r); })) {
    t.Note("demo-web now has " + std::to_string((*info)->count) + " CPUs in sockets of " +
           std::to_string((*info)->coresPerSocket) + " cores.");
  }
}

void Tour3Devices(Tour& t, CdromSvc::AsyncServiceStub& cdrom, DiskSvc::AsyncServiceStub& disk,
                  NetworkSvc::AsyncServiceStub& network, SataControllerSvc::AsyncServiceStub& sata,
                  ScsiControllerSvc::AsyncServiceStub& scsi) {
  t.Section(
      "Devices of demo-db, which is off (cdrom, disk, network, sata_controller, "
      "scsi_controller)");
  auto iso = std::make_shared<CdromSvc::BackingInfo>();
  iso->type = Enum<CdromSvc::BackingType>("IMAGE");
  iso->isoFile = std::string("/images/zubsd-14.iso");
  boost::optional<std::string> drive;
  if (auto id = t.Ok<CdromSvc::AddMethod>(
          [&](auto& r) { cdrom.Add("demo-db", iso, "ide0:0", nullptr, r); })) {
    drive = *id;
    t.Note("The host named the new drive \"" + *id + "\".");
  }
  auto passthrough = std::make_shared<CdromSvc::BackingInfo>();
  passthrough->type = Enum<CdromSvc::BackingType>("ATAPI");
  passthrough->deviceName = std::string("/dev/sr0");
  t.Note("Device names are unique within a machine:");
  t.Fails<CdromSvc::AddMethod>(
      "already_exists", [&](auto& r) { cdrom.Add("demo-db", passthrough, "ide0:0", nullptr, r); });
  t.Ok<CdromSvc::ListMethod>([&](auto& r) { cdrom.List("demo-db", nullptr, nullptr, r); });

  auto newDisk = std::make_shared<DiskSvc::AddSpec>();
  newDisk->vm = "demo-db";
  newDisk->device = "scsi0:0";
  t.Note("A disk without an identifier is a new disk; the host names it:");
  t.Ok<DiskSvc::AddMethod>([&](auto& r) { disk.Add(newDisk, nullptr, r); });
  auto dataDisk = std::make_shared<DiskSvc::AddSpec>();
  dataDisk->vm = "demo-db";
  dataDisk->disk = "data-7";
  dataDisk->device = "scsi0:1";
  t.Ok<DiskSvc::AddMethod>([&](auto& r) { disk.Add(dataDisk, nullptr, r); });
  t.Fails<DiskSvc::AddMethod>("already_exists", [&](auto& r) { disk.Add(newDisk, nullptr, r); });
  auto diskFilter = std::make_shared<DiskSvc::FilterSpec>();
  diskFilter->devices = std::set<std::string>{"scsi0:1"};
  t.Note("Only the disk on scsi0:1:");
  t.Ok<DiskSvc::ListMethod>([&](auto& r) { disk.List("demo-db", diskFilter, nullptr, r); });

  auto nic = std::make_shared<NetworkSvc::AddSpec>();
  nic->vm = "demo-db";
  nic->network = "net-lab";
  nic->adapter = Enum<NetworkSvc::VirtualDev>("E1000E");
  nic->device = "ethernet0";
  t.Ok<NetworkSvc::AddMethod>([&](auto& r) { network.Add(nic, nullptr, r); });
  t.Fails<NetworkSvc::AddMethod>("already_exists", [&](auto& r) { network.Add(nic, nullptr, r); });
  auto nicFilter = std::make_shared<NetworkSvc::FilterSpec>();
  nicFilter->adapters = std::set<NetworkSvc::VirtualDev>{Enum<NetworkSvc::VirtualDev>("E1000E")};
  t.Ok<NetworkSvc::ListMethod>([&](auto& r) { network.List("demo-db", nicFilter, nullptr, r); });
  t.Ok<NetworkSvc::RemoveMethod>(
      [&](auto& r) { network.Remove("demo-db", "ethernet0", nullptr, r); });

  const auto ahci = Enum<SataControllerSvc::HbaType>("AHCI");
  t.Ok<SataControllerSvc::AddMethod>(
      [&](auto& r) { sata.Add("demo-db", ahci, std::int64_t{0}, nullptr, r); });
  t.Fails<SataControllerSvc::AddMethod>(
      "already_exists", [&](auto& r) { sata.Add("demo-db", ahci, std::int64_t{0}, nullptr, r); });
  t.Ok<SataControllerSvc::UpdateMethod>(
      [&](auto& r) { sata.Update("demo-db", ahci, std::int64_t{0}, nullptr, r); });
  t.Ok<SataControllerSvc::ListMethod>([&](auto& r) { sata.List("demo-db", nullptr, nullptr, r); });
  t.Ok<SataControllerSvc::DeleteMethod>(
      [&](auto& r) { sata.Delete("demo-db", std::int64_t{0}, nullptr, r); });

  t.Ok<ScsiControllerSvc::AddMethod>([&](auto& r) {
    scsi.Add("demo-db", Enum<ScsiControllerSvc::HbaType>("LSISAS"), std::int64_t{0}, nullptr, r);
  });
  t.Note("demo-web is running, and controllers are not hot-pluggable:");
  t.Fails<ScsiControllerSvc::AddMethod>("not_allowed_in_current_state", [&](auto& r) {
    scsi.Add("demo-web", Enum<ScsiControllerSvc::HbaType>("ZSCSI"), std::int64_t{0}, nullptr, r);
  });
  if (drive) {
    t.Ok<CdromSvc::DeleteMethod>([&](auto& r) { cdrom.Delete("demo-db", *drive, nullptr, r); });
  }
}

void Tour4DataSets(Tour& t, DataSetsSvc::AsyncServiceStub& dataSets,
                   EntriesSvc::AsyncServiceStub& entries) {
  t.Section("Data sets and their entries, guarded by access levels (data_sets, entries)");
  auto spec = std::make_shared<DataSetsSvc::CreateSpec>();
  spec->name = "app-config";
  spec->description = "settings the guest's application reads";
  spec->host = Enum<DataSetsSvc::Access>("READ_WRITE");
  spec->guest = Enum<DataSetsSvc::Access>("READ_ONLY");
  std::string id = "ds-1";
  if (auto created = t.Ok<DataSetsSvc::CreateMethod>(
          [&](auto& r) { dataSets.Create("demo-db", spec, nullptr, r); })) {
    id = *created;
  }
  t.Fails<DataSetsSvc::CreateMethod>(
      "already_exists", [&](auto& r) { dataSets.Create("demo-db", spec, nullptr, r); });
  t.Ok<EntriesSvc::SetMethod>(
      [&](auto& r) { entries.Set("demo-db", id, "db.port", "5432", nullptr, r); });
  t.Ok<EntriesSvc::SetMethod>(
      [&](auto& r) { entries.Set("demo-db", id, "db.user", "zub", nullptr, r); });
  t.Ok<EntriesSvc::GetMethod>([&](auto& r) { entries.Get("demo-db", id, "db.port", nullptr, r); });
  t.Ok<EntriesSvc::ListMethod>([&](auto& r) { entries.List("demo-db", id, nullptr, r); });
  t.Ok<EntriesSvc::DeleteMethod>(
      [&](auto& r) { entries.Delete("demo-db", id, "db.user", nullptr, r); });
  t.Fails<EntriesSvc::GetMethod>(
      "not_found", [&](auto& r) { entries.Get("demo-db", id, "db.user", nullptr, r); });

  auto readOnly = std::make_shared<DataSetsSvc::UpdateSpec>();
  readOnly->host = Enum<DataSetsSvc::Access>("READ_ONLY");
  t.Ok<DataSetsSvc::UpdateMethod>(
      [&](auto& r) { dataSets.Update("demo-db", id, readOnly, nullptr, r); });
  t.Note("With read-only access for the host, entries can be read but not written:");
  t.Fails<EntriesSvc::SetMethod>(
      "unauthorized", [&](auto& r) { entries.Set("demo-db", id, "db.port", "6543", nullptr, r); });
  t.Ok<DataSetsSvc::GetMethod>([&](auto& r) { dataSets.Get("demo-db", id, nullptr, r); });
  t.Ok<DataSetsSvc::ListMethod>([&](auto& r) { dataSets.List("demo-db", nullptr, r); });
  t.Note("A data set that still holds entries is deleted only with \"force\":");
  t.Fails<DataSetsSvc::DeleteMethod>(
      "resource_in_use", [&](auto& r) { dataSets.Delete("demo-db", id, boost::none, nullptr, r); });
  t.Ok<DataSetsSvc::DeleteMethod>(
      [&](auto& r) { dataSets.Delete("demo-db", id, boost::optional<bool>(true), nullptr, r); });
}

void Tour5Modules(Tour& t, LogLevelSvc::AsyncServiceStub& logLevel) {
  t.Section("Log levels of a machine's modules (log_level)");
  auto debug = std::make_shared<LogLevelSvc::SetSpec>();
  debug->level = Enum<LogLevelSvc::Level>("BRT_LOG_DEBUG_03");
  t.Ok<LogLevelSvc::SetMethod>(
      [&](auto& r) { logLevel.Set("demo-web", "zub", debug, nullptr, r); });
  t.Fails<LogLevelSvc::SetMethod>(
      "not_found", [&](auto& r) { logLevel.Set("demo-web", "gpu", debug, nullptr, r); });
  t.Ok<LogLevelSvc::DeleteMethod>([&](auto& r) { logLevel.Delete("demo-web", "zub", nullptr, r); });
}

void Tour6Cleanup(Tour& t, PowerSvc::AsyncServiceStub& power, ZubSvc::AsyncServiceStub& zub,
                  DockSvc::AsyncServiceStub& dock) {
  t.Section("Suspend, switch off and delete (power, zub, dock)");
  t.Fails<ZubSvc::DeleteMethod>("not_allowed_in_current_state",
                                [&](auto& r) { zub.Delete("demo-web", nullptr, r); });
  t.Ok<PowerSvc::SuspendMethod>([&](auto& r) { power.Suspend("demo-web", nullptr, r); });
  t.Note("A suspended machine reports itself off, with \"suspended\" true:");
  t.Ok<PowerSvc::GetMethod>([&](auto& r) { power.Get("demo-web", nullptr, r); });
  t.Ok<PowerSvc::SwitchOffMethod>([&](auto& r) { power.SwitchOff("demo-web", nullptr, r); });
  t.Ok<ZubSvc::DeleteMethod>([&](auto& r) { zub.Delete("demo-web", nullptr, r); });
  t.Fails<PowerSvc::GetMethod>("not_found", [&](auto& r) { power.Get("demo-web", nullptr, r); });
  t.Ok<DockSvc::ListMethod>([&](auto& r) { dock.List(nullptr, r); });
}

}  // namespace

DemoResult RunDemo(std::ostream& out, std::shared_ptr<Tarn::Core::InvocationTarget> host) {
  DemoResult result;
  Sim::Simulator simulator;
  auto provider = Tarn::Core::LocalProvider::GetInstance();
  Tarn::MessageList messages;
  auto interfaces = simulator.Bind();
  for (auto& iface : interfaces) {
    result.operations += iface->methods().size();
    if (!provider->Register(iface, messages)) {
      out << "kov-vm demo: the simulator could not be registered\n";
      result.exitCode = 1;
      return result;
    }
  }
  // The local simulator is there anyway: it tells which operations the tour must call.
  auto counter = std::make_shared<Sim::CountingTarget>(host ? std::move(host) : provider);
  auto api = Tarn::Stub::AsyncApiStub::GetInstance(std::make_shared<TracingTarget>(counter, out));

  PowerSvc::AsyncServiceStub power(api);
  ZubSvc::AsyncServiceStub zub(api);
  CpusSvc::AsyncServiceStub cpus(api);
  MemorySvc::AsyncServiceStub memory(api);
  CdromSvc::AsyncServiceStub cdrom(api);
  DiskSvc::AsyncServiceStub disk(api);
  NetworkSvc::AsyncServiceStub network(api);
  SataControllerSvc::AsyncServiceStub sata(api);
  ScsiControllerSvc::AsyncServiceStub scsi(api);
  DataSetsSvc::AsyncServiceStub dataSets(api);
  EntriesSvc::AsyncServiceStub entries(api);
  DockSvc::AsyncServiceStub dock(api);
  LogLevelSvc::AsyncServiceStub logLevel(api);

  out << "kov-vm demo: a tour of the virtual-machine API on a fresh simulated host.\n"
      << "Each call goes through the typed stub of its service and the local runtime; the\n"
      << "line shows the operation and its input as it travels, \"->\" the answer.\n";
  Tour tour(out);
  Tour1Machines(tour, power, zub, dock);
  Tour2Compute(tour, power, cpus, memory);
  Tour3Devices(tour, cdrom, disk, network, sata, scsi);
  Tour4DataSets(tour, dataSets, entries);
  Tour5Modules(tour, logLevel);
  Tour6Cleanup(tour, power, zub, dock);

  result.counts = counter->Counts();
  result.calls = tour.calls();
  result.expectedFailures = tour.expectedFailures();
  result.surprises = tour.surprises();
  result.failures = tour.failures();
  std::size_t called = 0;
  out << "\n== Summary\n";
  for (auto& iface : interfaces) {
    for (auto& m : iface->methods()) {
      auto it = result.counts.find(iface->identifier()->name() + "/" + m->methodName());
      if (it != result.counts.end() && it->second > 0) {
        ++called;
      } else {
        out << "   not called: " << iface->identifier()->name() << " " << m->methodName() << "\n";
      }
    }
  }
  out << "   " << called << " of " << result.operations << " operations of " << interfaces.size()
      << " services called, in " << result.calls << " calls; " << result.expectedFailures
      << " failed as expected";
  if (result.surprises > 0) out << "; " << result.surprises << " answers were not as expected";
  out << ".\n";
  result.exitCode = called == result.operations && result.surprises == 0 ? 0 : 1;
  return result;
}

}  // namespace Cli
}  // namespace Kov
