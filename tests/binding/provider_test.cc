// The provider face: binding an implementation into method objects, and one invocation from the
// runtime's input value to the answer handed back to its callback. Driven directly through the
// method objects' Invoke with hand-built input values.
#include "binding/provider.h"

#include <gtest/gtest.h>

#include <boost/optional/optional_io.hpp>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "runtime/activation.h"
#include "runtime/operation_input.h"
#include "runtime/std_errors.h"
#include "vm/compute/cpus.h"

namespace {

using Com::Brantel::Kov::Vm::Compute::CpusSvc;
using Tarn::MessageList;
using Tarn::Progress;
using Tarn::Core::AsyncActivation;
using Tarn::Core::AsyncApiResultCb;
using Tarn::Core::MethodResultPtr;
using Tarn::Data::BooleanValue;
using Tarn::Data::DataType;
using Tarn::Data::DataValuePtr;
using Tarn::Data::ErrorValue;
using Tarn::Data::ErrorValuePtr;
using Tarn::Data::IntegerValue;
using Tarn::Data::ListValue;
using Tarn::Data::OptionalValue;
using Tarn::Data::StringValue;
using Tarn::Data::StructDefinition;
using Tarn::Data::StructValue;
using Tarn::Data::VoidValue;
using Tarn::L10n::Localizer;
using Tarn::Provider::AsyncApiInterface;
using Tarn::Provider::AsyncApiMethod;
using Tarn::Provider::AsyncApiMethodPtr;
using Tarn::Provider::AsyncApiMethodSignal;
using Tarn::Provider::DataDefinitionList;
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;

using GetResult = CpusSvc::GetMethod::ResultCbType;
using UpdateResult = CpusSvc::UpdateMethod::ResultCbType;
using InfoPtr = std::shared_ptr<const CpusSvc::Info>;

constexpr char kInvalidArgument[] = "com.brantel.tarn.std.errors.invalid_argument";
constexpr char kInternalServerError[] = "com.brantel.tarn.std.errors.internal_server_error";
constexpr char kResourcePrefix[] = "com.brantel.kov.vm.VirtualMachine.";

// An implementation that records what reaches it and answers as each test tells it to.
class FakeCpus : public CpusSvc::AsyncServiceInterface {
 public:
  struct Call {
    std::string vm;
    std::shared_ptr<const CpusSvc::UpdateSpec> spec;
    std::shared_ptr<AsyncActivation> activation;
    std::vector<std::string> resourcesAtCall;  // what the activation had been told by then
  };

  std::function<void(const std::string&, const GetResult&)> onGet = [](const std::string&,
                                                                       const GetResult& result) {
    auto info = std::make_shared<CpusSvc::Info>();
    info->count = 4;
    info->coresPerSocket = 2;
    info->hotAddEnabled = true;
    result(info);
  };
  std::function<void(const UpdateResult&)> onUpdate = [](const UpdateResult& result) {
    result(Tarn::Void());
  };

  void Get(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
           const GetResult& result) override {
    gets.push_back({vm, nullptr, activation, activation->resourceIds()});
    onGet(vm, result);
  }
  void Update(const std::string& vm, const std::shared_ptr<const CpusSvc::UpdateSpec>& spec,
              const std::shared_ptr<AsyncActivation>& activation,
              const UpdateResult& result) override {
    updates.push_back({vm, spec, activation, activation->resourceIds()});
    onUpdate(result);
  }

  std::vector<Call> gets;
  std::vector<Call> updates;
};

// One answer as the runtime's callback received it.
struct Answer {
  MethodResultPtr result;
  Progress progress;
  bool withContinuation;
};

AsyncApiResultCb RecordInto(std::vector<Answer>* answers) {
  return AsyncApiResultCb([answers](const MethodResultPtr& r, const Progress& p,
                                    AsyncApiResultCb::Continuation&& next) {
    answers->push_back({r, p, static_cast<bool>(next)});
  });
}

std::shared_ptr<StructValue> InputValue() {
  return StructValue::GetInstance(Tarn::Data::TypeInfo<Tarn::OperationInput>::name());
}

std::shared_ptr<StructValue> GetInput(const std::string& vm) {
  auto input = InputValue();
  input->SetField("vm", StringValue::GetInstance(vm));
  return input;
}

std::shared_ptr<StructValue> SpecValue() {
  return StructValue::GetInstance("com.brantel.kov.vm.compute.cpus.update_spec");
}

std::shared_ptr<StructValue> UpdateInput(const std::string& vm, DataValuePtr spec) {
  auto input = GetInput(vm);
  input->SetField("update_spec", std::move(spec));
  return input;
}

std::vector<std::string> ErrorNames(const DataDefinitionList& defs) {
  std::vector<std::string> names;
  for (auto& def : defs) {
    EXPECT_TRUE(def && def->GetType() == DataType::ERROR);
    if (def) names.push_back(static_cast<const StructDefinition&>(*def).name());
  }
  return names;
}

std::vector<std::string> MessageIds(const ErrorValuePtr& error) {
  std::vector<std::string> ids;
  if (error) {
    for (auto& m : error->Messages()) ids.push_back(m.id);
  }
  return ids;
}

// True when some message of the error has `text` among its arguments.
bool NamesInArguments(const ErrorValuePtr& error, const std::string& text) {
  if (!error) return false;
  for (auto& m : error->Messages()) {
    for (auto& a : m.args) {
      if (a == text) return true;
    }
  }
  return false;
}

const std::vector<std::string> kGetErrors{
    "com.brantel.tarn.std.errors.error",
    "com.brantel.tarn.std.errors.not_found",
    "com.brantel.tarn.std.errors.resource_inaccessible",
    "com.brantel.tarn.std.errors.service_unavailable",
    "com.brantel.tarn.std.errors.unauthenticated",
    "com.brantel.tarn.std.errors.unauthorized",
};
const std::vector<std::string> kUpdateErrors{
    "com.brantel.tarn.std.errors.error",
    "com.brantel.tarn.std.errors.not_found",
    "com.brantel.tarn.std.errors.invalid_argument",
    "com.brantel.tarn.std.errors.not_allowed_in_current_state",
    "com.brantel.tarn.std.errors.resource_busy",
    "com.brantel.tarn.std.errors.resource_inaccessible",
    "com.brantel.tarn.std.errors.service_unavailable",
    "com.brantel.tarn.std.errors.unauthenticated",
    "com.brantel.tarn.std.errors.unauthorized",
};

class ProviderTest : public ::testing::Test {
 protected:
  AsyncApiMethodPtr Get() const { return iface->methods().at(0); }
  AsyncApiMethodPtr Update() const { return iface->methods().at(1); }

  void Invoke(const AsyncApiMethodPtr& method, const DataValuePtr& input) {
    method->Invoke(input, activation, RecordInto(&answers));
  }
  // The one answer received so far.
  const Answer& Only() {
    EXPECT_EQ(answers.size(), 1u);
    if (answers.empty()) answers.push_back({nullptr, Progress{-1, -1, -1}, false});
    return answers.front();
  }
  ErrorValuePtr OnlyError() {
    const Answer& a = Only();
    EXPECT_TRUE(a.result);
    if (!a.result) return nullptr;
    EXPECT_FALSE(a.result->output());
    EXPECT_EQ(a.progress, (Progress{0, 1, 1}));
    return a.result->error();
  }

  std::shared_ptr<FakeCpus> impl = std::make_shared<FakeCpus>();
  std::shared_ptr<AsyncApiInterface> iface = CpusSvc::AsyncServiceBinder::BindImplementation(impl);
  std::shared_ptr<AsyncActivation> activation = AsyncActivation::GetInstance();
  std::vector<Answer> answers;
};

// ---------------------------------------------------------------------------------------------
// Binding

TEST_F(ProviderTest, BindingNamesTheServiceAndOrdersTheSlots) {
  ASSERT_TRUE(iface);
  ASSERT_TRUE(iface->identifier());
  EXPECT_EQ(iface->identifier()->name(), "com.brantel.kov.vm.compute.cpus");
  ASSERT_EQ(iface->methods().size(), 2u);
  EXPECT_EQ(Get()->methodName(), "get");
  EXPECT_EQ(Update()->methodName(), "update");
}

TEST_F(ProviderTest, ErrorDefinitionsFollowEachOperationsOrder) {
  EXPECT_EQ(ErrorNames(Get()->errorDefinitions()), kGetErrors);
  ASSERT_EQ(Update()->errorDefinitions().size(), 9u);
  EXPECT_EQ(ErrorNames(Update()->errorDefinitions()), kUpdateErrors);
}

TEST_F(ProviderTest, MethodObjectsHoldTheirOperationsDefinitions) {
  ASSERT_TRUE(Get()->inputDefinition());
  ASSERT_TRUE(Get()->outputDefinition());
  EXPECT_EQ(Get()->outputDefinition()->GetType(), DataType::STRUCTURE);
  EXPECT_EQ(static_cast<const StructDefinition&>(*Get()->outputDefinition()).name(),
            "com.brantel.kov.vm.compute.cpus.info");
  ASSERT_TRUE(Update()->outputDefinition());
  EXPECT_EQ(Update()->outputDefinition()->GetType(), DataType::VOID);
  // Built once: every read gives the same definition objects.
  EXPECT_EQ(Get()->inputDefinition(), Get()->inputDefinition());
  EXPECT_EQ(&Get()->errorDefinitions(), &Get()->errorDefinitions());
}

TEST_F(ProviderTest, EachBindMakesItsOwnIdentifierLocalizerAndDefinitions) {
  auto second = CpusSvc::AsyncServiceBinder::BindImplementation(impl);
  ASSERT_TRUE(second);
  EXPECT_NE(second, iface);
  EXPECT_NE(second->identifier(), iface->identifier());
  EXPECT_EQ(second->identifier()->name(), iface->identifier()->name());
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_NE(second->methods()[i], iface->methods()[i]);
    EXPECT_NE(second->methods()[i]->inputDefinition(), iface->methods()[i]->inputDefinition());
  }

  auto signal = [](const AsyncApiMethodPtr& m) {
    auto s = std::dynamic_pointer_cast<const AsyncApiMethodSignal>(m);
    EXPECT_TRUE(s);
    return s;
  };
  // One localizer per binding, shared by its method objects; a new one for every bind.
  ASSERT_TRUE(signal(Get())->localizer());
  EXPECT_EQ(signal(Get())->localizer(), signal(Update())->localizer());
  ASSERT_TRUE(signal(second->methods()[0])->localizer());
  EXPECT_NE(signal(second->methods()[0])->localizer(), signal(Get())->localizer());
  EXPECT_FALSE(signal(Get())->localizer()->keepActivationLocalizer);

  // The implementation is shared: both bindings reach the same object.
  Invoke(Get(), GetInput("a"));
  second->methods()[0]->Invoke(GetInput("b"), AsyncActivation::GetInstance(), RecordInto(&answers));
  ASSERT_EQ(impl->gets.size(), 2u);
  EXPECT_EQ(impl->gets[0].vm, "a");
  EXPECT_EQ(impl->gets[1].vm, "b");
}

TEST_F(ProviderTest, BindWithLocalizerPassesItOnUnchangedAlsoWhenNull) {
  auto localizer = std::make_shared<Localizer>();
  auto bound = CpusSvc::AsyncServiceBinder::BindImplementation(impl, localizer);
  for (auto& m : bound->methods()) {
    EXPECT_EQ(std::dynamic_pointer_cast<const AsyncApiMethodSignal>(m)->localizer(), localizer);
  }
  auto unlocalized = CpusSvc::AsyncServiceBinder::BindImplementation(impl, nullptr);
  for (auto& m : unlocalized->methods()) {
    EXPECT_EQ(std::dynamic_pointer_cast<const AsyncApiMethodSignal>(m)->localizer(), nullptr);
  }
}

TEST_F(ProviderTest, DefinitionMakesNewObjectsSharingTheMethodsDefinitions) {
  auto interfaceId = Tarn::Core::InterfaceIdentifier::GetInstance("some.interface");
  auto first = Update()->definition(interfaceId);
  auto again = Update()->definition(interfaceId);
  ASSERT_TRUE(first);
  ASSERT_TRUE(again);
  EXPECT_NE(first, again);
  EXPECT_NE(first->identifier(), again->identifier());
  ASSERT_TRUE(first->identifier());
  EXPECT_EQ(first->identifier()->interfaceId(), interfaceId);
  EXPECT_EQ(first->identifier()->name(), "update");
  EXPECT_EQ(again->identifier()->name(), "update");
  EXPECT_EQ(first->input(), Update()->inputDefinition());
  EXPECT_EQ(first->output(), Update()->outputDefinition());
  EXPECT_EQ(again->input(), first->input());
  EXPECT_EQ(again->output(), first->output());
}

TEST_F(ProviderTest, NonConstErrorDefinitionsReturnsACopy) {
  auto method = std::const_pointer_cast<AsyncApiMethod>(Update());
  AsyncApiMethod& mutableMethod = *method;
  DataDefinitionList copy = mutableMethod.errorDefinitions();
  EXPECT_EQ(ErrorNames(copy), kUpdateErrors);
  copy.clear();
  copy.push_back(nullptr);
  const AsyncApiMethod& constMethod = *method;
  EXPECT_EQ(ErrorNames(constMethod.errorDefinitions()), kUpdateErrors);
  EXPECT_EQ(mutableMethod.errorDefinitions().size(), 9u);
}

TEST(ProviderMethodClass, EveryCallBuildsAfresh) {
  EXPECT_EQ(CpusSvc::GetMethod::methodName(), "get");
  EXPECT_EQ(CpusSvc::UpdateMethod::methodName(), "update");
  EXPECT_NE(CpusSvc::GetMethod::inputDef(), CpusSvc::GetMethod::inputDef());
  EXPECT_NE(CpusSvc::GetMethod::outputDef(), CpusSvc::GetMethod::outputDef());
  EXPECT_NE(CpusSvc::UpdateMethod::outputDef(), CpusSvc::UpdateMethod::outputDef());
  auto a = CpusSvc::UpdateMethod::errorDefs();
  auto b = CpusSvc::UpdateMethod::errorDefs();
  ASSERT_EQ(a.size(), 9u);
  ASSERT_EQ(b.size(), 9u);
  EXPECT_NE(a[0], b[0]);
  EXPECT_EQ(ErrorNames(a), kUpdateErrors);
  EXPECT_EQ(ErrorNames(CpusSvc::GetMethod::errorDefs()), kGetErrors);
}

// The "get" method class with simple stand-in definitions, to watch the binder helper's steps.
struct CountingGetMethod : CpusSvc::GetMethod {
  static int* calls;
  static Tarn::Data::DataDefinitionPtr inputDef() {
    ++*calls;
    return StructDefinition::GetInstance(
        Tarn::Data::TypeInfo<Tarn::OperationInput>::name(),
        {{"vm", Tarn::Data::DataDefinition::Create<std::string>()}});
  }
  static Tarn::Data::DataDefinitionPtr outputDef() {
    ++*calls;
    return StructDefinition::GetInstance("com.brantel.kov.vm.compute.cpus.info", {});
  }
};
int* CountingGetMethod::calls = nullptr;

TEST(ProviderBinderHelper, GetApiMethodInstanceConnectsTheFilter) {
  int calls = 0;
  CountingGetMethod::calls = &calls;
  auto impl = std::make_shared<FakeCpus>();
  auto localizer = std::make_shared<Localizer>();
  auto method = CpusSvc::AsyncServiceBinderHelper::GetApiMethodInstance<CountingGetMethod>(
      CpusSvc::AsyncServiceBinderHelper::GetMethodBuilder()(&CpusSvc::AsyncServiceInterface::Get,
                                                            impl, localizer),
      localizer);
  ASSERT_TRUE(method);
  EXPECT_EQ(calls, 2);  // definitions built once, when the method object is made
  EXPECT_EQ(method->methodName(), "get");
  EXPECT_EQ(method->localizer(), localizer);
  EXPECT_EQ(ErrorNames(method->errorDefinitions()), kGetErrors);
  std::vector<Answer> answers;
  method->Invoke(GetInput("vm-1"), AsyncActivation::GetInstance(), RecordInto(&answers));
  method->Invoke(GetInput("vm-2"), AsyncActivation::GetInstance(), RecordInto(&answers));
  EXPECT_EQ(calls, 2);
  ASSERT_EQ(impl->gets.size(), 2u);
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_TRUE(answers[0].result->success());
}

// ---------------------------------------------------------------------------------------------
// Invocation: what goes in

TEST_F(ProviderTest, NotConnectedMethodAnswersInternalServerError) {
  auto localizer = std::make_shared<Localizer>();
  auto method =
      AsyncApiMethodSignal::GetInstance("get", Get()->inputDefinition(), Get()->outputDefinition(),
                                        CpusSvc::GetMethod::errorDefs(), localizer);
  // Whatever the input, even none: the missing handler is reported first.
  for (const DataValuePtr& input : {DataValuePtr(GetInput("vm-1")), DataValuePtr()}) {
    answers.clear();
    method->Invoke(input, activation, RecordInto(&answers));
    ErrorValuePtr error = OnlyError();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->name(), kInternalServerError);
    ASSERT_EQ(error->Messages().size(), 1u);
    EXPECT_EQ(error->Messages()[0].id, "tarn.provider.method.signal.not.connected");
    EXPECT_TRUE(error->Messages()[0].args.empty());
    EXPECT_TRUE(answers[0].result->flag());
    EXPECT_FALSE(answers[0].withContinuation);
  }
  EXPECT_EQ(activation->localizer, nullptr);  // stopped before the localizer step
  EXPECT_TRUE(activation->resourceIds().empty());
}

TEST_F(ProviderTest, GoodGetInputReachesTheImplementationAndRecordsTheResourceFirst) {
  Invoke(Get(), GetInput("vm-7"));
  ASSERT_EQ(impl->gets.size(), 1u);
  EXPECT_EQ(impl->gets[0].vm, "vm-7");
  EXPECT_EQ(impl->gets[0].activation, activation);
  EXPECT_EQ(impl->gets[0].resourcesAtCall,
            std::vector<std::string>{std::string(kResourcePrefix) + "vm-7"});
  EXPECT_EQ(activation->resourceIds().size(), 1u);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_TRUE(answers[0].result->success());
}

TEST_F(ProviderTest, GoodUpdateInputReachesTheImplementationWithTheSpec) {
  auto spec = SpecValue();
  spec->SetField("count", IntegerValue::GetInstance(8));
  Invoke(Update(), UpdateInput("vm-2", spec));
  ASSERT_EQ(impl->updates.size(), 1u);
  const auto& call = impl->updates[0];
  EXPECT_EQ(call.vm, "vm-2");
  ASSERT_TRUE(call.spec);
  EXPECT_TRUE(call.spec->count == std::int64_t{8});
  EXPECT_FALSE(call.spec->coresPerSocket);
  EXPECT_FALSE(call.spec->hotAddEnabled);
  EXPECT_FALSE(call.spec->hotRemoveEnabled);
  EXPECT_EQ(call.resourcesAtCall, std::vector<std::string>{std::string(kResourcePrefix) + "vm-2"});
  ASSERT_EQ(answers.size(), 1u);
  ASSERT_TRUE(answers[0].result->success());
  EXPECT_EQ(answers[0].result->output()->GetType(), DataType::VOID);
}

struct SpecCase {
  const char* name;
  std::function<DataValuePtr()> spec;
  boost::optional<std::int64_t> count;
  boost::optional<bool> hotAdd;
};

TEST_F(ProviderTest, AcceptedUpdateSpecShapes) {
  const std::vector<SpecCase> cases{
      {"empty string is a spec with nothing set", [] { return StringValue::GetInstance(""); },
       boost::none, boost::none},
      {"empty structure", [] { return SpecValue(); }, boost::none, boost::none},
      {"count as a numeric string",
       [] {
         auto s = SpecValue();
         s->SetField("count", StringValue::GetInstance("12"));
         return s;
       },
       std::int64_t{12}, boost::none},
      {"count inside a set optional",
       [] {
         auto s = SpecValue();
         s->SetField("count", OptionalValue::GetInstance(IntegerValue::GetInstance(5)));
         return s;
       },
       std::int64_t{5}, boost::none},
      {"unset optionals leave the members unset",
       [] {
         auto s = SpecValue();
         s->SetField("count", OptionalValue::GetInstance());
         s->SetField("hot_add_enabled", BooleanValue::GetInstance(false));
         return s;
       },
       boost::none, false},
      {"undeclared field holding an unset optional",
       [] {
         auto s = SpecValue();
         s->SetField("future_field", OptionalValue::GetInstance());
         return s;
       },
       boost::none, boost::none},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    impl->updates.clear();
    answers.clear();
    Invoke(Update(), UpdateInput("vm-1", c.spec()));
    ASSERT_EQ(impl->updates.size(), 1u);
    ASSERT_TRUE(impl->updates[0].spec);
    EXPECT_EQ(impl->updates[0].spec->count, c.count);
    EXPECT_EQ(impl->updates[0].spec->hotAddEnabled, c.hotAdd);
    EXPECT_FALSE(impl->updates[0].spec->coresPerSocket);
    EXPECT_FALSE(impl->updates[0].spec->hotRemoveEnabled);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_TRUE(answers[0].result->success());
  }
}

TEST_F(ProviderTest, UnsetOptionalUndeclaredInputFieldPasses) {
  auto input = GetInput("vm-1");
  input->SetField("later", OptionalValue::GetInstance());
  Invoke(Get(), input);
  EXPECT_EQ(impl->gets.size(), 1u);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_TRUE(answers[0].result->success());
}

struct BadInput {
  const char* name;
  bool update;  // which operation
  std::function<DataValuePtr()> input;
  // Expected leading message ids; empty when only the error type is fixed.
  std::vector<std::string> firstIds;
  // Expected arguments of those messages, where they matter.
  std::vector<std::vector<std::string>> firstArgs;
};

// Every kind of bad input is answered with the invalid-argument error; the implementation is not
// called, no resource is recorded, and exactly one answer comes back.
TEST_F(ProviderTest, BadInputIsAnsweredWithInvalidArgument) {
  const std::string getOp = "::Com::Brantel::Kov::Vm::Compute::CpusSvc::Get";
  const std::string updateOp = "::Com::Brantel::Kov::Vm::Compute::CpusSvc::Update";
  const std::string getInput = "::Com::Brantel::Kov::Vm::Compute::CpusSvc::GetMethod::Input";
  const std::string updateInput = "::Com::Brantel::Kov::Vm::Compute::CpusSvc::UpdateMethod::Input";
  const std::string specName = "::Com::Brantel::Kov::Vm::Compute::CpusSvc::UpdateSpec";
  const std::vector<BadInput> cases{
      {"no input value", false, [] { return DataValuePtr(); }, {}, {}},
      {"an integer instead of a structure",
       false,
       [] { return IntegerValue::GetInstance(3); },
       {},
       {}},
      {"a non-empty string instead of a structure",
       false,
       [] { return StringValue::GetInstance("vm-1"); },
       {},
       {}},
      {"a list instead of a structure", false, [] { return ListValue::GetInstance(); }, {}, {}},
      {"missing vm", false, [] { return InputValue(); }, {}, {}},
      {"vm an integer",
       false,
       [] {
         auto i = InputValue();
         i->SetField("vm", IntegerValue::GetInstance(1));
         return i;
       },
       {},
       {}},
      {"vm a boolean",
       false,
       [] {
         auto i = InputValue();
         i->SetField("vm", BooleanValue::GetInstance(true));
         return i;
       },
       {},
       {}},
      {"vm an unset optional",
       false,
       [] {
         auto i = InputValue();
         i->SetField("vm", OptionalValue::GetInstance());
         return i;
       },
       {},
       {}},
      {"vm a structure",
       false,
       [] {
         auto i = InputValue();
         i->SetField("vm", SpecValue());
         return i;
       },
       {},
       {}},
      {"undeclared field with a value",
       false,
       [] {
         auto i = GetInput("vm-1");
         i->SetField("extra", IntegerValue::GetInstance(1));
         return i;
       },
       {"tarn.invoke.invalid.input", "tarn.data.compound.field.extra"},
       {{getOp}, {getInput, "extra"}}},
      {"undeclared field holding a set optional",
       false,
       [] {
         auto i = GetInput("vm-1");
         i->SetField("extra", OptionalValue::GetInstance(StringValue::GetInstance("x")));
         return i;
       },
       {"tarn.invoke.invalid.input", "tarn.data.compound.field.extra"},
       {{getOp}, {getInput, "extra"}}},
      {"update without update_spec",
       true,
       [] {
         auto i = InputValue();
         i->SetField("vm", StringValue::GetInstance("vm-1"));
         return i;
       },
       {},
       {}},
      {"update without vm",
       true,
       [] {
         auto i = InputValue();
         i->SetField("update_spec", SpecValue());
         return i;
       },
       {},
       {}},
      {"update_spec an empty value slot",
       true,
       [] { return UpdateInput("vm-1", nullptr); },
       {},
       {}},
      {"update_spec a non-empty string",
       true,
       [] { return UpdateInput("vm-1", StringValue::GetInstance("spec")); },
       {},
       {}},
      {"update_spec an integer",
       true,
       [] { return UpdateInput("vm-1", IntegerValue::GetInstance(2)); },
       {},
       {}},
      {"count not a number",
       true,
       [] {
         auto s = SpecValue();
         s->SetField("count", StringValue::GetInstance("many"));
         return UpdateInput("vm-1", s);
       },
       {},
       {}},
      {"count a boolean",
       true,
       [] {
         auto s = SpecValue();
         s->SetField("count", BooleanValue::GetInstance(true));
         return UpdateInput("vm-1", s);
       },
       {},
       {}},
      {"hot_add_enabled an integer",
       true,
       [] {
         auto s = SpecValue();
         s->SetField("hot_add_enabled", IntegerValue::GetInstance(1));
         return UpdateInput("vm-1", s);
       },
       {},
       {}},
      {"undeclared field in the update spec",
       true,
       [] {
         auto s = SpecValue();
         s->SetField("count", IntegerValue::GetInstance(2));
         s->SetField("sockets", IntegerValue::GetInstance(2));
         return UpdateInput("vm-1", s);
       },
       {"tarn.invoke.invalid.input", "tarn.data.compound.field.extra"},
       {{updateOp}, {specName, "sockets"}}},
      {"undeclared field in the update input",
       true,
       [] {
         auto i = UpdateInput("vm-1", SpecValue());
         i->SetField("force", BooleanValue::GetInstance(true));
         return i;
       },
       {"tarn.invoke.invalid.input", "tarn.data.compound.field.extra"},
       {{updateOp}, {updateInput, "force"}}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    answers.clear();
    activation = AsyncActivation::GetInstance();
    Invoke(c.update ? Update() : Get(), c.input());
    ErrorValuePtr error = OnlyError();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->name(), kInvalidArgument);
    auto messages = error->Messages();
    EXPECT_FALSE(messages.empty());
    ASSERT_GE(messages.size(), c.firstIds.size());
    for (std::size_t i = 0; i < c.firstIds.size(); ++i) {
      EXPECT_EQ(messages[i].id, c.firstIds[i]);
      for (std::size_t k = 0; k < c.firstArgs[i].size(); ++k) {
        ASSERT_GT(messages[i].args.size(), k);
        EXPECT_EQ(messages[i].args[k], c.firstArgs[i][k]);
      }
    }
    EXPECT_TRUE(activation->resourceIds().empty());
  }
  EXPECT_TRUE(impl->gets.empty());
  EXPECT_TRUE(impl->updates.empty());
}

// The filter's own conversion, for values that an input definition lets through: a method
// object whose input definition accepts any structure.
TEST_F(ProviderTest, FilterConversionFailureIsInvalidArgument) {
  auto permissive =
      StructDefinition::GetInstance(Tarn::Data::TypeInfo<Tarn::OperationInput>::name(), {});
  auto method = AsyncApiMethodSignal::GetInstance("get", permissive, Get()->outputDefinition(),
                                                  CpusSvc::GetMethod::errorDefs(), nullptr);
  method->Connect(CpusSvc::AsyncServiceBinderHelper::GetMethodBuilder()(
      &CpusSvc::AsyncServiceInterface::Get, impl, nullptr));

  method->Invoke(InputValue(), activation, RecordInto(&answers));
  ErrorValuePtr error = OnlyError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInvalidArgument);
  EXPECT_FALSE(error->Messages().empty());
  EXPECT_TRUE(NamesInArguments(error, "vm"));
  EXPECT_NE(MessageIds(error).front(), "tarn.invoke.invalid.input");

  answers.clear();
  auto mistyped = InputValue();
  mistyped->SetField("vm", IntegerValue::GetInstance(5));
  method->Invoke(mistyped, activation, RecordInto(&answers));
  error = OnlyError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInvalidArgument);
  EXPECT_FALSE(error->Messages().empty());

  EXPECT_TRUE(impl->gets.empty());
  EXPECT_TRUE(activation->resourceIds().empty());
}

TEST_F(ProviderTest, NotAStructureThroughThePermissiveDefinitionIsInvalidArgument) {
  auto method = AsyncApiMethodSignal::GetInstance(
      "update", StructDefinition::GetInstance("anything", {}), CpusSvc::UpdateMethod::outputDef(),
      CpusSvc::UpdateMethod::errorDefs(), nullptr);
  method->Connect(CpusSvc::AsyncServiceBinderHelper::UpdateMethodBuilder()(
      &CpusSvc::AsyncServiceInterface::Update, impl, nullptr));
  auto input = InputValue();
  input->SetField("vm", StringValue::GetInstance("vm-1"));
  input->SetField("update_spec", StringValue::GetInstance("not a spec"));
  method->Invoke(input, activation, RecordInto(&answers));
  ErrorValuePtr error = OnlyError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInvalidArgument);
  EXPECT_EQ(MessageIds(error), std::vector<std::string>{"tarn.data.bad.cast1"});
  EXPECT_TRUE(impl->updates.empty());
  EXPECT_TRUE(activation->resourceIds().empty());
}

TEST_F(ProviderTest, MethodObjectNotOwnedBySharedPointerCannotBeInvoked) {
  AsyncApiMethodSignal onStack("get", Get()->inputDefinition(), Get()->outputDefinition(),
                               CpusSvc::GetMethod::errorDefs(), nullptr);
  bool called = false;
  onStack.Connect([&](const DataValuePtr&, const std::shared_ptr<AsyncActivation>&,
                      const AsyncApiMethod::ResultCb&) { called = true; });
  EXPECT_THROW(onStack.Invoke(GetInput("vm-1"), activation, RecordInto(&answers)),
               std::bad_weak_ptr);
  EXPECT_FALSE(called);
  EXPECT_TRUE(answers.empty());
}

// ---------------------------------------------------------------------------------------------
// Invocation: localizer of the activation

TEST_F(ProviderTest, BoundLocalizerReplacesTheActivationsWhenNotKeeping) {
  auto bound = std::make_shared<Localizer>();
  auto iface2 = CpusSvc::AsyncServiceBinder::BindImplementation(impl, bound);
  auto own = std::make_shared<Localizer>();
  activation->localizer = own;
  iface2->methods()[0]->Invoke(GetInput("vm-1"), activation, RecordInto(&answers));
  EXPECT_EQ(activation->localizer, bound);

  auto fresh = AsyncActivation::GetInstance();
  iface2->methods()[1]->Invoke(UpdateInput("vm-1", SpecValue()), fresh, RecordInto(&answers));
  EXPECT_EQ(fresh->localizer, bound);
}

TEST_F(ProviderTest, BoundLocalizerKeepsAnExistingOneWhenKeeping) {
  auto bound = std::make_shared<Localizer>();
  bound->keepActivationLocalizer = true;
  auto iface2 = CpusSvc::AsyncServiceBinder::BindImplementation(impl, bound);
  auto own = std::make_shared<Localizer>();
  activation->localizer = own;
  iface2->methods()[0]->Invoke(GetInput("vm-1"), activation, RecordInto(&answers));
  EXPECT_EQ(activation->localizer, own);

  auto fresh = AsyncActivation::GetInstance();
  iface2->methods()[0]->Invoke(GetInput("vm-1"), fresh, RecordInto(&answers));
  EXPECT_EQ(fresh->localizer, bound);
}

TEST_F(ProviderTest, WithoutBoundLocalizerTheActivationIsNotTouched) {
  auto iface2 = CpusSvc::AsyncServiceBinder::BindImplementation(impl, nullptr);
  auto own = std::make_shared<Localizer>();
  activation->localizer = own;
  iface2->methods()[0]->Invoke(GetInput("vm-1"), activation, RecordInto(&answers));
  EXPECT_EQ(activation->localizer, own);
  auto fresh = AsyncActivation::GetInstance();
  iface2->methods()[0]->Invoke(GetInput("vm-1"), fresh, RecordInto(&answers));
  EXPECT_EQ(fresh->localizer, nullptr);
  EXPECT_EQ(answers.size(), 2u);
}

TEST_F(ProviderTest, InputRejectedByItsDefinitionLeavesTheLocalizerAlone) {
  Invoke(Get(), InputValue());
  EXPECT_EQ(activation->localizer, nullptr);
}

TEST_F(ProviderTest, DefaultBindInstallsItsOwnLocalizer) {
  Invoke(Get(), GetInput("vm-1"));
  auto signal = std::dynamic_pointer_cast<const AsyncApiMethodSignal>(Get());
  ASSERT_TRUE(signal);
  EXPECT_EQ(activation->localizer, signal->localizer());
}

// ---------------------------------------------------------------------------------------------
// Invocation: what comes out

TEST_F(ProviderTest, RecordAnswerBecomesTheInfoStructure) {
  impl->onGet = [](const std::string&, const GetResult& result) {
    auto info = std::make_shared<CpusSvc::Info>();
    info->count = 4;
    info->coresPerSocket = 2;
    info->hotAddEnabled = false;
    info->hotRemoveEnabled = true;
    result(info);
  };
  Invoke(Get(), GetInput("vm-1"));
  const Answer& a = Only();
  ASSERT_TRUE(a.result);
  ASSERT_TRUE(a.result->success());
  EXPECT_TRUE(a.result->flag());
  EXPECT_EQ(a.progress, (Progress{0, 1, 1}));
  EXPECT_FALSE(a.withContinuation);
  auto value = Tarn::Data::NarrowDataTypeInt<StructValue>(a.result->output());
  ASSERT_TRUE(value);
  EXPECT_EQ(value->name(), "com.brantel.kov.vm.compute.cpus.info");
  auto expected = StructValue::GetInstance("com.brantel.kov.vm.compute.cpus.info");
  expected->SetField("count", IntegerValue::GetInstance(4));
  expected->SetField("cores_per_socket", IntegerValue::GetInstance(2));
  expected->SetField("hot_add_enabled", BooleanValue::GetInstance(false));
  expected->SetField("hot_remove_enabled", BooleanValue::GetInstance(true));
  EXPECT_TRUE(value->Equals(*expected)) << value->ToString();
}

TEST_F(ProviderTest, UnknownFieldsOfTheRecordPassThrough) {
  impl->onGet = [](const std::string&, const GetResult& result) {
    auto info = std::make_shared<CpusSvc::Info>();
    info->unknownFields = StructValue::GetInstance("unknownFields");
    info->unknownFields->SetField("threads_per_core", IntegerValue::GetInstance(2));
    result(info);
  };
  Invoke(Get(), GetInput("vm-1"));
  const Answer& a = Only();
  ASSERT_TRUE(a.result && a.result->success());
  auto value = Tarn::Data::NarrowDataTypeInt<StructValue>(a.result->output());
  ASSERT_TRUE(value);
  ASSERT_TRUE(value->HasField("threads_per_core"));
  EXPECT_TRUE(value->HasField("count"));
}

TEST_F(ProviderTest, NullRecordBecomesInternalServerErrorWithoutMessages) {
  impl->onGet = [](const std::string&, const GetResult& result) { result(nullptr); };
  Invoke(Get(), GetInput("vm-1"));
  ErrorValuePtr error = OnlyError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInternalServerError);
  EXPECT_TRUE(error->Messages().empty());
}

TEST_F(ProviderTest, ErrorsInTheListArriveUnchanged) {
  for (const auto& name : kGetErrors) {
    SCOPED_TRACE(name);
    answers.clear();
    auto sent = ErrorValue::Create(name, {Tarn::Message<Tarn::CoreTag>("tarn.data.invalid.type")});
    impl->onGet = [sent](const std::string&, const GetResult& result) { result.error(sent); };
    Invoke(Get(), GetInput("vm-1"));
    ErrorValuePtr error = OnlyError();
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->Equals(*sent)) << error->ToString();
  }
  for (const auto& name : kUpdateErrors) {
    SCOPED_TRACE(name);
    answers.clear();
    auto sent = ErrorValue::Create(name, {});
    impl->onUpdate = [sent](const UpdateResult& result) { result.error(sent); };
    Invoke(Update(), UpdateInput("vm-1", SpecValue()));
    ErrorValuePtr error = OnlyError();
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->Equals(*sent)) << error->ToString();
  }
}

TEST_F(ProviderTest, RuntimesOwnErrorsPassWhateverTheList) {
  // "get" does not list invalid_argument; the runtime's own errors reach the caller anyway.
  for (const char* name : {kInvalidArgument, kInternalServerError}) {
    SCOPED_TRACE(name);
    answers.clear();
    auto sent = ErrorValue::Create(name, {});
    impl->onGet = [sent](const std::string&, const GetResult& result) { result.error(sent); };
    Invoke(Get(), GetInput("vm-1"));
    ErrorValuePtr error = OnlyError();
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->Equals(*sent));
  }
}

TEST_F(ProviderTest, ErrorsOutsideTheListBecomeInternalServerErrorNamingThem) {
  const std::vector<std::string> outside{
      "com.brantel.tarn.std.errors.already_exists",
      "com.brantel.tarn.std.errors.resource_busy",  // listed for "update", not for "get"
      "com.brantel.tarn.std.errors.unsupported",
      "com.example.custom_error",
  };
  for (const auto& name : outside) {
    SCOPED_TRACE(name);
    answers.clear();
    impl->onGet = [name](const std::string&, const GetResult& result) {
      result.error(ErrorValue::Create(name, {}));
    };
    Invoke(Get(), GetInput("vm-1"));
    ErrorValuePtr error = OnlyError();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->name(), kInternalServerError);
    EXPECT_TRUE(NamesInArguments(error, name)) << error->ToString();
  }
}

TEST_F(ProviderTest, ListedErrorOfTheWrongShapeBecomesInternalServerError) {
  // Named like a listed error but without its "messages" field.
  impl->onGet = [](const std::string&, const GetResult& result) {
    result.error(std::make_shared<ErrorValue>(Errors::NotFound::typeName));
  };
  Invoke(Get(), GetInput("vm-1"));
  ErrorValuePtr error = OnlyError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInternalServerError);
}

TEST_F(ProviderTest, ResultAndErrorTogetherAnswerWithTheError) {
  auto sent = Errors::NotFound::Create();
  impl->onGet = [sent](const std::string&, const GetResult& result) {
    result.resultCb()(InfoPtr(std::make_shared<CpusSvc::Info>()), sent, boost::none,
                      Progress{0, 1, 1});
  };
  Invoke(Get(), GetInput("vm-1"));
  ErrorValuePtr error = OnlyError();
  ASSERT_TRUE(error);
  EXPECT_TRUE(error->Equals(*sent));
}

TEST_F(ProviderTest, NativeErrorIsTurnedIntoAnErrorValue) {
  impl->onGet = [](const std::string&, const GetResult& result) {
    Tarn::Data::NativeError native{Errors::Unauthorized::typeName, {}, {}};
    result.resultCb()(boost::none, nullptr, native, Progress{0, 1, 1});
  };
  Invoke(Get(), GetInput("vm-1"));
  ErrorValuePtr error = OnlyError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), Errors::Unauthorized::typeName);

  answers.clear();
  impl->onGet = [](const std::string&, const GetResult& result) {
    Tarn::Data::NativeError native{Errors::AlreadyExists::typeName, {}, {}};
    result.resultCb()(boost::none, nullptr, native, Progress{0, 1, 1});
  };
  Invoke(Get(), GetInput("vm-1"));
  error = OnlyError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInternalServerError);
}

TEST_F(ProviderTest, OutputThatDoesNotFitItsDefinitionIsInternalServerError) {
  auto method = AsyncApiMethodSignal::GetInstance(
      "get", Get()->inputDefinition(), Tarn::Data::DataDefinition::Create<std::int64_t>(),
      CpusSvc::GetMethod::errorDefs(), nullptr);
  method->Connect(CpusSvc::AsyncServiceBinderHelper::GetMethodBuilder()(
      &CpusSvc::AsyncServiceInterface::Get, impl, nullptr));
  method->Invoke(GetInput("vm-1"), activation, RecordInto(&answers));
  ErrorValuePtr error = OnlyError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInternalServerError);
}

TEST_F(ProviderTest, AnswerWithNothingAndFinalProgressIsTheTerminationMarker) {
  GetResult kept;
  impl->onGet = [&kept](const std::string&, const GetResult& result) { kept = result; };
  Invoke(Get(), GetInput("vm-1"));
  ASSERT_TRUE(answers.empty());
  kept.resultCb()(boost::none, nullptr, boost::none, Progress{0, 1, 1});
  const Answer& a = Only();
  ASSERT_TRUE(a.result);
  EXPECT_FALSE(a.result->output());
  EXPECT_FALSE(a.result->error());
  EXPECT_TRUE(a.result->flag());
  EXPECT_FALSE(a.result->success());
  // The invocation is over: a later answer through the same object reaches nobody.
  kept(std::make_shared<CpusSvc::Info>());
  EXPECT_EQ(answers.size(), 1u);
}

// ---------------------------------------------------------------------------------------------
// Lifetimes and late answers

TEST_F(ProviderTest, ImplementationLivesAsLongAsAnyMethodObject) {
  std::weak_ptr<FakeCpus> watch = impl;
  AsyncApiMethodPtr update = Update();
  impl.reset();
  iface.reset();
  EXPECT_FALSE(watch.expired());
  // Still usable through the surviving method object.
  update->Invoke(UpdateInput("vm-1", SpecValue()), activation, RecordInto(&answers));
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_TRUE(answers[0].result->success());
  update.reset();
  EXPECT_TRUE(watch.expired());
}

TEST_F(ProviderTest, LateAnswerFromAnotherThreadReachesTheCaller) {
  GetResult kept;
  impl->onGet = [&kept](const std::string&, const GetResult& result) { kept = result; };
  std::weak_ptr<const AsyncApiMethod> method = Get();
  Invoke(Get(), GetInput("vm-1"));
  EXPECT_TRUE(answers.empty());  // the operation returned without answering

  // Nothing but the outstanding answer holds the method object now.
  iface.reset();
  impl.reset();
  EXPECT_FALSE(method.expired());

  std::thread answerer([result = std::move(kept)] {
    auto info = std::make_shared<CpusSvc::Info>();
    info->count = 16;
    result(info);
  });
  answerer.join();
  const Answer& a = Only();
  ASSERT_TRUE(a.result && a.result->success());
  auto value = Tarn::Data::NarrowDataTypeInt<StructValue>(a.result->output());
  ASSERT_TRUE(value);
  EXPECT_TRUE(value->fields().at("count")->Equals(*IntegerValue::GetInstance(16)));
  EXPECT_TRUE(method.expired());
}

TEST_F(ProviderTest, DestroyedUnspentResultSendsNothing) {
  impl->onGet = [](const std::string&, const GetResult&) {};
  std::weak_ptr<const AsyncApiMethod> method = Get();
  Invoke(Get(), GetInput("vm-1"));
  EXPECT_EQ(impl->gets.size(), 1u);
  EXPECT_TRUE(answers.empty());
  iface.reset();
  EXPECT_TRUE(method.expired());  // nothing outstanding keeps it
  EXPECT_TRUE(answers.empty());
}

TEST_F(ProviderTest, IntermediateReportsPassThroughAndLeaveTheCallbacksInPlace) {
  GetResult kept;
  impl->onGet = [&kept](const std::string&, const GetResult& result) { kept = result; };
  Invoke(Get(), GetInput("vm-1"));
  kept.resultCb()(boost::none, nullptr, boost::none, Progress{0, 1, 2});
  kept.resultCb()(boost::none, nullptr, boost::none, Progress{0, 1, 2});
  ASSERT_EQ(answers.size(), 2u);
  for (auto& a : answers) {
    EXPECT_EQ(a.result, nullptr);
    EXPECT_EQ(a.progress, (Progress{0, 1, 2}));
  }
  auto info = std::make_shared<CpusSvc::Info>();
  info->count = 2;
  kept(info);
  ASSERT_EQ(answers.size(), 3u);
  ASSERT_TRUE(answers[2].result);
  EXPECT_TRUE(answers[2].result->success());
  EXPECT_EQ(answers[2].progress, (Progress{0, 1, 1}));
}

TEST_F(ProviderTest, IntermediateReportThenErrorEndsWithTheError) {
  UpdateResult kept;
  impl->onUpdate = [&kept](const UpdateResult& result) { kept = result; };
  Invoke(Update(), UpdateInput("vm-1", SpecValue()));
  kept.resultCb()(boost::none, nullptr, boost::none, Progress{0, 3, 1});
  kept.error(Errors::ResourceBusy::Create());
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0].result, nullptr);
  ASSERT_TRUE(answers[1].result);
  ASSERT_TRUE(answers[1].result->error());
  EXPECT_EQ(answers[1].result->error()->name(), Errors::ResourceBusy::typeName);
}

TEST_F(ProviderTest, CopiesOfTheResultObjectCarryTheirOwnChain) {
  // Breaking the deliver-once contract through two copies reaches the runtime twice: the
  // contract is the implementation's to keep.
  std::vector<GetResult> kept;
  impl->onGet = [&kept](const std::string&, const GetResult& result) {
    kept.push_back(result);
    kept.push_back(result);
  };
  Invoke(Get(), GetInput("vm-1"));
  kept[0](std::make_shared<CpusSvc::Info>());
  kept[1](std::make_shared<CpusSvc::Info>());
  EXPECT_EQ(answers.size(), 2u);
}

TEST_F(ProviderTest, ExceptionFromTheImplementationPassesThroughAndSendsNothing) {
  impl->onGet = [](const std::string&, const GetResult&) { throw std::runtime_error("host"); };
  EXPECT_THROW(Invoke(Get(), GetInput("vm-1")), std::runtime_error);
  EXPECT_TRUE(answers.empty());
}

using ProviderDeathTest = ProviderTest;

TEST_F(ProviderDeathTest, SecondDeliveryThroughOneResultObjectEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  impl->onGet = [](const std::string&, const GetResult& result) {
    result(std::make_shared<CpusSvc::Info>());
    result.error(Errors::NotFound::Create());
  };
  EXPECT_DEATH(Invoke(Get(), GetInput("vm-1")), "");
}

TEST_F(ProviderDeathTest, SecondLateDeliveryEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  UpdateResult kept;
  impl->onUpdate = [&kept](const UpdateResult& result) { kept = result; };
  Invoke(Update(), UpdateInput("vm-1", SpecValue()));
  kept(Tarn::Void());
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_DEATH(kept(Tarn::Void()), "");
}

// ---------------------------------------------------------------------------------------------
// The wrapper and the result filter on their own

TEST_F(ProviderTest, ValidateResultWrapperAnswersAtMostOnce) {
  AsyncApiMethodSignal::ValidateResultWrapper wrapper(Get(), RecordInto(&answers));
  auto info = StructValue::GetInstance("com.brantel.kov.vm.compute.cpus.info");
  info->SetField("count", IntegerValue::GetInstance(1));
  info->SetField("cores_per_socket", IntegerValue::GetInstance(1));
  info->SetField("hot_add_enabled", BooleanValue::GetInstance(true));
  info->SetField("hot_remove_enabled", BooleanValue::GetInstance(true));
  wrapper(DataValuePtr(info), nullptr, Progress{0, 1, 1}, {});
  wrapper(DataValuePtr(info), nullptr, Progress{0, 1, 1}, {});
  wrapper(boost::none, Errors::NotFound::Create(), Progress{0, 1, 1}, {});
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_TRUE(answers[0].result->success());
}

TEST_F(ProviderTest, ValidateResultWrapperPassesAContinuationForStreams) {
  std::vector<std::shared_ptr<AsyncApiMethod::ResultCb>> asked;
  AsyncApiMethod::ResultCb::Continuation next =
      [&asked](std::shared_ptr<AsyncApiMethod::ResultCb> cb) { asked.push_back(cb); };
  AsyncApiResultCb::Continuation forRuntime;
  AsyncApiResultCb capture(
      [&forRuntime](const MethodResultPtr&, const Progress&, AsyncApiResultCb::Continuation&& c) {
        forRuntime = std::move(c);
      });
  AsyncApiMethodSignal::ValidateResultWrapper streaming(Update(), capture);
  streaming(DataValuePtr(VoidValue::GetInstance()), nullptr, Progress{0, 1, 1}, std::move(next));
  ASSERT_TRUE(forRuntime);
  forRuntime(nullptr);
  forRuntime(std::make_shared<AsyncApiResultCb>(RecordInto(&answers)));
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0], nullptr);
  ASSERT_TRUE(asked[1]);
  // The new callback validates what comes through it like the first one.
  (*asked[1])(DataValuePtr(VoidValue::GetInstance()), nullptr, Progress{0, 1, 1});
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_TRUE(answers[0].result->success());
}

TEST_F(ProviderTest, ResultFilterStreamContinuationMakesStreamResults) {
  std::vector<boost::optional<DataValuePtr>> outputs;
  AsyncApiMethod::ResultCb::Continuation forWrapper;
  AsyncApiMethod::ResultCb callback([&](const boost::optional<DataValuePtr>& out,
                                        const ErrorValuePtr&, const Progress&,
                                        AsyncApiMethod::ResultCb::Continuation&& c) {
    outputs.push_back(out);
    forWrapper = std::move(c);
  });
  using Filter = Tarn::Provider::AsyncApiMethodResultFilter<std::int64_t>;
  Filter filter(callback, activation);
  std::vector<Tarn::OptionalPtr<Tarn::AsyncStreamResult<std::int64_t>>> streams;
  filter(std::int64_t{5}, nullptr, boost::none, Progress{0, 1, 1},
         [&streams](Tarn::OptionalPtr<Tarn::AsyncStreamResult<std::int64_t>> s) {
           streams.push_back(s);
         });
  ASSERT_EQ(outputs.size(), 1u);
  ASSERT_TRUE(outputs[0] && *outputs[0]);
  EXPECT_TRUE((*outputs[0])->Equals(*IntegerValue::GetInstance(5)));
  ASSERT_TRUE(forWrapper);

  forWrapper(nullptr);
  forWrapper(std::make_shared<AsyncApiMethod::ResultCb>(callback));
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_FALSE(streams[0]);
  ASSERT_TRUE(streams[1]);
  EXPECT_FALSE(streams[1]->shortCb);
  ASSERT_TRUE(streams[1]->fullCb);
  (*streams[1])(std::int64_t{6}, nullptr, boost::none, Progress{0, 1, 1});
  ASSERT_EQ(outputs.size(), 2u);
  EXPECT_TRUE((*outputs[1])->Equals(*IntegerValue::GetInstance(6)));

  // A filter answers once: what follows its final answer reaches nobody.
  filter(std::int64_t{7}, nullptr, boost::none, Progress{0, 1, 1});
  EXPECT_EQ(outputs.size(), 2u);
}

TEST_F(ProviderTest, ResultFilterAnswersOnceWhateverTheAnswer) {
  int calls = 0;
  AsyncApiMethod::ResultCb callback(
      [&calls](const boost::optional<DataValuePtr>&, const ErrorValuePtr&, const Progress&,
               AsyncApiMethod::ResultCb::Continuation&&) { ++calls; });
  using Filter = Tarn::Provider::AsyncApiMethodResultFilter<std::int64_t>;
  {
    Filter filter(callback, activation);
    filter(boost::none, Errors::NotFound::Create(), boost::none, Progress{0, 1, 1});
    filter(std::int64_t{1}, nullptr, boost::none, Progress{0, 1, 1});
    filter(boost::none, Errors::NotFound::Create(), boost::none, Progress{0, 1, 1});
    EXPECT_EQ(calls, 1);
  }
  {
    calls = 0;
    Filter filter(callback, activation);
    filter(boost::none, nullptr, boost::none, Progress{0, 1, 2});  // intermediate: stays
    filter(std::int64_t{1}, nullptr, boost::none, Progress{0, 1, 1});
    filter(std::int64_t{2}, nullptr, boost::none, Progress{0, 1, 1});
    EXPECT_EQ(calls, 2);
  }
}

}  // namespace
