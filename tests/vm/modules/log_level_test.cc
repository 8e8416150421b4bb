// The log level service: its shape, the table of seventeen levels with unknown texts kept, the
// resource both operations record, and calls through its stub.
#include "vm/modules/log_level.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/vm/service_test_util.h"

namespace {

using Com::Brantel::Kov::Vm::Modules::LogLevelSvc;
using Tarn::Void;
using Tarn::Core::AsyncActivation;
using namespace ServiceTest;  // NOLINT(build/namespaces)
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;

using Level = LogLevelSvc::Level;
using SpecPtr = std::shared_ptr<const LogLevelSvc::SetSpec>;

constexpr char kSetSpec[] = "com.brantel.kov.vm.modules.log_level.set_spec";
constexpr char kNative[] = "::Com::Brantel::Kov::Vm::Modules::LogLevelSvc::";

class HostLogLevel : public LogLevelSvc::AsyncServiceInterface, public Recorder {
 public:
  void Set(const std::string& vm, const std::string& module, const SpecPtr& spec,
           const std::shared_ptr<AsyncActivation>& activation,
           const LogLevelSvc::SetMethod::ResultCbType& result) override {
    Record("set", activation);
    Seen(vm, module, spec);
    Answer(result, Void());
  }
  void Delete(const std::string& vm, const std::string& module,
              const std::shared_ptr<AsyncActivation>& activation,
              const LogLevelSvc::DeleteMethod::ResultCbType& result) override {
    Record("delete", activation);
    Seen(vm, module, nullptr);
    Answer(result, Void());
  }

  std::string lastVm;
  std::string lastModule;
  SpecPtr lastSpec;

 private:
  void Seen(const std::string& vm, const std::string& module, const SpecPtr& spec) {
    lastVm = vm;
    lastModule = module;
    lastSpec = spec;
  }
};

using LogLevelService = ServiceFixture<LogLevelSvc, HostLogLevel>;

std::shared_ptr<Tarn::Data::StructValue> SetInput(const std::string& level) {
  return Input({{"vm", Str("vm-1")},
                {"module", Str("monitor")},
                {"spec", Struct(kSetSpec, {{"level", Str(level)}})}});
}

TEST_F(LogLevelService, ShapeSeenByTheRuntime) {
  const std::vector<std::string> errors = {"error", "invalid_argument", "not_found",
                                           "not_allowed_in_current_state", "unauthorized"};
  ExpectShape<LogLevelSvc>(
      impl, "com.brantel.kov.vm.modules.log_level",
      {
          {"set", errors,
           "struct com.brantel.tarn.operation_input {module: string, spec: struct "
           "com.brantel.kov.vm.modules.log_level.set_spec {level: string}, vm: string}",
           "void"},
          {"delete", errors, "struct com.brantel.tarn.operation_input {module: string, vm: string}",
           "void"},
      });
}

TEST_F(LogLevelService, SeventeenLevels) {
  ExpectEnum<Level>("com.brantel.kov.vm.modules.log_level.level",
                    {{Level::BRT_LOG_ERROR, "BRT_LOG_ERROR"},
                     {Level::BRT_LOG_WARNING, "BRT_LOG_WARNING"},
                     {Level::BRT_LOG_NOTICE, "BRT_LOG_NOTICE"},
                     {Level::BRT_LOG_INFO, "BRT_LOG_INFO"},
                     {Level::BRT_LOG_VERBOSE, "BRT_LOG_VERBOSE"},
                     {Level::BRT_LOG_TRIVIA, "BRT_LOG_TRIVIA"},
                     {Level::BRT_LOG_DEBUG_00, "BRT_LOG_DEBUG_00"},
                     {Level::BRT_LOG_DEBUG_01, "BRT_LOG_DEBUG_01"},
                     {Level::BRT_LOG_DEBUG_02, "BRT_LOG_DEBUG_02"},
                     {Level::BRT_LOG_DEBUG_03, "BRT_LOG_DEBUG_03"},
                     {Level::BRT_LOG_DEBUG_04, "BRT_LOG_DEBUG_04"},
                     {Level::BRT_LOG_DEBUG_05, "BRT_LOG_DEBUG_05"},
                     {Level::BRT_LOG_DEBUG_06, "BRT_LOG_DEBUG_06"},
                     {Level::BRT_LOG_DEBUG_07, "BRT_LOG_DEBUG_07"},
                     {Level::BRT_LOG_DEBUG_08, "BRT_LOG_DEBUG_08"},
                     {Level::BRT_LOG_DEBUG_09, "BRT_LOG_DEBUG_09"},
                     {Level::BRT_LOG_DEBUG_10, "BRT_LOG_DEBUG_10"}},
                    {"BRT_LOG_DEBUG_11", "brt_log_error", "BRT_LOG_DEBUG_1", " BRT_LOG_INFO"});
  ExpectNames<LogLevelSvc::SetSpec>(kSetSpec, std::string(kNative) + "SetSpec");
  EXPECT_TRUE(Tarn::Data::TypeInfo<LogLevelSvc::SetSpec>::defaultInstance()->level ==
              Level::_UNKNOWN);
}

TEST_F(LogLevelService, SetPassesTheLevelOnUnknownTextsIncluded) {
  struct Case {
    std::string text;
    int number;
    std::string kept;  // the text an unknown level carries
  };
  const std::vector<Case> cases = {
      {"BRT_LOG_ERROR", 0, ""},
      {"BRT_LOG_INFO", 3, ""},
      {"BRT_LOG_DEBUG_10", 16, ""},
      {"BRT_LOG_DEBUG_11", 17, "BRT_LOG_DEBUG_11"},
      {"brt_log_error", 17, "brt_log_error"},
      {"BRT_LOG_DEBUG_1", 17, "BRT_LOG_DEBUG_1"},
      {" BRT_LOG_INFO", 17, " BRT_LOG_INFO"},
      {"_UNKNOWN", 17, ""},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto answer = Invoke(*iface, "set", SetInput(c.text));
    ASSERT_TRUE(answer.succeeded()) << answer.errorName();
    ASSERT_TRUE(impl->lastSpec);
    EXPECT_EQ(impl->lastSpec->level.number(), c.number);
    EXPECT_EQ(impl->lastSpec->level.unknownText(), c.kept);
    // Converted back, a level keeps its text; "_UNKNOWN" stays "_UNKNOWN".
    Tarn::Data::DataValuePtr value;
    Tarn::MessageList messages;
    ASSERT_TRUE(Tarn::Data::NativeToValueAdapter::Adapt(&impl->lastSpec, &value, messages));
    EXPECT_EQ(*Field(value, "level"), *Str(c.text));
  }
  EXPECT_EQ(impl->lastModule, "monitor");
}

TEST_F(LogLevelService, BothOperationsRecordTheMachineOnly) {
  ExpectAnswered(*iface, *impl, "set", SetInput("BRT_LOG_INFO"), {MachineResource("vm-1")});
  EXPECT_EQ(impl->lastModule, "monitor");
  ExpectAnswered(*iface, *impl, "delete", Input({{"vm", Str("vm-2")}, {"module", Str("mks")}}),
                 {MachineResource("vm-2")});
  EXPECT_EQ(impl->lastModule, "mks");
}

TEST_F(LogLevelService, RefusedInputs) {
  auto info = Struct(kSetSpec, {{"level", Str("BRT_LOG_INFO")}});
  ExpectRefusals(*iface, kNative,
                 {
                     {"set without module", "set", VmInput({{"spec", info}})},
                     {"set without spec", "set", VmInput({{"module", Str("monitor")}})},
                     {"spec without level", "set",
                      VmInput({{"module", Str("monitor")}, {"spec", Struct(kSetSpec, {})}})},
                     {"spec with an extra field",
                      "set",
                      Input({{"vm", Str("vm-1")},
                             {"module", Str("monitor")},
                             {"spec", Struct(kSetSpec, {{"level", Str("BRT_LOG_INFO")},
                                                        {"sticky", Bool(true)}})}}),
                      {"Set", "SetSpec", "sticky"}},
                     {"set with an extra field",
                      "set",
                      VmInput({{"module", Str("monitor")}, {"spec", info}, {"x", Int(1)}}),
                      {"Set", "SetMethod::Input", "x"}},
                     {"delete without module", "delete", VmInput()},
                     {"delete with an extra field",
                      "delete",
                      VmInput({{"module", Str("monitor")}, {"x", Int(1)}}),
                      {"Delete", "DeleteMethod::Input", "x"}},
                 });
  EXPECT_TRUE(impl->calls.empty());
}

TEST_F(LogLevelService, ThroughTheStub) {
  auto spec = std::make_shared<LogLevelSvc::SetSpec>();
  spec->level = Tarn::EnumFromText<Level>("BRT_LOG_DEBUG_42");
  auto set = Call<Void>([&](auto cb) { stub->Set("vm-2", "mks", spec, nullptr, cb); });
  EXPECT_TRUE(set.ok()) << set.errorName();
  EXPECT_EQ(impl->lastVm, "vm-2");
  EXPECT_EQ(impl->lastModule, "mks");
  EXPECT_EQ(impl->lastSpec->level.value(), Level::_UNKNOWN);
  EXPECT_EQ(impl->lastSpec->level.unknownText(), "BRT_LOG_DEBUG_42");

  impl->failure = Errors::NotFound::Create();
  auto deleted = Call<Void>([&](auto cb) { stub->Delete("vm-2", "mks", nullptr, cb); });
  EXPECT_EQ(deleted.errorName(), StdError("not_found"));
  EXPECT_EQ(impl->calls, (std::vector<std::string>{"set", "delete"}));
}

TEST_F(LogLevelService, ClientSetWithoutSpecFailsBeforeTheRuntime) {
  auto target = CannedTarget::Answering(Tarn::Data::VoidValue::GetInstance());
  auto client = StubOn<LogLevelSvc>(target);
  ExpectNullRecordRefused(
      Call<Void>([&](auto cb) { client.Set("vm-1", "monitor", nullptr, nullptr, cb); }), kSetSpec);
  EXPECT_EQ(target->calls, 0);

  Call<Void>([&](auto cb) { client.Delete("vm-1", "monitor", nullptr, cb); });
  EXPECT_EQ(target->calls, 1);
  EXPECT_EQ(target->interfaceName, "com.brantel.kov.vm.modules.log_level");
  EXPECT_EQ(target->methodName, "delete");
  EXPECT_EQ(*target->lastInput, *VmInput({{"module", Str("monitor")}}));
}

}  // namespace
