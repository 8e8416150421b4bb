#include "vm/device/disk.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/vm/definition_test_util.h"
#include "tests/vm/service_test_util.h"

namespace {

using Com::Brantel::Kov::Vm::Device::DiskSvc;
using ServiceTest::Input;
using ServiceTest::MessageIds;
using ServiceTest::Opt;
using ServiceTest::Str;
using ServiceTest::Struct;
using ServiceTest::Texts;
using Tarn::Core::AsyncActivation;

constexpr const char kAddSpec[] = "com.brantel.kov.vm.device.disk.add_spec";
constexpr const char kSummary[] = "com.brantel.kov.vm.device.disk.summary";
constexpr const char kListResult[] = "com.brantel.kov.vm.device.disk.list_result";
constexpr const char kFilterSpec[] = "com.brantel.kov.vm.device.disk.filter_spec";

std::shared_ptr<DiskSvc::Summary> MakeSummary(const std::string& disk, const std::string& device) {
  auto s = std::make_shared<DiskSvc::Summary>();
  s->disk = disk;
  s->device = device;
  return s;
}

class FakeDisk : public DiskSvc::AsyncServiceInterface {
 public:
  void Add(const std::shared_ptr<const DiskSvc::AddSpec>& spec,
           const std::shared_ptr<AsyncActivation>& activation,
           const DiskSvc::AddMethod::ResultCbType& result) override {
    calls.push_back("add");
    resourcesSeen = activation->resourceIds();
    lastSpec = spec;
    answerAdd(result);
  }
  void List(const std::string& vm, const Tarn::OptionalPtr<const DiskSvc::FilterSpec>& filter,
            const std::shared_ptr<AsyncActivation>& activation,
            const DiskSvc::ListMethod::ResultCbType& result) override {
    calls.push_back("list");
    resourcesSeen = activation->resourceIds();
    lastVm = vm;
    lastFilter = filter;
    answerList(result);
  }

  std::vector<std::string> calls;
  std::vector<std::string> resourcesSeen;
  std::string lastVm;
  std::shared_ptr<const DiskSvc::AddSpec> lastSpec;
  Tarn::OptionalPtr<const DiskSvc::FilterSpec> lastFilter;

  std::function<void(const DiskSvc::AddMethod::ResultCbType&)> answerAdd =
      [](const DiskSvc::AddMethod::ResultCbType& r) { r(std::string("disk-3")); };
  std::function<void(const DiskSvc::ListMethod::ResultCbType&)> answerList =
      [](const DiskSvc::ListMethod::ResultCbType& r) {
        auto result = std::make_shared<DiskSvc::ListResult>();
        result->list = {MakeSummary("disk-1", "scsi0:0"), MakeSummary("disk-0", "scsi0:1")};
        r(result);
      };
};

class DiskTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeDisk> impl = std::make_shared<FakeDisk>();
  std::shared_ptr<Tarn::Provider::AsyncApiInterface> iface =
      DiskSvc::AsyncServiceBinder::BindImplementation(impl);
};

Tarn::Data::DataValuePtr AddInput() {
  return Input({{"spec", Struct(kAddSpec, {{"vm", Str("vm-1")},
                                           {"disk", Str("disk-3")},
                                           {"device", Str("scsi0:2")}})}});
}

TEST_F(DiskTest, ServiceIdSlotsAndErrorOrders) {
  EXPECT_EQ(Tarn::Data::TypeInfo<DiskSvc::AsyncServiceInterface>::name(),
            "com.brantel.kov.vm.device.disk");
  EXPECT_EQ(iface->identifier()->name(), "com.brantel.kov.vm.device.disk");
  EXPECT_EQ(ServiceTest::MethodNames(*iface), (std::vector<std::string>{"add", "list"}));
  // "add" lists its errors alphabetically, unlike the other device services.
  EXPECT_EQ(ServiceTest::ErrorNames(iface->methods()[0]->errorDefinitions()),
            DefinitionTest::StdErrors({"already_exists", "error", "invalid_argument",
                                       "not_allowed_in_current_state", "not_found",
                                       "unable_to_allocate_resource"}));
  EXPECT_EQ(ServiceTest::ErrorNames(iface->methods()[1]->errorDefinitions()),
            DefinitionTest::StdErrors({"not_found", "not_allowed_in_current_state", "error"}));
}

TEST_F(DiskTest, NamesAndDefinitions) {
  using Tarn::Data::DataType;
  EXPECT_EQ(Tarn::Data::TypeInfo<DiskSvc::Summary>::name(), kSummary);
  EXPECT_EQ(Tarn::Data::TypeInfo<DiskSvc::FilterSpec>::name(), kFilterSpec);
  EXPECT_EQ(Tarn::Data::TypeInfo<DiskSvc::AddSpec>::name(), kAddSpec);
  EXPECT_EQ(Tarn::Data::TypeInfo<DiskSvc::ListResult>::name(), kListResult);
  EXPECT_STREQ(DiskSvc::ListResult::nativeName,
               "::Com::Brantel::Kov::Vm::Device::DiskSvc::ListResult");
  EXPECT_STREQ(DiskSvc::AddMethod::Input::nativeName,
               "::Com::Brantel::Kov::Vm::Device::DiskSvc::AddMethod::Input");

  auto add = DiskSvc::AddMethod::inputDef();
  EXPECT_EQ(DefinitionTest::FieldNames(add), std::vector<std::string>{"spec"});
  EXPECT_EQ(DefinitionTest::FieldNames(DefinitionTest::FieldDef(add, "spec")),
            (std::vector<std::string>{"device", "disk", "vm"}));
  auto list = DiskSvc::ListMethod::inputDef();
  EXPECT_EQ(DefinitionTest::FieldNames(list), (std::vector<std::string>{"filter", "vm"}));
  auto filter = DefinitionTest::FieldDef(list, "filter");
  ASSERT_EQ(filter->GetType(), DataType::OPTIONAL);
  auto filterStruct = static_cast<const Tarn::Data::OptionalDefinition&>(*filter).element();
  EXPECT_EQ(DefinitionTest::FieldNames(filterStruct),
            (std::vector<std::string>{"devices", "disks"}));
  EXPECT_EQ(DefinitionTest::FieldDef(filterStruct, "disks")->GetType(), DataType::OPTIONAL);

  EXPECT_EQ(DiskSvc::AddMethod::outputDef()->GetType(), DataType::STRING);
  auto out = DiskSvc::ListMethod::outputDef();
  ASSERT_EQ(out->GetType(), DataType::STRUCTURE);
  EXPECT_EQ(static_cast<const Tarn::Data::StructDefinition&>(*out).name(), kListResult);
  EXPECT_EQ(DefinitionTest::FieldDef(out, "list")->GetType(), DataType::LIST);
}

TEST(DiskMetadata, RecordsNameTheirResourceFields) {
  ServiceTest::ExpectMetadata<DiskSvc::Summary>("com.brantel.kov.vm.device.Disk.Summary",
                                                {{"disk", "com.brantel.kov.vm.VirtualDisk"}});
  ServiceTest::ExpectMetadata<DiskSvc::FilterSpec>("com.brantel.kov.vm.device.Disk.FilterSpec",
                                                   {{"disks", "com.brantel.kov.vm.VirtualDisk"}});
  ServiceTest::ExpectMetadata<DiskSvc::AddSpec>(
      "com.brantel.kov.vm.device.Disk.AddSpec",
      {{"disk", "com.brantel.kov.vm.VirtualDisk"}, {"vm", "com.brantel.kov.vm.VirtualMachine"}});
}

TEST(DiskValidation, AddWithoutSpecIsInvalid) {
  DiskSvc::AddMethod::Input input;
  Tarn::MessageList messages;
  EXPECT_FALSE(
      Tarn::Data::Validator::isValid(input, Tarn::Data::Validator::kRejectUndeclared, messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, "tarn.invoke.invalid.input");
  EXPECT_EQ(messages[0].args,
            std::vector<std::string>{"::Com::Brantel::Kov::Vm::Device::DiskSvc::Add"});
}

TEST(DiskValidation, ListResultIsValidWhenEverySummaryIs) {
  struct Case {
    const char* name;
    std::vector<std::shared_ptr<const DiskSvc::Summary>> list;
    bool valid;
  };
  auto withExtra = MakeSummary("d", "x");
  withExtra->unknownFields = Tarn::Data::StructValue::GetInstance("unknownFields");
  withExtra->unknownFields->SetField("size", ServiceTest::Int(10));
  const Case cases[] = {
      {"empty", {}, true},
      {"two summaries", {MakeSummary("a", "b"), MakeSummary("c", "d")}, true},
      {"null element", {MakeSummary("a", "b"), nullptr}, false},
      {"summary with an undeclared field", {MakeSummary("a", "b"), withExtra}, false},
  };
  for (const Case& c : cases) {
    DiskSvc::ListResult result;
    result.list = c.list;
    Tarn::MessageList messages;
    EXPECT_EQ(
        Tarn::Data::Validator::isValid(result, Tarn::Data::Validator::kRejectUndeclared, messages),
        c.valid)
        << c.name;
  }
  DiskSvc::ListResult result;
  result.list = {withExtra};
  Tarn::MessageList messages;
  Tarn::Data::Validator::isValid(result, Tarn::Data::Validator::kRejectUndeclared, messages);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(
      messages[0].args,
      (std::vector<std::string>{"::Com::Brantel::Kov::Vm::Device::DiskSvc::Summary", "size", ""}));
}

TEST_F(DiskTest, AddRecordsNoResource) {
  auto activation = AsyncActivation::GetInstance();
  auto answer = ServiceTest::Invoke(*iface, "add", AddInput(), activation);
  ASSERT_EQ(answer.calls, 1);
  ASSERT_FALSE(answer.error()) << answer.error()->ToString();
  EXPECT_TRUE(answer.output()->Equals(*Str("disk-3")));
  EXPECT_EQ(impl->calls, std::vector<std::string>{"add"});
  EXPECT_TRUE(impl->resourcesSeen.empty());
  EXPECT_TRUE(activation->resourceIds().empty());
  ASSERT_TRUE(impl->lastSpec);
  EXPECT_EQ(impl->lastSpec->vm, "vm-1");
  EXPECT_EQ(impl->lastSpec->disk, "disk-3");
  EXPECT_EQ(impl->lastSpec->device, "scsi0:2");
}

TEST_F(DiskTest, ListRecordsTheMachine) {
  auto activation = AsyncActivation::GetInstance();
  auto answer = ServiceTest::Invoke(*iface, "list", Input({{"vm", Str("vm-4")}}), activation);
  ASSERT_FALSE(answer.error()) << answer.error()->ToString();
  EXPECT_EQ(impl->resourcesSeen,
            std::vector<std::string>{"com.brantel.kov.vm.VirtualMachine.vm-4"});
  EXPECT_EQ(activation->resourceIds(), impl->resourcesSeen);
  EXPECT_EQ(impl->lastVm, "vm-4");
  EXPECT_FALSE(impl->lastFilter);
  auto expected = Struct(
      kListResult,
      {{"list", ServiceTest::List(
                    {Struct(kSummary, {{"disk", Str("disk-1")}, {"device", Str("scsi0:0")}}),
                     Struct(kSummary, {{"disk", Str("disk-0")}, {"device", Str("scsi0:1")}})})}});
  EXPECT_TRUE(answer.output()->Equals(*expected)) << answer.output()->ToString();
}

TEST_F(DiskTest, ListFilterSetsArriveAsGiven) {
  auto answer = ServiceTest::Invoke(
      *iface, "list",
      Input({{"vm", Str("vm-1")},
             {"filter", Opt(Struct(kFilterSpec, {{"disks", Opt(Texts({"d2", "d1"}))}}))}}));
  ASSERT_FALSE(answer.error()) << answer.error()->ToString();
  ASSERT_TRUE(impl->lastFilter);
  EXPECT_TRUE(impl->lastFilter->disks == (std::set<std::string>{"d1", "d2"}));
  EXPECT_FALSE(impl->lastFilter->devices);

  // A repeated disk identifier is a duplicate element naming the text.
  impl->calls.clear();
  answer = ServiceTest::Invoke(
      *iface, "list",
      Input({{"vm", Str("vm-1")},
             {"filter", Opt(Struct(kFilterSpec, {{"disks", Opt(Texts({"d1", "d1"}))}}))}}));
  EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.invalid_argument");
  auto messages = answer.error()->Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, "tarn.data.duplicate.set.element");
  EXPECT_EQ(messages[0].args, std::vector<std::string>{"d1"});
  EXPECT_TRUE(impl->calls.empty());
}

TEST_F(DiskTest, ListResultConversion) {
  struct Case {
    const char* name;
    std::shared_ptr<DiskSvc::ListResult> result;
    bool ok;
  };
  auto empty = std::make_shared<DiskSvc::ListResult>();
  auto withNull = std::make_shared<DiskSvc::ListResult>();
  withNull->list = {MakeSummary("disk-1", "scsi0:0"), nullptr};
  const Case cases[] = {
      {"empty list", empty, true},
      {"null result", nullptr, false},
      {"null summary", withNull, false},
  };
  for (const Case& c : cases) {
    impl->answerList = [&c](const DiskSvc::ListMethod::ResultCbType& r) { r(c.result); };
    auto answer = ServiceTest::Invoke(*iface, "list", Input({{"vm", Str("vm-1")}}));
    ASSERT_EQ(answer.calls, 1) << c.name;
    if (c.ok) {
      ASSERT_FALSE(answer.error()) << c.name;
      auto expected = Struct(kListResult, {{"list", ServiceTest::List({})}});
      EXPECT_TRUE(answer.output()->Equals(*expected)) << answer.output()->ToString();
    } else {
      EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.internal_server_error") << c.name;
      EXPECT_TRUE(answer.error()->Messages().empty()) << c.name;
    }
  }
}

TEST_F(DiskTest, RejectedInputsNeverReachTheImplementation) {
  struct Case {
    const char* name;
    const char* op;
    Tarn::Data::DataValuePtr input;
    std::vector<std::string> ids;  // empty: only the error name is checked
  };
  const Case cases[] = {
      {"add without spec", "add", Input({}), {}},
      {"add spec without disk",
       "add",
       Input({{"spec", Struct(kAddSpec, {{"vm", Str("vm-1")}, {"device", Str("d")}})}}),
       {}},
      {"add spec with an undeclared field",
       "add",
       Input({{"spec", Struct(kAddSpec, {{"vm", Str("vm-1")},
                                         {"disk", Str("d")},
                                         {"device", Str("d")},
                                         {"size", ServiceTest::Int(3)}})}}),
       {"tarn.invoke.invalid.input", "tarn.data.compound.field.extra"}},
      {"add spec as a non-empty string", "add", Input({{"spec", Str("disk-3")}}), {}},
      {"list without vm", "list", Input({}), {}},
      {"list with an undeclared field",
       "list",
       Input({{"vm", Str("vm-1")}, {"all", ServiceTest::Bool(true)}}),
       {"tarn.invoke.invalid.input", "tarn.data.compound.field.extra"}},
      {"list filter with sets given as a number",
       "list",
       Input({{"vm", Str("vm-1")},
              {"filter", Opt(Struct(kFilterSpec, {{"disks", ServiceTest::Int(1)}}))}}),
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
}

TEST_F(DiskTest, AddSpecGivenAsEmptyTextIsADefaultSpec) {
  auto answer = ServiceTest::Invoke(*iface, "add", Input({{"spec", Str("")}}));
  ASSERT_FALSE(answer.error()) << answer.error()->ToString();
  ASSERT_TRUE(impl->lastSpec);
  EXPECT_EQ(impl->lastSpec->vm, "");
  EXPECT_EQ(impl->lastSpec->disk, "");
}

class DiskClientTest : public DiskTest {
 protected:
  std::unique_ptr<DiskSvc::AsyncServiceStub> stub = ServiceTest::LocalStub<DiskSvc>(impl);
};

TEST_F(DiskClientTest, AddAnswerAndFailure) {
  auto spec = std::make_shared<DiskSvc::AddSpec>();
  spec->vm = "vm-1";
  spec->disk = "disk-3";
  spec->device = "scsi0:2";
  ServiceTest::Outcome<std::string> ok;
  auto activation = AsyncActivation::GetInstance();
  stub->Add(spec, activation, ok.Callback());
  ASSERT_EQ(ok.calls, 1);
  ASSERT_FALSE(ok.error) << ok.error->ToString();
  EXPECT_EQ(*ok.value, "disk-3");
  EXPECT_TRUE(activation->resourceIds().empty());
  EXPECT_EQ(impl->lastSpec->device, "scsi0:2");

  impl->answerAdd = [](const DiskSvc::AddMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::AlreadyExists::Create());
  };
  ServiceTest::Outcome<std::string> failed;
  stub->Add(spec, nullptr, failed.Callback());
  EXPECT_EQ(failed.errorName(), "com.brantel.tarn.std.errors.already_exists");

  ServiceTest::Outcome<std::string> noSpec;
  stub->Add(nullptr, nullptr, noSpec.Callback());
  EXPECT_EQ(noSpec.errorName(), "com.brantel.tarn.std.errors.invalid_argument");
  EXPECT_EQ(MessageIds(noSpec.error),
            std::vector<std::string>{"tarn.data.unset.non.optional.field"});
  EXPECT_EQ(noSpec.error->Messages()[0].args, std::vector<std::string>{kAddSpec});
}

TEST_F(DiskClientTest, ListAnswerAndFailure) {
  auto filter = std::make_shared<DiskSvc::FilterSpec>();
  filter->devices = std::set<std::string>{"scsi0:0"};
  ServiceTest::Outcome<std::shared_ptr<const DiskSvc::ListResult>> ok;
  stub->List("vm-1", filter, nullptr, ok.Callback());
  ASSERT_FALSE(ok.error) << ok.error->ToString();
  ASSERT_TRUE(ok.value && *ok.value);
  ASSERT_EQ((*ok.value)->list.size(), 2u);
  EXPECT_EQ((*ok.value)->list[0]->disk, "disk-1");
  EXPECT_EQ((*ok.value)->list[1]->device, "scsi0:1");
  ASSERT_TRUE(impl->lastFilter);
  EXPECT_TRUE(impl->lastFilter->devices == filter->devices);

  impl->answerList = [](const DiskSvc::ListMethod::ResultCbType& r) {
    r(std::make_shared<DiskSvc::ListResult>());
  };
  ServiceTest::Outcome<std::shared_ptr<const DiskSvc::ListResult>> empty;
  stub->List("vm-1", nullptr, nullptr, empty.Callback());
  ASSERT_FALSE(empty.error);
  EXPECT_TRUE((*empty.value)->list.empty());

  impl->answerList = [](const DiskSvc::ListMethod::ResultCbType& r) {
    r(std::shared_ptr<const DiskSvc::ListResult>());
  };
  ServiceTest::Outcome<std::shared_ptr<const DiskSvc::ListResult>> failed;
  stub->List("vm-1", nullptr, nullptr, failed.Callback());
  EXPECT_EQ(failed.errorName(), "com.brantel.tarn.std.errors.internal_server_error");

  impl->answerList = [](const DiskSvc::ListMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::NotFound::Create());
  };
  ServiceTest::Outcome<std::shared_ptr<const DiskSvc::ListResult>> notFound;
  stub->List("vm-1", nullptr, nullptr, notFound.Callback());
  EXPECT_EQ(notFound.errorName(), "com.brantel.tarn.std.errors.not_found");
}

}  // namespace
