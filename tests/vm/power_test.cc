// The power service: its shape as the runtime sees it, its union, the resource each operation
// records, and calls through its stub.
#include "vm/power.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/vm/service_test_util.h"

namespace {

using Com::Brantel::Kov::Vm::PowerSvc;
using Tarn::Void;
using Tarn::Core::AsyncActivation;
using namespace ServiceTest;  // NOLINT(build/namespaces)
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;

using InfoPtr = std::shared_ptr<const PowerSvc::Info>;
using SpecPtr = std::shared_ptr<const PowerSvc::SwitchOnSpec>;

constexpr char kService[] = "com.brantel.kov.vm.power";
constexpr char kInfo[] = "com.brantel.kov.vm.power.info";
constexpr char kSpec[] = "com.brantel.kov.vm.power.switch_on_spec";
constexpr char kNative[] = "::Com::Brantel::Kov::Vm::PowerSvc::";
constexpr char kVmInput[] = "struct com.brantel.tarn.operation_input {vm: string}";

InfoPtr MakeInfo(PowerSvc::State state, boost::optional<bool> suspended) {
  auto info = std::make_shared<PowerSvc::Info>();
  info->state = state;
  info->suspended = suspended;
  return info;
}

// Answers "get" with `info` and the others with completion, or every one with `failure`.
class HostPower : public PowerSvc::AsyncServiceInterface, public Recorder {
 public:
  void Get(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
           const PowerSvc::GetMethod::ResultCbType& result) override {
    Seen("get", vm, nullptr, activation);
    Answer(result, info);
  }
  void SwitchOn(const std::string& vm, const SpecPtr& spec,
                const std::shared_ptr<AsyncActivation>& activation,
                const PowerSvc::SwitchOnMethod::ResultCbType& result) override {
    Seen("switch_on", vm, spec, activation);
    Answer(result, Void());
  }
  void SwitchOff(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
                 const PowerSvc::SwitchOffMethod::ResultCbType& result) override {
    Seen("switch_off", vm, nullptr, activation);
    Answer(result, Void());
  }
  void Reset(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
             const PowerSvc::ResetMethod::ResultCbType& result) override {
    Seen("reset", vm, nullptr, activation);
    Answer(result, Void());
  }
  void Suspend(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
               const PowerSvc::SuspendMethod::ResultCbType& result) override {
    Seen("suspend", vm, nullptr, activation);
    Answer(result, Void());
  }

  InfoPtr info = MakeInfo(PowerSvc::State::ON, boost::none);
  std::string lastVm;
  SpecPtr lastSpec;

 private:
  void Seen(const char* operation, const std::string& vm, const SpecPtr& spec,
            const std::shared_ptr<AsyncActivation>& activation) {
    Record(operation, activation);
    lastVm = vm;
    lastSpec = spec;
  }
};

using PowerService = ServiceFixture<PowerSvc, HostPower>;

TEST_F(PowerService, ShapeSeenByTheRuntime) {
  ExpectShape<PowerSvc>(
      impl, kService,
      {
          {"get",
           {"invalid_argument", "not_found", "unauthenticated", "error"},
           kVmInput,
           "struct com.brantel.kov.vm.power.info {state: string, suspended: case<state, "
           "boolean>}"},
          {"switch_on",
           {"invalid_argument", "not_found", "resource_busy", "already_in_desired_state",
            "unauthenticated", "error"},
           "struct com.brantel.tarn.operation_input {spec: struct "
           "com.brantel.kov.vm.power.switch_on_spec {paused: optional<boolean>, soft: "
           "optional<boolean>}, vm: string}",
           "void"},
          {"switch_off",
           {"invalid_argument", "not_found", "resource_busy", "unauthenticated", "error"},
           kVmInput,
           "void"},
          {"reset",
           {"invalid_argument", "not_found", "not_allowed_in_current_state", "resource_busy",
            "unauthenticated", "error"},
           kVmInput,
           "void"},
          {"suspend",
           {"invalid_argument", "not_found", "not_allowed_in_current_state", "resource_busy",
            "unauthenticated", "error"},
           kVmInput,
           "void"},
      });
  EXPECT_EQ(UnionCase(iface->FindMethod("get")->outputDefinition(), "suspended",
                      {"OFF", "ON", "off", "_UNKNOWN"}),
            "state: OFF=set ON=unset off=unset _UNKNOWN=unset");
}

TEST_F(PowerService, NamesTablesAndDefaults) {
  ExpectNames<PowerSvc::Info>(kInfo, std::string(kNative) + "Info");
  ExpectNames<PowerSvc::SwitchOnSpec>(kSpec, std::string(kNative) + "SwitchOnSpec");
  EXPECT_EQ(std::string(PowerSvc::SwitchOnMethod::Input::nativeName),
            std::string(kNative) + "SwitchOnMethod::Input");
  static_assert(std::is_same<PowerSvc::GetMethod::ResultCbType,
                             Tarn::AsyncResult<InfoPtr, Tarn::AsyncResultTerminateCbPolicy>>::value,
                "get answers with a shared pointer to a const Info");
  static_assert(std::is_same<PowerSvc::ResetMethod::ResultCbType,
                             Tarn::AsyncResult<Void, Tarn::AsyncResultTerminateCbPolicy>>::value,
                "reset answers with completion only");

  ExpectEnum<PowerSvc::State>("com.brantel.kov.vm.power.state",
                              {{PowerSvc::State::ON, "ON"}, {PowerSvc::State::OFF, "OFF"}},
                              {"STANDBY", "on"});
  EXPECT_EQ(TableOf<PowerSvc::InfoAnnotations::UnionTags>(),
            (std::vector<std::string>{"state", "_UNKNOWN"}));
  EXPECT_EQ(TableOf<PowerSvc::InfoAnnotations::SuspendedUnionCases>(),
            (std::vector<std::string>{"OFF", "_UNKNOWN"}));

  PowerSvc::Info info;
  EXPECT_TRUE(info.state == PowerSvc::State::_UNKNOWN);
  EXPECT_FALSE(info.suspended);
  EXPECT_FALSE(info.unknownFields);
}

// The union checks a missing tag first, then the suspended case.
TEST_F(PowerService, InfoValidationRunsMissingTagFirst) {
  const std::string isNotSet = "tarn.data.union.invalid.case.state.isnotset.short";
  const std::string isSet = "tarn.data.union.invalid.case.state.isset.short";
  const std::string noTag = "tarn.data.union.missing.tag.field";
  struct Case {
    const char* name;
    const char* state;  // as text: "" is the default, anything outside the table unknown
    boost::optional<bool> suspended;
    std::string id;  // of the only message; empty: valid
    std::vector<std::string> args;
  };
  const std::vector<Case> cases = {
      {"on", "ON", boost::none, "", {}},
      {"off and suspended", "OFF", true, "", {}},
      {"off, not suspended", "OFF", false, "", {}},
      {"off without suspended", "OFF", boost::none, isNotSet, {kInfo, "suspended"}},
      {"on with suspended", "ON", false, isSet, {kInfo, "suspended"}},
      {"no state", "", boost::none, noTag, {"state"}},
      // With an unknown state, "suspended" set would also break its case: the missing tag wins.
      {"no state but suspended", "", true, noTag, {"state"}},
      {"unknown state text", "STANDBY", true, noTag, {"state"}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    PowerSvc::Info info;
    info.state = Tarn::EnumFromText<PowerSvc::State>(c.state);
    info.suspended = c.suspended;
    bool valid = false;
    Tarn::MessageList messages;
    auto ids = ValidationIds(info, &valid, &messages);
    EXPECT_EQ(valid, c.id.empty());
    EXPECT_EQ(ids, c.id.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.id});
    if (!messages.empty()) {
      EXPECT_EQ(messages[0].args, c.args);
    }
  }
}

TEST_F(PowerService, EveryOperationRecordsTheMachineBeforeTheHostRuns) {
  auto spec = Struct(kSpec, {});
  int n = 0;
  for (auto& wire : {"get", "switch_on", "switch_off", "reset", "suspend"}) {
    SCOPED_TRACE(wire);
    const std::string vm = "vm-" + std::to_string(++n);
    auto input = Input({{"vm", Str(vm)}});
    if (std::string(wire) == "switch_on") input->SetField("spec", spec);
    ExpectAnswered(*iface, *impl, wire, input, {MachineResource(vm)});
    EXPECT_EQ(impl->calls.back(), wire);
    EXPECT_EQ(impl->lastVm, vm);
  }
}

TEST_F(PowerService, RefusedInputsNeverReachTheHost) {
  auto spec = Struct(kSpec, {});
  ExpectRefusals(*iface, kNative,
                 {
                     {"get without vm", "get", Input({})},
                     {"switch_on without vm", "switch_on", Input({{"spec", spec}})},
                     {"switch_off without vm", "switch_off", Input({})},
                     {"reset without vm", "reset", Input({})},
                     {"suspend without vm", "suspend", Input({})},
                     {"switch_on without spec", "switch_on", VmInput()},
                     {"an undeclared field inside \"spec\"",
                      "switch_on",
                      VmInput({{"spec", Struct(kSpec, {{"hard", Bool(true)}})}}),
                      {"SwitchOn", "SwitchOnSpec", "hard"}},
                     {"an undeclared field in the input",
                      "reset",
                      VmInput({{"force", Bool(true)}}),
                      {"Reset", "ResetMethod::Input", "force"}},
                 });
  EXPECT_TRUE(impl->calls.empty());
}

TEST_F(PowerService, SwitchOnSpecConversion) {
  struct Case {
    const char* name;
    Tarn::Data::DataValuePtr spec;
    boost::optional<bool> paused;
    boost::optional<bool> soft;
  };
  const std::vector<Case> cases = {
      {"no members", Struct(kSpec, {}), boost::none, boost::none},
      {"the empty string", Str(""), boost::none, boost::none},
      {"both", Struct(kSpec, {{"paused", Opt(Bool(true))}, {"soft", Bool(false)}}), true, false},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto answer = Invoke(*iface, "switch_on", VmInput({{"spec", c.spec}}));
    ASSERT_TRUE(answer.succeeded()) << answer.errorName();
    ASSERT_TRUE(impl->lastSpec);
    EXPECT_EQ(impl->lastSpec->paused, c.paused);
    EXPECT_EQ(impl->lastSpec->soft, c.soft);
  }
}

TEST_F(PowerService, GetAnswerBecomesAValue) {
  const std::vector<GetAnswerCase<InfoPtr>> cases = {
      {"off and suspended", MakeInfo(PowerSvc::State::OFF, true),
       Struct(kInfo, {{"state", Str("OFF")}, {"suspended", Opt(Bool(true))}})},
      {"on", MakeInfo(PowerSvc::State::ON, boost::none),
       Struct(kInfo, {{"state", Str("ON")}, {"suspended", Unset()}})},
      // OFF without "suspended" breaks the union: the output does not fit its definition.
      {"off without suspended", MakeInfo(PowerSvc::State::OFF, boost::none), nullptr},
  };
  ExpectGetAnswers(*iface, cases, [&](const InfoPtr& record) { impl->info = record; });
}

TEST_F(PowerService, ThroughTheStub) {
  impl->info = MakeInfo(PowerSvc::State::OFF, true);
  auto got = Call<InfoPtr>([&](auto cb) { stub->Get("vm-7", nullptr, cb); });
  ASSERT_TRUE(got.ok() && *got.value) << got.errorName();
  EXPECT_TRUE((*got.value)->state == PowerSvc::State::OFF);
  EXPECT_TRUE((*got.value)->suspended == true);
  EXPECT_EQ(impl->lastVm, "vm-7");

  // A state the client does not know arrives as _UNKNOWN with its text.
  impl->info = MakeInfo(Tarn::EnumFromText<PowerSvc::State>("STANDBY"), boost::none);
  got = Call<InfoPtr>([&](auto cb) { stub->Get("vm-7", nullptr, cb); });
  ASSERT_TRUE(got.ok() && *got.value) << got.errorName();
  EXPECT_EQ((*got.value)->state.value(), PowerSvc::State::_UNKNOWN);
  EXPECT_EQ((*got.value)->state.unknownText(), "STANDBY");

  auto spec = std::make_shared<PowerSvc::SwitchOnSpec>();
  spec->soft = true;
  auto on = Call<Void>([&](auto cb) { stub->SwitchOn("vm-8", spec, nullptr, cb); });
  EXPECT_TRUE(on.ok()) << on.errorName();
  EXPECT_TRUE(impl->lastSpec->soft == true);
  EXPECT_FALSE(impl->lastSpec->paused);

  impl->failure = Errors::AlreadyInDesiredState::Create();
  on = Call<Void>([&](auto cb) { stub->SwitchOn("vm-8", spec, nullptr, cb); });
  EXPECT_EQ(on.errorName(), StdError("already_in_desired_state"));
  // An error the operation does not list becomes the internal server error.
  auto off = Call<Void>([&](auto cb) { stub->SwitchOff("vm-8", nullptr, cb); });
  EXPECT_EQ(off.errorName(), StdError("internal_server_error"));
}

TEST_F(PowerService, ClientSwitchOnWithoutSpecFailsBeforeTheRuntime) {
  auto target = CannedTarget::Answering(Tarn::Data::VoidValue::GetInstance());
  auto client = StubOn<PowerSvc>(target);
  ExpectNullRecordRefused(
      Call<Void>([&](auto cb) { client.SwitchOn("vm-1", nullptr, nullptr, cb); }), kSpec);
  EXPECT_EQ(target->calls, 0);

  // With a spec the call goes out under the service id and the wire name.
  auto spec = std::make_shared<PowerSvc::SwitchOnSpec>();
  EXPECT_TRUE(Call<Void>([&](auto cb) { client.SwitchOn("vm-1", spec, nullptr, cb); }).ok());
  EXPECT_EQ(target->calls, 1);
  EXPECT_EQ(target->interfaceName, kService);
  EXPECT_EQ(target->methodName, "switch_on");
  EXPECT_EQ(Text(target->lastInput),
            Text(Input({{"vm", Str("vm-1")},
                        {"spec", Struct(kSpec, {{"paused", Unset()}, {"soft", Unset()}})}})));
}

}  // namespace
