// The SATA controller service: its shape, its adapter type table, the controller number and type
// handed over, refused inputs, the list filter, and calls through its stub.
#include "vm/device/sata_controller.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/vm/service_test_util.h"

namespace {

using Com::Brantel::Kov::Vm::Device::SataControllerSvc;
using Tarn::Core::AsyncActivation;
using namespace ServiceTest;  // NOLINT(build/namespaces)
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;
using HbaType = SataControllerSvc::HbaType;
using Summaries = std::vector<std::shared_ptr<const SataControllerSvc::Summary>>;

constexpr char kSummary[] = "com.brantel.kov.vm.device.sata_controller.summary";
constexpr char kFilterSpec[] = "com.brantel.kov.vm.device.sata_controller.filter_spec";
const std::vector<std::string> kVm1 = {MachineResource("vm-1")};

std::shared_ptr<const SataControllerSvc::Summary> Labelled(const std::string& label) {
  auto s = std::make_shared<SataControllerSvc::Summary>();
  s->label = label;
  return s;
}

class FakeSata : public SataControllerSvc::AsyncServiceInterface, public Recorder {
 public:
  void Add(const std::string& vm, const HbaType& hbaType, const std::int64_t& controllerNumber,
           const std::shared_ptr<AsyncActivation>& activation,
           const SataControllerSvc::AddMethod::ResultCbType& result) override {
    Seen("add", vm, hbaType, controllerNumber, activation);
    Answer(result, Tarn::Void());
  }
  void Update(const std::string& vm, const HbaType& hbaType, const std::int64_t& controllerNumber,
              const std::shared_ptr<AsyncActivation>& activation,
              const SataControllerSvc::UpdateMethod::ResultCbType& result) override {
    Seen("update", vm, hbaType, controllerNumber, activation);
    Answer(result, Tarn::Void());
  }
  void Delete(const std::string& vm, const std::int64_t& controllerNumber,
              const std::shared_ptr<AsyncActivation>& activation,
              const SataControllerSvc::DeleteMethod::ResultCbType& result) override {
    Seen("delete", vm, lastHba, controllerNumber, activation);
    Answer(result, Tarn::Void());
  }
  void List(const std::string& vm,
            const Tarn::OptionalPtr<const SataControllerSvc::FilterSpec>& filter,
            const std::shared_ptr<AsyncActivation>& activation,
            const SataControllerSvc::ListMethod::ResultCbType& result) override {
    Seen("list", vm, lastHba, lastNumber, activation);
    lastFilter = filter;
    Answer(result, summaries);
  }

  Summaries summaries = {Labelled("SATA controller 1"), Labelled("SATA controller 0")};
  std::string lastVm;
  HbaType lastHba;
  std::int64_t lastNumber = -1;
  Tarn::OptionalPtr<const SataControllerSvc::FilterSpec> lastFilter;

 private:
  void Seen(const char* op, const std::string& vm, const HbaType& hba, std::int64_t number,
            const std::shared_ptr<AsyncActivation>& activation) {
    Record(op, activation);
    lastVm = vm;
    lastHba = hba;
    lastNumber = number;
  }
};

using SataTest = ServiceFixture<SataControllerSvc, FakeSata>;

// Detects structure metadata on a record.
template <class T, class = void>
struct HasMetadata : std::false_type {};
template <class T>
struct HasMetadata<T, std::void_t<typename T::Metadata>> : std::true_type {};

TEST_F(SataTest, ShapeSeenByTheRuntime) {
  const std::vector<std::string> errors = {"not_found", "not_allowed_in_current_state", "error"};
  // "add" and "update" take the same fields and so the same definition.
  const std::string typeAndNumber =
      "struct com.brantel.tarn.operation_input {controller_number: integer, hba_type: string, vm: "
      "string}";
  ExpectShape<SataControllerSvc>(
      impl, "com.brantel.kov.vm.device.sata_controller",
      {
          {"add",
           {"not_found", "not_allowed_in_current_state", "already_exists", "error"},
           typeAndNumber,
           "void"},
          {"update", errors, typeAndNumber, "void"},
          {"delete", errors,
           "struct com.brantel.tarn.operation_input {controller_number: integer, vm: string}",
           "void"},
          {"list", errors,
           "struct com.brantel.tarn.operation_input {filter: optional<struct "
           "com.brantel.kov.vm.device.sata_controller.filter_spec {labels: "
           "optional<list<string>>}>, vm: string}",
           "list<struct com.brantel.kov.vm.device.sata_controller.summary {label: string}>"},
      });
}

TEST(SataHbaType, TableNamesAndNoMetadata) {
  ExpectEnum<HbaType>("com.brantel.kov.vm.device.sata_controller.hba_type",
                      {{HbaType::AHCI, "AHCI"}}, {"NVME", "ahci"});
  EXPECT_EQ(std::string(SataControllerSvc::UpdateMethod::Input::nativeName),
            "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::UpdateMethod::Input");
  // The package describes no structure metadata.
  EXPECT_FALSE(HasMetadata<SataControllerSvc::Summary>::value);
  EXPECT_FALSE(HasMetadata<SataControllerSvc::FilterSpec>::value);
}

TEST_F(SataTest, EveryOperationRecordsTheMachineFirst) {
  const std::vector<std::pair<const char*, Tarn::Data::DataValuePtr>> inputs = {
      {"add", VmInput({{"hba_type", Str("AHCI")}, {"controller_number", Int(0)}})},
      {"update", VmInput({{"hba_type", Str("AHCI")}, {"controller_number", Int(2)}})},
      {"delete", VmInput({{"controller_number", Int(3)}})},
      {"list", VmInput()},
  };
  for (auto& [wire, input] : inputs) {
    SCOPED_TRACE(wire);
    ExpectAnswered(*iface, *impl, wire, input, kVm1);
    EXPECT_EQ(impl->lastVm, "vm-1");
  }
  EXPECT_EQ(impl->calls, (std::vector<std::string>{"add", "update", "delete", "list"}));
  EXPECT_EQ(impl->lastNumber, 3);
}

TEST_F(SataTest, AddHandsOverTypeAndNumber) {
  struct Case {
    const char* name;
    const char* hba;
    Tarn::Data::DataValuePtr number;
    std::int64_t expected;
  };
  const std::vector<Case> cases = {
      {"AHCI, 0", "AHCI", Int(0), 0},
      {"unknown kept", "NVME", Int(1), 1},
      {"number as text", "AHCI", Str("3"), 3},
      {"negative number", "AHCI", Int(-1), -1},
      {"largest number", "AHCI", Int(INT64_MAX), INT64_MAX},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto answer =
        Invoke(*iface, "add", VmInput({{"hba_type", Str(c.hba)}, {"controller_number", c.number}}));
    ASSERT_TRUE(answer.succeeded()) << Text(answer.error());
    EXPECT_EQ(answer.output()->GetType(), Tarn::Data::DataType::VOID);
    EXPECT_TRUE(impl->lastHba == Tarn::EnumFromText<HbaType>(c.hba));
    EXPECT_EQ(impl->lastNumber, c.expected);
  }
}

TEST_F(SataTest, RejectedInputsNeverReachTheImplementation) {
  ExpectRefusals(
      *iface, "::Com::Brantel::Kov::Vm::Device::SataControllerSvc::",
      {
          {"add without controller number", "add", VmInput({{"hba_type", Str("AHCI")}})},
          {"add without hba type", "add", VmInput({{"controller_number", Int(0)}})},
          {"add with a number that is not one", "add",
           Input({{"vm", Str("vm-1")},
                  {"hba_type", Str("AHCI")},
                  {"controller_number", Str("one")}})},
          {"add with a boolean number", "add",
           Input({{"vm", Str("vm-1")},
                  {"hba_type", Str("AHCI")},
                  {"controller_number", Bool(true)}})},
          {"update without controller number", "update", VmInput({{"hba_type", Str("AHCI")}})},
          {"delete without vm", "delete", Input({{"controller_number", Int(0)}})},
          {"delete with an undeclared field",
           "delete",
           VmInput({{"controller_number", Int(0)}, {"hba_type", Str("AHCI")}}),
           {"Delete", "DeleteMethod::Input", "hba_type"}},
          {"list filter labels as a number", "list",
           Input(
               {{"vm", Str("vm-1")}, {"filter", Opt(Struct(kFilterSpec, {{"labels", Int(1)}}))}})},
      });
  EXPECT_TRUE(impl->calls.empty());
}

TEST_F(SataTest, ListFilterAndAnswer) {
  auto answer =
      Invoke(*iface, "list",
             Input({{"vm", Str("vm-1")},
                    {"filter", Opt(Struct(kFilterSpec, {{"labels", Opt(Texts({"b", "a"}))}}))}}));
  ASSERT_TRUE(impl->lastFilter && impl->lastFilter->labels);
  EXPECT_EQ(*impl->lastFilter->labels, (std::set<std::string>{"a", "b"}));
  EXPECT_EQ(Text(answer.output()),
            Text(List({Struct(kSummary, {{"label", Str("SATA controller 1")}}),
                       Struct(kSummary, {{"label", Str("SATA controller 0")}})})));
}

using SataClientTest = SataTest;

TEST_F(SataClientTest, VoidOperationsAnswerAndFail) {
  auto answered = [&](const char* wire, std::int64_t number, const Outcome<Tarn::Void>& outcome) {
    SCOPED_TRACE(wire);
    EXPECT_TRUE(outcome.ok()) << outcome.errorName();
    EXPECT_EQ(impl->calls.back(), wire);
    EXPECT_EQ(impl->lastNumber, number);
    EXPECT_EQ(impl->resourcesSeen, kVm1);
  };
  answered("add", 4, Call<Tarn::Void>([&](auto cb) {
             stub->Add("vm-1", Tarn::EnumFromText<HbaType>("SCU"), 4, nullptr, cb);
           }));
  // The unknown type reached the implementation with its text.
  EXPECT_EQ(Tarn::EnumToText(impl->lastHba), "SCU");
  EXPECT_EQ(impl->lastHba.value(), HbaType::_UNKNOWN);
  answered("update", 5, Call<Tarn::Void>([&](auto cb) {
             stub->Update("vm-1", HbaType(HbaType::AHCI), 5, nullptr, cb);
           }));
  EXPECT_TRUE(impl->lastHba == HbaType::AHCI);
  answered("delete", 6, Call<Tarn::Void>([&](auto cb) { stub->Delete("vm-1", 6, nullptr, cb); }));

  impl->failure = Errors::NotFound::Create();
  auto failed = Call<Tarn::Void>([&](auto cb) { stub->Delete("vm-1", 6, nullptr, cb); });
  EXPECT_EQ(failed.errorName(), StdError("not_found"));
  EXPECT_FALSE(failed.value);
}

TEST_F(SataClientTest, ListAnswerAndFailure) {
  auto listed = Call<Summaries>([&](auto cb) { stub->List("vm-1", nullptr, nullptr, cb); });
  ASSERT_TRUE(listed.ok()) << listed.errorName();
  ASSERT_EQ(listed.value->size(), 2u);
  EXPECT_EQ((*listed.value)[0]->label, "SATA controller 1");
  EXPECT_EQ((*listed.value)[1]->label, "SATA controller 0");
  EXPECT_FALSE(impl->lastFilter);

  impl->failure = Errors::Error::Create();
  listed = Call<Summaries>([&](auto cb) { stub->List("vm-1", nullptr, nullptr, cb); });
  EXPECT_EQ(listed.errorName(), StdError("error"));
}

}  // namespace
