#include "vm/device/scsi_controller.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/vm/definition_test_util.h"
#include "tests/vm/service_test_util.h"
#include "vm/device/sata_controller.h"

namespace {

using Com::Brantel::Kov::Vm::Device::ScsiControllerSvc;
using ServiceTest::Input;
using ServiceTest::Int;
using ServiceTest::MessageIds;
using ServiceTest::Str;
using Tarn::Core::AsyncActivation;
using HbaType = ScsiControllerSvc::HbaType;

class FakeScsi : public ScsiControllerSvc::AsyncServiceInterface {
 public:
  void Add(const std::string& vmId, const HbaType& hbaType, const std::int64_t& controllerNumber,
           const std::shared_ptr<AsyncActivation>& activation,
           const ScsiControllerSvc::AddMethod::ResultCbType& result) override {
    ++calls;
    resourcesSeen = activation->resourceIds();
    lastVmId = vmId;
    lastHba = hbaType;
    lastNumber = controllerNumber;
    answer(result);
  }

  int calls = 0;
  std::vector<std::string> resourcesSeen;
  std::string lastVmId;
  HbaType lastHba;
  std::int64_t lastNumber = -1;
  std::function<void(const ScsiControllerSvc::AddMethod::ResultCbType&)> answer =
      [](const ScsiControllerSvc::AddMethod::ResultCbType& r) { r(Tarn::Void()); };
};

class ScsiTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeScsi> impl = std::make_shared<FakeScsi>();
  std::shared_ptr<Tarn::Provider::AsyncApiInterface> iface =
      ScsiControllerSvc::AsyncServiceBinder::BindImplementation(impl);
};

Tarn::Data::DataValuePtr AddInput(const std::string& vmField, const std::string& hba) {
  return Input({{vmField, Str("vm-8")}, {"hba_type", Str(hba)}, {"controller_number", Int(1)}});
}

TEST_F(ScsiTest, ServiceIdOperationAndErrors) {
  EXPECT_EQ(Tarn::Data::TypeInfo<ScsiControllerSvc::AsyncServiceInterface>::name(),
            "com.brantel.kov.vm.device.scsi_controller");
  EXPECT_EQ(iface->identifier()->name(), "com.brantel.kov.vm.device.scsi_controller");
  EXPECT_EQ(ServiceTest::MethodNames(*iface), std::vector<std::string>{"add"});
  EXPECT_EQ(ServiceTest::ErrorNames(iface->methods()[0]->errorDefinitions()),
            DefinitionTest::StdErrors(
                {"not_found", "not_allowed_in_current_state", "already_exists", "error"}));
  EXPECT_EQ(DefinitionTest::FieldNames(ScsiControllerSvc::AddMethod::inputDef()),
            (std::vector<std::string>{"controller_number", "hba_type", "vm_id"}));
  EXPECT_EQ(ScsiControllerSvc::AddMethod::outputDef()->GetType(), Tarn::Data::DataType::VOID);
  EXPECT_STREQ(ScsiControllerSvc::AddMethod::Input::nativeName,
               "::Com::Brantel::Kov::Vm::Device::ScsiControllerSvc::AddMethod::Input");
}

TEST(ScsiHbaType, ATypeOfItsOwn) {
  using SataHba = Com::Brantel::Kov::Vm::Device::SataControllerSvc::HbaType;
  EXPECT_FALSE((std::is_same<HbaType, SataHba>::value));
  EXPECT_STREQ(HbaType::typeName, "com.brantel.kov.vm.device.scsi_controller.hba_type");
  struct Case {
    const char* text;
    std::int32_t index;
  };
  const Case cases[] = {{"LSILOGIC", 0}, {"LSISAS", 1}, {"ZSCSI", 2}, {"AHCI", 3}, {"BUSLOGIC", 3}};
  for (const Case& c : cases) {
    HbaType e = Tarn::EnumFromText<HbaType>(c.text);
    EXPECT_EQ(e.number(), c.index) << c.text;
    EXPECT_EQ(Tarn::EnumToText(e), c.text);
  }
  EXPECT_EQ(HbaType::_UNKNOWN, 3);
}

TEST_F(ScsiTest, AddRecordsTheMachineFromVmId) {
  struct Case {
    const char* hba;
    std::int32_t index;
  };
  const Case cases[] = {{"ZSCSI", 2}, {"LSISAS", 1}, {"LSILOGIC", 0}, {"PVSCSI", 3}};
  for (const Case& c : cases) {
    auto activation = AsyncActivation::GetInstance();
    auto answer = ServiceTest::Invoke(*iface, "add", AddInput("vm_id", c.hba), activation);
    ASSERT_FALSE(answer.error()) << c.hba << ": " << answer.error()->ToString();
    EXPECT_EQ(answer.output()->GetType(), Tarn::Data::DataType::VOID);
    EXPECT_EQ(impl->lastHba.number(), c.index) << c.hba;
    EXPECT_EQ(Tarn::EnumToText(impl->lastHba), c.hba);
    EXPECT_EQ(impl->lastVmId, "vm-8");
    EXPECT_EQ(impl->lastNumber, 1);
    EXPECT_EQ(impl->resourcesSeen,
              std::vector<std::string>{"com.brantel.kov.vm.VirtualMachine.vm-8"});
    EXPECT_EQ(activation->resourceIds(), impl->resourcesSeen);
  }
}

TEST_F(ScsiTest, MachineUnderVmIsAMissingField) {
  auto activation = AsyncActivation::GetInstance();
  auto answer = ServiceTest::Invoke(*iface, "add", AddInput("vm", "ZSCSI"), activation);
  ASSERT_EQ(answer.calls, 1);
  EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.invalid_argument");
  EXPECT_EQ(impl->calls, 0);
  EXPECT_TRUE(activation->resourceIds().empty());

  // Given both, "vm" is an undeclared field that the record's validation reports.
  answer = ServiceTest::Invoke(*iface, "add",
                               Input({{"vm_id", Str("vm-8")},
                                      {"vm", Str("vm-8")},
                                      {"hba_type", Str("ZSCSI")},
                                      {"controller_number", Int(1)}}));
  EXPECT_EQ(
      MessageIds(answer.error()),
      (std::vector<std::string>{"tarn.invoke.invalid.input", "tarn.data.compound.field.extra"}));
  auto messages = answer.error()->Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].args,
            std::vector<std::string>{"::Com::Brantel::Kov::Vm::Device::ScsiControllerSvc::Add"});
  EXPECT_EQ(messages[1].args[1], "vm");
  EXPECT_EQ(impl->calls, 0);
}

TEST_F(ScsiTest, UndeclaredErrorsBecomeInternalErrors) {
  impl->answer = [](const ScsiControllerSvc::AddMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::ResourceBusy::Create());
  };
  auto answer = ServiceTest::Invoke(*iface, "add", AddInput("vm_id", "ZSCSI"));
  EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.internal_server_error");
}

TEST_F(ScsiTest, EndToEndAnswerAndFailure) {
  std::unique_ptr<ScsiControllerSvc::AsyncServiceStub> stub =
      ServiceTest::LocalStub<ScsiControllerSvc>(impl);
  ServiceTest::Outcome<Tarn::Void> ok;
  stub->Add("vm-3", HbaType(HbaType::LSISAS), 7, nullptr, ok.Callback());
  ASSERT_EQ(ok.calls, 1);
  ASSERT_FALSE(ok.error) << ok.error->ToString();
  EXPECT_TRUE(ok.value);
  EXPECT_EQ(impl->lastVmId, "vm-3");
  EXPECT_EQ(impl->lastHba.value(), HbaType::LSISAS);
  EXPECT_EQ(impl->lastNumber, 7);
  EXPECT_EQ(impl->resourcesSeen,
            std::vector<std::string>{"com.brantel.kov.vm.VirtualMachine.vm-3"});

  impl->answer = [](const ScsiControllerSvc::AddMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::AlreadyExists::Create());
  };
  ServiceTest::Outcome<Tarn::Void> failed;
  stub->Add("vm-3", Tarn::EnumFromText<HbaType>("BUSLOGIC"), 7, nullptr, failed.Callback());
  EXPECT_EQ(failed.errorName(), "com.brantel.tarn.std.errors.already_exists");
  EXPECT_EQ(Tarn::EnumToText(impl->lastHba), "BUSLOGIC");
}

TEST_F(ScsiTest, StubSendsTheMachineUnderVmId) {
  auto target = ServiceTest::CannedTarget::Answering(Tarn::Data::VoidValue::GetInstance());
  auto stub = ServiceTest::StubOn<ScsiControllerSvc>(target);
  ServiceTest::Outcome<Tarn::Void> out;
  stub.Add("vm-3", HbaType(HbaType::ZSCSI), 2, nullptr, out.Callback());
  EXPECT_TRUE(out.value);
  EXPECT_EQ(target->interfaceName, "com.brantel.kov.vm.device.scsi_controller");
  EXPECT_EQ(target->methodName, "add");
  auto expected =
      Input({{"vm_id", Str("vm-3")}, {"hba_type", Str("ZSCSI")}, {"controller_number", Int(2)}});
  EXPECT_TRUE(target->lastInput->Equals(*expected)) << target->lastInput->ToString();
}

}  // namespace
