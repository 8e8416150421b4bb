// The provider face: binding an implementation into method objects, and one invocation from the
// runtime's input value to the answer handed back to its callback. Driven directly through the
// method objects' Invoke with hand-built input values.
#include "binding/provider.h"

#include <gtest/gtest.h>

#include <algorithm>
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
const Progress kFinal{0, 1, 1};

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

std::shared_ptr<const AsyncApiMethodSignal> Signal(const AsyncApiMethodPtr& m) {
  auto s = std::dynamic_pointer_cast<const AsyncApiMethodSignal>(m);
  EXPECT_TRUE(s);
  return s;
}

class ProviderTest : public ::testing::Test {
 protected:
  AsyncApiMethodPtr Get() const { return iface->methods().at(0); }
  AsyncApiMethodPtr Update() const { return iface->methods().at(1); }

  void Invoke(const AsyncApiMethodPtr& method, const DataValuePtr& input) {
    method->Invoke(input, activation, RecordInto(&answers));
  }
  // The error of the one final answer received so far.
  ErrorValuePtr OnlyError() {
    EXPECT_EQ(answers.size(), 1u);
    if (answers.size() != 1 || !answers[0].result) return nullptr;
    EXPECT_FALSE(answers[0].result->output());
    EXPECT_EQ(answers[0].progress, kFinal);
    return answers[0].result->error();
  }
  // Answers `input` with the error the implementation sends, as the caller receives it.
  ErrorValuePtr Sent(bool update, ErrorValuePtr sent) {
    answers.clear();
    impl->onGet = [sent](const std::string&, const GetResult& result) { result.error(sent); };
    impl->onUpdate = [sent](const UpdateResult& result) { result.error(sent); };
    Invoke(update ? Update() : Get(), update ? UpdateInput("vm-1", Spec()) : GetInput("vm-1"));
    return OnlyError();
  }
  // Keeps the result object of the next "get" for the test to answer later.
  void KeepGet(GetResult* kept) {
    impl->onGet = [kept](const std::string&, const GetResult& result) { *kept = result; };
  }

  std::shared_ptr<FakeCpus> impl = std::make_shared<FakeCpus>();
  std::shared_ptr<AsyncApiInterface> iface = CpusSvc::AsyncServiceBinder::BindImplementation(impl);
  std::shared_ptr<AsyncActivation> activation = AsyncActivation::GetInstance();
  std::vector<Answer> answers;
};

// ---- binding ----

TEST_F(ProviderTest, BindingMakesMethodObjectsInSlotOrderWithTheirOwnDefinitions) {
  ASSERT_TRUE(iface && iface->identifier());
  EXPECT_EQ(iface->identifier()->name(), "com.brantel.kov.vm.compute.cpus");
  ASSERT_EQ(iface->methods().size(), 2u);
  EXPECT_EQ(Get()->methodName(), "get");
  EXPECT_EQ(Update()->methodName(), "update");
  EXPECT_EQ(ErrorNames(Update()->errorDefinitions()),
            ErrorNames(CpusSvc::UpdateMethod::errorDefs()));
  EXPECT_EQ(Update()->outputDefinition()->GetType(), DataType::VOID);
  // Built once per binding: every read gives the same objects; the method class builds afresh.
  EXPECT_EQ(Get()->inputDefinition(), Get()->inputDefinition());
  EXPECT_EQ(&Get()->errorDefinitions(), &Get()->errorDefinitions());
  EXPECT_NE(CpusSvc::GetMethod::inputDef(), CpusSvc::GetMethod::inputDef());
  EXPECT_NE(CpusSvc::UpdateMethod::errorDefs()[0], CpusSvc::UpdateMethod::errorDefs()[0]);
  // The non-const list is a copy.
  auto method = std::const_pointer_cast<AsyncApiMethod>(Update());
  DataDefinitionList copy = method->errorDefinitions();
  copy.clear();
  EXPECT_EQ(method->errorDefinitions().size(), CpusSvc::UpdateMethod::errorDefs().size());

  // Each bind has its own identifier, method objects, definitions and localizer; the
  // implementation is shared.
  auto second = CpusSvc::AsyncServiceBinder::BindImplementation(impl);
  EXPECT_NE(second->identifier(), iface->identifier());
  EXPECT_NE(second->methods()[1], Update());
  EXPECT_NE(second->methods()[0]->inputDefinition(), Get()->inputDefinition());
  ASSERT_TRUE(Signal(Get())->localizer());
  EXPECT_EQ(Signal(Get())->localizer(), Signal(Update())->localizer());
  EXPECT_NE(Signal(second->methods()[0])->localizer(), Signal(Get())->localizer());
  EXPECT_FALSE(Signal(Get())->localizer()->keepActivationLocalizer);
  Invoke(Get(), GetInput("a"));
  second->methods()[0]->Invoke(GetInput("b"), AsyncActivation::GetInstance(), RecordInto(&answers));
  ASSERT_EQ(impl->gets.size(), 2u);
  EXPECT_EQ(impl->gets[1].vm, "b");
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
  EXPECT_EQ(again->output(), Update()->outputDefinition());
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

TEST(ProviderBinderHelper, GetApiMethodInstanceBuildsDefinitionsOnceAndConnectsTheFilter) {
  int calls = 0;
  CountingGetMethod::calls = &calls;
  auto impl = std::make_shared<FakeCpus>();
  auto localizer = std::make_shared<Localizer>();
  auto method = CpusSvc::AsyncServiceBinderHelper::GetApiMethodInstance<CountingGetMethod>(
      CpusSvc::AsyncServiceBinderHelper::GetMethodBuilder()(&CpusSvc::AsyncServiceInterface::Get,
                                                            impl, localizer),
      localizer);
  ASSERT_TRUE(method);
  EXPECT_EQ(method->localizer(), localizer);
  std::vector<Answer> answers;
  method->Invoke(GetInput("vm-1"), AsyncActivation::GetInstance(), RecordInto(&answers));
  method->Invoke(GetInput("vm-2"), AsyncActivation::GetInstance(), RecordInto(&answers));
  EXPECT_EQ(calls, 2);
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_TRUE(answers[1].result->success());
}

// ---- what goes in ----

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
    EXPECT_EQ(MessageIds(error), Names{"tarn.provider.method.signal.not.connected"});
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
  EXPECT_EQ(impl->BadResources(), 0);

  const struct {
    const char* what;
    DataValuePtr spec;
    boost::optional<std::int64_t> count;
  } cases[] = {
      {"count set", Spec({{"count", Int(8)}}), 8},
      {"empty string is a spec with nothing set", Str(""), boost::none},
      {"undeclared unset optional", Spec({{"future_field", Unset()}}), boost::none},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    activation = AsyncActivation::GetInstance();
    Invoke(Update(), UpdateInput("vm-2", c.spec));
    ASSERT_TRUE(impl->updates.back().spec);
    EXPECT_EQ(impl->updates.back().spec->count, c.count);
    EXPECT_FALSE(impl->updates.back().spec->hotAddEnabled);
  }
  EXPECT_EQ(impl->BadResources(), 0);
  // An undeclared input field holding an unset optional passes too.
  activation = AsyncActivation::GetInstance();
  Invoke(Get(), Input({{"vm", Str("vm-1")}, {"later", Unset()}}));
  ASSERT_EQ(answers.size(), 5u);
  for (auto& a : answers) EXPECT_TRUE(a.result->success());
  EXPECT_EQ(answers[1].result->output()->GetType(), DataType::VOID);
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
  const struct {
    const char* what;
    bool update;
    DataValuePtr input;
    std::vector<Message> first;  // leading messages where they are fixed
  } cases[] = {
      {"no input value", false, nullptr, {}},
      {"an integer instead of a structure", false, Int(3), {}},
      {"a non-empty string instead of a structure", false, Str("vm-1"), {}},
      {"missing vm", false, Input({}), {}},
      {"vm an unset optional", false, Input({{"vm", Unset()}}), {}},
      {"undeclared field holding a value",
       false,
       Input({{"vm", Str("v")}, {"extra", Int(1)}}),
       {{invalid, {ns + "Get"}}, {extra, {ns + "GetMethod::Input", "extra"}}}},
      {"update without update_spec", true, Input({{"vm", Str("vm-1")}}), {}},
      {"update_spec an empty value slot", true, UpdateInput("vm-1", nullptr), {}},
      {"count not a number", true, UpdateInput("vm-1", Spec({{"count", Str("many")}})), {}},
      {"undeclared field in the update spec",
       true,
       UpdateInput("vm-1", Spec({{"count", Int(2)}, {"sockets", Int(2)}})),
       {{invalid, {ns + "Update"}}, {extra, {ns + "UpdateSpec", "sockets"}}}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    answers.clear();
    activation = AsyncActivation::GetInstance();
    Invoke(c.update ? Update() : Get(), c.input);
    ErrorValuePtr error = OnlyError();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->name(), kInvalidArgument);
    auto messages = error->Messages();
    ASSERT_GE(messages.size(), std::max<std::size_t>(c.first.size(), 1));
    for (std::size_t i = 0; i < c.first.size(); ++i) {
      EXPECT_EQ(messages[i].id, c.first[i].id);
      messages[i].args.resize(c.first[i].args.size());
      EXPECT_EQ(messages[i].args, c.first[i].args);
    }
    EXPECT_TRUE(activation->resourceIds().empty());
  }
  EXPECT_TRUE(impl->gets.empty());
  EXPECT_TRUE(impl->updates.empty());
}

// The filter's own conversion, for values that an input definition lets through.
TEST_F(ProviderTest, FilterConversionFailureIsInvalidArgument) {
  using Helper = CpusSvc::AsyncServiceBinderHelper;
  auto anything = StructDefinition::GetInstance("anything", {});
  auto get = AsyncApiMethodSignal::GetInstance(
      "get", anything, Get()->outputDefinition(), CpusSvc::GetMethod::errorDefs(), nullptr,
      AsyncApiMethodSignal::Handler(
          Helper::GetMethodBuilder()(&CpusSvc::AsyncServiceInterface::Get, impl, nullptr)));
  auto update = AsyncApiMethodSignal::GetInstance(
      "update", anything, CpusSvc::UpdateMethod::outputDef(), CpusSvc::UpdateMethod::errorDefs(),
      nullptr,
      AsyncApiMethodSignal::Handler(
          Helper::UpdateMethodBuilder()(&CpusSvc::AsyncServiceInterface::Update, impl, nullptr)));
  const std::pair<AsyncApiMethodPtr, DataValuePtr> cases[] = {
      {get, Input({})},
      {get, Input({{"vm", Int(5)}})},
      {update, UpdateInput("vm-1", Str("not a spec"))},
  };
  for (auto& [method, input] : cases) {
    answers.clear();
    method->Invoke(input, activation, RecordInto(&answers));
    ErrorValuePtr error = OnlyError();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->name(), kInvalidArgument);
    ASSERT_FALSE(error->Messages().empty());
    EXPECT_NE(MessageIds(error).front(), "tarn.invoke.invalid.input");
  }
  EXPECT_EQ(MessageIds(answers[0].result->error()), Names{"tarn.data.bad.cast1"});
  EXPECT_TRUE(impl->gets.empty());
  EXPECT_TRUE(impl->updates.empty());
  EXPECT_TRUE(activation->resourceIds().empty());
}

TEST_F(ProviderTest, LocalizerOfTheActivationAfterTheCall) {
  auto bound = std::make_shared<Localizer>();
  auto keeping = std::make_shared<Localizer>();
  keeping->keepActivationLocalizer = true;
  auto own = std::make_shared<Localizer>();
  using LocalizerPtr = std::shared_ptr<Localizer>;
  const struct {
    const char* what;
    LocalizerPtr bind;  // what the service was bound with
    std::size_t slot;
    LocalizerPtr before;  // what the activation had
    LocalizerPtr after;
  } cases[] = {
      {"bound replaces the activation's", bound, 0, own, bound},
      {"bound is installed on a fresh activation", bound, 1, nullptr, bound},
      {"keeping leaves the activation's", keeping, 0, own, own},
      {"keeping is installed on a fresh activation", keeping, 0, nullptr, keeping},
      {"none leaves the activation's", nullptr, 0, own, own},
      {"none leaves a fresh activation without", nullptr, 0, nullptr, nullptr},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto service = CpusSvc::AsyncServiceBinder::BindImplementation(impl, c.bind);
    for (auto& m : service->methods()) EXPECT_EQ(Signal(m)->localizer(), c.bind);
    auto fresh = AsyncActivation::GetInstance();
    fresh->localizer = c.before;
    service->methods()[c.slot]->Invoke(
        c.slot ? DataValuePtr(UpdateInput("vm-1", Spec())) : DataValuePtr(GetInput("vm-1")), fresh,
        RecordInto(&answers));
    EXPECT_EQ(fresh->localizer, c.after);
  }
  // Input rejected by its definition: the localizer is left alone.
  Invoke(Get(), Input({}));
  EXPECT_EQ(activation->localizer, nullptr);
}

// ---- what comes out ----

TEST_F(ProviderTest, RecordAnswerBecomesTheInfoStructureWithItsUnknownFields) {
  impl->onGet = [](const std::string&, const GetResult& result) {
    auto info = std::make_shared<CpusSvc::Info>();
    info->count = 4;
    info->coresPerSocket = 2;
    info->hotRemoveEnabled = true;
    info->unknownFields = Struct("unknownFields", {{"threads_per_core", Int(2)}});
    result(info);
  };
  Invoke(Get(), GetInput("vm-1"));
  ASSERT_EQ(answers.size(), 1u);
  ASSERT_TRUE(answers[0].result && answers[0].result->success());
  EXPECT_TRUE(answers[0].result->flag());
  EXPECT_EQ(answers[0].progress, kFinal);
  EXPECT_FALSE(answers[0].withContinuation);
  auto expected = InfoValue(4, 2, false, true);
  expected->SetField("threads_per_core", Int(2));
  EXPECT_EQ(*answers[0].result->output(), *expected) << answers[0].result->output()->ToString();
}

// What the implementation reports, and what reaches the caller.
TEST_F(ProviderTest, ErrorsPassWhenListedOrTheRuntimesOwnAndAreReplacedOtherwise) {
  for (bool update : {false, true}) {
    Names passing = ErrorNames((update ? Update() : Get())->errorDefinitions());
    // The runtime's own errors reach the caller whatever the list.
    passing.insert(passing.end(), {kInvalidArgument, kInternalServerError});
    for (const auto& name : passing) {
      SCOPED_TRACE(name);
      auto sent =
          ErrorValue::Create(name, {Tarn::Message<Tarn::CoreTag>("tarn.data.invalid.type")});
      ErrorValuePtr error = Sent(update, sent);
      ASSERT_TRUE(error);
      EXPECT_EQ(*error, *sent);
    }
  }
  for (const std::string name : {"com.brantel.tarn.std.errors.resource_busy",  // "update" only
                                 "com.brantel.tarn.std.errors.unsupported", "com.example.custom"}) {
    SCOPED_TRACE(name);
    ErrorValuePtr error = Sent(false, ErrorValue::Create(name, {}));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->name(), kInternalServerError);
    EXPECT_EQ(error->Messages().at(0).args.at(1), name);
  }
}

TEST_F(ProviderTest, OddAnswersFromTheImplementation) {
  using Native = Tarn::Data::NativeError;
  const auto notFound = Errors::NotFound::Create();
  auto native = [](const char* name) {
    return [name](const std::string&, const GetResult& r) {
      r.resultCb()(boost::none, nullptr, Native{name, {}, {}}, kFinal);
    };
  };
  // Named like a listed error but without its "messages" field.
  const ErrorValuePtr wrongShape = std::make_shared<ErrorValue>(Errors::NotFound::typeName);
  const struct {
    const char* what;
    std::function<void(const std::string&, const GetResult&)> answer;
    std::string error;
    bool messages;
  } cases[] = {
      {"null record", [](const std::string&, const GetResult& r) { r(nullptr); },
       kInternalServerError, false},
      {"listed error of the wrong shape",
       [&](const std::string&, const GetResult& r) { r.error(wrongShape); }, kInternalServerError,
       true},
      {"result and error together answer with the error",
       [&](const std::string&, const GetResult& r) {
         r.resultCb()(InfoPtr(new CpusSvc::Info), notFound, boost::none, kFinal);
       },
       Errors::NotFound::typeName, false},
      {"listed native error", native(Errors::Unauthorized::typeName),
       Errors::Unauthorized::typeName, false},
      {"native error outside the list", native(Errors::AlreadyExists::typeName),
       kInternalServerError, true},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    answers.clear();
    impl->onGet = c.answer;
    Invoke(Get(), GetInput("vm-1"));
    ErrorValuePtr error = OnlyError();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->name(), c.error);
    EXPECT_EQ(error->Messages().empty(), !c.messages) << error->ToString();
  }

  // An output that does not fit the method's output definition.
  auto method = AsyncApiMethodSignal::GetInstance(
      "get", Get()->inputDefinition(), Tarn::Data::DataDefinition::Create<std::int64_t>(),
      CpusSvc::GetMethod::errorDefs(), nullptr,
      AsyncApiMethodSignal::Handler(CpusSvc::AsyncServiceBinderHelper::GetMethodBuilder()(
          &CpusSvc::AsyncServiceInterface::Get, impl, nullptr)));
  impl->onGet = FakeCpus().onGet;
  answers.clear();
  method->Invoke(GetInput("vm-1"), activation, RecordInto(&answers));
  ErrorValuePtr error = OnlyError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInternalServerError);
}

TEST_F(ProviderTest, AnswerWithNothingAndFinalProgressIsTheTerminationMarker) {
  GetResult kept;
  KeepGet(&kept);
  Invoke(Get(), GetInput("vm-1"));
  ASSERT_TRUE(answers.empty());
  kept.resultCb()(boost::none, nullptr, boost::none, kFinal);
  ASSERT_EQ(answers.size(), 1u);
  ASSERT_TRUE(answers[0].result);
  EXPECT_FALSE(answers[0].result->output());
  EXPECT_FALSE(answers[0].result->error());
  EXPECT_TRUE(answers[0].result->flag());
  EXPECT_FALSE(answers[0].result->success());
  // The invocation is over: a later answer through the same object reaches nobody.
  kept(std::make_shared<CpusSvc::Info>());
  EXPECT_EQ(answers.size(), 1u);
}

// ---- lifetimes and late answers ----

TEST_F(ProviderTest, ImplementationLivesAsLongAsAnyMethodObject) {
  std::weak_ptr<FakeCpus> watch = impl;
  AsyncApiMethodPtr update = Update();
  impl.reset();
  iface.reset();
  update->Invoke(UpdateInput("vm-1", Spec()), activation, RecordInto(&answers));
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_TRUE(answers[0].result->success());
  EXPECT_FALSE(watch.expired());
  update.reset();
  EXPECT_TRUE(watch.expired());
}

TEST_F(ProviderTest, LateAnswerFromAnotherThreadReachesTheCaller) {
  GetResult kept;
  KeepGet(&kept);
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
  ASSERT_EQ(answers.size(), 1u);
  ASSERT_TRUE(answers[0].result && answers[0].result->success());
  EXPECT_EQ(*answers[0].result->output(), *InfoValue(16, 0, false, false));
  EXPECT_TRUE(method.expired());
}

TEST_F(ProviderTest, DestroyedUnspentResultSendsNothing) {
  impl->onGet = [](const std::string&, const GetResult&) {};
  std::weak_ptr<const AsyncApiMethod> method = Get();
  Invoke(Get(), GetInput("vm-1"));
  EXPECT_EQ(impl->gets.size(), 1u);
  iface.reset();
  EXPECT_TRUE(method.expired());  // nothing outstanding keeps it
  EXPECT_TRUE(answers.empty());
}

TEST_F(ProviderTest, IntermediateReportsPassAndLeaveTheCallbacksInPlace) {
  GetResult kept;
  KeepGet(&kept);
  Invoke(Get(), GetInput("vm-1"));
  kept.resultCb()(boost::none, nullptr, boost::none, Progress{0, 1, 2});
  kept.resultCb()(boost::none, nullptr, boost::none, Progress{0, 1, 2});
  kept.error(Errors::ResourceBusy::Create());  // not listed for "get": replaced
  ASSERT_EQ(answers.size(), 3u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(answers[i].result, nullptr);
    EXPECT_EQ(answers[i].progress, (Progress{0, 1, 2}));
  }
  ASSERT_TRUE(answers[2].result && answers[2].result->error());
  EXPECT_EQ(answers[2].result->error()->name(), kInternalServerError);
  EXPECT_EQ(answers[2].progress, kFinal);
}

TEST_F(ProviderTest, ExceptionFromTheImplementationPassesThroughAndSendsNothing) {
  impl->onGet = [](const std::string&, const GetResult&) { throw std::runtime_error("host"); };
  EXPECT_THROW(Invoke(Get(), GetInput("vm-1")), std::runtime_error);
  EXPECT_TRUE(answers.empty());
}

using ProviderDeathTest = ProviderTest;

TEST_F(ProviderDeathTest, SecondLateDeliveryEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  UpdateResult kept;
  impl->onUpdate = [&kept](const UpdateResult& result) { kept = result; };
  Invoke(Update(), UpdateInput("vm-1", Spec()));
  kept(Tarn::Void());
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_DEATH(kept(Tarn::Void()), "");
}

// ---- the wrapper and the result filter on their own ----

TEST_F(ProviderTest, ValidateResultWrapperAnswersOnceAndChecksANullOutput) {
  AsyncApiMethodSignal::ValidateResultWrapper wrapper(Get(), RecordInto(&answers));
  const DataValuePtr info = InfoValue(1, 1, true, true);
  wrapper(info, nullptr, kFinal, {});
  wrapper(info, nullptr, kFinal, {});
  wrapper(boost::none, Errors::NotFound::Create(), kFinal, {});
  AsyncApiMethodSignal::ValidateResultWrapper nullOutput(Get(), RecordInto(&answers));
  nullOutput(DataValuePtr(), nullptr, kFinal, {});
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_TRUE(answers[0].result->success());
  ASSERT_TRUE(answers[1].result->error());
  EXPECT_EQ(answers[1].result->error()->name(), kInternalServerError);
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
  streaming(DataValuePtr(VoidValue::GetInstance()), nullptr, kFinal, std::move(next));
  ASSERT_TRUE(forRuntime);
  forRuntime(nullptr);
  forRuntime(std::make_shared<AsyncApiResultCb>(RecordInto(&answers)));
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0], nullptr);
  ASSERT_TRUE(asked[1]);
  // The new callback validates what comes through it like the first one.
  (*asked[1])(DataValuePtr(VoidValue::GetInstance()), nullptr, kFinal);
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
  filter(std::int64_t{5}, nullptr, boost::none, kFinal,
         [&streams](Tarn::OptionalPtr<Tarn::AsyncStreamResult<std::int64_t>> s) {
           streams.push_back(s);
         });
  ASSERT_EQ(outputs.size(), 1u);
  EXPECT_EQ(**outputs[0], *Int(5));
  ASSERT_TRUE(forWrapper);
  forWrapper(nullptr);
  forWrapper(std::make_shared<AsyncApiMethod::ResultCb>(callback));
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_FALSE(streams[0]);
  ASSERT_TRUE(streams[1] && streams[1]->fullCb);
  EXPECT_FALSE(streams[1]->shortCb);
  (*streams[1])(std::int64_t{6}, nullptr, boost::none, kFinal);
  ASSERT_EQ(outputs.size(), 2u);
  EXPECT_EQ(**outputs[1], *Int(6));
}

TEST_F(ProviderTest, ResultFilterAnswersOnceWhateverTheAnswer) {
  int calls = 0;
  AsyncApiMethod::ResultCb callback(
      [&calls](const boost::optional<DataValuePtr>&, const ErrorValuePtr&, const Progress&,
               AsyncApiMethod::ResultCb::Continuation&&) { ++calls; });
  Filter first(callback, activation);
  first(boost::none, Errors::NotFound::Create(), boost::none, kFinal);
  first(std::int64_t{1}, nullptr, boost::none, kFinal);
  EXPECT_EQ(calls, 1);
  Filter second(callback, activation);
  second(boost::none, nullptr, boost::none, Progress{0, 1, 2});  // intermediate: stays
  second(std::int64_t{1}, nullptr, boost::none, kFinal);
  second(std::int64_t{2}, nullptr, boost::none, kFinal);
  EXPECT_EQ(calls, 3);
}

}  // namespace
}  // namespace KovTest
