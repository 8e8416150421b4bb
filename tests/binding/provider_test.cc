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
#include "tests/binding/cpus_test_util.h"

namespace KovTest {
namespace {

using Tarn::Data::DataType;
using Tarn::Data::ErrorValue;
using Tarn::Data::StructDefinition;
using Tarn::Data::VoidValue;
using Tarn::L10n::Localizer;
using Tarn::Provider::AsyncApiInterface;
using Tarn::Provider::AsyncApiMethod;
using Tarn::Provider::AsyncApiMethodPtr;
using Tarn::Provider::AsyncApiMethodSignal;
using Tarn::Provider::DataDefinitionList;
using Names = std::vector<std::string>;

constexpr char kInvalidArgument[] = "com.brantel.tarn.std.errors.invalid_argument";
constexpr char kInternalServerError[] = "com.brantel.tarn.std.errors.internal_server_error";

// An implementation that records what reaches it and answers as each test tells it to.
class FakeCpus : public CpusSvc::AsyncServiceInterface {
 public:
  struct Call {
    std::string vm;
    std::shared_ptr<const CpusSvc::UpdateSpec> spec;
    std::shared_ptr<AsyncActivation> activation;
    Names resourcesAtCall;  // what the activation had been told by then
  };

  std::function<void(const GetResult&)> onGet = [](const GetResult& result) {
    auto info = std::make_shared<CpusSvc::Info>();
    info->count = 4;
    result(info);
  };
  std::function<void(const UpdateResult&)> onUpdate = [](const UpdateResult& result) {
    result(Tarn::Void());
  };

  void Get(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
           const GetResult& result) override {
    gets.push_back({vm, nullptr, activation, activation->resourceIds()});
    onGet(result);
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

Names ErrorNames(const DataDefinitionList& defs) {
  Names names;
  for (auto& def : defs) {
    EXPECT_TRUE(def && def->GetType() == DataType::ERROR);
    if (def) names.push_back(static_cast<const StructDefinition&>(*def).name());
  }
  return names;
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

std::shared_ptr<const AsyncApiMethodSignal> Signal(const AsyncApiMethodPtr& m) {
  auto s = std::dynamic_pointer_cast<const AsyncApiMethodSignal>(m);
  EXPECT_TRUE(s);
  return s;
}

const Names kGetErrors{
    "com.brantel.tarn.std.errors.error",
    "com.brantel.tarn.std.errors.not_found",
    "com.brantel.tarn.std.errors.resource_inaccessible",
    "com.brantel.tarn.std.errors.service_unavailable",
    "com.brantel.tarn.std.errors.unauthenticated",
    "com.brantel.tarn.std.errors.unauthorized",
};
const Names kUpdateErrors{
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
  // A method object over `input` and `output` connected to the fake's operation.
  std::shared_ptr<AsyncApiMethodSignal> Custom(bool update, Tarn::Data::DataDefinitionPtr input,
                                               Tarn::Data::DataDefinitionPtr output) {
    using Helper = CpusSvc::AsyncServiceBinderHelper;
    AsyncApiMethodSignal::Handler handler =
        update ? AsyncApiMethodSignal::Handler(Helper::UpdateMethodBuilder()(
                     &CpusSvc::AsyncServiceInterface::Update, impl, nullptr))
               : AsyncApiMethodSignal::Handler(Helper::GetMethodBuilder()(
                     &CpusSvc::AsyncServiceInterface::Get, impl, nullptr));
    return AsyncApiMethodSignal::GetInstance(
        update ? "update" : "get", std::move(input), std::move(output),
        update ? CpusSvc::UpdateMethod::errorDefs() : CpusSvc::GetMethod::errorDefs(), nullptr,
        std::move(handler));
  }

  std::shared_ptr<FakeCpus> impl = std::make_shared<FakeCpus>();
  std::shared_ptr<AsyncApiInterface> iface = CpusSvc::AsyncServiceBinder::BindImplementation(impl);
  std::shared_ptr<AsyncActivation> activation = AsyncActivation::GetInstance();
  std::vector<Answer> answers;
};

// ---------------------------------------------------------------------------------------------
// Binding

TEST_F(ProviderTest, BindingNamesTheServiceSlotsDefinitionsAndErrors) {
  ASSERT_TRUE(iface && iface->identifier());
  EXPECT_EQ(iface->identifier()->name(), "com.brantel.kov.vm.compute.cpus");
  ASSERT_EQ(iface->methods().size(), 2u);
  EXPECT_EQ(Get()->methodName(), "get");
  EXPECT_EQ(Update()->methodName(), "update");
  EXPECT_EQ(ErrorNames(Get()->errorDefinitions()), kGetErrors);
  EXPECT_EQ(ErrorNames(Update()->errorDefinitions()), kUpdateErrors);

  ASSERT_TRUE(Get()->inputDefinition() && Get()->outputDefinition());
  EXPECT_EQ(Get()->outputDefinition()->GetType(), DataType::STRUCTURE);
  EXPECT_EQ(static_cast<const StructDefinition&>(*Get()->outputDefinition()).name(), kInfoName);
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
  // One localizer per binding, shared by its method objects; a new one for every bind.
  ASSERT_TRUE(Signal(Get())->localizer());
  EXPECT_EQ(Signal(Get())->localizer(), Signal(Update())->localizer());
  ASSERT_TRUE(Signal(second->methods()[0])->localizer());
  EXPECT_NE(Signal(second->methods()[0])->localizer(), Signal(Get())->localizer());
  EXPECT_FALSE(Signal(Get())->localizer()->keepActivationLocalizer);

  // The implementation is shared: both bindings reach the same object.
  Invoke(Get(), GetInput("a"));
  second->methods()[0]->Invoke(GetInput("b"), AsyncActivation::GetInstance(), RecordInto(&answers));
  ASSERT_EQ(impl->gets.size(), 2u);
  EXPECT_EQ(impl->gets[0].vm, "a");
  EXPECT_EQ(impl->gets[1].vm, "b");
}

TEST_F(ProviderTest, BindWithLocalizerPassesItOnUnchangedAlsoWhenNull) {
  for (auto localizer : {std::make_shared<Localizer>(), std::shared_ptr<Localizer>()}) {
    auto bound = CpusSvc::AsyncServiceBinder::BindImplementation(impl, localizer);
    for (auto& m : bound->methods()) EXPECT_EQ(Signal(m)->localizer(), localizer);
  }
}

TEST_F(ProviderTest, DefinitionMakesNewObjectsSharingTheMethodsDefinitions) {
  auto interfaceId = Tarn::Core::InterfaceIdentifier::GetInstance("some.interface");
  auto first = Update()->definition(interfaceId);
  auto again = Update()->definition(interfaceId);
  ASSERT_TRUE(first && again && first->identifier());
  EXPECT_NE(first, again);
  EXPECT_NE(first->identifier(), again->identifier());
  EXPECT_EQ(first->identifier()->interfaceId(), interfaceId);
  EXPECT_EQ(first->identifier()->name(), "update");
  EXPECT_EQ(first->input(), Update()->inputDefinition());
  EXPECT_EQ(first->output(), Update()->outputDefinition());
  EXPECT_EQ(again->input(), first->input());
  EXPECT_EQ(again->output(), first->output());
}

TEST_F(ProviderTest, NonConstErrorDefinitionsReturnsACopy) {
  auto method = std::const_pointer_cast<AsyncApiMethod>(Update());
  DataDefinitionList copy = method->errorDefinitions();
  EXPECT_EQ(ErrorNames(copy), kUpdateErrors);
  copy.clear();
  copy.push_back(nullptr);
  EXPECT_EQ(ErrorNames(static_cast<const AsyncApiMethod&>(*method).errorDefinitions()),
            kUpdateErrors);
  EXPECT_EQ(method->errorDefinitions().size(), 9u);
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
    return StructDefinition::GetInstance(kInfoName, {});
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
  auto method = AsyncApiMethodSignal::GetInstance(
      "get", Get()->inputDefinition(), Get()->outputDefinition(), CpusSvc::GetMethod::errorDefs(),
      std::make_shared<Localizer>());
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

TEST_F(ProviderTest, GoodInputReachesTheImplementationAfterTheResourceIsRecorded) {
  Invoke(Get(), GetInput("vm-7"));
  ASSERT_EQ(impl->gets.size(), 1u);
  EXPECT_EQ(impl->gets[0].vm, "vm-7");
  EXPECT_EQ(impl->gets[0].activation, activation);
  EXPECT_EQ(impl->gets[0].resourcesAtCall, Names{std::string(kVmPrefix) + "vm-7"});
  EXPECT_EQ(activation->resourceIds().size(), 1u);

  activation = AsyncActivation::GetInstance();
  Invoke(Update(), UpdateInput("vm-2", Spec({{"count", Int(8)}})));
  ASSERT_EQ(impl->updates.size(), 1u);
  const auto& call = impl->updates[0];
  EXPECT_EQ(call.vm, "vm-2");
  ASSERT_TRUE(call.spec);
  EXPECT_TRUE(call.spec->count == std::int64_t{8});
  EXPECT_FALSE(call.spec->coresPerSocket);
  EXPECT_FALSE(call.spec->hotAddEnabled);
  EXPECT_FALSE(call.spec->hotRemoveEnabled);
  EXPECT_EQ(call.resourcesAtCall, Names{std::string(kVmPrefix) + "vm-2"});
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_TRUE(answers[0].result->success());
  ASSERT_TRUE(answers[1].result->success());
  EXPECT_EQ(answers[1].result->output()->GetType(), DataType::VOID);
}

TEST_F(ProviderTest, AcceptedUpdateSpecShapes) {
  struct Case {
    const char* name;
    DataValuePtr spec;
    boost::optional<std::int64_t> count;
    boost::optional<bool> hotAdd;
  };
  const Case cases[] = {
      {"empty string is a spec with nothing set", Str(""), boost::none, boost::none},
      {"empty structure", Spec(), boost::none, boost::none},
      {"count as a numeric string", Spec({{"count", Str("12")}}), 12, boost::none},
      {"count inside a set optional", Spec({{"count", Opt(Int(5))}}), 5, boost::none},
      {"unset optionals leave the members unset",
       Spec({{"count", Unset()}, {"hot_add_enabled", Bool(false)}}), boost::none, false},
      {"undeclared unset optional", Spec({{"future_field", Unset()}}), boost::none, boost::none},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    impl->updates.clear();
    answers.clear();
    Invoke(Update(), UpdateInput("vm-1", c.spec));
    ASSERT_EQ(impl->updates.size(), 1u);
    ASSERT_TRUE(impl->updates[0].spec);
    EXPECT_EQ(impl->updates[0].spec->count, c.count);
    EXPECT_EQ(impl->updates[0].spec->hotAddEnabled, c.hotAdd);
    EXPECT_FALSE(impl->updates[0].spec->coresPerSocket);
    EXPECT_FALSE(impl->updates[0].spec->hotRemoveEnabled);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_TRUE(answers[0].result->success());
  }
  // An undeclared input field holding an unset optional passes too.
  answers.clear();
  Invoke(Get(), Input({{"vm", Str("vm-1")}, {"later", Unset()}}));
  EXPECT_EQ(impl->gets.size(), 1u);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_TRUE(answers[0].result->success());
}

// Every kind of bad input is answered with the invalid-argument error; the implementation is not
// called, no resource is recorded, and exactly one answer comes back.
TEST_F(ProviderTest, BadInputIsAnsweredWithInvalidArgument) {
  const std::string ns = "::Com::Brantel::Kov::Vm::Compute::CpusSvc::";
  const std::string invalid = "tarn.invoke.invalid.input", extra = "tarn.data.compound.field.extra";
  struct Message {
    std::string id;
    Names args;
  };
  // Leading messages where they are fixed; empty when only the error type is.
  const std::vector<Message> getExtra{{invalid, {ns + "Get"}},
                                      {extra, {ns + "GetMethod::Input", "extra"}}};
  const std::vector<Message> updateExtra{{invalid, {ns + "Update"}},
                                         {extra, {ns + "UpdateMethod::Input", "force"}}};
  const std::vector<Message> specExtra{{invalid, {ns + "Update"}},
                                       {extra, {ns + "UpdateSpec", "sockets"}}};
  struct Case {
    const char* name;
    bool update;
    DataValuePtr input;
    std::vector<Message> first;
  };
  const Case cases[] = {
      {"no input value", false, nullptr, {}},
      {"an integer instead of a structure", false, Int(3), {}},
      {"a non-empty string instead of a structure", false, Str("vm-1"), {}},
      {"a list instead of a structure", false, List({}), {}},
      {"missing vm", false, Input({}), {}},
      {"vm an integer", false, Input({{"vm", Int(1)}}), {}},
      {"vm a boolean", false, Input({{"vm", Bool(true)}}), {}},
      {"vm an unset optional", false, Input({{"vm", Unset()}}), {}},
      {"vm a structure", false, Input({{"vm", Spec()}}), {}},
      {"undeclared field with a value", false, Input({{"vm", Str("v")}, {"extra", Int(1)}}),
       getExtra},
      {"undeclared field holding a set optional", false,
       Input({{"vm", Str("v")}, {"extra", Opt(Str("x"))}}), getExtra},
      {"update without update_spec", true, Input({{"vm", Str("vm-1")}}), {}},
      {"update without vm", true, Input({{"update_spec", Spec()}}), {}},
      {"update_spec an empty value slot", true, UpdateInput("vm-1", nullptr), {}},
      {"update_spec a non-empty string", true, UpdateInput("vm-1", Str("spec")), {}},
      {"update_spec an integer", true, UpdateInput("vm-1", Int(2)), {}},
      {"count not a number", true, UpdateInput("vm-1", Spec({{"count", Str("many")}})), {}},
      {"count a boolean", true, UpdateInput("vm-1", Spec({{"count", Bool(true)}})), {}},
      {"hot_add_enabled an integer",
       true,
       UpdateInput("v", Spec({{"hot_add_enabled", Int(1)}})),
       {}},
      {"undeclared field in the update spec", true,
       UpdateInput("vm-1", Spec({{"count", Int(2)}, {"sockets", Int(2)}})), specExtra},
      {"undeclared field in the update input", true,
       Input({{"vm", Str("v")}, {"update_spec", Spec()}, {"force", Bool(true)}}), updateExtra},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    answers.clear();
    activation = AsyncActivation::GetInstance();
    Invoke(c.update ? Update() : Get(), c.input);
    ErrorValuePtr error = OnlyError();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->name(), kInvalidArgument);
    auto messages = error->Messages();
    EXPECT_FALSE(messages.empty());
    ASSERT_GE(messages.size(), c.first.size());
    for (std::size_t i = 0; i < c.first.size(); ++i) {
      EXPECT_EQ(messages[i].id, c.first[i].id);
      for (std::size_t k = 0; k < c.first[i].args.size(); ++k) {
        ASSERT_GT(messages[i].args.size(), k);
        EXPECT_EQ(messages[i].args[k], c.first[i].args[k]);
      }
    }
    EXPECT_TRUE(activation->resourceIds().empty());
  }
  EXPECT_TRUE(impl->gets.empty());
  EXPECT_TRUE(impl->updates.empty());
}

// The filter's own conversion, for values that an input definition lets through: method objects
// whose input definition accepts any structure.
TEST_F(ProviderTest, FilterConversionFailureIsInvalidArgument) {
  auto permissive =
      StructDefinition::GetInstance(Tarn::Data::TypeInfo<Tarn::OperationInput>::name(), {});
  auto get = Custom(false, permissive, Get()->outputDefinition());
  get->Invoke(Input({}), activation, RecordInto(&answers));
  ErrorValuePtr error = OnlyError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInvalidArgument);
  EXPECT_FALSE(error->Messages().empty());
  EXPECT_TRUE(NamesInArguments(error, "vm"));
  EXPECT_NE(MessageIds(error).front(), "tarn.invoke.invalid.input");

  answers.clear();
  get->Invoke(Input({{"vm", Int(5)}}), activation, RecordInto(&answers));
  error = OnlyError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInvalidArgument);
  EXPECT_FALSE(error->Messages().empty());

  answers.clear();
  auto update = Custom(true, StructDefinition::GetInstance("anything", {}),
                       CpusSvc::UpdateMethod::outputDef());
  update->Invoke(UpdateInput("vm-1", Str("not a spec")), activation, RecordInto(&answers));
  error = OnlyError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInvalidArgument);
  EXPECT_EQ(MessageIds(error), Names{"tarn.data.bad.cast1"});

  EXPECT_TRUE(impl->gets.empty());
  EXPECT_TRUE(impl->updates.empty());
  EXPECT_TRUE(activation->resourceIds().empty());
}

// ---------------------------------------------------------------------------------------------
// Invocation: localizer of the activation

TEST_F(ProviderTest, LocalizerOfTheActivationAfterTheCall) {
  auto bound = std::make_shared<Localizer>();
  auto keeping = std::make_shared<Localizer>();
  keeping->keepActivationLocalizer = true;
  auto own = std::make_shared<Localizer>();
  using LocalizerPtr = std::shared_ptr<Localizer>;
  struct Case {
    const char* name;
    LocalizerPtr bind;  // what the service was bound with
    std::size_t slot;
    LocalizerPtr before;  // what the activation had
    LocalizerPtr after;
  };
  const Case cases[] = {
      {"bound replaces the activation's", bound, 0, own, bound},
      {"bound is installed on a fresh activation", bound, 1, nullptr, bound},
      {"keeping leaves the activation's", keeping, 0, own, own},
      {"keeping is installed on a fresh activation", keeping, 0, nullptr, keeping},
      {"none leaves the activation's", nullptr, 0, own, own},
      {"none leaves a fresh activation without", nullptr, 0, nullptr, nullptr},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto service = CpusSvc::AsyncServiceBinder::BindImplementation(impl, c.bind);
    auto fresh = AsyncActivation::GetInstance();
    fresh->localizer = c.before;
    service->methods()[c.slot]->Invoke(
        c.slot ? DataValuePtr(UpdateInput("vm-1", Spec())) : DataValuePtr(GetInput("vm-1")), fresh,
        RecordInto(&answers));
    EXPECT_EQ(fresh->localizer, c.after);
  }
  EXPECT_EQ(answers.size(), 6u);

  // Input rejected by its definition: the localizer is left alone.
  Invoke(Get(), Input({}));
  EXPECT_EQ(activation->localizer, nullptr);
  // The default bind installs its own.
  Invoke(Get(), GetInput("vm-1"));
  EXPECT_EQ(activation->localizer, Signal(Get())->localizer());
}

// ---------------------------------------------------------------------------------------------
// Invocation: what comes out

TEST_F(ProviderTest, RecordAnswerBecomesTheInfoStructureWithItsUnknownFields) {
  impl->onGet = [](const GetResult& result) {
    auto info = std::make_shared<CpusSvc::Info>();
    info->count = 4;
    info->coresPerSocket = 2;
    info->hotAddEnabled = false;
    info->hotRemoveEnabled = true;
    info->unknownFields = Struct("unknownFields", {{"threads_per_core", Int(2)}});
    result(info);
  };
  Invoke(Get(), GetInput("vm-1"));
  const Answer& a = Only();
  ASSERT_TRUE(a.result && a.result->success());
  EXPECT_TRUE(a.result->flag());
  EXPECT_EQ(a.progress, (Progress{0, 1, 1}));
  EXPECT_FALSE(a.withContinuation);
  auto value = Tarn::Data::NarrowDataTypeInt<StructValue>(a.result->output());
  ASSERT_TRUE(value);
  auto expected = InfoValue(4, 2, false, true);
  expected->SetField("threads_per_core", Int(2));
  EXPECT_TRUE(value->Equals(*expected)) << value->ToString();
}

// What the implementation reports, and what reaches the caller.
TEST_F(ProviderTest, ErrorsPassWhenListedOrTheRuntimesOwnAndAreReplacedOtherwise) {
  auto deliver = [&](bool update, ErrorValuePtr sent) {
    answers.clear();
    impl->onGet = [sent](const GetResult& result) { result.error(sent); };
    impl->onUpdate = [sent](const UpdateResult& result) { result.error(sent); };
    Invoke(update ? Update() : Get(), update ? UpdateInput("vm-1", Spec()) : GetInput("vm-1"));
    return OnlyError();
  };
  auto expectPassed = [&](bool update, const std::string& name) {
    SCOPED_TRACE(name);
    auto sent = ErrorValue::Create(name, {Tarn::Message<Tarn::CoreTag>("tarn.data.invalid.type")});
    ErrorValuePtr error = deliver(update, sent);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->Equals(*sent)) << error->ToString();
  };
  for (const auto& name : kGetErrors) expectPassed(false, name);
  for (const auto& name : kUpdateErrors) expectPassed(true, name);
  // "get" does not list invalid_argument; the runtime's own errors reach the caller anyway.
  for (const char* name : {kInvalidArgument, kInternalServerError}) expectPassed(false, name);

  for (const std::string name :
       {"com.brantel.tarn.std.errors.already_exists",
        "com.brantel.tarn.std.errors.resource_busy",  // "update" only
        "com.brantel.tarn.std.errors.unsupported", "com.example.custom_error"}) {
    SCOPED_TRACE(name);
    ErrorValuePtr error = deliver(false, ErrorValue::Create(name, {}));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->name(), kInternalServerError);
    EXPECT_TRUE(NamesInArguments(error, name)) << error->ToString();
  }
}

TEST_F(ProviderTest, OddAnswersFromTheImplementation) {
  using Native = Tarn::Data::NativeError;
  const auto notFound = Errors::NotFound::Create();
  struct Case {
    const char* name;
    std::function<void(const GetResult&)> answer;
    std::string error;
    bool messages;
    ErrorValuePtr same;  // what the caller receives, when it is what was sent
  };
  auto native = [](const char* name) {
    return [name](const GetResult& r) {
      r.resultCb()(boost::none, nullptr, Native{name, {}, {}}, Progress{0, 1, 1});
    };
  };
  // Named like a listed error but without its "messages" field.
  const ErrorValuePtr wrongShape = std::make_shared<ErrorValue>(Errors::NotFound::typeName);
  const Case cases[] = {
      {"null record", [](const GetResult& r) { r(nullptr); }, kInternalServerError, false, nullptr},
      {"listed error of the wrong shape", [&](const GetResult& r) { r.error(wrongShape); },
       kInternalServerError, true, nullptr},
      {"result and error together answer with the error",
       [&](const GetResult& r) {
         r.resultCb()(InfoPtr(new CpusSvc::Info), notFound, boost::none, Progress{0, 1, 1});
       },
       Errors::NotFound::typeName, false, notFound},
      {"listed native error", native(Errors::Unauthorized::typeName),
       Errors::Unauthorized::typeName, false, nullptr},
      {"native error outside the list", native(Errors::AlreadyExists::typeName),
       kInternalServerError, true, nullptr},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    answers.clear();
    impl->onGet = c.answer;
    Invoke(Get(), GetInput("vm-1"));
    ErrorValuePtr error = OnlyError();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->name(), c.error);
    if (!c.messages) {
      EXPECT_TRUE(error->Messages().empty()) << error->ToString();
    }
    if (c.same) {
      EXPECT_TRUE(error->Equals(*c.same));
    }
  }
}

TEST_F(ProviderTest, OutputThatDoesNotFitItsDefinitionIsInternalServerError) {
  Custom(false, Get()->inputDefinition(), Tarn::Data::DataDefinition::Create<std::int64_t>())
      ->Invoke(GetInput("vm-1"), activation, RecordInto(&answers));
  ErrorValuePtr error = OnlyError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInternalServerError);
}

TEST_F(ProviderTest, AnswerWithNothingAndFinalProgressIsTheTerminationMarker) {
  GetResult kept;
  impl->onGet = [&kept](const GetResult& result) { kept = result; };
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
  update->Invoke(UpdateInput("vm-1", Spec()), activation, RecordInto(&answers));
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_TRUE(answers[0].result->success());
  update.reset();
  EXPECT_TRUE(watch.expired());
}

TEST_F(ProviderTest, LateAnswerFromAnotherThreadReachesTheCaller) {
  GetResult kept;
  impl->onGet = [&kept](const GetResult& result) { kept = result; };
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
  impl->onGet = [](const GetResult&) {};
  std::weak_ptr<const AsyncApiMethod> method = Get();
  Invoke(Get(), GetInput("vm-1"));
  EXPECT_EQ(impl->gets.size(), 1u);
  iface.reset();
  EXPECT_TRUE(method.expired());  // nothing outstanding keeps it
  EXPECT_TRUE(answers.empty());
}

TEST_F(ProviderTest, IntermediateReportsPassAndLeaveTheCallbacksInPlace) {
  GetResult kept;
  impl->onGet = [&kept](const GetResult& result) { kept = result; };
  Invoke(Get(), GetInput("vm-1"));
  kept.resultCb()(boost::none, nullptr, boost::none, Progress{0, 1, 2});
  kept.resultCb()(boost::none, nullptr, boost::none, Progress{0, 1, 2});
  ASSERT_EQ(answers.size(), 2u);
  for (auto& a : answers) {
    EXPECT_EQ(a.result, nullptr);
    EXPECT_EQ(a.progress, (Progress{0, 1, 2}));
  }
  kept(std::make_shared<CpusSvc::Info>());
  ASSERT_EQ(answers.size(), 3u);
  ASSERT_TRUE(answers[2].result);
  EXPECT_TRUE(answers[2].result->success());
  EXPECT_EQ(answers[2].progress, (Progress{0, 1, 1}));

  // A report followed by an error ends with the error.
  answers.clear();
  UpdateResult keptUpdate;
  impl->onUpdate = [&keptUpdate](const UpdateResult& result) { keptUpdate = result; };
  Invoke(Update(), UpdateInput("vm-1", Spec()));
  keptUpdate.resultCb()(boost::none, nullptr, boost::none, Progress{0, 3, 1});
  keptUpdate.error(Errors::ResourceBusy::Create());
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0].result, nullptr);
  ASSERT_TRUE(answers[1].result && answers[1].result->error());
  EXPECT_EQ(answers[1].result->error()->name(), Errors::ResourceBusy::typeName);
}

TEST_F(ProviderTest, CopiesOfTheResultObjectCarryTheirOwnChain) {
  // Breaking the deliver-once contract through two copies reaches the runtime twice: the
  // contract is the implementation's to keep.
  std::vector<GetResult> kept;
  impl->onGet = [&kept](const GetResult& result) { kept.assign(2, result); };
  Invoke(Get(), GetInput("vm-1"));
  kept[0](std::make_shared<CpusSvc::Info>());
  kept[1](std::make_shared<CpusSvc::Info>());
  EXPECT_EQ(answers.size(), 2u);
}

TEST_F(ProviderTest, ExceptionFromTheImplementationPassesThroughAndSendsNothing) {
  impl->onGet = [](const GetResult&) { throw std::runtime_error("host"); };
  EXPECT_THROW(Invoke(Get(), GetInput("vm-1")), std::runtime_error);
  EXPECT_TRUE(answers.empty());
}

using ProviderDeathTest = ProviderTest;

TEST_F(ProviderDeathTest, SecondDeliveryThroughOneResultObjectEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  impl->onGet = [](const GetResult& result) {
    result(std::make_shared<CpusSvc::Info>());
    result.error(Errors::NotFound::Create());
  };
  EXPECT_DEATH(Invoke(Get(), GetInput("vm-1")), "");
}

TEST_F(ProviderDeathTest, SecondLateDeliveryEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  UpdateResult kept;
  impl->onUpdate = [&kept](const UpdateResult& result) { kept = result; };
  Invoke(Update(), UpdateInput("vm-1", Spec()));
  kept(Tarn::Void());
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_DEATH(kept(Tarn::Void()), "");
}

// ---------------------------------------------------------------------------------------------
// The wrapper and the result filter on their own

TEST_F(ProviderTest, ValidateResultWrapperAnswersAtMostOnce) {
  AsyncApiMethodSignal::ValidateResultWrapper wrapper(Get(), RecordInto(&answers));
  const DataValuePtr info = InfoValue(1, 1, true, true);
  wrapper(info, nullptr, Progress{0, 1, 1}, {});
  wrapper(info, nullptr, Progress{0, 1, 1}, {});
  wrapper(boost::none, Errors::NotFound::Create(), Progress{0, 1, 1}, {});
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_TRUE(answers[0].result->success());
}

TEST_F(ProviderTest, ValidateResultWrapperChecksAPresentNullOutput) {
  AsyncApiMethodSignal::ValidateResultWrapper wrapper(Get(), RecordInto(&answers));
  wrapper(DataValuePtr(), nullptr, Progress{0, 1, 1}, {});
  ASSERT_EQ(answers.size(), 1u);
  ASSERT_TRUE(answers[0].result && answers[0].result->error());
  EXPECT_EQ(answers[0].result->error()->name(), kInternalServerError);
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

using Filter = Tarn::Provider::AsyncApiMethodResultFilter<std::int64_t>;

TEST_F(ProviderTest, ResultFilterStreamContinuationMakesStreamResults) {
  std::vector<boost::optional<DataValuePtr>> outputs;
  AsyncApiMethod::ResultCb::Continuation forWrapper;
  AsyncApiMethod::ResultCb callback([&](const boost::optional<DataValuePtr>& out,
                                        const ErrorValuePtr&, const Progress&,
                                        AsyncApiMethod::ResultCb::Continuation&& c) {
    outputs.push_back(out);
    forWrapper = std::move(c);
  });
  Filter filter(callback, activation);
  std::vector<Tarn::OptionalPtr<Tarn::AsyncStreamResult<std::int64_t>>> streams;
  filter(std::int64_t{5}, nullptr, boost::none, Progress{0, 1, 1},
         [&streams](Tarn::OptionalPtr<Tarn::AsyncStreamResult<std::int64_t>> s) {
           streams.push_back(s);
         });
  ASSERT_EQ(outputs.size(), 1u);
  ASSERT_TRUE(outputs[0] && *outputs[0]);
  EXPECT_TRUE((*outputs[0])->Equals(*Int(5)));
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
  EXPECT_TRUE((*outputs[1])->Equals(*Int(6)));

  // A filter answers once: what follows its final answer reaches nobody.
  filter(std::int64_t{7}, nullptr, boost::none, Progress{0, 1, 1});
  EXPECT_EQ(outputs.size(), 2u);
}

TEST_F(ProviderTest, ResultFilterAnswersOnceWhateverTheAnswer) {
  int calls = 0;
  AsyncApiMethod::ResultCb callback(
      [&calls](const boost::optional<DataValuePtr>&, const ErrorValuePtr&, const Progress&,
               AsyncApiMethod::ResultCb::Continuation&&) { ++calls; });
  Filter first(callback, activation);
  first(boost::none, Errors::NotFound::Create(), boost::none, Progress{0, 1, 1});
  first(std::int64_t{1}, nullptr, boost::none, Progress{0, 1, 1});
  first(boost::none, Errors::NotFound::Create(), boost::none, Progress{0, 1, 1});
  EXPECT_EQ(calls, 1);
  Filter second(callback, activation);
  second(boost::none, nullptr, boost::none, Progress{0, 1, 2});  // intermediate: stays
  second(std::int64_t{1}, nullptr, boost::none, Progress{0, 1, 1});
  second(std::int64_t{2}, nullptr, boost::none, Progress{0, 1, 1});
  EXPECT_EQ(calls, 3);
}

}  // namespace
}  // namespace KovTest
