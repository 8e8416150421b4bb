#include "vm/device/sata_controller.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/vm/definition_test_util.h"
#include "tests/vm/service_test_util.h"

namespace {

using Com::Brantel::Kov::Vm::Device::SataControllerSvc;
using ServiceTest::Input;
using ServiceTest::Int;
using ServiceTest::MessageIds;
using ServiceTest::Opt;
using ServiceTest::Str;
using ServiceTest::Struct;
using ServiceTest::Texts;
using Tarn::Core::AsyncActivation;
using HbaType = SataControllerSvc::HbaType;

constexpr const char kVm1[] = "com.brantel.kov.vm.VirtualMachine.vm-1";

class FakeSata : public SataControllerSvc::AsyncServiceInterface {
 public:
  void Add(const std::string& vm, const HbaType& hbaType, const std::int64_t& controllerNumber,
           const std::shared_ptr<AsyncActivation>& activation,
           const SataControllerSvc::AddMethod::ResultCbType& result) override {
    Record("add", vm, activation);
    lastHba = hbaType;
    lastNumber = controllerNumber;
    answerVoid(result);
  }
  void Update(const std::string& vm, const HbaType& hbaType, const std::int64_t& controllerNumber,
              const std::shared_ptr<AsyncActivation>& activation,
              const SataControllerSvc::UpdateMethod::ResultCbType& result) override {
    Record("update", vm, activation);
    lastHba = hbaType;
    lastNumber = controllerNumber;
    answerVoid(result);
  }
  void Delete(const std::string& vm, const std::int64_t& controllerNumber,
              const std::shared_ptr<AsyncActivation>& activation,
              const SataControllerSvc::DeleteMethod::ResultCbType& result) override {
    Record("delete", vm, activation);
    lastNumber = controllerNumber;
    answerVoid(result);
  }
  void List(const std::string& vm,
            const Tarn::OptionalPtr<const SataControllerSvc::FilterSpec>& filter,
            const std::shared_ptr<AsyncActivation>& activation,
            const SataControllerSvc::ListMethod::ResultCbType& result) override {
    Record("list", vm, activation);
    lastFilter = filter;
    answerList(result);
  }

  std::vector<std::string> calls;
  std::vector<std::string> resourcesSeen;
  std::string lastVm;
  HbaType lastHba;
  std::int64_t lastNumber = -1;
  Tarn::OptionalPtr<const SataControllerSvc::FilterSpec> lastFilter;

  // Answers add, update and delete.
  std::function<void(const Tarn::AsyncResult<Tarn::Void>&)> answerVoid =
      [](const Tarn::AsyncResult<Tarn::Void>& r) { r(Tarn::Void()); };
  std::function<void(const SataControllerSvc::ListMethod::ResultCbType&)> answerList =
      [](const SataControllerSvc::ListMethod::ResultCbType& r) {
        auto a = std::make_shared<SataControllerSvc::Summary>();
        a->label = "SATA controller 1";
        auto b = std::make_shared<SataControllerSvc::Summary>();
        b->label = "SATA controller 0";
        r(std::vector<std::shared_ptr<const SataControllerSvc::Summary>>{a, b});
      };

 private:
  void Record(const char* op, const std::string& vm,
              const std::shared_ptr<AsyncActivation>& activation) {
    calls.push_back(op);
    lastVm = vm;
    resourcesSeen = activation->resourceIds();
  }
};

class SataTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeSata> impl = std::make_shared<FakeSata>();
  std::shared_ptr<Tarn::Provider::AsyncApiInterface> iface =
      SataControllerSvc::AsyncServiceBinder::BindImplementation(impl);
};

// Detects structure metadata on a record.
template <class T, class = void>
struct HasMetadata : std::false_type {};
template <class T>
struct HasMetadata<T, std::void_t<typename T::Metadata>> : std::true_type {};

TEST_F(SataTest, ServiceIdSlotsAndErrorOrders) {
  EXPECT_EQ(Tarn::Data::TypeInfo<SataControllerSvc::AsyncServiceInterface>::name(),
            "com.brantel.kov.vm.device.sata_controller");
  EXPECT_EQ(iface->identifier()->name(), "com.brantel.kov.vm.device.sata_controller");
  EXPECT_EQ(ServiceTest::MethodNames(*iface),
            (std::vector<std::string>{"add", "update", "delete", "list"}));
  EXPECT_EQ(ServiceTest::ErrorNames(iface->methods()[0]->errorDefinitions()),
            DefinitionTest::StdErrors(
                {"not_found", "not_allowed_in_current_state", "already_exists", "error"}));
  for (std::size_t i = 1; i < 4; ++i) {
    EXPECT_EQ(ServiceTest::ErrorNames(iface->methods()[i]->errorDefinitions()),
              DefinitionTest::StdErrors({"not_found", "not_allowed_in_current_state", "error"}))
        << i;
  }
}

TEST_F(SataTest, NamesAndDefinitions) {
  using Tarn::Data::DataType;
  EXPECT_STREQ(HbaType::typeName, "com.brantel.kov.vm.device.sata_controller.hba_type");
  EXPECT_EQ(Tarn::Data::TypeInfo<SataControllerSvc::Summary>::name(),
            "com.brantel.kov.vm.device.sata_controller.summary");
  EXPECT_EQ(Tarn::Data::TypeInfo<SataControllerSvc::FilterSpec>::name(),
            "com.brantel.kov.vm.device.sata_controller.filter_spec");
  EXPECT_STREQ(SataControllerSvc::UpdateMethod::Input::nativeName,
               "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::UpdateMethod::Input");

  auto add = SataControllerSvc::AddMethod::inputDef();
  EXPECT_EQ(DefinitionTest::FieldNames(add),
            (std::vector<std::string>{"controller_number", "hba_type", "vm"}));
  EXPECT_EQ(DefinitionTest::FieldDef(add, "controller_number")->GetType(), DataType::INTEGER);
  EXPECT_EQ(DefinitionTest::FieldDef(add, "hba_type")->GetType(), DataType::STRING);
  // "add" and "update" take the same fields and so the same definition.
  EXPECT_EQ(add->ToString(), SataControllerSvc::UpdateMethod::inputDef()->ToString());
  EXPECT_EQ(DefinitionTest::FieldNames(SataControllerSvc::DeleteMethod::inputDef()),
            (std::vector<std::string>{"controller_number", "vm"}));
  EXPECT_EQ(DefinitionTest::FieldNames(SataControllerSvc::ListMethod::inputDef()),
            (std::vector<std::string>{"filter", "vm"}));
  for (auto* def :
       {&SataControllerSvc::AddMethod::outputDef, &SataControllerSvc::UpdateMethod::outputDef,
        &SataControllerSvc::DeleteMethod::outputDef}) {
    EXPECT_EQ((*def)()->GetType(), DataType::VOID);
  }
  EXPECT_EQ(SataControllerSvc::ListMethod::outputDef()->GetType(), DataType::LIST);

  // The package describes no structure metadata.
  EXPECT_FALSE(HasMetadata<SataControllerSvc::Summary>::value);
  EXPECT_FALSE(HasMetadata<SataControllerSvc::FilterSpec>::value);
}

TEST(SataHbaType, TableAndUnknownTexts) {
  EXPECT_EQ(HbaType::AHCI, 0);
  EXPECT_EQ(HbaType::_UNKNOWN, 1);
  EXPECT_EQ(Tarn::EnumFromText<HbaType>("AHCI").value(), HbaType::AHCI);
  HbaType nvme = Tarn::EnumFromText<HbaType>("NVME");
  EXPECT_EQ(nvme.value(), HbaType::_UNKNOWN);
  EXPECT_EQ(Tarn::EnumToText(nvme), "NVME");
  EXPECT_EQ(Tarn::EnumToText(HbaType()), "_UNKNOWN");
}

TEST_F(SataTest, EveryOperationRecordsTheMachineFirst) {
  struct Case {
    const char* op;
    Tarn::Data::DataValuePtr input;
  };
  const Case cases[] = {
      {"add",
       Input({{"vm", Str("vm-1")}, {"hba_type", Str("AHCI")}, {"controller_number", Int(0)}})},
      {"update",
       Input({{"vm", Str("vm-1")}, {"hba_type", Str("AHCI")}, {"controller_number", Int(2)}})},
      {"delete", Input({{"vm", Str("vm-1")}, {"controller_number", Int(3)}})},
      {"list", Input({{"vm", Str("vm-1")}})},
  };
  for (const Case& c : cases) {
    auto activation = AsyncActivation::GetInstance();
    auto answer = ServiceTest::Invoke(*iface, c.op, c.input, activation);
    ASSERT_FALSE(answer.error()) << c.op << ": " << answer.error()->ToString();
    ASSERT_FALSE(impl->calls.empty());
    EXPECT_EQ(impl->calls.back(), c.op);
    EXPECT_EQ(impl->resourcesSeen, std::vector<std::string>{kVm1}) << c.op;
    EXPECT_EQ(activation->resourceIds(), std::vector<std::string>{kVm1}) << c.op;
  }
  EXPECT_EQ(impl->calls, (std::vector<std::string>{"add", "update", "delete", "list"}));
}

TEST_F(SataTest, AddHandsOverTypeAndNumber) {
  struct Case {
    const char* name;
    Tarn::Data::DataValuePtr hba;
    Tarn::Data::DataValuePtr number;
    std::int32_t index;
    const char* text;
    std::int64_t expectedNumber;
  };
  const Case cases[] = {
      {"AHCI, 0", Str("AHCI"), Int(0), 0, "AHCI", 0},
      {"unknown kept", Str("NVME"), Int(1), 1, "NVME", 1},
      {"number as text", Str("AHCI"), Str("3"), 0, "AHCI", 3},
      {"negative number", Str("AHCI"), Int(-1), 0, "AHCI", -1},
      {"largest number", Str("AHCI"), Int(INT64_MAX), 0, "AHCI", INT64_MAX},
  };
  for (const Case& c : cases) {
    auto answer = ServiceTest::Invoke(
        *iface, "add",
        Input({{"vm", Str("vm-1")}, {"hba_type", c.hba}, {"controller_number", c.number}}));
    ASSERT_FALSE(answer.error()) << c.name << ": " << answer.error()->ToString();
    EXPECT_EQ(answer.output()->GetType(), Tarn::Data::DataType::VOID);
    EXPECT_EQ(impl->lastHba.number(), c.index) << c.name;
    EXPECT_EQ(Tarn::EnumToText(impl->lastHba), c.text) << c.name;
    EXPECT_EQ(impl->lastNumber, c.expectedNumber) << c.name;
    EXPECT_EQ(impl->lastVm, "vm-1");
  }
}

TEST_F(SataTest, RejectedInputsNeverReachTheImplementation) {
  struct Case {
    const char* name;
    const char* op;
    Tarn::Data::DataValuePtr input;
    std::vector<std::string> ids;
  };
  const Case cases[] = {
      {"add without controller number",
       "add",
       Input({{"vm", Str("vm-1")}, {"hba_type", Str("AHCI")}}),
       {}},
      {"add without hba type",
       "add",
       Input({{"vm", Str("vm-1")}, {"controller_number", Int(0)}}),
       {}},
      {"add with a number that is not one",
       "add",
       Input({{"vm", Str("vm-1")}, {"hba_type", Str("AHCI")}, {"controller_number", Str("one")}}),
       {}},
      {"add with a boolean number",
       "add",
       Input({{"vm", Str("vm-1")},
              {"hba_type", Str("AHCI")},
              {"controller_number", ServiceTest::Bool(true)}}),
       {}},
      {"update without controller number",
       "update",
       Input({{"vm", Str("vm-1")}, {"hba_type", Str("AHCI")}}),
       {}},
      {"delete without vm", "delete", Input({{"controller_number", Int(0)}}), {}},
      {"delete with an undeclared field",
       "delete",
       Input({{"vm", Str("vm-1")}, {"controller_number", Int(0)}, {"hba_type", Str("AHCI")}}),
       {"tarn.invoke.invalid.input", "tarn.data.compound.field.extra"}},
      {"list filter labels as a number",
       "list",
       Input({{"vm", Str("vm-1")},
              {"filter", Opt(Struct("com.brantel.kov.vm.device.sata_controller.filter_spec",
                                    {{"labels", Int(1)}}))}}),
       {}},
  };
  for (const Case& c : cases) {
    auto activation = AsyncActivation::GetInstance();
    auto answer = ServiceTest::Invoke(*iface, c.op, c.input, activation);
    ASSERT_EQ(answer.calls, 1) << c.name;
    EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.invalid_argument") << c.name;
    if (!c.ids.empty()) {
      EXPECT_EQ(MessageIds(answer.error()), c.ids) << c.name;
    }
    EXPECT_TRUE(activation->resourceIds().empty()) << c.name;
  }
  EXPECT_TRUE(impl->calls.empty());

  auto answer = ServiceTest::Invoke(
      *iface, "delete",
      Input({{"vm", Str("vm-1")}, {"controller_number", Int(0)}, {"hba_type", Str("AHCI")}}));
  auto messages = answer.error()->Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].args,
            std::vector<std::string>{"::Com::Brantel::Kov::Vm::Device::SataControllerSvc::Delete"});
  EXPECT_EQ(messages[1].args,
            (std::vector<std::string>{
                "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::DeleteMethod::Input",
                "hba_type", ""}));
}

TEST_F(SataTest, ListFilterAndAnswer) {
  auto answer = ServiceTest::Invoke(
      *iface, "list",
      Input({{"vm", Str("vm-1")},
             {"filter", Opt(Struct("com.brantel.kov.vm.device.sata_controller.filter_spec",
                                   {{"labels", Opt(Texts({"b", "a"}))}}))}}));
  ASSERT_FALSE(answer.error()) << answer.error()->ToString();
  ASSERT_TRUE(impl->lastFilter && impl->lastFilter->labels);
  EXPECT_EQ(*impl->lastFilter->labels, (std::set<std::string>{"a", "b"}));
  auto expected = ServiceTest::List({Struct("com.brantel.kov.vm.device.sata_controller.summary",
                                            {{"label", Str("SATA controller 1")}}),
                                     Struct("com.brantel.kov.vm.device.sata_controller.summary",
                                            {{"label", Str("SATA controller 0")}})});
  EXPECT_TRUE(answer.output()->Equals(*expected)) << answer.output()->ToString();
}

class SataClientTest : public SataTest {
 protected:
  std::unique_ptr<SataControllerSvc::AsyncServiceStub> stub =
      ServiceTest::LocalStub<SataControllerSvc>(impl);
};

TEST_F(SataClientTest, VoidOperationsAnswerAndFail) {
  struct Case {
    const char* op;
    std::function<void(SataControllerSvc::AsyncServiceStub&, ServiceTest::Outcome<Tarn::Void>&)>
        call;
  };
  const Case cases[] = {
      {"add",
       [](SataControllerSvc::AsyncServiceStub& s, ServiceTest::Outcome<Tarn::Void>& o) {
         s.Add("vm-1", Tarn::EnumFromText<HbaType>("SCU"), 4, nullptr, o.Callback());
       }},
      {"update",
       [](SataControllerSvc::AsyncServiceStub& s, ServiceTest::Outcome<Tarn::Void>& o) {
         s.Update("vm-1", HbaType(HbaType::AHCI), 5, nullptr, o.Callback());
       }},
      {"delete",
       [](SataControllerSvc::AsyncServiceStub& s, ServiceTest::Outcome<Tarn::Void>& o) {
         s.Delete("vm-1", 6, nullptr, o.Callback());
       }},
  };
  std::int64_t number = 4;
  for (const Case& c : cases) {
    impl->answerVoid = [](const Tarn::AsyncResult<Tarn::Void>& r) { r(Tarn::Void()); };
    ServiceTest::Outcome<Tarn::Void> ok;
    c.call(*stub, ok);
    ASSERT_EQ(ok.calls, 1) << c.op;
    ASSERT_FALSE(ok.error) << c.op << ": " << ok.error->ToString();
    EXPECT_TRUE(ok.value) << c.op;
    EXPECT_EQ(impl->calls.back(), c.op);
    EXPECT_EQ(impl->lastNumber, number++) << c.op;
    EXPECT_EQ(impl->resourcesSeen, std::vector<std::string>{kVm1}) << c.op;

    impl->answerVoid = [](const Tarn::AsyncResult<Tarn::Void>& r) {
      r.error(Com::Brantel::Tarn::Std::Errors::NotFound::Create());
    };
    ServiceTest::Outcome<Tarn::Void> failed;
    c.call(*stub, failed);
    EXPECT_EQ(failed.errorName(), "com.brantel.tarn.std.errors.not_found") << c.op;
    EXPECT_FALSE(failed.value) << c.op;
  }
  // The unknown type of the add call reached the implementation with its text.
  impl->answerVoid = [](const Tarn::AsyncResult<Tarn::Void>& r) { r(Tarn::Void()); };
  ServiceTest::Outcome<Tarn::Void> out;
  stub->Add("vm-1", Tarn::EnumFromText<HbaType>("SCU"), 4, nullptr, out.Callback());
  EXPECT_EQ(Tarn::EnumToText(impl->lastHba), "SCU");
  EXPECT_EQ(impl->lastHba.value(), HbaType::_UNKNOWN);
}

TEST_F(SataClientTest, ListAnswerAndFailure) {
  ServiceTest::Outcome<std::vector<std::shared_ptr<const SataControllerSvc::Summary>>> ok;
  stub->List("vm-1", nullptr, nullptr, ok.Callback());
  ASSERT_FALSE(ok.error) << ok.error->ToString();
  ASSERT_EQ(ok.value->size(), 2u);
  EXPECT_EQ((*ok.value)[0]->label, "SATA controller 1");
  EXPECT_EQ((*ok.value)[1]->label, "SATA controller 0");
  EXPECT_FALSE(impl->lastFilter);

  impl->answerList = [](const SataControllerSvc::ListMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::Error::Create());
  };
  ServiceTest::Outcome<std::vector<std::shared_ptr<const SataControllerSvc::Summary>>> failed;
  stub->List("vm-1", nullptr, nullptr, failed.Callback());
  EXPECT_EQ(failed.errorName(), "com.brantel.tarn.std.errors.error");
}

}  // namespace
