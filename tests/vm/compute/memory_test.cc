// The memory service: its shape, the resource both operations record, the update
// specification, and calls through its stub.
#include "vm/compute/memory.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/vm/service_test_util.h"

namespace {

using Com::Brantel::Kov::Vm::Compute::MemorySvc;
using Tarn::Void;
using Tarn::Core::AsyncActivation;
using namespace ServiceTest;  // NOLINT(build/namespaces)
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;

using PropertiesPtr = std::shared_ptr<const MemorySvc::Properties>;
using SpecPtr = std::shared_ptr<const MemorySvc::UpdateSpec>;

class HostMemory : public MemorySvc::AsyncServiceInterface {
 public:
  struct Call {
    std::string vm;
    SpecPtr spec;
    std::vector<std::string> resources;
  };

  void Get(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
           const MemorySvc::GetMethod::ResultCbType& result) override {
    calls.push_back({vm, nullptr, activation->resourceIds()});
    if (failure) return result.error(failure);
    result(properties);
  }
  void Update(const std::string& vm, const SpecPtr& spec,
              const std::shared_ptr<AsyncActivation>& activation,
              const MemorySvc::UpdateMethod::ResultCbType& result) override {
    calls.push_back({vm, spec, activation->resourceIds()});
    if (failure) return result.error(failure);
    result(Void());
  }

  PropertiesPtr properties = Make(4096, true);
  Tarn::Data::ErrorValuePtr failure;
  std::vector<Call> calls;

  static PropertiesPtr Make(std::int64_t size, bool hotAdd) {
    auto p = std::make_shared<MemorySvc::Properties>();
    p->size = size;
    p->hotAddEnabled = hotAdd;
    return p;
  }
};

constexpr char kUpdateSpec[] = "com.brantel.kov.vm.compute.memory.update_spec";
const std::vector<std::string> kUpdateErrors = {"error",
                                                "not_found",
                                                "invalid_argument",
                                                "not_allowed_in_current_state",
                                                "resource_busy",
                                                "resource_inaccessible",
                                                "service_unavailable",
                                                "unauthenticated",
                                                "unauthorized"};

TEST(MemoryService, ShapeSeenByTheRuntime) {
  ExpectShape<MemorySvc>(
      std::make_shared<HostMemory>(), "com.brantel.kov.vm.compute.memory",
      {
          {"get",
           {"error", "not_found", "resource_inaccessible", "service_unavailable", "unauthenticated",
            "unauthorized"},
           "struct com.brantel.tarn.operation_input {vm: string}",
           "struct com.brantel.kov.vm.compute.memory.properties {hot_add_enabled: boolean, size: "
           "integer}"},
          {"update", kUpdateErrors,
           "struct com.brantel.tarn.operation_input {update_spec: struct "
           "com.brantel.kov.vm.compute.memory.update_spec {hot_add_enabled: optional<boolean>, "
           "size: optional<integer>}, vm: string}",
           "void"},
      });
}

TEST(MemoryService, Records) {
  using Tarn::Data::TypeInfo;
  EXPECT_EQ(TypeInfo<MemorySvc::Properties>::name(),
            "com.brantel.kov.vm.compute.memory.properties");
  EXPECT_EQ(TypeInfo<MemorySvc::UpdateSpec>::name(), kUpdateSpec);
  EXPECT_STREQ(MemorySvc::UpdateSpec::nativeName,
               "::Com::Brantel::Kov::Vm::Compute::MemorySvc::UpdateSpec");
  auto properties = TypeInfo<MemorySvc::Properties>::defaultInstance();
  EXPECT_EQ(properties->size, 0);
  EXPECT_FALSE(properties->hotAddEnabled);
  auto spec = TypeInfo<MemorySvc::UpdateSpec>::defaultInstance();
  EXPECT_FALSE(spec->size);
  EXPECT_FALSE(spec->hotAddEnabled);
}

TEST(MemoryService, BothOperationsRecordTheMachine) {
  auto host = std::make_shared<HostMemory>();
  auto iface = MemorySvc::AsyncServiceBinder::BindImplementation(host);
  const std::vector<std::pair<std::string, Tarn::Data::DataValuePtr>> inputs = {
      {"get", Input({{"vm", Str("vm-a")}})},
      {"update", Input({{"vm", Str("vm-b")}, {"update_spec", Struct(kUpdateSpec, {})}})},
  };
  for (auto& [wire, input] : inputs) {
    SCOPED_TRACE(wire);
    auto activation = AsyncActivation::GetInstance();
    auto answer = Invoke(*iface, wire, input, activation);
    ASSERT_TRUE(answer.succeeded()) << answer.errorName();
    const std::vector<std::string> expected{MachineResource(host->calls.back().vm)};
    EXPECT_EQ(activation->resourceIds(), expected);
    EXPECT_EQ(host->calls.back().resources, expected);
  }
  EXPECT_EQ(host->calls[0].vm, "vm-a");
  EXPECT_EQ(host->calls[1].vm, "vm-b");
}

TEST(MemoryService, UpdateSpecLeavesAbsentMembersUnset) {
  auto host = std::make_shared<HostMemory>();
  auto iface = MemorySvc::AsyncServiceBinder::BindImplementation(host);
  struct Case {
    const char* name;
    Tarn::Data::DataValuePtr spec;
    boost::optional<std::int64_t> size;
    boost::optional<bool> hotAdd;
  };
  const std::vector<Case> cases = {
      {"only hot_add_enabled", Struct(kUpdateSpec, {{"hot_add_enabled", Bool(true)}}), boost::none,
       true},
      {"only size", Struct(kUpdateSpec, {{"size", Opt(Int(8192))}}), std::int64_t{8192},
       boost::none},
      {"both", Struct(kUpdateSpec, {{"size", Int(1)}, {"hot_add_enabled", Opt(Bool(false))}}),
       std::int64_t{1}, false},
      {"unset optionals", Struct(kUpdateSpec, {{"size", Unset()}, {"hot_add_enabled", Unset()}}),
       boost::none, boost::none},
      {"empty string", Str(""), boost::none, boost::none},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto answer = Invoke(*iface, "update", Input({{"vm", Str("vm-1")}, {"update_spec", c.spec}}));
    ASSERT_TRUE(answer.succeeded()) << answer.errorName();
    const auto& spec = host->calls.back().spec;
    ASSERT_TRUE(spec);
    EXPECT_EQ(spec->size, c.size);
    EXPECT_EQ(spec->hotAddEnabled, c.hotAdd);
  }
}

TEST(MemoryService, RefusedInputs) {
  auto host = std::make_shared<HostMemory>();
  auto iface = MemorySvc::AsyncServiceBinder::BindImplementation(host);
  struct Case {
    const char* name;
    const char* wire;
    Tarn::Data::DataValuePtr input;
    std::vector<std::string> firstArgs;  // of the leading message, when validation refused it
    std::string extraIn;                 // the record named by "tarn.data.compound.field.extra"
  };
  const std::vector<Case> cases = {
      {"get with an extra field",
       "get",
       Input({{"vm", Str("vm-1")}, {"x", Int(1)}}),
       {"::Com::Brantel::Kov::Vm::Compute::MemorySvc::Get"},
       "::Com::Brantel::Kov::Vm::Compute::MemorySvc::GetMethod::Input"},
      {"update with an extra field",
       "update",
       Input({{"vm", Str("vm-1")}, {"update_spec", Struct(kUpdateSpec, {})}, {"x", Int(1)}}),
       {"::Com::Brantel::Kov::Vm::Compute::MemorySvc::Update"},
       "::Com::Brantel::Kov::Vm::Compute::MemorySvc::UpdateMethod::Input"},
      {"spec with an extra field",
       "update",
       Input(
           {{"vm", Str("vm-1")}, {"update_spec", Struct(kUpdateSpec, {{"balloon", Bool(true)}})}}),
       {"::Com::Brantel::Kov::Vm::Compute::MemorySvc::Update"},
       "::Com::Brantel::Kov::Vm::Compute::MemorySvc::UpdateSpec"},
      {"get without vm", "get", Input({}), {}, ""},
      {"update without spec", "update", Input({{"vm", Str("vm-1")}}), {}, ""},
      {"spec that is a text",
       "update",
       Input({{"vm", Str("vm-1")}, {"update_spec", Str("big")}}),
       {},
       ""},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto activation = AsyncActivation::GetInstance();
    auto answer = Invoke(*iface, c.wire, c.input, activation);
    ASSERT_EQ(answer.calls, 1);
    EXPECT_EQ(answer.errorName(), StdError("invalid_argument"));
    EXPECT_TRUE(activation->resourceIds().empty());
    if (c.firstArgs.empty()) continue;
    auto messages = answer.error()->Messages();
    ASSERT_EQ(MessageIds(messages), (std::vector<std::string>{"tarn.invoke.invalid.input",
                                                              "tarn.data.compound.field.extra"}));
    EXPECT_EQ(messages[0].args, c.firstArgs);
    EXPECT_EQ(messages[1].args.at(0), c.extraIn);
  }
  EXPECT_TRUE(host->calls.empty());
}

TEST(MemoryService, GetAnswers) {
  auto host = std::make_shared<HostMemory>();
  auto iface = MemorySvc::AsyncServiceBinder::BindImplementation(host);

  auto answer = Invoke(*iface, "get", Input({{"vm", Str("vm-1")}}));
  ASSERT_TRUE(answer.succeeded()) << answer.errorName();
  auto value = Tarn::Data::NarrowDataTypeInt<Tarn::Data::StructValue>(answer.output());
  ASSERT_TRUE(value);
  EXPECT_EQ(value->name(), "com.brantel.kov.vm.compute.memory.properties");
  EXPECT_EQ(value->fields().size(), 2u);
  EXPECT_EQ(*Field(value, "size"), *Int(4096));
  EXPECT_EQ(*Field(value, "hot_add_enabled"), *Bool(true));

  // Unknown fields the record carries travel with it.
  auto carrying = std::make_shared<MemorySvc::Properties>();
  carrying->unknownFields = Tarn::Data::StructValue::GetInstance("unknownFields");
  carrying->unknownFields->SetField("reserved", Int(512));
  host->properties = carrying;
  answer = Invoke(*iface, "get", Input({{"vm", Str("vm-1")}}));
  ASSERT_TRUE(answer.succeeded()) << answer.errorName();
  EXPECT_EQ(*Field(answer.output(), "reserved"), *Int(512));

  host->properties = nullptr;
  answer = Invoke(*iface, "get", Input({{"vm", Str("vm-1")}}));
  EXPECT_EQ(answer.errorName(), StdError("internal_server_error"));
}

TEST(MemoryService, ThroughTheStub) {
  auto host = std::make_shared<HostMemory>();
  auto stub = LocalStub<MemorySvc>(host);
  ASSERT_TRUE(stub);

  Outcome<PropertiesPtr> got;
  stub->Get("vm-1", nullptr, got.Callback());
  ASSERT_EQ(got.calls, 1);
  ASSERT_TRUE(got.value && *got.value) << got.errorName();
  EXPECT_EQ((*got.value)->size, 4096);
  EXPECT_TRUE((*got.value)->hotAddEnabled);

  auto spec = std::make_shared<MemorySvc::UpdateSpec>();
  spec->hotAddEnabled = false;
  Outcome<Void> updated;
  stub->Update("vm-1", spec, nullptr, updated.Callback());
  EXPECT_TRUE(updated.value) << updated.errorName();
  EXPECT_FALSE(host->calls.back().spec->size);
  EXPECT_TRUE(host->calls.back().spec->hotAddEnabled == false);

  host->failure = Errors::ResourceBusy::Create();
  Outcome<Void> busy;
  stub->Update("vm-1", spec, nullptr, busy.Callback());
  ASSERT_EQ(busy.calls, 1);
  EXPECT_EQ(busy.errorName(), StdError("resource_busy"));

  host->failure = Errors::NotFound::Create();
  Outcome<PropertiesPtr> missing;
  stub->Get("vm-2", nullptr, missing.Callback());
  EXPECT_EQ(missing.errorName(), StdError("not_found"));
  EXPECT_FALSE(missing.value);
}

}  // namespace
