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

constexpr char kProperties[] = "com.brantel.kov.vm.compute.memory.properties";
constexpr char kUpdateSpec[] = "com.brantel.kov.vm.compute.memory.update_spec";
constexpr char kNative[] = "::Com::Brantel::Kov::Vm::Compute::MemorySvc::";

PropertiesPtr MakeProperties(std::int64_t size, bool hotAdd) {
  auto p = std::make_shared<MemorySvc::Properties>();
  p->size = size;
  p->hotAddEnabled = hotAdd;
  return p;
}

class HostMemory : public MemorySvc::AsyncServiceInterface, public Recorder {
 public:
  void Get(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
           const MemorySvc::GetMethod::ResultCbType& result) override {
    Record("get", activation);
    lastVm = vm;
    Answer(result, properties);
  }
  void Update(const std::string& vm, const SpecPtr& spec,
              const std::shared_ptr<AsyncActivation>& activation,
              const MemorySvc::UpdateMethod::ResultCbType& result) override {
    Record("update", activation);
    lastVm = vm;
    lastSpec = spec;
    Answer(result, Void());
  }

  PropertiesPtr properties = MakeProperties(4096, true);
  std::string lastVm;
  SpecPtr lastSpec;
};

using MemoryService = ServiceFixture<MemorySvc, HostMemory>;

TEST_F(MemoryService, ShapeSeenByTheRuntime) {
  ExpectShape<MemorySvc>(
      impl, "com.brantel.kov.vm.compute.memory",
      {
          {"get",
           {"error", "not_found", "resource_inaccessible", "service_unavailable", "unauthenticated",
            "unauthorized"},
           "struct com.brantel.tarn.operation_input {vm: string}",
           "struct com.brantel.kov.vm.compute.memory.properties {hot_add_enabled: boolean, size: "
           "integer}"},
          {"update",
           {"error", "not_found", "invalid_argument", "not_allowed_in_current_state",
            "resource_busy", "resource_inaccessible", "service_unavailable", "unauthenticated",
            "unauthorized"},
           "struct com.brantel.tarn.operation_input {update_spec: struct "
           "com.brantel.kov.vm.compute.memory.update_spec {hot_add_enabled: optional<boolean>, "
           "size: optional<integer>}, vm: string}",
           "void"},
      });
}

TEST_F(MemoryService, Records) {
  ExpectNames<MemorySvc::UpdateSpec>(kUpdateSpec, std::string(kNative) + "UpdateSpec");
  auto properties = Tarn::Data::TypeInfo<MemorySvc::Properties>::defaultInstance();
  EXPECT_EQ(properties->size, 0);
  EXPECT_FALSE(properties->hotAddEnabled);
  auto spec = Tarn::Data::TypeInfo<MemorySvc::UpdateSpec>::defaultInstance();
  EXPECT_FALSE(spec->size);
  EXPECT_FALSE(spec->hotAddEnabled);
}

TEST_F(MemoryService, BothOperationsRecordTheMachine) {
  ExpectAnswered(*iface, *impl, "get", Input({{"vm", Str("vm-a")}}), {MachineResource("vm-a")});
  EXPECT_EQ(impl->lastVm, "vm-a");
  ExpectAnswered(*iface, *impl, "update",
                 Input({{"vm", Str("vm-b")}, {"update_spec", Struct(kUpdateSpec, {})}}),
                 {MachineResource("vm-b")});
  EXPECT_EQ(impl->lastVm, "vm-b");
}

TEST_F(MemoryService, UpdateSpecLeavesAbsentMembersUnset) {
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
    auto answer = Invoke(*iface, "update", VmInput({{"update_spec", c.spec}}));
    ASSERT_TRUE(answer.succeeded()) << answer.errorName();
    ASSERT_TRUE(impl->lastSpec);
    EXPECT_EQ(impl->lastSpec->size, c.size);
    EXPECT_EQ(impl->lastSpec->hotAddEnabled, c.hotAdd);
  }
}

TEST_F(MemoryService, RefusedInputs) {
  ExpectRefusals(*iface, kNative,
                 {
                     {"get with an extra field",
                      "get",
                      VmInput({{"x", Int(1)}}),
                      {"Get", "GetMethod::Input", "x"}},
                     {"update with an extra field",
                      "update",
                      VmInput({{"update_spec", Struct(kUpdateSpec, {})}, {"x", Int(1)}}),
                      {"Update", "UpdateMethod::Input", "x"}},
                     {"spec with an extra field",
                      "update",
                      Input({{"vm", Str("vm-1")},
                             {"update_spec", Struct(kUpdateSpec, {{"balloon", Bool(true)}})}}),
                      {"Update", "UpdateSpec", "balloon"}},
                     {"get without vm", "get", Input({})},
                     {"update without spec", "update", VmInput()},
                     {"spec that is a text", "update", VmInput({{"update_spec", Str("big")}})},
                 });
  EXPECT_TRUE(impl->calls.empty());
}

TEST_F(MemoryService, GetAnswers) {
  auto carrying = std::make_shared<MemorySvc::Properties>();
  carrying->unknownFields = Unknown({{"reserved", Int(512)}});
  const std::vector<GetAnswerCase<PropertiesPtr>> cases = {
      {"both fields", MakeProperties(4096, true),
       Struct(kProperties, {{"hot_add_enabled", Bool(true)}, {"size", Int(4096)}})},
      // Unknown fields the record carries travel with it.
      {"unknown fields", carrying,
       Struct(kProperties,
              {{"hot_add_enabled", Bool(false)}, {"reserved", Int(512)}, {"size", Int(0)}})},
      {"no record", nullptr, nullptr},
  };
  ExpectGetAnswers(*iface, cases, [&](const PropertiesPtr& record) { impl->properties = record; });
}

TEST_F(MemoryService, ThroughTheStub) {
  auto got = Call<PropertiesPtr>([&](auto cb) { stub->Get("vm-1", nullptr, cb); });
  ASSERT_TRUE(got.ok() && *got.value) << got.errorName();
  EXPECT_EQ((*got.value)->size, 4096);
  EXPECT_TRUE((*got.value)->hotAddEnabled);

  auto spec = std::make_shared<MemorySvc::UpdateSpec>();
  spec->hotAddEnabled = false;
  auto updated = Call<Void>([&](auto cb) { stub->Update("vm-1", spec, nullptr, cb); });
  EXPECT_TRUE(updated.ok()) << updated.errorName();
  EXPECT_FALSE(impl->lastSpec->size);
  EXPECT_TRUE(impl->lastSpec->hotAddEnabled == false);

  impl->failure = Errors::ResourceBusy::Create();
  updated = Call<Void>([&](auto cb) { stub->Update("vm-1", spec, nullptr, cb); });
  EXPECT_EQ(updated.errorName(), StdError("resource_busy"));
  impl->failure = Errors::NotFound::Create();
  got = Call<PropertiesPtr>([&](auto cb) { stub->Get("vm-2", nullptr, cb); });
  EXPECT_EQ(got.errorName(), StdError("not_found"));
  EXPECT_FALSE(got.value);
}

}  // namespace
