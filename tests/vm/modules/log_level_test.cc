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

class HostLogLevel : public LogLevelSvc::AsyncServiceInterface {
 public:
  struct Call {
    std::string operation;
    std::string vm;
    std::string module;
    SpecPtr spec;
    std::vector<std::string> resources;
  };

  void Set(const std::string& vm, const std::string& module, const SpecPtr& spec,
           const std::shared_ptr<AsyncActivation>& activation,
           const LogLevelSvc::SetMethod::ResultCbType& result) override {
    calls.push_back({"Set", vm, module, spec, activation->resourceIds()});
    Finish(result);
  }
  void Delete(const std::string& vm, const std::string& module,
              const std::shared_ptr<AsyncActivation>& activation,
              const LogLevelSvc::DeleteMethod::ResultCbType& result) override {
    calls.push_back({"Delete", vm, module, nullptr, activation->resourceIds()});
    Finish(result);
  }

  Tarn::Data::ErrorValuePtr failure;
  std::vector<Call> calls;

 private:
  void Finish(const Tarn::AsyncResult<Void>& result) {
    if (failure) return result.error(failure);
    result(Void());
  }
};

constexpr char kSetSpec[] = "com.brantel.kov.vm.modules.log_level.set_spec";

const std::vector<std::string> kLevels = {
    "BRT_LOG_ERROR",    "BRT_LOG_WARNING",  "BRT_LOG_NOTICE",   "BRT_LOG_INFO",
    "BRT_LOG_VERBOSE",  "BRT_LOG_TRIVIA",   "BRT_LOG_DEBUG_00", "BRT_LOG_DEBUG_01",
    "BRT_LOG_DEBUG_02", "BRT_LOG_DEBUG_03", "BRT_LOG_DEBUG_04", "BRT_LOG_DEBUG_05",
    "BRT_LOG_DEBUG_06", "BRT_LOG_DEBUG_07", "BRT_LOG_DEBUG_08", "BRT_LOG_DEBUG_09",
    "BRT_LOG_DEBUG_10"};

std::shared_ptr<Tarn::Data::StructValue> SetInput(const std::string& level) {
  return Input({{"vm", Str("vm-1")},
                {"module", Str("vmx")},
                {"spec", Struct(kSetSpec, {{"level", Str(level)}})}});
}

TEST(LogLevelService, ShapeSeenByTheRuntime) {
  const std::vector<std::string> errors = {"error", "invalid_argument", "not_found",
                                           "not_allowed_in_current_state", "unauthorized"};
  ExpectShape<LogLevelSvc>(
      std::make_shared<HostLogLevel>(), "com.brantel.kov.vm.modules.log_level",
      {
          {"set", errors,
           "struct com.brantel.tarn.operation_input {module: string, spec: struct "
           "com.brantel.kov.vm.modules.log_level.set_spec {level: string}, vm: string}",
           "void"},
          {"delete", errors, "struct com.brantel.tarn.operation_input {module: string, vm: string}",
           "void"},
      });
}

TEST(LogLevelService, SeventeenLevels) {
  std::vector<std::string> table = kLevels;
  table.push_back("_UNKNOWN");
  EXPECT_EQ(TableOf<Level>(), table);
  EXPECT_EQ(Level::BRT_LOG_ERROR, 0);
  EXPECT_EQ(Level::BRT_LOG_TRIVIA, 5);
  EXPECT_EQ(Level::BRT_LOG_DEBUG_00, 6);
  EXPECT_EQ(Level::BRT_LOG_DEBUG_10, 16);
  EXPECT_EQ(Level::_UNKNOWN, 17);
  EXPECT_EQ(Tarn::Data::TypeInfo<Level>::name(), "com.brantel.kov.vm.modules.log_level.level");
  EXPECT_EQ(Tarn::Data::TypeInfo<LogLevelSvc::SetSpec>::name(), kSetSpec);
  auto spec = Tarn::Data::TypeInfo<LogLevelSvc::SetSpec>::defaultInstance();
  EXPECT_EQ(spec->level.number(), 17);
  EXPECT_EQ(spec->level.unknownText(), "");
  for (std::size_t i = 0; i < kLevels.size(); ++i) {
    Level level = Tarn::EnumFromText<Level>(kLevels[i]);
    EXPECT_EQ(level.number(), static_cast<int>(i)) << kLevels[i];
    EXPECT_EQ(Tarn::EnumToText(level), kLevels[i]);
  }
}

TEST(LogLevelService, SetPassesTheLevelOnUnknownTextsIncluded) {
  auto host = std::make_shared<HostLogLevel>();
  auto iface = LogLevelSvc::AsyncServiceBinder::BindImplementation(host);
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
    const auto& spec = host->calls.back().spec;
    ASSERT_TRUE(spec);
    EXPECT_EQ(spec->level.number(), c.number);
    EXPECT_EQ(spec->level.unknownText(), c.kept);
    // Converted back, a level keeps its text; "_UNKNOWN" stays "_UNKNOWN".
    Tarn::Data::DataValuePtr value;
    Tarn::MessageList messages;
    ASSERT_TRUE(Tarn::Data::NativeToValueAdapter::Adapt(&spec, &value, messages));
    EXPECT_EQ(*Field(value, "level"), *Str(c.text));
  }
  EXPECT_EQ(host->calls.back().module, "vmx");
}

TEST(LogLevelService, BothOperationsRecordTheMachineOnly) {
  auto host = std::make_shared<HostLogLevel>();
  auto iface = LogLevelSvc::AsyncServiceBinder::BindImplementation(host);
  const std::vector<std::pair<std::string, Tarn::Data::DataValuePtr>> inputs = {
      {"set", SetInput("BRT_LOG_INFO")},
      {"delete", Input({{"vm", Str("vm-1")}, {"module", Str("vmx")}})},
  };
  for (auto& [wire, input] : inputs) {
    SCOPED_TRACE(wire);
    auto activation = AsyncActivation::GetInstance();
    auto answer = Invoke(*iface, wire, input, activation);
    ASSERT_TRUE(answer.succeeded()) << answer.errorName();
    const std::vector<std::string> expected{MachineResource("vm-1")};
    EXPECT_EQ(activation->resourceIds(), expected);
    EXPECT_EQ(host->calls.back().resources, expected);
    EXPECT_EQ(host->calls.back().module, "vmx");
  }
}

TEST(LogLevelService, RefusedInputs) {
  auto host = std::make_shared<HostLogLevel>();
  auto iface = LogLevelSvc::AsyncServiceBinder::BindImplementation(host);
  struct Case {
    const char* name;
    const char* wire;
    Tarn::Data::DataValuePtr input;
    std::string operation;  // named first when validation refused the record
    std::string extraIn;
  };
  const std::vector<Case> cases = {
      {"set without module", "set",
       Input({{"vm", Str("vm-1")}, {"spec", Struct(kSetSpec, {{"level", Str("BRT_LOG_INFO")}})}}),
       "", ""},
      {"set without spec", "set", Input({{"vm", Str("vm-1")}, {"module", Str("vmx")}}), "", ""},
      {"spec without level", "set",
       Input({{"vm", Str("vm-1")}, {"module", Str("vmx")}, {"spec", Struct(kSetSpec, {})}}), "",
       ""},
      {"spec with an extra field", "set",
       Input(
           {{"vm", Str("vm-1")},
            {"module", Str("vmx")},
            {"spec", Struct(kSetSpec, {{"level", Str("BRT_LOG_INFO")}, {"sticky", Bool(true)}})}}),
       "::Com::Brantel::Kov::Vm::Modules::LogLevelSvc::Set",
       "::Com::Brantel::Kov::Vm::Modules::LogLevelSvc::SetSpec"},
      {"set with an extra field", "set",
       Input({{"vm", Str("vm-1")},
              {"module", Str("vmx")},
              {"spec", Struct(kSetSpec, {{"level", Str("BRT_LOG_INFO")}})},
              {"x", Int(1)}}),
       "::Com::Brantel::Kov::Vm::Modules::LogLevelSvc::Set",
       "::Com::Brantel::Kov::Vm::Modules::LogLevelSvc::SetMethod::Input"},
      {"delete without module", "delete", Input({{"vm", Str("vm-1")}}), "", ""},
      {"delete with an extra field", "delete",
       Input({{"vm", Str("vm-1")}, {"module", Str("vmx")}, {"x", Int(1)}}),
       "::Com::Brantel::Kov::Vm::Modules::LogLevelSvc::Delete",
       "::Com::Brantel::Kov::Vm::Modules::LogLevelSvc::DeleteMethod::Input"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto activation = AsyncActivation::GetInstance();
    auto answer = Invoke(*iface, c.wire, c.input, activation);
    ASSERT_EQ(answer.calls, 1);
    EXPECT_EQ(answer.errorName(), StdError("invalid_argument"));
    EXPECT_TRUE(activation->resourceIds().empty());
    if (c.operation.empty()) continue;
    auto messages = answer.error()->Messages();
    ASSERT_EQ(MessageIds(messages), (std::vector<std::string>{"tarn.invoke.invalid.input",
                                                              "tarn.data.compound.field.extra"}));
    EXPECT_EQ(messages[0].args, std::vector<std::string>{c.operation});
    EXPECT_EQ(messages[1].args.at(0), c.extraIn);
  }
  EXPECT_TRUE(host->calls.empty());
}

TEST(LogLevelService, ThroughTheStub) {
  auto host = std::make_shared<HostLogLevel>();
  auto stub = LocalStub<LogLevelSvc>(host);
  ASSERT_TRUE(stub);

  auto spec = std::make_shared<LogLevelSvc::SetSpec>();
  spec->level = Tarn::EnumFromText<Level>("BRT_LOG_DEBUG_42");
  Outcome<Void> set;
  stub->Set("vm-2", "mks", spec, nullptr, set.Callback());
  ASSERT_EQ(set.calls, 1);
  EXPECT_TRUE(set.value) << set.errorName();
  ASSERT_EQ(host->calls.size(), 1u);
  EXPECT_EQ(host->calls[0].vm, "vm-2");
  EXPECT_EQ(host->calls[0].module, "mks");
  EXPECT_EQ(host->calls[0].spec->level.value(), Level::_UNKNOWN);
  EXPECT_EQ(host->calls[0].spec->level.unknownText(), "BRT_LOG_DEBUG_42");

  host->failure = Errors::NotFound::Create();
  Outcome<Void> deleted;
  stub->Delete("vm-2", "mks", nullptr, deleted.Callback());
  ASSERT_EQ(deleted.calls, 1);
  EXPECT_EQ(deleted.errorName(), StdError("not_found"));
  EXPECT_EQ(host->calls.back().operation, "Delete");
}

TEST(LogLevelService, ClientSetWithoutSpecFailsBeforeTheRuntime) {
  auto target = CannedTarget::Answering(Tarn::Data::VoidValue::GetInstance());
  auto stub = StubOn<LogLevelSvc>(target);
  Outcome<Void> outcome;
  stub.Set("vm-1", "vmx", nullptr, nullptr, outcome.Callback());
  EXPECT_EQ(target->calls, 0);
  ASSERT_EQ(outcome.calls, 1);
  EXPECT_EQ(outcome.errorName(), StdError("invalid_argument"));
  auto messages = outcome.error->Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, "tarn.data.unset.non.optional.field");
  EXPECT_EQ(messages[0].args, std::vector<std::string>{kSetSpec});

  stub.Delete("vm-1", "vmx", nullptr, outcome.Callback());
  EXPECT_EQ(target->calls, 1);
  EXPECT_EQ(target->interfaceName, "com.brantel.kov.vm.modules.log_level");
  EXPECT_EQ(target->methodName, "delete");
  EXPECT_EQ(*target->lastInput, *Input({{"vm", Str("vm-1")}, {"module", Str("vmx")}}));
}

}  // namespace
