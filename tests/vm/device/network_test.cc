#include "vm/device/network.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tests/vm/definition_test_util.h"
#include "tests/vm/service_test_util.h"

namespace {

using Com::Brantel::Kov::Vm::Device::NetworkSvc;
using ServiceTest::Input;
using ServiceTest::MessageIds;
using ServiceTest::Opt;
using ServiceTest::Str;
using ServiceTest::Struct;
using ServiceTest::Texts;
using Tarn::Core::AsyncActivation;
using VirtualDev = NetworkSvc::VirtualDev;

constexpr const char kAddSpec[] = "com.brantel.kov.vm.device.network.add_spec";
constexpr const char kSummary[] = "com.brantel.kov.vm.device.network.summary";
constexpr const char kListResult[] = "com.brantel.kov.vm.device.network.list_result";
constexpr const char kFilterSpec[] = "com.brantel.kov.vm.device.network.filter_spec";

class FakeNetwork : public NetworkSvc::AsyncServiceInterface {
 public:
  void Add(const std::shared_ptr<const NetworkSvc::AddSpec>& spec,
           const std::shared_ptr<AsyncActivation>& activation,
           const NetworkSvc::AddMethod::ResultCbType& result) override {
    Record("add", activation);
    lastSpec = spec;
    answerAdd(result);
  }
  void List(const std::string& vm, const Tarn::OptionalPtr<const NetworkSvc::FilterSpec>& filter,
            const std::shared_ptr<AsyncActivation>& activation,
            const NetworkSvc::ListMethod::ResultCbType& result) override {
    Record("list", activation);
    lastVm = vm;
    lastFilter = filter;
    answerList(result);
  }
  void Remove(const std::string& vm, const std::string& device,
              const std::shared_ptr<AsyncActivation>& activation,
              const NetworkSvc::RemoveMethod::ResultCbType& result) override {
    Record("remove", activation);
    lastVm = vm;
    lastDevice = device;
    answerRemove(result);
  }

  std::vector<std::string> calls;
  std::vector<std::string> resourcesSeen;
  std::string lastVm;
  std::string lastDevice;
  std::shared_ptr<const NetworkSvc::AddSpec> lastSpec;
  Tarn::OptionalPtr<const NetworkSvc::FilterSpec> lastFilter;

  std::function<void(const NetworkSvc::AddMethod::ResultCbType&)> answerAdd =
      [](const NetworkSvc::AddMethod::ResultCbType& r) { r(Tarn::Void()); };
  std::function<void(const NetworkSvc::ListMethod::ResultCbType&)> answerList =
      [](const NetworkSvc::ListMethod::ResultCbType& r) {
        auto s = std::make_shared<NetworkSvc::Summary>();
        s->id = "net-1";
        s->adapter = Tarn::EnumFromText<VirtualDev>("VMXNET9");
        s->device = "eth0";
        auto result = std::make_shared<NetworkSvc::ListResult>();
        result->list = {s};
        r(result);
      };
  std::function<void(const NetworkSvc::RemoveMethod::ResultCbType&)> answerRemove =
      [](const NetworkSvc::RemoveMethod::ResultCbType& r) { r(Tarn::Void()); };

 private:
  void Record(const char* op, const std::shared_ptr<AsyncActivation>& activation) {
    calls.push_back(op);
    resourcesSeen = activation->resourceIds();
  }
};

class NetworkTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeNetwork> impl = std::make_shared<FakeNetwork>();
  std::shared_ptr<Tarn::Provider::AsyncApiInterface> iface =
      NetworkSvc::AsyncServiceBinder::BindImplementation(impl);
};

Tarn::Data::DataValuePtr AddInput(const std::string& adapter) {
  return Input({{"spec", Struct(kAddSpec, {{"vm", Str("vm-1")},
                                           {"network", Str("net-1")},
                                           {"adapter", Str(adapter)},
                                           {"device", Str("eth0")}})}});
}

Tarn::Data::DataValuePtr ListInputWithAdapters(Tarn::Data::DataValuePtr adapters) {
  return Input({{"vm", Str("vm-1")},
                {"filter", Opt(Struct(kFilterSpec, {{"adapters", Opt(std::move(adapters))}}))}});
}

TEST_F(NetworkTest, ServiceIdSlotsAndErrorOrders) {
  EXPECT_EQ(Tarn::Data::TypeInfo<NetworkSvc::AsyncServiceInterface>::name(),
            "com.brantel.kov.vm.device.network");
  EXPECT_EQ(iface->identifier()->name(), "com.brantel.kov.vm.device.network");
  EXPECT_EQ(ServiceTest::MethodNames(*iface), (std::vector<std::string>{"add", "list", "remove"}));
  const std::vector<std::vector<std::string>> expected{
      {"already_exists", "not_found", "error"},
      {"not_found", "not_allowed_in_current_state", "error"},
      {"not_found", "not_allowed_in_current_state", "error"},
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(ServiceTest::ErrorNames(iface->methods()[i]->errorDefinitions()),
              DefinitionTest::StdErrors(expected[i]))
        << i;
  }
}

TEST_F(NetworkTest, NamesAndDefinitions) {
  using Tarn::Data::DataType;
  EXPECT_STREQ(VirtualDev::typeName, "com.brantel.kov.vm.device.network.virtual_dev");
  EXPECT_EQ(Tarn::Data::TypeInfo<NetworkSvc::Summary>::name(), kSummary);
  EXPECT_EQ(Tarn::Data::TypeInfo<NetworkSvc::FilterSpec>::name(), kFilterSpec);
  EXPECT_EQ(Tarn::Data::TypeInfo<NetworkSvc::AddSpec>::name(), kAddSpec);
  EXPECT_EQ(Tarn::Data::TypeInfo<NetworkSvc::ListResult>::name(), kListResult);
  EXPECT_STREQ(NetworkSvc::RemoveMethod::Input::nativeName,
               "::Com::Brantel::Kov::Vm::Device::NetworkSvc::RemoveMethod::Input");

  auto spec = DefinitionTest::FieldDef(NetworkSvc::AddMethod::inputDef(), "spec");
  EXPECT_EQ(DefinitionTest::FieldNames(spec),
            (std::vector<std::string>{"adapter", "device", "network", "vm"}));
  EXPECT_EQ(DefinitionTest::FieldDef(spec, "adapter")->GetType(), DataType::STRING);
  auto filter = DefinitionTest::FieldDef(NetworkSvc::ListMethod::inputDef(), "filter");
  ASSERT_EQ(filter->GetType(), DataType::OPTIONAL);
  auto filterStruct = static_cast<const Tarn::Data::OptionalDefinition&>(*filter).element();
  EXPECT_EQ(DefinitionTest::FieldNames(filterStruct),
            (std::vector<std::string>{"adapters", "devices", "networks"}));
  EXPECT_EQ(DefinitionTest::FieldNames(NetworkSvc::RemoveMethod::inputDef()),
            (std::vector<std::string>{"device", "vm"}));
  EXPECT_EQ(NetworkSvc::AddMethod::outputDef()->GetType(), DataType::VOID);
  EXPECT_EQ(NetworkSvc::RemoveMethod::outputDef()->GetType(), DataType::VOID);
  EXPECT_EQ(NetworkSvc::ListMethod::outputDef()->GetType(), DataType::STRUCTURE);
}

TEST(NetworkVirtualDev, TextsToIndexesAndBack) {
  struct Case {
    const char* text;
    std::int32_t index;
  };
  // Texts that are prefixes of one another must not be confused.
  const Case cases[] = {
      {"ZLANCE", 0}, {"ZUBNET", 1}, {"ZUBNET3", 2}, {"ZRDMA", 3}, {"E1000", 4}, {"E1000E", 5},
  };
  for (const Case& c : cases) {
    VirtualDev e = Tarn::EnumFromText<VirtualDev>(c.text);
    EXPECT_EQ(e.number(), c.index) << c.text;
    EXPECT_TRUE(e.unknownText().empty()) << c.text;
    EXPECT_EQ(Tarn::EnumToText(e), c.text);
  }
  for (const char* text : {"E100", "E1000EE", "zubnet", "ZUBNET 3", "VMXNET3"}) {
    VirtualDev e = Tarn::EnumFromText<VirtualDev>(text);
    EXPECT_EQ(e.value(), VirtualDev::_UNKNOWN) << text;
    EXPECT_EQ(e.number(), 6) << text;
    EXPECT_EQ(e.unknownText(), text);
    EXPECT_EQ(Tarn::EnumToText(e), text);
  }
  EXPECT_EQ(Tarn::EnumToText(VirtualDev()), "_UNKNOWN");
  EXPECT_EQ(Tarn::EnumToText(VirtualDev(VirtualDev::ZRDMA)), "ZRDMA");
}

TEST(NetworkVirtualDev, FormattedAsItsIndexInMessages) {
  Tarn::BaseMessage m = Tarn::Data::DuplicateElementMessage(VirtualDev(VirtualDev::E1000E));
  EXPECT_EQ(m.args, std::vector<std::string>{"5"});
  m = Tarn::Data::DuplicateElementMessage(Tarn::EnumFromText<VirtualDev>("OTHER"));
  EXPECT_EQ(m.args, std::vector<std::string>{"6"});
}

TEST(NetworkMetadata, RecordsNameTheirResourceFields) {
  ServiceTest::ExpectMetadata<NetworkSvc::Summary>("com.brantel.kov.vm.device.Network.Summary",
                                                   {{"id", "com.brantel.kov.vm.NetworkId"}});
  ServiceTest::ExpectMetadata<NetworkSvc::FilterSpec>(
      "com.brantel.kov.vm.device.Network.FilterSpec",
      {{"networks", "com.brantel.kov.vm.NetworkId"}});
  ServiceTest::ExpectMetadata<NetworkSvc::AddSpec>(
      "com.brantel.kov.vm.device.Network.AddSpec",
      {{"network", "com.brantel.kov.vm.NetworkId"}, {"vm", "com.brantel.kov.vm.VirtualMachine"}});
}

TEST_F(NetworkTest, ResourceIsRecordedForListAndRemoveOnly) {
  struct Case {
    const char* op;
    Tarn::Data::DataValuePtr input;
    std::vector<std::string> resources;
  };
  const Case cases[] = {
      {"add", AddInput("E1000"), {}},
      {"list", Input({{"vm", Str("vm-2")}}), {"com.brantel.kov.vm.VirtualMachine.vm-2"}},
      {"remove",
       Input({{"vm", Str("vm-3")}, {"device", Str("eth1")}}),
       {"com.brantel.kov.vm.VirtualMachine.vm-3"}},
  };
  for (const Case& c : cases) {
    auto activation = AsyncActivation::GetInstance();
    auto answer = ServiceTest::Invoke(*iface, c.op, c.input, activation);
    ASSERT_FALSE(answer.error()) << c.op << ": " << answer.error()->ToString();
    EXPECT_EQ(impl->resourcesSeen, c.resources) << c.op;
    EXPECT_EQ(activation->resourceIds(), c.resources) << c.op;
  }
  EXPECT_EQ(impl->calls, (std::vector<std::string>{"add", "list", "remove"}));
  EXPECT_EQ(impl->lastDevice, "eth1");
}

TEST_F(NetworkTest, AdapterTextsReachTheImplementation) {
  struct Case {
    const char* text;
    std::int32_t index;
  };
  const Case cases[] = {{"ZUBNET3", 2}, {"E1000E", 5}, {"E1000", 4}, {"NE2000", 6}};
  for (const Case& c : cases) {
    auto answer = ServiceTest::Invoke(*iface, "add", AddInput(c.text));
    ASSERT_FALSE(answer.error()) << c.text;
    EXPECT_EQ(answer.output()->GetType(), Tarn::Data::DataType::VOID);
    ASSERT_TRUE(impl->lastSpec);
    EXPECT_EQ(impl->lastSpec->adapter.number(), c.index) << c.text;
    EXPECT_EQ(Tarn::EnumToText(impl->lastSpec->adapter), c.text);
  }
  EXPECT_EQ(impl->lastSpec->network, "net-1");
}

TEST_F(NetworkTest, AdapterSetsAndDuplicates) {
  auto answer = ServiceTest::Invoke(*iface, "list",
                                    ListInputWithAdapters(Texts({"E1000E", "X1", "ZLANCE", "X0"})));
  ASSERT_FALSE(answer.error()) << answer.error()->ToString();
  ASSERT_TRUE(impl->lastFilter && impl->lastFilter->adapters);
  std::vector<std::string> texts;
  for (auto& a : *impl->lastFilter->adapters) texts.push_back(Tarn::EnumToText(a));
  EXPECT_EQ(texts, (std::vector<std::string>{"ZLANCE", "E1000E", "X0", "X1"}));

  struct Case {
    const char* name;
    Tarn::Data::DataValuePtr adapters;
    const char* argument;
  };
  const Case cases[] = {
      {"E1000 twice", Texts({"E1000", "E1000"}), "4"},
      {"E1000 twice among others", Texts({"E1000", "E1000E", "E1000"}), "4"},
      {"unknown text twice", Texts({"X", "Y", "X"}), "6"},
      {"generic list", ServiceTest::List({Str("E1000"), Str("E1000")}), "E1000"},
  };
  for (const Case& c : cases) {
    impl->calls.clear();
    auto activation = AsyncActivation::GetInstance();
    answer = ServiceTest::Invoke(*iface, "list", ListInputWithAdapters(c.adapters), activation);
    EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.invalid_argument") << c.name;
    auto messages = answer.error() ? answer.error()->Messages() : Tarn::MessageList{};
    ASSERT_EQ(messages.size(), 1u) << c.name;
    EXPECT_EQ(messages[0].id, "tarn.data.duplicate.set.element") << c.name;
    EXPECT_EQ(messages[0].args, std::vector<std::string>{c.argument}) << c.name;
    EXPECT_TRUE(impl->calls.empty()) << c.name;
    EXPECT_TRUE(activation->resourceIds().empty()) << c.name;
  }
}

TEST_F(NetworkTest, SummaryAdaptersTravelAsTheirTexts) {
  auto answer = ServiceTest::Invoke(*iface, "list", Input({{"vm", Str("vm-1")}}));
  ASSERT_FALSE(answer.error()) << answer.error()->ToString();
  auto expected = Struct(
      kListResult, {{"list", ServiceTest::List({Struct(kSummary, {{"id", Str("net-1")},
                                                                  {"adapter", Str("VMXNET9")},
                                                                  {"device", Str("eth0")}})})}});
  EXPECT_TRUE(answer.output()->Equals(*expected)) << answer.output()->ToString();

  impl->answerList = [](const NetworkSvc::ListMethod::ResultCbType& r) {
    auto result = std::make_shared<NetworkSvc::ListResult>();
    result->list = {nullptr};
    r(result);
  };
  answer = ServiceTest::Invoke(*iface, "list", Input({{"vm", Str("vm-1")}}));
  EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.internal_server_error");
}

TEST_F(NetworkTest, RejectedInputsNeverReachTheImplementation) {
  struct Case {
    const char* name;
    const char* op;
    Tarn::Data::DataValuePtr input;
    std::vector<std::string> ids;
  };
  const Case cases[] = {
      {"add spec without adapter",
       "add",
       Input(
           {{"spec", Struct(kAddSpec,
                            {{"vm", Str("vm-1")}, {"network", Str("n")}, {"device", Str("d")}})}}),
       {}},
      {"add adapter as a number",
       "add",
       Input({{"spec", Struct(kAddSpec, {{"vm", Str("vm-1")},
                                         {"network", Str("n")},
                                         {"adapter", ServiceTest::Int(4)},
                                         {"device", Str("d")}})}}),
       {}},
      {"remove without device", "remove", Input({{"vm", Str("vm-1")}}), {}},
      {"remove with an undeclared field",
       "remove",
       Input({{"vm", Str("vm-1")}, {"device", Str("d")}, {"mac", Str("00:11")}}),
       {"tarn.invoke.invalid.input", "tarn.data.compound.field.extra"}},
  };
  for (const Case& c : cases) {
    auto activation = AsyncActivation::GetInstance();
    auto answer = ServiceTest::Invoke(*iface, c.op, c.input, activation);
    EXPECT_EQ(answer.errorName(), "com.brantel.tarn.std.errors.invalid_argument") << c.name;
    if (!c.ids.empty()) {
      EXPECT_EQ(MessageIds(answer.error()), c.ids) << c.name;
    }
    EXPECT_TRUE(activation->resourceIds().empty()) << c.name;
  }
  EXPECT_TRUE(impl->calls.empty());
}

class NetworkClientTest : public NetworkTest {
 protected:
  std::unique_ptr<NetworkSvc::AsyncServiceStub> stub = ServiceTest::LocalStub<NetworkSvc>(impl);
};

TEST_F(NetworkClientTest, AddAnswerAndFailure) {
  auto spec = std::make_shared<NetworkSvc::AddSpec>();
  spec->vm = "vm-1";
  spec->network = "net-2";
  spec->adapter = Tarn::EnumFromText<VirtualDev>("SRIOV");
  spec->device = "eth2";
  ServiceTest::Outcome<Tarn::Void> ok;
  stub->Add(spec, nullptr, ok.Callback());
  ASSERT_FALSE(ok.error) << ok.error->ToString();
  EXPECT_TRUE(ok.value);
  EXPECT_EQ(Tarn::EnumToText(impl->lastSpec->adapter), "SRIOV");
  EXPECT_TRUE(impl->resourcesSeen.empty());

  impl->answerAdd = [](const NetworkSvc::AddMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::AlreadyExists::Create());
  };
  ServiceTest::Outcome<Tarn::Void> failed;
  stub->Add(spec, nullptr, failed.Callback());
  EXPECT_EQ(failed.errorName(), "com.brantel.tarn.std.errors.already_exists");

  // "not_allowed_in_current_state" is not an error of "add".
  impl->answerAdd = [](const NetworkSvc::AddMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState::Create());
  };
  ServiceTest::Outcome<Tarn::Void> undeclared;
  stub->Add(spec, nullptr, undeclared.Callback());
  EXPECT_EQ(undeclared.errorName(), "com.brantel.tarn.std.errors.internal_server_error");
}

TEST_F(NetworkClientTest, ListAnswerAndFailure) {
  auto filter = std::make_shared<NetworkSvc::FilterSpec>();
  filter->adapters = std::set<VirtualDev>{VirtualDev::E1000, Tarn::EnumFromText<VirtualDev>("A"),
                                          Tarn::EnumFromText<VirtualDev>("B")};
  ServiceTest::Outcome<std::shared_ptr<const NetworkSvc::ListResult>> ok;
  stub->List("vm-1", filter, nullptr, ok.Callback());
  ASSERT_FALSE(ok.error) << ok.error->ToString();
  ASSERT_EQ((*ok.value)->list.size(), 1u);
  EXPECT_EQ((*ok.value)->list[0]->adapter.value(), VirtualDev::_UNKNOWN);
  EXPECT_EQ(Tarn::EnumToText((*ok.value)->list[0]->adapter), "VMXNET9");
  ASSERT_TRUE(impl->lastFilter);
  EXPECT_TRUE(impl->lastFilter->adapters == filter->adapters);

  impl->answerList = [](const NetworkSvc::ListMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::NotFound::Create());
  };
  ServiceTest::Outcome<std::shared_ptr<const NetworkSvc::ListResult>> failed;
  stub->List("vm-1", nullptr, nullptr, failed.Callback());
  EXPECT_EQ(failed.errorName(), "com.brantel.tarn.std.errors.not_found");
}

TEST_F(NetworkClientTest, RemoveAnswerAndFailure) {
  ServiceTest::Outcome<Tarn::Void> ok;
  stub->Remove("vm-5", "eth0", nullptr, ok.Callback());
  ASSERT_FALSE(ok.error) << ok.error->ToString();
  EXPECT_TRUE(ok.value);
  EXPECT_EQ(impl->resourcesSeen,
            std::vector<std::string>{"com.brantel.kov.vm.VirtualMachine.vm-5"});

  impl->answerRemove = [](const NetworkSvc::RemoveMethod::ResultCbType& r) {
    r.error(Com::Brantel::Tarn::Std::Errors::NotAllowedInCurrentState::Create());
  };
  ServiceTest::Outcome<Tarn::Void> failed;
  stub->Remove("vm-5", "eth0", nullptr, failed.Callback());
  EXPECT_EQ(failed.errorName(), "com.brantel.tarn.std.errors.not_allowed_in_current_state");
}

}  // namespace
