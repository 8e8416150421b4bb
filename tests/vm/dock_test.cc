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

class HostDock : public DockSvc::AsyncServiceInterface, public Recorder {
 public:
  void Load(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
            const DockSvc::LoadMethod::ResultCbType& result) override {
    Record("load", activation);
    loads.push_back(vm);
    Answer(result, Void());
  }
  void List(const std::shared_ptr<AsyncActivation>& activation,
            const DockSvc::ListMethod::ResultCbType& result) override {
    Record("list", activation);
    Answer(result, list);
  }

  ListPtr list = Items({Item("vm-1"), Item("vm-2")});
  std::vector<std::string> loads;
};

using DockService = ServiceFixture<DockSvc, HostDock>;

TEST_F(DockService, ShapeSeenByTheRuntime) {
  ExpectShape<DockSvc>(impl, "com.brantel.kov.vm.dock",
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
  // "list" takes the runtime's own operation input: no record, no fields, no resource.
  static_assert(std::is_same<DockSvc::ListMethod::Input, Tarn::OperationInput>::value,
                "list has no input record of its own");
  static_assert(std::is_same<DockSvc::ListMethod::Fields, Tarn::Provider::Fields<>>::value,
                "list passes no input fields");
  static_assert(!Tarn::Provider::HasResource<DockSvc::ListMethod>::value, "list names no resource");
  static_assert(Tarn::Provider::HasResource<DockSvc::LoadMethod>::value, "load names the machine");
  EXPECT_EQ(Describe(iface->FindMethod("list")->inputDefinition()),
            Describe(Tarn::Data::OperationInputDefinition()));
}

TEST_F(DockService, Records) {
  ExpectMetadata<DockSvc::Info>("com.brantel.kov.vm.Dock.Info",
                                {{"vm", "com.brantel.kov.vm.VirtualMachine"}});
  EXPECT_TRUE(Tarn::Data::TypeInfo<DockSvc::ListResult>::defaultInstance()->items.empty());

  // A null item makes the list invalid without a message of its own; the first invalid item
  // ends the check with its messages.
  bool valid = true;
  EXPECT_TRUE(ValidationIds(*Items({Item("a"), nullptr}), &valid).empty());
  EXPECT_FALSE(valid);
  auto odd = std::make_shared<DockSvc::Info>();
  odd->unknownFields = Unknown({{"pinned", Bool(true)}});
  EXPECT_EQ(ValidationIds(*Items({Item("a"), odd, odd}), &valid),
            std::vector<std::string>{"tarn.data.compound.field.extra"});
  EXPECT_FALSE(valid);
  EXPECT_TRUE(ValidationIds(*Items({Item("a"), Item("b")}), &valid).empty());
  EXPECT_TRUE(valid);
}

TEST_F(DockService, ResourceIsRecordedForLoadOnly) {
  ExpectAnswered(*iface, *impl, "load", Input({{"vm", Str("vm-5")}}), {MachineResource("vm-5")});
  ExpectAnswered(*iface, *impl, "list", Input({}), {});
  EXPECT_EQ(impl->calls, (std::vector<std::string>{"load", "list"}));
}

TEST_F(DockService, ListInputIsNotValidated) {
  struct Case {
    const char* name;
    Tarn::Data::DataValuePtr input;
    bool reaches;
  };
  const std::vector<Case> cases = {
      {"no fields", Input({}), true},
      // The operation input declares no fields, so none is reported as undeclared.
      {"a field it does not declare", VmInput({{"x", Int(3)}}), true},
      {"the empty string", Str(""), true},
      {"a text", Str("all"), false},
      {"a number", Int(1), false},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    impl->calls.clear();
    auto answer = Invoke(*iface, "list", c.input);
    ASSERT_EQ(answer.calls, 1);
    EXPECT_EQ(answer.errorName(), c.reaches ? "" : StdError("invalid_argument"));
    EXPECT_EQ(impl->calls.size(), c.reaches ? 1u : 0u);
  }
}

TEST_F(DockService, LoadInputIsValidated) {
  ExpectRefusals(*iface, "::Com::Brantel::Kov::Vm::DockSvc::",
                 {{"without vm", "load", Input({})},
                  {"an undeclared field",
                   "load",
                   VmInput({{"x", Int(3)}}),
                   {"Load", "LoadMethod::Input", "x"}}});
  EXPECT_TRUE(impl->loads.empty());
}

TEST_F(DockService, ListAnswersBecomeValues) {
  struct Case {
    const char* name;
    ListPtr list;
    Tarn::Data::DataValuePtr items;  // null: the internal server error
  };
  const std::vector<Case> cases = {
      {"in the host's order", Items({Item("vm-2"), Item("vm-1")}),
       List({Struct(kInfo, {{"vm", Str("vm-2")}}), Struct(kInfo, {{"vm", Str("vm-1")}})})},
      {"empty", Items({}), List({})},
      // A null item cannot be converted.
      {"a null item", Items({Item("vm-1"), nullptr}), nullptr},
      {"no list", nullptr, nullptr},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    impl->list = c.list;
    auto answer = Invoke(*iface, "list", Input({}));
    if (!c.items) {
      EXPECT_EQ(answer.errorName(), StdError("internal_server_error"));
      continue;
    }
    ASSERT_TRUE(answer.succeeded()) << answer.errorName();
    EXPECT_EQ(Text(answer.output()), Text(Struct(kListResult, {{"items", c.items}})));
    auto items =
        Tarn::Data::NarrowDataTypeInt<Tarn::Data::ListValue>(Field(answer.output(), "items"));
    ASSERT_TRUE(items);
    EXPECT_EQ(items->kind(), 1);
  }
  Tarn::Data::DataValuePtr converted;
  Tarn::MessageList messages;
  ListPtr withNull = Items({Item("vm-1"), nullptr});
  EXPECT_FALSE(Tarn::Data::NativeToValueAdapter::Adapt(&withNull, &converted, messages));
  ASSERT_EQ(MessageIds(messages), std::vector<std::string>{"tarn.data.unset.non.optional.field"});
  EXPECT_EQ(messages[0].args, std::vector<std::string>{kInfo});
}

TEST_F(DockService, ThroughTheStub) {
  auto listed = Call<ListPtr>([&](auto cb) { stub->List(nullptr, cb); });
  ASSERT_TRUE(listed.ok() && *listed.value) << listed.errorName();
  ASSERT_EQ((*listed.value)->items.size(), 2u);
  EXPECT_EQ((*listed.value)->items[0]->vm, "vm-1");
  EXPECT_EQ((*listed.value)->items[1]->vm, "vm-2");

  EXPECT_TRUE(Call<Void>([&](auto cb) { stub->Load("vm-4", nullptr, cb); }).ok());
  EXPECT_EQ(impl->loads, std::vector<std::string>{"vm-4"});

  impl->failure = Errors::Unauthenticated::Create();
  listed = Call<ListPtr>([&](auto cb) { stub->List(nullptr, cb); });
  EXPECT_EQ(listed.errorName(), StdError("unauthenticated"));
  impl->failure = Errors::NotFound::Create();
  EXPECT_EQ(Call<Void>([&](auto cb) { stub->Load("vm-5", nullptr, cb); }).errorName(),
            StdError("not_found"));
}

TEST_F(DockService, ClientSideOfList) {
  // The client sends what the runtime makes of a default operation input: no field at all.
  auto target = CannedTarget::Answering(Struct(kListResult, {{"items", List({})}}));
  auto client = StubOn<DockSvc>(target);
  auto outcome = Call<ListPtr>([&](auto cb) { client.List(nullptr, cb); });
  ASSERT_EQ(target->calls, 1);
  EXPECT_EQ(target->interfaceName, "com.brantel.kov.vm.dock");
  EXPECT_EQ(target->methodName, "list");
  EXPECT_EQ(*target->lastInput, *Input({}));
  ASSERT_TRUE(outcome.ok() && *outcome.value) << outcome.errorName();
  EXPECT_TRUE((*outcome.value)->items.empty());

  struct Case {
    const char* name;
    Tarn::Data::DataValuePtr output;
    std::vector<std::string> first;  // id and arguments of the first message; empty: any
  };
  const std::vector<Case> cases = {
      {"items as a list of strings",
       Struct(kListResult, {{"items", Texts({"vm-1"})}}),
       {"tarn.data.bad.cast2", "20", "SharedPtr<com.brantel.kov.vm.dock.info>"}},
      {"items missing", Struct(kListResult, {}), {}},
      {"an item without vm", Struct(kListResult, {{"items", List({Struct(kInfo, {})})}}), {}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto bad = CannedTarget::Answering(c.output);
    auto badStub = StubOn<DockSvc>(bad);
    auto got = Call<ListPtr>([&](auto cb) { badStub.List(nullptr, cb); });
    EXPECT_EQ(got.errorName(), "invalid_argument");
    EXPECT_FALSE(got.value);
    ASSERT_TRUE(got.error && !got.error->Messages().empty());
    if (!c.first.empty()) {
      auto messages = got.error->Messages();
      EXPECT_EQ(messages[0].id, c.first[0]);
      EXPECT_EQ(messages[0].args, std::vector<std::string>(c.first.begin() + 1, c.first.end()));
    }
  }
}

}  // namespace
