// A simulator registered with a local provider, and a typed stub of every service over it: the
// way a client reaches the simulator. Shared by the simulator's tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/local_provider.h"
#include "runtime/stub.h"
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

namespace Kov {
namespace Sim {
namespace Testing {

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

constexpr char kNotFound[] = "com.brantel.tarn.std.errors.not_found";
constexpr char kInvalidArgument[] = "com.brantel.tarn.std.errors.invalid_argument";
constexpr char kNotAllowed[] = "com.brantel.tarn.std.errors.not_allowed_in_current_state";
constexpr char kAlreadyExists[] = "com.brantel.tarn.std.errors.already_exists";
constexpr char kAlreadyInState[] = "com.brantel.tarn.std.errors.already_in_desired_state";
constexpr char kError[] = "com.brantel.tarn.std.errors.error";
constexpr char kUnableToAllocate[] = "com.brantel.tarn.std.errors.unable_to_allocate_resource";
constexpr char kUnauthorized[] = "com.brantel.tarn.std.errors.unauthorized";
constexpr char kResourceInUse[] = "com.brantel.tarn.std.errors.resource_in_use";

template <class E>
E Enum(const char* text) {
  return Tarn::EnumFromText<E>(text);
}

class SimTest : public ::testing::Test {
 protected:
  SimTest()
      : simulator_(std::make_shared<Lab>()),
        provider_(Tarn::Core::LocalProvider::GetInstance()),
        api_(Tarn::Stub::AsyncApiStub::GetInstance(provider_)),
        power(api_),
        zub(api_),
        cpus(api_),
        memory(api_),
        cdrom(api_),
        disk(api_),
        network(api_),
        sata(api_),
        scsi(api_),
        dataSets(api_),
        entries(api_),
        dock(api_),
        logLevel(api_) {
    Tarn::MessageList messages;
    registered_ = simulator_.RegisterWith(*provider_, messages);
  }

  void SetUp() override { ASSERT_TRUE(registered_); }

  LabData& data() { return simulator_.lab()->data; }

  // Calls an operation through its stub; the answer or error.
  template <class M, class F>
  Reply<typename M::Output> Call(F&& f) {
    return Await<M>(std::forward<F>(f));
  }

  // Creates a machine through the machine configuration service.
  void CreateVm(const std::string& vm, const std::string& guest = "zubuntu-64") {
    auto spec = std::make_shared<ZubSvc::CreateSpec>();
    spec->vm = vm;
    spec->guestOS = guest;
    auto r = Call<ZubSvc::CreateMethod>([&](auto& res) { zub.Create(spec, nullptr, res); });
    ASSERT_FALSE(r.error) << r.error->ToString();
  }

  void SwitchOn(const std::string& vm) {
    auto r = Call<PowerSvc::SwitchOnMethod>([&](auto& res) {
      power.SwitchOn(vm, std::make_shared<PowerSvc::SwitchOnSpec>(), nullptr, res);
    });
    ASSERT_FALSE(r.error) << r.error->ToString();
  }

  Simulator simulator_;
  std::shared_ptr<Tarn::Core::LocalProvider> provider_;
  std::shared_ptr<Tarn::Stub::AsyncApiStub> api_;
  bool registered_ = false;

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

// A simulator that already holds one machine, "vm".
class SimVmTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    CreateVm("vm");
  }
};

// Checks that an answer failed with the given error type and, when given, message id.
template <class R>
::testing::AssertionResult FailedWith(const Reply<R>& reply, const std::string& type,
                                      const std::string& messageId = "") {
  if (!reply.error) return ::testing::AssertionFailure() << "succeeded; expected " << type;
  if (reply.error->name() != type) {
    return ::testing::AssertionFailure()
           << "failed with " << reply.error->ToString() << "; expected " << type;
  }
  if (!messageId.empty()) {
    auto messages = reply.error->Messages();
    if (messages.empty() || messages[0].id != messageId) {
      return ::testing::AssertionFailure()
             << "message " << (messages.empty() ? "(none)" : messages[0].id) << "; expected "
             << messageId;
    }
    if (messages[0].defaultMessage.empty()) {
      return ::testing::AssertionFailure() << "message " << messageId << " has no text";
    }
  }
  return ::testing::AssertionSuccess();
}

// The items of a listing answer: the answer itself, or its "list" or "items" member.
template <class T>
const std::vector<T>& Items(const std::vector<T>& list) {
  return list;
}
template <class P>
auto Items(const P& p) -> decltype((p->list)) {
  return p->list;
}
template <class P>
auto Items(const P& p) -> decltype((p->items)) {
  return p->items;
}

// The text `f` makes of each listed item; none when the listing failed, which fails the test.
template <class R, class F>
std::vector<std::string> Texts(const Reply<R>& reply, F f) {
  EXPECT_FALSE(reply.error) << reply.error->ToString();
  std::vector<std::string> out;
  if (reply.value) {
    for (auto& item : Items(*reply.value)) out.push_back(f(*item));
  }
  return out;
}

template <class R>
::testing::AssertionResult Succeeded(const Reply<R>& reply) {
  if (reply.error) return ::testing::AssertionFailure() << reply.error->ToString();
  if (!reply.value) return ::testing::AssertionFailure() << "no value";
  return ::testing::AssertionSuccess();
}

}  // namespace Testing
}  // namespace Sim
}  // namespace Kov
