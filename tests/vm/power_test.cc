// The power service: its shape as the runtime sees it, its union, the resource each operation
// records, and calls through its stub.
#include "vm/power.h"

#include <gtest/gtest.h>

#include <functional>
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

// Records every call with the resources its activation held at that moment, and answers with
// `info` for "get" (or `failure` when set) and completion for the others.
class HostPower : public PowerSvc::AsyncServiceInterface {
 public:
  struct Call {
    std::string operation;
    std::string vm;
    SpecPtr spec;
    std::vector<std::string> resources;
  };

  void Get(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
           const PowerSvc::GetMethod::ResultCbType& result) override {
    Record("Get", vm, nullptr, activation);
    if (failure) return result.error(failure);
    result(info);
  }
  void SwitchOn(const std::string& vm, const SpecPtr& spec,
                const std::shared_ptr<AsyncActivation>& activation,
                const PowerSvc::SwitchOnMethod::ResultCbType& result) override {
    Record("SwitchOn", vm, spec, activation);
    Finish(result);
  }
  void SwitchOff(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
                 const PowerSvc::SwitchOffMethod::ResultCbType& result) override {
    Record("SwitchOff", vm, nullptr, activation);
    Finish(result);
  }
  void Reset(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
             const PowerSvc::ResetMethod::ResultCbType& result) override {
    Record("Reset", vm, nullptr, activation);
    Finish(result);
  }
  void Suspend(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
               const PowerSvc::SuspendMethod::ResultCbType& result) override {
    Record("Suspend", vm, nullptr, activation);
    Finish(result);
  }

  InfoPtr info = MakeInfo(PowerSvc::State::ON, boost::none);
  Tarn::Data::ErrorValuePtr failure;
  std::vector<Call> calls;

  static InfoPtr MakeInfo(PowerSvc::State state, boost::optional<bool> suspended) {
    auto info = std::make_shared<PowerSvc::Info>();
    info->state = state;
    info->suspended = suspended;
    return info;
  }

 private:
  void Record(const char* operation, const std::string& vm, const SpecPtr& spec,
              const std::shared_ptr<AsyncActivation>& activation) {
    calls.push_back({operation, vm, spec, activation->resourceIds()});
  }
  void Finish(const Tarn::AsyncResult<Void>& result) {
    if (failure) return result.error(failure);
    result(Void());
  }
};

constexpr char kService[] = "com.brantel.kov.vm.power";
constexpr char kVmInput[] = "struct com.brantel.tarn.operation_input {vm: string}";

TEST(PowerService, ShapeSeenByTheRuntime) {
  ExpectShape<PowerSvc>(
      std::make_shared<HostPower>(), kService,
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
}

TEST(PowerService, NamesOfRecordsAndMethods) {
  using Tarn::Data::TypeInfo;
  EXPECT_EQ(TypeInfo<PowerSvc::State>::name(), "com.brantel.kov.vm.power.state");
  EXPECT_EQ(TypeInfo<PowerSvc::Info>::name(), "com.brantel.kov.vm.power.info");
  EXPECT_EQ(TypeInfo<PowerSvc::SwitchOnSpec>::name(), "com.brantel.kov.vm.power.switch_on_spec");
  EXPECT_EQ(TypeInfo<PowerSvc::GetMethod::Input>::name(), "com.brantel.tarn.operation_input");
  EXPECT_STREQ(PowerSvc::Info::nativeName, "::Com::Brantel::Kov::Vm::PowerSvc::Info");
  EXPECT_STREQ(PowerSvc::SwitchOnMethod::Input::nativeName,
               "::Com::Brantel::Kov::Vm::PowerSvc::SwitchOnMethod::Input");
  EXPECT_STREQ(PowerSvc::SwitchOnMethod::Input::operationName,
               "::Com::Brantel::Kov::Vm::PowerSvc::SwitchOn");
  EXPECT_EQ(PowerSvc::SuspendMethod::methodName(), "suspend");
  static_assert(std::is_same<PowerSvc::GetMethod::ResultCbType,
                             Tarn::AsyncResult<InfoPtr, Tarn::AsyncResultTerminateCbPolicy>>::value,
                "get answers with a shared pointer to a const Info");
  static_assert(std::is_same<PowerSvc::ResetMethod::ResultCbType,
                             Tarn::AsyncResult<Void, Tarn::AsyncResultTerminateCbPolicy>>::value,
                "reset answers with completion only");
}

TEST(PowerService, StateAndUnionAnnotations) {
  EXPECT_EQ(PowerSvc::State::ON, 0);
  EXPECT_EQ(PowerSvc::State::OFF, 1);
  EXPECT_EQ(PowerSvc::State::_UNKNOWN, 2);
  EXPECT_EQ(TableOf<PowerSvc::State>(), (std::vector<std::string>{"ON", "OFF", "_UNKNOWN"}));
  EXPECT_EQ(TableOf<PowerSvc::InfoAnnotations::UnionTags>(),
            (std::vector<std::string>{"state", "_UNKNOWN"}));
  EXPECT_EQ(TableOf<PowerSvc::InfoAnnotations::SuspendedUnionCases>(),
            (std::vector<std::string>{"OFF", "_UNKNOWN"}));

  PowerSvc::Info info;
  EXPECT_EQ(info.state.value(), PowerSvc::State::_UNKNOWN);
  EXPECT_EQ(info.state.unknownText(), "");
  EXPECT_FALSE(info.suspended);
  EXPECT_FALSE(info.unknownFields);
}

TEST(PowerService, SuspendedIsAUnionCaseOfState) {
  auto iface = PowerSvc::AsyncServiceBinder::BindImplementation(std::make_shared<HostPower>());
  auto def = iface->FindMethod("get")->outputDefinition();
  auto& fields = static_cast<const Tarn::Data::StructDefinition&>(*def).fields();
  auto suspended = fields.at("suspended");
  ASSERT_EQ(suspended->GetType(), Tarn::Data::DataType::UNION_CASE);
  auto& unionCase = static_cast<const Tarn::Data::UnionCaseDefinition&>(*suspended);
  EXPECT_EQ(unionCase.tagName(), "state");
  EXPECT_TRUE(unionCase.Case("OFF") == true);
  EXPECT_TRUE(unionCase.Case("ON") == false);
  EXPECT_TRUE(unionCase.Case("off") == false);
  EXPECT_TRUE(unionCase.Case("_UNKNOWN") == false);
}

// The union checks a missing tag first, then the suspended case.
TEST(PowerService, InfoValidationRunsMissingTagFirst) {
  struct Case {
    const char* name;
    PowerSvc::State state;
    const char* text;  // a state text outside the table, or null
    boost::optional<bool> suspended;
    std::vector<std::string> ids;
    std::vector<std::string> args;
  };
  const std::vector<Case> cases = {
      {"on", PowerSvc::State::ON, nullptr, boost::none, {}, {}},
      {"off and suspended", PowerSvc::State::OFF, nullptr, true, {}, {}},
      {"off, not suspended", PowerSvc::State::OFF, nullptr, false, {}, {}},
      {"off without suspended",
       PowerSvc::State::OFF,
       nullptr,
       boost::none,
       {"tarn.data.union.invalid.case.state.isnotset.short"},
       {"com.brantel.kov.vm.power.info", "suspended"}},
      {"on with suspended",
       PowerSvc::State::ON,
       nullptr,
       false,
       {"tarn.data.union.invalid.case.state.isset.short"},
       {"com.brantel.kov.vm.power.info", "suspended"}},
      {"no state",
       PowerSvc::State::_UNKNOWN,
       nullptr,
       boost::none,
       {"tarn.data.union.missing.tag.field"},
       {"state"}},
      // With an unknown state, "suspended" set would also break its case: the missing tag wins.
      {"no state but suspended",
       PowerSvc::State::_UNKNOWN,
       nullptr,
       true,
       {"tarn.data.union.missing.tag.field"},
       {"state"}},
      {"unknown state text",
       PowerSvc::State::_UNKNOWN,
       "STANDBY",
       true,
       {"tarn.data.union.missing.tag.field"},
       {"state"}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    PowerSvc::Info info;
    info.state = c.text ? Tarn::EnumFromText<PowerSvc::State>(c.text) : c.state;
    info.suspended = c.suspended;
    Tarn::MessageList messages;
    bool valid =
        Tarn::Data::Validator::isValid(info, Tarn::Data::Validator::kRejectUndeclared, messages);
    EXPECT_EQ(valid, c.ids.empty());
    EXPECT_EQ(MessageIds(messages), c.ids);
    if (!messages.empty()) {
      EXPECT_EQ(messages[0].args, c.args);
    }
  }
}

TEST(PowerService, EveryOperationRecordsTheMachineBeforeTheHostRuns) {
  auto host = std::make_shared<HostPower>();
  auto iface = PowerSvc::AsyncServiceBinder::BindImplementation(host);
  auto spec = Struct("com.brantel.kov.vm.power.switch_on_spec", {});
  const std::vector<std::pair<std::string, Tarn::Data::DataValuePtr>> inputs = {
      {"get", Input({{"vm", Str("vm-1")}})},
      {"switch_on", Input({{"vm", Str("vm-2")}, {"spec", spec}})},
      {"switch_off", Input({{"vm", Str("vm-3")}})},
      {"reset", Input({{"vm", Str("vm-4")}})},
      {"suspend", Input({{"vm", Str("vm-5")}})},
  };
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    SCOPED_TRACE(inputs[i].first);
    auto activation = AsyncActivation::GetInstance();
    auto answer = Invoke(*iface, inputs[i].first, inputs[i].second, activation);
    ASSERT_TRUE(answer.succeeded()) << answer.errorName();
    const std::vector<std::string> expected{MachineResource("vm-" + std::to_string(i + 1))};
    EXPECT_EQ(activation->resourceIds(), expected);
    ASSERT_EQ(host->calls.size(), i + 1);
    EXPECT_EQ(host->calls[i].resources, expected);
    EXPECT_EQ(host->calls[i].vm, "vm-" + std::to_string(i + 1));
  }
}

TEST(PowerService, InputWithoutVmNeverReachesTheHost) {
  auto host = std::make_shared<HostPower>();
  auto iface = PowerSvc::AsyncServiceBinder::BindImplementation(host);
  auto spec = Struct("com.brantel.kov.vm.power.switch_on_spec", {});
  for (auto& wire : {"get", "switch_on", "switch_off", "reset", "suspend"}) {
    SCOPED_TRACE(wire);
    auto activation = AsyncActivation::GetInstance();
    auto answer = Invoke(*iface, wire, Input({{"spec", spec}}), activation);
    EXPECT_EQ(answer.calls, 1);
    EXPECT_EQ(answer.errorName(), StdError("invalid_argument"));
    EXPECT_TRUE(activation->resourceIds().empty());
  }
  EXPECT_TRUE(host->calls.empty());
}

TEST(PowerService, SwitchOnSpecConversionAndValidation) {
  auto host = std::make_shared<HostPower>();
  auto iface = PowerSvc::AsyncServiceBinder::BindImplementation(host);

  // A specification without "paused" and "soft" leaves both unset.
  auto answer = Invoke(*iface, "switch_on",
                       Input({{"vm", Str("vm-1")},
                              {"spec", Struct("com.brantel.kov.vm.power.switch_on_spec", {})}}));
  ASSERT_TRUE(answer.succeeded()) << answer.errorName();
  ASSERT_TRUE(host->calls.back().spec);
  EXPECT_FALSE(host->calls.back().spec->paused);
  EXPECT_FALSE(host->calls.back().spec->soft);

  // Given as the empty string, it is a specification with both unset.
  answer = Invoke(*iface, "switch_on", Input({{"vm", Str("vm-1")}, {"spec", Str("")}}));
  ASSERT_TRUE(answer.succeeded()) << answer.errorName();
  ASSERT_TRUE(host->calls.back().spec);
  EXPECT_FALSE(host->calls.back().spec->paused);

  answer = Invoke(*iface, "switch_on",
                  Input({{"vm", Str("vm-1")},
                         {"spec", Struct("com.brantel.kov.vm.power.switch_on_spec",
                                         {{"paused", Opt(Bool(true))}, {"soft", Bool(false)}})}}));
  ASSERT_TRUE(answer.succeeded()) << answer.errorName();
  EXPECT_TRUE(host->calls.back().spec->paused == true);
  EXPECT_TRUE(host->calls.back().spec->soft == false);
  const std::size_t reached = host->calls.size();

  // An undeclared field with a value inside the specification is refused.
  answer = Invoke(
      *iface, "switch_on",
      Input({{"vm", Str("vm-1")},
             {"spec", Struct("com.brantel.kov.vm.power.switch_on_spec", {{"hard", Bool(true)}})}}));
  EXPECT_EQ(answer.errorName(), StdError("invalid_argument"));
  auto messages = answer.error()->Messages();
  ASSERT_EQ(MessageIds(messages), (std::vector<std::string>{"tarn.invoke.invalid.input",
                                                            "tarn.data.compound.field.extra"}));
  EXPECT_EQ(messages[0].args,
            std::vector<std::string>{"::Com::Brantel::Kov::Vm::PowerSvc::SwitchOn"});
  EXPECT_EQ(messages[1].args.at(0), "::Com::Brantel::Kov::Vm::PowerSvc::SwitchOnSpec");
  EXPECT_EQ(messages[1].args.at(1), "hard");

  // So is one on the input itself, naming the input record.
  answer = Invoke(*iface, "reset", Input({{"vm", Str("vm-1")}, {"force", Bool(true)}}));
  messages = answer.error()->Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].args, std::vector<std::string>{"::Com::Brantel::Kov::Vm::PowerSvc::Reset"});
  EXPECT_EQ(messages[1].args.at(0), "::Com::Brantel::Kov::Vm::PowerSvc::ResetMethod::Input");

  // A missing specification fails conversion.
  answer = Invoke(*iface, "switch_on", Input({{"vm", Str("vm-1")}}));
  EXPECT_EQ(answer.errorName(), StdError("invalid_argument"));
  EXPECT_EQ(host->calls.size(), reached);
}

TEST(PowerService, GetAnswerBecomesAValue) {
  auto host = std::make_shared<HostPower>();
  auto iface = PowerSvc::AsyncServiceBinder::BindImplementation(host);

  host->info = HostPower::MakeInfo(PowerSvc::State::OFF, true);
  auto answer = Invoke(*iface, "get", Input({{"vm", Str("vm-1")}}));
  ASSERT_TRUE(answer.succeeded()) << answer.errorName();
  auto value = Tarn::Data::NarrowDataTypeInt<Tarn::Data::StructValue>(answer.output());
  ASSERT_TRUE(value);
  EXPECT_EQ(value->name(), "com.brantel.kov.vm.power.info");
  EXPECT_EQ(*Field(value, "state"), *Str("OFF"));
  EXPECT_EQ(*Field(value, "suspended"), *Opt(Bool(true)));

  host->info = HostPower::MakeInfo(PowerSvc::State::ON, boost::none);
  answer = Invoke(*iface, "get", Input({{"vm", Str("vm-1")}}));
  ASSERT_TRUE(answer.succeeded()) << answer.errorName();
  EXPECT_EQ(*Field(answer.output(), "state"), *Str("ON"));
  EXPECT_EQ(*Field(answer.output(), "suspended"), *Unset());

  // OFF without "suspended" breaks the union: the output does not fit its definition.
  host->info = HostPower::MakeInfo(PowerSvc::State::OFF, boost::none);
  answer = Invoke(*iface, "get", Input({{"vm", Str("vm-1")}}));
  EXPECT_EQ(answer.errorName(), StdError("internal_server_error"));
}

TEST(PowerService, ThroughTheStub) {
  auto host = std::make_shared<HostPower>();
  auto stub = LocalStub<PowerSvc>(host);
  ASSERT_TRUE(stub);

  host->info = HostPower::MakeInfo(PowerSvc::State::OFF, true);
  Outcome<InfoPtr> got;
  stub->Get("vm-7", nullptr, got.Callback());
  ASSERT_EQ(got.calls, 1);
  ASSERT_FALSE(got.error) << got.errorName();
  ASSERT_TRUE(got.value && *got.value);
  EXPECT_EQ((*got.value)->state.value(), PowerSvc::State::OFF);
  EXPECT_TRUE((*got.value)->suspended == true);
  EXPECT_EQ(host->calls.back().vm, "vm-7");

  // A state the client does not know arrives as _UNKNOWN with its text.
  host->info = HostPower::MakeInfo(Tarn::EnumFromText<PowerSvc::State>("STANDBY"), boost::none);
  Outcome<InfoPtr> unknown;
  stub->Get("vm-7", nullptr, unknown.Callback());
  ASSERT_TRUE(unknown.value && *unknown.value) << unknown.errorName();
  EXPECT_EQ((*unknown.value)->state.value(), PowerSvc::State::_UNKNOWN);
  EXPECT_EQ((*unknown.value)->state.unknownText(), "STANDBY");

  auto spec = std::make_shared<PowerSvc::SwitchOnSpec>();
  spec->soft = true;
  Outcome<Void> on;
  stub->SwitchOn("vm-8", spec, nullptr, on.Callback());
  ASSERT_EQ(on.calls, 1);
  EXPECT_TRUE(on.value) << on.errorName();
  EXPECT_TRUE(host->calls.back().spec->soft == true);
  EXPECT_FALSE(host->calls.back().spec->paused);

  host->failure = Errors::AlreadyInDesiredState::Create();
  Outcome<Void> again;
  stub->SwitchOn("vm-8", spec, nullptr, again.Callback());
  ASSERT_EQ(again.calls, 1);
  EXPECT_EQ(again.errorName(), StdError("already_in_desired_state"));

  // An error the operation does not list becomes the internal server error.
  host->failure = Errors::AlreadyInDesiredState::Create();
  Outcome<Void> off;
  stub->SwitchOff("vm-8", nullptr, off.Callback());
  EXPECT_EQ(off.errorName(), StdError("internal_server_error"));
}

TEST(PowerService, ClientSwitchOnWithoutSpecFailsBeforeTheRuntime) {
  auto target = CannedTarget::Answering(Tarn::Data::VoidValue::GetInstance());
  auto stub = StubOn<PowerSvc>(target);
  Outcome<Void> outcome;
  stub.SwitchOn("vm-1", nullptr, nullptr, outcome.Callback());
  EXPECT_EQ(target->calls, 0);
  ASSERT_EQ(outcome.calls, 1);
  EXPECT_EQ(outcome.errorName(), StdError("invalid_argument"));
  auto messages = outcome.error->Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, "tarn.data.unset.non.optional.field");
  EXPECT_EQ(messages[0].args, std::vector<std::string>{"com.brantel.kov.vm.power.switch_on_spec"});

  // With a spec the call goes out under the service id and the wire name.
  stub.SwitchOn("vm-1", std::make_shared<PowerSvc::SwitchOnSpec>(), nullptr, outcome.Callback());
  EXPECT_EQ(target->calls, 1);
  EXPECT_EQ(target->interfaceName, kService);
  EXPECT_EQ(target->methodName, "switch_on");
  EXPECT_EQ(*Field(target->lastInput, "vm"), *Str("vm-1"));
}

}  // namespace
