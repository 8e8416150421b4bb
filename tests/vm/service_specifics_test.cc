// What sets single services apart from the rest: the SCSI controller names its machine "vm_id",
// the unions of power and CD-ROM run their checks in their own orders, and the dock's "list"
// takes the runtime's operation input, unvalidated and naming no resource.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/vm/service_test_util.h"
#include "tools/sim/simulator.h"
#include "vm/device/cdrom.h"
#include "vm/device/sata_controller.h"
#include "vm/device/scsi_controller.h"
#include "vm/dock.h"
#include "vm/power.h"

namespace {

using namespace ServiceTest;  // NOLINT(build/namespaces)
namespace Vm = Com::Brantel::Kov::Vm;
using Messages = std::vector<Tarn::BaseMessage>;

// The simulator's interface object of the service `id`.
std::shared_ptr<const Tarn::Provider::AsyncApiInterface> Bound(const std::string& id) {
  for (auto& iface : Kov::Sim::Simulator().Bind()) {
    if (iface->identifier()->name() == id) return iface;
  }
  ADD_FAILURE() << "no service " << id;
  return nullptr;
}

Messages UnionMessage(const char* id, const char* record, const char* field) {
  return {Tarn::Message<Tarn::CoreTag>(id, record, field)};
}
Messages NotSet(const char* record, const char* field) {
  return UnionMessage("tarn.data.union.invalid.case.state.isnotset.short", record, field);
}
Messages IsSet(const char* record, const char* field) {
  return UnionMessage("tarn.data.union.invalid.case.state.isset.short", record, field);
}
Messages NoTag(const char* tag) {
  return {Tarn::Message<Tarn::CoreTag>("tarn.data.union.missing.tag.field", tag)};
}
template <class T>
Messages Validated(const T& record) {
  Tarn::MessageList messages;
  bool valid =
      Tarn::Data::Validator::isValid(record, Tarn::Data::Validator::kRejectUndeclared, messages);
  EXPECT_EQ(valid, messages.empty());
  return messages;
}

TEST(ScsiController, TheMachineIsVmIdNotVm) {
  static_assert(!std::is_same<Vm::Device::ScsiControllerSvc::HbaType,
                              Vm::Device::SataControllerSvc::HbaType>::value,
                "each controller service has its own adapter type");
  auto iface = Bound("com.brantel.kov.vm.device.scsi_controller");
  ASSERT_TRUE(iface);
  auto instead =
      Input({{"vm", Str("vm-8")}, {"hba_type", Str("ZSCSI")}, {"controller_number", Int(1)}});
  auto beside = Input({{"vm", Str("vm-8")},
                       {"vm_id", Str("vm-8")},
                       {"hba_type", Str("ZSCSI")},
                       {"controller_number", Int(1)}});
  for (auto& input : {instead, beside}) {
    auto activation = Tarn::Core::AsyncActivation::GetInstance();
    auto answer = Invoke(*iface, "add", input, activation);
    EXPECT_EQ(answer.errorName(), StdError("invalid_argument"));
    EXPECT_TRUE(activation->resourceIds().empty());
  }
  // Given both, "vm" is an undeclared field that the record's validation reports.
  auto refused = Invoke(*iface, "add", beside);
  ASSERT_TRUE(refused.error());
  auto messages = refused.error()->Messages();
  ASSERT_EQ(MessageIds(messages), (std::vector<std::string>{"tarn.invoke.invalid.input",
                                                            "tarn.data.compound.field.extra"}));
  EXPECT_EQ(messages[1].args,
            (std::vector<std::string>{
                "::Com::Brantel::Kov::Vm::Device::ScsiControllerSvc::AddMethod::Input", "vm", ""}));
}

// Power: a missing tag is reported first, then the "suspended" case.
TEST(PowerInfo, MissingTagIsCheckedBeforeTheCase) {
  constexpr char kInfo[] = "com.brantel.kov.vm.power.info";
  struct Case {
    const char* state;  // "" is the default value; a text outside the table is unknown
    boost::optional<bool> suspended;
    Messages expected;
  };
  const std::vector<Case> cases = {
      {"ON", boost::none, {}},
      {"OFF", false, {}},
      {"OFF", boost::none, NotSet(kInfo, "suspended")},
      {"ON", true, IsSet(kInfo, "suspended")},
      {"", true, NoTag("state")},
      {"STANDBY", true, NoTag("state")},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(std::string(c.state) + (c.suspended ? " suspended set" : ""));
    Vm::PowerSvc::Info info;
    info.state = Tarn::EnumFromText<Vm::PowerSvc::State>(c.state);
    info.suspended = c.suspended;
    EXPECT_EQ(Validated(info), c.expected);
  }
}

// CD-ROM: the device case first, then the image case, and only then a missing tag; the first
// failure ends the check.
TEST(CdromBacking, CasesAreCheckedBeforeTheMissingTag) {
  constexpr char kBacking[] = "com.brantel.kov.vm.device.cdrom.backing_info";
  struct Case {
    const char* type;
    const char* deviceName;  // null: unset
    const char* isoFile;
    Messages expected;
  };
  const std::vector<Case> cases = {
      {"ATAPI", "/dev/sr0", nullptr, {}},
      {"IMAGE", nullptr, nullptr, {}},
      {"IMAGE", nullptr, "a.iso", {}},
      {"ATAPI", nullptr, "a.iso", NotSet(kBacking, "deviceName")},
      {"RAW", "/dev/sr0", "a.iso", IsSet(kBacking, "isoFile")},
      {"IMAGE", "", "a.iso", IsSet(kBacking, "deviceName")},
      {"FLOPPY", nullptr, "a.iso", IsSet(kBacking, "isoFile")},
      {"FLOPPY", nullptr, nullptr, NoTag("type")},
      {"", nullptr, nullptr, NoTag("type")},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(std::string(c.type) + (c.deviceName ? " device" : "") + (c.isoFile ? " iso" : ""));
    Vm::Device::CdromSvc::BackingInfo backing;
    backing.type = Tarn::EnumFromText<Vm::Device::CdromSvc::BackingType>(c.type);
    if (c.deviceName) backing.deviceName = std::string(c.deviceName);
    if (c.isoFile) backing.isoFile = std::string(c.isoFile);
    EXPECT_EQ(Validated(backing), c.expected);
  }
}

TEST(DockList, TakesTheOperationInputUnvalidated) {
  static_assert(std::is_same<Vm::DockSvc::ListMethod::Input, Tarn::OperationInput>::value,
                "list has no input record of its own");
  auto iface = Bound("com.brantel.kov.vm.dock");
  ASSERT_TRUE(iface);
  struct Case {
    const char* name;
    Tarn::Data::DataValuePtr input;
    bool reaches;
  };
  const std::vector<Case> cases = {
      {"no fields", Input({}), true},
      // The operation input declares no fields, so none is reported as undeclared.
      {"an undeclared field", Input({{"x", Int(3)}}), true},
      {"the empty string", Str(""), true},
      {"a text", Str("all"), false},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto activation = Tarn::Core::AsyncActivation::GetInstance();
    auto answer = Invoke(*iface, "list", c.input, activation);
    EXPECT_EQ(answer.calls, 1);
    EXPECT_EQ(answer.errorName(), c.reaches ? "" : StdError("invalid_argument"));
    EXPECT_TRUE(activation->resourceIds().empty());
  }
  // The client sends a default operation input: no field at all.
  auto target =
      CannedTarget::Answering(Struct("com.brantel.kov.vm.dock.list_result", {{"items", List({})}}));
  auto listed = Call<std::shared_ptr<const Vm::DockSvc::ListResult>>(
      [&](auto cb) { StubOn<Vm::DockSvc>(target).List(nullptr, cb); });
  ASSERT_TRUE(listed.ok() && *listed.value) << listed.errorName();
  EXPECT_EQ(*target->lastInput, *Input({}));
}

}  // namespace
