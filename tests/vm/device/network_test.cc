// The network adapter service: its shape, the adapter table, the resource each operation
// records, adapter sets, refused inputs, and calls through its stub.
#include "vm/device/network.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/vm/service_test_util.h"

namespace {

using Com::Brantel::Kov::Vm::Device::NetworkSvc;
using Tarn::Core::AsyncActivation;
using namespace ServiceTest;  // NOLINT(build/namespaces)
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;
using VirtualDev = NetworkSvc::VirtualDev;
using ListPtr = std::shared_ptr<const NetworkSvc::ListResult>;

constexpr char kAddSpec[] = "com.brantel.kov.vm.device.network.add_spec";
constexpr char kSummary[] = "com.brantel.kov.vm.device.network.summary";
constexpr char kListResult[] = "com.brantel.kov.vm.device.network.list_result";
constexpr char kFilterSpec[] = "com.brantel.kov.vm.device.network.filter_spec";
constexpr char kNative[] = "::Com::Brantel::Kov::Vm::Device::NetworkSvc::";

ListPtr MakeList(std::shared_ptr<const NetworkSvc::Summary> summary) {
  auto result = std::make_shared<NetworkSvc::ListResult>();
  result->list = {std::move(summary)};
  return result;
}

std::shared_ptr<const NetworkSvc::Summary> Vmxnet9() {
  auto s = std::make_shared<NetworkSvc::Summary>();
  s->id = "net-1";
  s->adapter = Tarn::EnumFromText<VirtualDev>("VMXNET9");
  s->device = "eth0";
  return s;
}

class FakeNetwork : public NetworkSvc::AsyncServiceInterface, public Recorder {
 public:
  void Add(const std::shared_ptr<const NetworkSvc::AddSpec>& spec,
           const std::shared_ptr<AsyncActivation>& activation,
           const NetworkSvc::AddMethod::ResultCbType& result) override {
    Record("add", activation);
    lastSpec = spec;
    Answer(result, Tarn::Void());
  }
  void List(const std::string& vm, const Tarn::OptionalPtr<const NetworkSvc::FilterSpec>& filter,
            const std::shared_ptr<AsyncActivation>& activation,
            const NetworkSvc::ListMethod::ResultCbType& result) override {
    Record("list", activation);
    lastVm = vm;
    lastFilter = filter;
    Answer(result, listed);
  }
  void Remove(const std::string& vm, const std::string& device,
              const std::shared_ptr<AsyncActivation>& activation,
              const NetworkSvc::RemoveMethod::ResultCbType& result) override {
    Record("remove", activation);
    lastVm = vm;
    lastDevice = device;
    Answer(result, Tarn::Void());
  }

  ListPtr listed = MakeList(Vmxnet9());
  std::string lastVm;
  std::string lastDevice;
  std::shared_ptr<const NetworkSvc::AddSpec> lastSpec;
  Tarn::OptionalPtr<const NetworkSvc::FilterSpec> lastFilter;
};

using NetworkTest = ServiceFixture<NetworkSvc, FakeNetwork>;

Tarn::Data::DataValuePtr AddInput(Tarn::Data::DataValuePtr adapter) {
  return Input({{"spec", Struct(kAddSpec, {{"vm", Str("vm-1")},
                                           {"network", Str("net-1")},
                                           {"adapter", std::move(adapter)},
                                           {"device", Str("eth0")}})}});
}

Tarn::Data::DataValuePtr ListWithAdapters(Tarn::Data::DataValuePtr adapters) {
  return Input({{"vm", Str("vm-1")},
                {"filter", Opt(Struct(kFilterSpec, {{"adapters", Opt(std::move(adapters))}}))}});
}

TEST_F(NetworkTest, ShapeSeenByTheRuntime) {
  const std::vector<std::string> errors = {"not_found", "not_allowed_in_current_state", "error"};
  ExpectShape<NetworkSvc>(
      impl, "com.brantel.kov.vm.device.network",
      {
          {"add",
           {"already_exists", "not_found", "error"},
           "struct com.brantel.tarn.operation_input {spec: struct "
           "com.brantel.kov.vm.device.network.add_spec {adapter: string, device: string, network: "
           "string, vm: string}}",
           "void"},
          {"list", errors,
           "struct com.brantel.tarn.operation_input {filter: optional<struct "
           "com.brantel.kov.vm.device.network.filter_spec {adapters: optional<list<string>>, "
           "devices: optional<list<string>>, networks: optional<list<string>>}>, vm: string}",
           "struct com.brantel.kov.vm.device.network.list_result {list: list<struct "
           "com.brantel.kov.vm.device.network.summary {adapter: string, device: string, id: "
           "string}>}"},
          {"remove", errors, "struct com.brantel.tarn.operation_input {device: string, vm: string}",
           "void"},
      });
}

TEST(NetworkVirtualDev, TableNamesAndMetadata) {
  // Texts that are prefixes of one another must not be confused.
  ExpectEnum<VirtualDev>("com.brantel.kov.vm.device.network.virtual_dev",
                         {{VirtualDev::ZLANCE, "ZLANCE"},
                          {VirtualDev::ZUBNET, "ZUBNET"},
                          {VirtualDev::ZUBNET3, "ZUBNET3"},
                          {VirtualDev::ZRDMA, "ZRDMA"},
                          {VirtualDev::E1000, "E1000"},
                          {VirtualDev::E1000E, "E1000E"}},
                         {"E100", "E1000EE", "zubnet", "ZUBNET 3", "VMXNET3"});
  // In messages a value is written as its index.
  EXPECT_EQ(Tarn::Data::DuplicateElementMessage(VirtualDev(VirtualDev::E1000E)).args,
            std::vector<std::string>{"5"});
  EXPECT_EQ(Tarn::Data::DuplicateElementMessage(Tarn::EnumFromText<VirtualDev>("OTHER")).args,
            std::vector<std::string>{"6"});

  EXPECT_EQ(std::string(NetworkSvc::RemoveMethod::Input::nativeName),
            std::string(kNative) + "RemoveMethod::Input");
  ExpectMetadata<NetworkSvc::Summary>("com.brantel.kov.vm.device.Network.Summary",
                                      {{"id", "com.brantel.kov.vm.NetworkId"}});
  ExpectMetadata<NetworkSvc::FilterSpec>("com.brantel.kov.vm.device.Network.FilterSpec",
                                         {{"networks", "com.brantel.kov.vm.NetworkId"}});
  ExpectMetadata<NetworkSvc::AddSpec>(
      "com.brantel.kov.vm.device.Network.AddSpec",
      {{"network", "com.brantel.kov.vm.NetworkId"}, {"vm", "com.brantel.kov.vm.VirtualMachine"}});
}

TEST_F(NetworkTest, ResourceIsRecordedForListAndRemoveOnly) {
  ExpectAnswered(*iface, *impl, "add", AddInput(Str("E1000")), {});
  ExpectAnswered(*iface, *impl, "list", Input({{"vm", Str("vm-2")}}), {MachineResource("vm-2")});
  ExpectAnswered(*iface, *impl, "remove", Input({{"vm", Str("vm-3")}, {"device", Str("eth1")}}),
                 {MachineResource("vm-3")});
  EXPECT_EQ(impl->calls, (std::vector<std::string>{"add", "list", "remove"}));
  EXPECT_EQ(impl->lastDevice, "eth1");
}

TEST_F(NetworkTest, AdapterTextsReachTheImplementation) {
  for (const char* text : {"ZUBNET3", "E1000E", "E1000", "NE2000"}) {
    SCOPED_TRACE(text);
    auto answer = Invoke(*iface, "add", AddInput(Str(text)));
    ASSERT_TRUE(answer.succeeded()) << Text(answer.error());
    EXPECT_EQ(answer.output()->GetType(), Tarn::Data::DataType::VOID);
    ASSERT_TRUE(impl->lastSpec);
    EXPECT_TRUE(impl->lastSpec->adapter == Tarn::EnumFromText<VirtualDev>(text));
  }
  EXPECT_EQ(impl->lastSpec->adapter.number(), 6);
  EXPECT_EQ(impl->lastSpec->network, "net-1");

  // A set orders known adapters by index and keeps unknown texts apart, after them.
  ASSERT_TRUE(Invoke(*iface, "list", ListWithAdapters(Texts({"E1000E", "X1", "ZLANCE", "X0"})))
                  .succeeded());
  ASSERT_TRUE(impl->lastFilter && impl->lastFilter->adapters);
  std::vector<std::string> texts;
  for (auto& a : *impl->lastFilter->adapters) texts.push_back(Tarn::EnumToText(a));
  EXPECT_EQ(texts, (std::vector<std::string>{"ZLANCE", "E1000E", "X0", "X1"}));
}

TEST_F(NetworkTest, SummaryAdaptersTravelAsTheirTexts) {
  EXPECT_EQ(
      Text(Invoke(*iface, "list", VmInput()).output()),
      Text(Struct(kListResult, {{"list", List({Struct(kSummary, {{"adapter", Str("VMXNET9")},
                                                                 {"device", Str("eth0")},
                                                                 {"id", Str("net-1")}})})}})));
  impl->listed = MakeList(nullptr);
  EXPECT_EQ(Invoke(*iface, "list", VmInput()).errorName(), StdError("internal_server_error"));
}

TEST_F(NetworkTest, RejectedInputsNeverReachTheImplementation) {
  ExpectRefusals(
      *iface, kNative,
      {
          {"add spec without adapter", "add",
           Input({{"spec",
                   Struct(kAddSpec,
                          {{"vm", Str("vm-1")}, {"network", Str("n")}, {"device", Str("d")}})}})},
          {"add adapter as a number", "add", AddInput(Int(4))},
          {"remove without device", "remove", VmInput()},
          {"remove with an undeclared field",
           "remove",
           VmInput({{"device", Str("d")}, {"mac", Str("00:11")}}),
           {"Remove", "RemoveMethod::Input", "mac"}},
          // A repeated adapter names its index; a generic list the element's own text.
          Duplicate("E1000 twice", "list", ListWithAdapters(Texts({"E1000", "E1000"})), "4"),
          Duplicate("E1000 twice among others", "list",
                    ListWithAdapters(Texts({"E1000", "E1000E", "E1000"})), "4"),
          Duplicate("unknown text twice", "list", ListWithAdapters(Texts({"X", "Y", "X"})), "6"),
          Duplicate("generic list", "list", ListWithAdapters(List({Str("E1000"), Str("E1000")})),
                    "E1000"),
      });
  EXPECT_TRUE(impl->calls.empty());
}

using NetworkClientTest = NetworkTest;

TEST_F(NetworkClientTest, AddAnswerAndFailure) {
  auto spec = std::make_shared<NetworkSvc::AddSpec>();
  spec->vm = "vm-1";
  spec->network = "net-2";
  spec->adapter = Tarn::EnumFromText<VirtualDev>("SRIOV");
  spec->device = "eth2";
  EXPECT_TRUE(Call<Tarn::Void>([&](auto cb) { stub->Add(spec, nullptr, cb); }).ok());
  EXPECT_EQ(Tarn::EnumToText(impl->lastSpec->adapter), "SRIOV");
  EXPECT_TRUE(impl->resourcesSeen.empty());

  impl->failure = Errors::AlreadyExists::Create();
  EXPECT_EQ(Call<Tarn::Void>([&](auto cb) { stub->Add(spec, nullptr, cb); }).errorName(),
            StdError("already_exists"));
  // "not_allowed_in_current_state" is not an error of "add".
  impl->failure = Errors::NotAllowedInCurrentState::Create();
  EXPECT_EQ(Call<Tarn::Void>([&](auto cb) { stub->Add(spec, nullptr, cb); }).errorName(),
            StdError("internal_server_error"));
}

TEST_F(NetworkClientTest, ListAndRemoveAnswerAndFailure) {
  auto filter = std::make_shared<NetworkSvc::FilterSpec>();
  filter->adapters = std::set<VirtualDev>{VirtualDev::E1000, Tarn::EnumFromText<VirtualDev>("A"),
                                          Tarn::EnumFromText<VirtualDev>("B")};
  auto listed = Call<ListPtr>([&](auto cb) { stub->List("vm-1", filter, nullptr, cb); });
  ASSERT_TRUE(listed.ok()) << listed.errorName();
  ASSERT_EQ((*listed.value)->list.size(), 1u);
  EXPECT_EQ((*listed.value)->list[0]->adapter.value(), VirtualDev::_UNKNOWN);
  EXPECT_EQ(Tarn::EnumToText((*listed.value)->list[0]->adapter), "VMXNET9");
  ASSERT_TRUE(impl->lastFilter);
  EXPECT_TRUE(impl->lastFilter->adapters == filter->adapters);

  EXPECT_TRUE(Call<Tarn::Void>([&](auto cb) { stub->Remove("vm-5", "eth0", nullptr, cb); }).ok());
  EXPECT_EQ(impl->resourcesSeen, std::vector<std::string>{MachineResource("vm-5")});

  impl->failure = Errors::NotFound::Create();
  listed = Call<ListPtr>([&](auto cb) { stub->List("vm-1", nullptr, nullptr, cb); });
  EXPECT_EQ(listed.errorName(), StdError("not_found"));
  impl->failure = Errors::NotAllowedInCurrentState::Create();
  EXPECT_EQ(
      Call<Tarn::Void>([&](auto cb) { stub->Remove("vm-5", "eth0", nullptr, cb); }).errorName(),
      StdError("not_allowed_in_current_state"));
}

}  // namespace
