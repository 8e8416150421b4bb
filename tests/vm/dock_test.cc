// The dock service: its shape, "list" taking the runtime's operation input (no fields, no
// validation, no resource), list answers in both directions, and calls through its stub.
#include "vm/dock.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/vm/service_test_util.h"

namespace {

using Com::Brantel::Kov::Vm::DockSvc;
using Tarn::Void;
using Tarn::Core::AsyncActivation;
using namespace ServiceTest;  // NOLINT(build/namespaces)
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;

using ListPtr = std::shared_ptr<const DockSvc::ListResult>;

constexpr char kInfo[] = "com.brantel.kov.vm.dock.info";
constexpr char kListResult[] = "com.brantel.kov.vm.dock.list_result";

std::shared_ptr<const DockSvc::Info> Item(const std::string& vm) {
  auto item = std::make_shared<DockSvc::Info>();
  item->vm = vm;
  return item;
}

ListPtr Items(const std::vector<std::shared_ptr<const DockSvc::Info>>& items) {
  auto list = std::make_shared<DockSvc::ListResult>();
  list->items = items;
  return list;
}

class HostDock : public DockSvc::AsyncServiceInterface {
 public:
  void Load(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
            const DockSvc::LoadMethod::ResultCbType& result) override {
    loads.push_back(vm);
    resources.push_back(activation->resourceIds());
    if (failure) return result.error(failure);
    result(Void());
  }
  void List(const std::shared_ptr<AsyncActivation>& activation,
            const DockSvc::ListMethod::ResultCbType& result) override {
    ++lists;
    resources.push_back(activation->resourceIds());
    if (failure) return result.error(failure);
    result(list);
  }

  ListPtr list = Items({Item("vm-1"), Item("vm-2")});
  Tarn::Data::ErrorValuePtr failure;
  std::vector<std::string> loads;
  int lists = 0;
  std::vector<std::vector<std::string>> resources;  // at each call
};

TEST(DockService, ShapeSeenByTheRuntime) {
  ExpectShape<DockSvc>(std::make_shared<HostDock>(), "com.brantel.kov.vm.dock",
                       {
                           {"load",
                            {"invalid_argument", "unauthenticated", "not_found", "error"},
                            "struct com.brantel.tarn.operation_input {vm: string}",
                            "void"},
                           {"list",
                            {"unauthenticated"},
                            "struct com.brantel.tarn.operation_input {}",
                            "struct com.brantel.kov.vm.dock.list_result {items: list<struct "
                            "com.brantel.kov.vm.dock.info {vm: string}>}"},
                       });
}

TEST(DockService, ListTakesTheRuntimesOperationInput) {
  static_assert(std::is_same<DockSvc::ListMethod::Input, Tarn::OperationInput>::value,
                "list has no input record of its own");
  static_assert(std::is_same<DockSvc::ListMethod::Fields, Tarn::Provider::Fields<>>::value,
                "list passes no input fields");
  static_assert(!Tarn::Provider::HasResource<DockSvc::ListMethod>::value, "list names no resource");
  static_assert(Tarn::Provider::HasResource<DockSvc::LoadMethod>::value, "load names the machine");
  auto iface = DockSvc::AsyncServiceBinder::BindImplementation(std::make_shared<HostDock>());
  EXPECT_EQ(Describe(iface->FindMethod("list")->inputDefinition()),
            Describe(Tarn::Data::OperationInputDefinition()));
}

TEST(DockService, Records) {
  EXPECT_EQ(Tarn::Data::TypeInfo<DockSvc::Info>::name(), kInfo);
  EXPECT_EQ(Tarn::Data::TypeInfo<DockSvc::ListResult>::name(), kListResult);
  EXPECT_EQ(Tarn::Data::TypeInfo<std::shared_ptr<const DockSvc::Info>>::name(),
            "SharedPtr<com.brantel.kov.vm.dock.info>");
  ExpectMetadata<DockSvc::Info>("com.brantel.kov.vm.Dock.Info",
                                {{"vm", "com.brantel.kov.vm.VirtualMachine"}});
  EXPECT_TRUE(Tarn::Data::TypeInfo<DockSvc::ListResult>::defaultInstance()->items.empty());

  // A null item makes the list invalid without a message of its own; the first invalid item
  // ends the check with its messages.
  bool valid = true;
  EXPECT_TRUE(ValidationIds(*Items({Item("a"), nullptr}), &valid).empty());
  EXPECT_FALSE(valid);
  auto odd = std::make_shared<DockSvc::Info>();
  odd->unknownFields = Tarn::Data::StructValue::GetInstance("unknownFields");
  odd->unknownFields->SetField("pinned", Bool(true));
  EXPECT_EQ(ValidationIds(*Items({Item("a"), odd, odd}), &valid),
            std::vector<std::string>{"tarn.data.compound.field.extra"});
  EXPECT_FALSE(valid);
  EXPECT_TRUE(ValidationIds(*Items({Item("a"), Item("b")}), &valid).empty());
  EXPECT_TRUE(valid);
}

TEST(DockService, ResourceIsRecordedForLoadOnly) {
  auto host = std::make_shared<HostDock>();
  auto iface = DockSvc::AsyncServiceBinder::BindImplementation(host);
  struct Case {
    const char* wire;
    Tarn::Data::DataValuePtr input;
    std::vector<std::string> resources;
  };
  const std::vector<Case> cases = {
      {"load", Input({{"vm", Str("vm-5")}}), {MachineResource("vm-5")}},
      {"list", Input({}), {}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.wire);
    auto activation = AsyncActivation::GetInstance();
    auto answer = Invoke(*iface, c.wire, c.input, activation);
    ASSERT_TRUE(answer.succeeded()) << answer.errorName();
    EXPECT_EQ(activation->resourceIds(), c.resources);
    EXPECT_EQ(host->resources.back(), c.resources);
  }
}

TEST(DockService, ListInputIsNotValidated) {
  auto host = std::make_shared<HostDock>();
  auto iface = DockSvc::AsyncServiceBinder::BindImplementation(host);
  struct Case {
    const char* name;
    Tarn::Data::DataValuePtr input;
    bool reaches;
  };
  const std::vector<Case> cases = {
      {"no fields", Input({}), true},
      // The operation input declares no fields, so none is reported as undeclared.
      {"a field it does not declare", Input({{"vm", Str("vm-1")}, {"x", Int(3)}}), true},
      {"the empty string", Str(""), true},
      {"a text", Str("all"), false},
      {"a number", Int(1), false},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int before = host->lists;
    auto answer = Invoke(*iface, "list", c.input);
    ASSERT_EQ(answer.calls, 1);
    EXPECT_EQ(answer.succeeded(), c.reaches) << answer.errorName();
    EXPECT_EQ(host->lists, before + (c.reaches ? 1 : 0));
    if (!c.reaches) {
      EXPECT_EQ(answer.errorName(), StdError("invalid_argument"));
    }
  }
}

TEST(DockService, LoadInputIsValidated) {
  auto host = std::make_shared<HostDock>();
  auto iface = DockSvc::AsyncServiceBinder::BindImplementation(host);
  auto activation = AsyncActivation::GetInstance();
  auto answer = Invoke(*iface, "load", Input({}), activation);
  EXPECT_EQ(answer.errorName(), StdError("invalid_argument"));
  EXPECT_TRUE(activation->resourceIds().empty());

  answer = Invoke(*iface, "load", Input({{"vm", Str("vm-1")}, {"x", Int(3)}}));
  auto messages = answer.error()->Messages();
  ASSERT_EQ(MessageIds(messages), (std::vector<std::string>{"tarn.invoke.invalid.input",
                                                            "tarn.data.compound.field.extra"}));
  EXPECT_EQ(messages[0].args, std::vector<std::string>{"::Com::Brantel::Kov::Vm::DockSvc::Load"});
  EXPECT_EQ(messages[1].args.at(0), "::Com::Brantel::Kov::Vm::DockSvc::LoadMethod::Input");
  EXPECT_TRUE(host->loads.empty());
}

TEST(DockService, ListAnswersBecomeValues) {
  auto host = std::make_shared<HostDock>();
  auto iface = DockSvc::AsyncServiceBinder::BindImplementation(host);

  host->list = Items({Item("vm-2"), Item("vm-1")});
  auto answer = Invoke(*iface, "list", Input({}));
  ASSERT_TRUE(answer.succeeded()) << answer.errorName();
  auto value = Tarn::Data::NarrowDataTypeInt<Tarn::Data::StructValue>(answer.output());
  ASSERT_TRUE(value);
  EXPECT_EQ(value->name(), kListResult);
  auto items = Tarn::Data::NarrowDataTypeInt<Tarn::Data::ListValue>(Field(value, "items"));
  ASSERT_TRUE(items);
  EXPECT_EQ(items->kind(), 1);
  ASSERT_EQ(items->elements().size(), 2u);
  EXPECT_EQ(*items->elements()[0], *Struct(kInfo, {{"vm", Str("vm-2")}}));
  EXPECT_EQ(*items->elements()[1], *Struct(kInfo, {{"vm", Str("vm-1")}}));

  host->list = Items({});
  answer = Invoke(*iface, "list", Input({}));
  ASSERT_TRUE(answer.succeeded()) << answer.errorName();
  EXPECT_EQ(*Field(answer.output(), "items"), *List({}));

  // A null item cannot be converted: the runtime gets the internal server error.
  host->list = Items({Item("vm-1"), nullptr});
  answer = Invoke(*iface, "list", Input({}));
  EXPECT_EQ(answer.errorName(), StdError("internal_server_error"));
  Tarn::Data::DataValuePtr converted;
  Tarn::MessageList messages;
  EXPECT_FALSE(Tarn::Data::NativeToValueAdapter::Adapt(&host->list, &converted, messages));
  ASSERT_EQ(MessageIds(messages), std::vector<std::string>{"tarn.data.unset.non.optional.field"});
  EXPECT_EQ(messages[0].args, std::vector<std::string>{kInfo});

  host->list = nullptr;
  answer = Invoke(*iface, "list", Input({}));
  EXPECT_EQ(answer.errorName(), StdError("internal_server_error"));
}

TEST(DockService, ThroughTheStub) {
  auto host = std::make_shared<HostDock>();
  auto stub = LocalStub<DockSvc>(host);
  ASSERT_TRUE(stub);

  Outcome<ListPtr> listed;
  stub->List(nullptr, listed.Callback());
  ASSERT_EQ(listed.calls, 1);
  ASSERT_TRUE(listed.value && *listed.value) << listed.errorName();
  ASSERT_EQ((*listed.value)->items.size(), 2u);
  EXPECT_EQ((*listed.value)->items[0]->vm, "vm-1");
  EXPECT_EQ((*listed.value)->items[1]->vm, "vm-2");

  Outcome<Void> loaded;
  stub->Load("vm-4", nullptr, loaded.Callback());
  EXPECT_TRUE(loaded.value) << loaded.errorName();
  EXPECT_EQ(host->loads, std::vector<std::string>{"vm-4"});

  host->failure = Errors::Unauthenticated::Create();
  Outcome<ListPtr> refused;
  stub->List(nullptr, refused.Callback());
  EXPECT_EQ(refused.errorName(), StdError("unauthenticated"));
  host->failure = Errors::NotFound::Create();
  Outcome<Void> missing;
  stub->Load("vm-5", nullptr, missing.Callback());
  EXPECT_EQ(missing.errorName(), StdError("not_found"));
}

TEST(DockService, ClientSideOfList) {
  // The client sends what the runtime makes of a default operation input: no field at all.
  auto target = CannedTarget::Answering(Struct(kListResult, {{"items", List({})}}));
  auto stub = StubOn<DockSvc>(target);
  Outcome<ListPtr> outcome;
  stub.List(nullptr, outcome.Callback());
  ASSERT_EQ(target->calls, 1);
  EXPECT_EQ(target->interfaceName, "com.brantel.kov.vm.dock");
  EXPECT_EQ(target->methodName, "list");
  EXPECT_EQ(*target->lastInput, *Input({}));
  ASSERT_TRUE(outcome.value && *outcome.value) << outcome.errorName();
  EXPECT_TRUE((*outcome.value)->items.empty());

  struct Case {
    const char* name;
    Tarn::Data::DataValuePtr output;
    std::string messageId;
    std::vector<std::string> args;  // checked when not empty
  };
  const std::vector<Case> cases = {
      {"items as a list of strings",
       Struct(kListResult, {{"items", Texts({"vm-1"})}}),
       "tarn.data.bad.cast2",
       {"20", "SharedPtr<com.brantel.kov.vm.dock.info>"}},
      {"items missing", Struct(kListResult, {}), "", {}},
      {"an item without vm", Struct(kListResult, {{"items", List({Struct(kInfo, {})})}}), "", {}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto bad = CannedTarget::Answering(c.output);
    auto badStub = StubOn<DockSvc>(bad);
    Outcome<ListPtr> got;
    badStub.List(nullptr, got.Callback());
    ASSERT_EQ(got.calls, 1);
    EXPECT_EQ(got.errorName(), "invalid_argument");
    EXPECT_FALSE(got.value);
    auto messages = got.error->Messages();
    ASSERT_FALSE(messages.empty());
    if (!c.messageId.empty()) {
      EXPECT_EQ(messages[0].id, c.messageId);
    }
    if (!c.args.empty()) {
      EXPECT_EQ(messages[0].args, c.args);
    }
  }
}

}  // namespace
