// The SCSI controller service: its shape with the machine under "vm_id", its own adapter type
// table, and calls through its stub.
#include "vm/device/scsi_controller.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/vm/service_test_util.h"
#include "vm/device/sata_controller.h"

namespace {

using Com::Brantel::Kov::Vm::Device::ScsiControllerSvc;
using Tarn::Core::AsyncActivation;
using namespace ServiceTest;  // NOLINT(build/namespaces)
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;
using HbaType = ScsiControllerSvc::HbaType;

class FakeScsi : public ScsiControllerSvc::AsyncServiceInterface, public Recorder {
 public:
  void Add(const std::string& vmId, const HbaType& hbaType, const std::int64_t& controllerNumber,
           const std::shared_ptr<AsyncActivation>& activation,
           const ScsiControllerSvc::AddMethod::ResultCbType& result) override {
    Record("add", activation);
    lastVmId = vmId;
    lastHba = hbaType;
    lastNumber = controllerNumber;
    Answer(result, Tarn::Void());
  }

  std::string lastVmId;
  HbaType lastHba;
  std::int64_t lastNumber = -1;
};

using ScsiTest = ServiceFixture<ScsiControllerSvc, FakeScsi>;

std::shared_ptr<Tarn::Data::StructValue> AddInput(const std::string& hba) {
  return Input({{"vm_id", Str("vm-8")}, {"hba_type", Str(hba)}, {"controller_number", Int(1)}});
}

TEST_F(ScsiTest, ShapeSeenByTheRuntime) {
  ExpectShape<ScsiControllerSvc>(
      impl, "com.brantel.kov.vm.device.scsi_controller",
      {{"add",
        {"not_found", "not_allowed_in_current_state", "already_exists", "error"},
        "struct com.brantel.tarn.operation_input {controller_number: integer, hba_type: string, "
        "vm_id: string}",
        "void"}});
}

TEST(ScsiHbaType, ATypeOfItsOwn) {
  static_assert(
      !std::is_same<HbaType, Com::Brantel::Kov::Vm::Device::SataControllerSvc::HbaType>::value,
      "each service has its own adapter type");
  ExpectEnum<HbaType>(
      "com.brantel.kov.vm.device.scsi_controller.hba_type",
      {{HbaType::LSILOGIC, "LSILOGIC"}, {HbaType::LSISAS, "LSISAS"}, {HbaType::ZSCSI, "ZSCSI"}},
      {"AHCI", "ZUBSCSI", "zscsi"});
}

TEST_F(ScsiTest, AddRecordsTheMachineFromVmId) {
  for (const char* hba : {"ZSCSI", "LSISAS", "LSILOGIC", "ZUBSCSI"}) {
    SCOPED_TRACE(hba);
    auto answer = ExpectAnswered(*iface, *impl, "add", AddInput(hba), {MachineResource("vm-8")});
    EXPECT_EQ(answer.output()->GetType(), Tarn::Data::DataType::VOID);
    EXPECT_TRUE(impl->lastHba == Tarn::EnumFromText<HbaType>(hba));
    EXPECT_EQ(impl->lastVmId, "vm-8");
    EXPECT_EQ(impl->lastNumber, 1);
  }
}

TEST_F(ScsiTest, MachineUnderVmIsAMissingField) {
  auto both = AddInput("ZSCSI");
  both->SetField("vm", Str("vm-8"));
  ExpectRefusals(
      *iface, "::Com::Brantel::Kov::Vm::Device::ScsiControllerSvc::",
      {{"vm instead of vm_id", "add",
        Input({{"vm", Str("vm-8")}, {"hba_type", Str("ZSCSI")}, {"controller_number", Int(1)}})},
       // Given both, "vm" is an undeclared field that the record's validation reports.
       {"vm beside vm_id", "add", both, {"Add", "AddMethod::Input", "vm"}}});
  EXPECT_TRUE(impl->calls.empty());
}

TEST_F(ScsiTest, EndToEndAnswerAndFailure) {
  auto added = Call<Tarn::Void>(
      [&](auto cb) { stub->Add("vm-3", HbaType(HbaType::LSISAS), 7, nullptr, cb); });
  ASSERT_TRUE(added.ok()) << added.errorName();
  EXPECT_EQ(impl->lastVmId, "vm-3");
  EXPECT_TRUE(impl->lastHba == HbaType::LSISAS);
  EXPECT_EQ(impl->lastNumber, 7);
  EXPECT_EQ(impl->resourcesSeen, std::vector<std::string>{MachineResource("vm-3")});

  impl->failure = Errors::AlreadyExists::Create();
  added = Call<Tarn::Void>(
      [&](auto cb) { stub->Add("vm-3", Tarn::EnumFromText<HbaType>("ZUBSCSI"), 7, nullptr, cb); });
  EXPECT_EQ(added.errorName(), StdError("already_exists"));
  EXPECT_EQ(Tarn::EnumToText(impl->lastHba), "ZUBSCSI");
  // An error "add" does not list becomes the internal server error.
  impl->failure = Errors::ResourceBusy::Create();
  EXPECT_EQ(Invoke(*iface, "add", AddInput("ZSCSI")).errorName(),
            StdError("internal_server_error"));
}

TEST_F(ScsiTest, StubSendsTheMachineUnderVmId) {
  auto target = CannedTarget::Answering(Tarn::Data::VoidValue::GetInstance());
  auto client = StubOn<ScsiControllerSvc>(target);
  EXPECT_TRUE(Call<Tarn::Void>([&](auto cb) {
                client.Add("vm-3", HbaType(HbaType::ZSCSI), 2, nullptr, cb);
              }).ok());
  EXPECT_EQ(target->interfaceName, "com.brantel.kov.vm.device.scsi_controller");
  EXPECT_EQ(target->methodName, "add");
  EXPECT_EQ(Text(target->lastInput), Text(Input({{"vm_id", Str("vm-3")},
                                                 {"hba_type", Str("ZSCSI")},
                                                 {"controller_number", Int(2)}})));
}

}  // namespace
