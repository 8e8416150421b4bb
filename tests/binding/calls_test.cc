// One call through the bindings: the one-shot result object, the provider face from the runtime's
// input value to its callback, and the client face from a stub call to the caller's result object.
#include <gtest/gtest.h>

#include <boost/optional/optional_io.hpp>
#include <stdexcept>
#include <thread>

#include "binding/async_result.h"
#include "binding/provider.h"
#include "binding/stub.h"
#include "runtime/l10n.h"
#include "runtime/stub.h"
#include "tests/binding/binding_test_util.h"

namespace KovTest {
namespace {

using Tarn::Core::MethodResult;
using Tarn::Data::ErrorValue;
using Tarn::Data::NativeError;
using Tarn::Data::StructDefinition;
using Tarn::L10n::Localizer;
using Tarn::Provider::AsyncApiMethod;
using Tarn::Provider::AsyncApiMethodPtr;
using Tarn::Provider::AsyncApiMethodSignal;
using Names = std::vector<std::string>;
using IntResult = Tarn::AsyncResult<int>;

constexpr char kInvalidArgument[] = "com.brantel.tarn.std.errors.invalid_argument";
constexpr char kInternalServerError[] = "com.brantel.tarn.std.errors.internal_server_error";

TEST(AsyncResult, TheShortCallbackWinsAndAFailedDeliveryLeavesItUnspent) {
  std::vector<std::string> seen;
  IntResult result([&](const boost::optional<int>& r, const ErrorValuePtr&,
                       const boost::optional<NativeError>& n, const Progress&) {
    seen.push_back("full " + std::to_string(r.value_or(-1)) + (n ? " " + n->errorType : ""));
    if (r == 1) throw std::runtime_error("receiver failed");
  });
  result.resultCb()(boost::none, nullptr, NativeError{"some.error", {}, {}}, Progress{0, 1, 2});
  EXPECT_THROW(result(1), std::runtime_error);
  result.resultCb().shortCb = [&](const boost::optional<int>& r, const ErrorValuePtr&,
                                  const Progress&) {
    seen.push_back("short " + std::to_string(*r));
  };
  result(2);
  EXPECT_EQ(seen, Names({"full -1 some.error", "full 1", "short 2"}));
  IntResult none;  // neither callback: throws, and stays unspent
  EXPECT_THROW(none(1), std::bad_function_call);
}

// A second delivery through one result object is a fault that ends the process.
TEST(AsyncResultDeathTest, SecondDeliveryEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  IntResult r([](const boost::optional<int>&, const ErrorValuePtr&, const Progress&) {});
  r(1);
  auto copy = [&r] { IntResult(r).error(nullptr); };  // a copy made after the delivery is spent
  EXPECT_DEATH(copy(), "");
}

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
std::shared_ptr<Localizer> LocalizerOf(const AsyncApiMethodPtr& m) {
  return std::dynamic_pointer_cast<const AsyncApiMethodSignal>(m)->localizer();
}

class ProviderTest : public ::testing::Test {
 protected:
  AsyncApiMethodPtr Get() const { return iface->methods().at(0); }
  AsyncApiMethodPtr Update() const { return iface->methods().at(1); }
  void Invoke(const AsyncApiMethodPtr& method, const DataValuePtr& input) {
    method->Invoke(input, activation, RecordInto(&answers));
  }
  // Invokes afresh and returns the error of the one final answer.
  ErrorValuePtr ErrorOf(const AsyncApiMethodPtr& method, const DataValuePtr& input) {
    answers.clear();
    Invoke(method, input);
    EXPECT_EQ(answers.size(), 1u);
    if (answers.size() != 1 || !answers[0].result || !answers[0].result->error()) return nullptr;
    EXPECT_TRUE(!answers[0].result->output() && answers[0].progress == kFinal &&
                !answers[0].withContinuation);
    return answers[0].result->error();
  }
  // The name of the error answering "get" of "vm-1" when the implementation answers `how`.
  std::string GetAnswered(std::function<void(const std::string&, const GetResult&)> how) {
    impl->onGet = std::move(how);
    ErrorValuePtr error = ErrorOf(Get(), GetInput("vm-1"));
    return error ? error->name() + (error->Messages().empty() ? "" : " with messages") : "none";
  }
  // The "get" method with other definitions.
  AsyncApiMethodPtr GetWith(Tarn::Data::DataDefinitionPtr input,
                            Tarn::Data::DataDefinitionPtr output) {
    return AsyncApiMethodSignal::GetInstance(
        "get", std::move(input), std::move(output), CpusSvc::GetMethod::errorDefs(), nullptr,
        AsyncApiMethodSignal::Handler(CpusSvc::AsyncServiceBinderHelper::GetMethodBuilder()(
            &CpusSvc::AsyncServiceInterface::Get, impl, nullptr)));
  }
  void KeepGet(GetResult* kept) {
    impl->onGet = [kept](const std::string&, const GetResult& result) { *kept = result; };
  }

  std::shared_ptr<FakeCpus> impl = std::make_shared<FakeCpus>();
  std::shared_ptr<Tarn::Provider::AsyncApiInterface> iface =
      CpusSvc::AsyncServiceBinder::BindImplementation(impl);
  std::shared_ptr<AsyncActivation> activation = AsyncActivation::GetInstance();
  std::vector<Answer> answers;
};

TEST_F(ProviderTest, BindingMakesMethodObjectsInSlotOrderOncePerBinding) {
  ASSERT_EQ(iface->methods().size(), 2u);
  // The non-const list of errors is a copy.
  std::const_pointer_cast<AsyncApiMethod>(Update())->errorDefinitions().clear();
  EXPECT_FALSE(Update()->errorDefinitions().empty());
  // Each bind has its own objects and localizer; the implementation is shared.
  auto second = CpusSvc::AsyncServiceBinder::BindImplementation(impl);
  EXPECT_NE(second->identifier(), iface->identifier());
  EXPECT_TRUE(LocalizerOf(Get()) && LocalizerOf(Get()) == LocalizerOf(Update()));
  EXPECT_NE(LocalizerOf(second->methods()[0]), LocalizerOf(Get()));
  // A method's definition shares the method's definitions.
  auto interfaceId = Tarn::Core::InterfaceIdentifier::GetInstance("some.interface");
  auto def = Update()->definition(interfaceId);
  EXPECT_TRUE(
      def->identifier()->interfaceId() == interfaceId && def->identifier()->name() == "update" &&
      def->input() == Update()->inputDefinition() && def->output() == Update()->outputDefinition());
}

TEST_F(ProviderTest, GoodInputReachesTheImplementationAfterTheResourceIsRecorded) {
  const std::pair<DataValuePtr, boost::optional<std::int64_t>> specs[] = {
      {Spec({{"count", Int(8)}}), 8},
      {Str(""), boost::none},  // the empty string is a spec with nothing set
      {Spec({{"future_field", Unset()}}), boost::none},
  };
  for (auto& [spec, count] : specs) {
    Invoke(Update(), UpdateInput("vm-2", spec));
    ASSERT_TRUE(impl->updates.back().spec && impl->updates.back().activation == activation);
    EXPECT_EQ(impl->updates.back().spec->count, count);
    activation = AsyncActivation::GetInstance();
  }
  Invoke(Get(), Input({{"vm", Str("vm-7")}, {"later", Unset()}}));
  EXPECT_TRUE(impl->gets.at(0).vm == "vm-7" && impl->badResources == 0);
  ASSERT_EQ(answers.size(), 4u);
  for (auto& a : answers) EXPECT_TRUE(a.result->success());
  EXPECT_EQ(answers[0].result->output()->GetType(), Tarn::Data::DataType::VOID);
  EXPECT_EQ(*answers[3].result->output(), *InfoValue(4, 0, false, false));
}

// Bad input gets one invalid-argument answer; no call of the implementation, no resource.
TEST_F(ProviderTest, BadInputIsAnsweredWithInvalidArgument) {
  const std::string ns = "::Com::Brantel::Kov::Vm::Compute::CpusSvc::";
  const std::string invalid = "tarn.invoke.invalid.input", extra = "tarn.data.compound.field.extra";
  auto loose = GetWith(StructDefinition::GetInstance("anything", {}), Get()->outputDefinition());
  const struct {
    AsyncApiMethodPtr method;
    DataValuePtr input;
    Names first;  // the leading message ids and arguments, where they are fixed
  } cases[] = {
      {Get(), nullptr, {}},
      {Get(), Str("vm-1"), {}},
      {Get(), Input({}), {}},
      {Get(), Input({{"vm", Unset()}}), {}},
      {Get(),
       Input({{"vm", Str("v")}, {"extra", Int(1)}}),
       {invalid, ns + "Get", extra, ns + "GetMethod::Input", "extra"}},
      {Update(), UpdateInput("vm-1", nullptr), {}},
      {Update(), UpdateInput("vm-1", Spec({{"count", Str("many")}})), {}},
      {Update(),
       UpdateInput("vm-1", Spec({{"count", Int(2)}, {"sockets", Int(2)}})),
       {invalid, ns + "Update", extra, ns + "UpdateSpec", "sockets"}},
      // The filter's own conversion, for values that an input definition lets through.
      {loose, Input({{"vm", Int(5)}}), {"tarn.data.value.kind.mismatch"}},
      {loose, Input({}), {"tarn.data.compound.field.missing"}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.input ? c.input->ToString() : "null");
    ErrorValuePtr error = ErrorOf(c.method, c.input);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->name(), kInvalidArgument);
    Names got;
    for (auto& m : error->Messages()) {
      got.push_back(m.id);
      got.insert(got.end(), m.args.begin(), m.args.end() - (m.id == extra));  // drops the text
    }
    ASSERT_FALSE(got.empty());
    got.resize(std::max(c.first.size(), std::size_t{1}));
    if (!c.first.empty()) {
      EXPECT_EQ(got, c.first);
    }
  }
  EXPECT_TRUE(impl->gets.empty() && impl->updates.empty());
  EXPECT_TRUE(activation->resourceIds().empty());
  // A method object without a handler reports that first, whatever the input.
  auto bare =
      AsyncApiMethodSignal::GetInstance("get", Get()->inputDefinition(), Get()->outputDefinition(),
                                        CpusSvc::GetMethod::errorDefs(), nullptr);
  ErrorValuePtr error = ErrorOf(bare, nullptr);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInternalServerError);
  EXPECT_EQ(Ids(error->Messages()), Names{"tarn.provider.method.signal.not.connected"});
  EXPECT_TRUE(answers[0].result->flag());
}

TEST_F(ProviderTest, LocalizerOfTheActivationAfterTheCall) {
  auto bound = std::make_shared<Localizer>(), keeping = std::make_shared<Localizer>(),
       own = std::make_shared<Localizer>();
  keeping->keepActivationLocalizer = true;
  const struct {
    std::shared_ptr<Localizer> bind, before, after;  // bound with; the activation's before, after
    bool update;
  } cases[] = {
      {bound, own, bound, false}, {bound, nullptr, bound, true},
      {keeping, own, own, false}, {keeping, nullptr, keeping, false},
      {nullptr, own, own, false}, {nullptr, nullptr, nullptr, false},
  };
  for (auto& c : cases) {
    auto service = CpusSvc::AsyncServiceBinder::BindImplementation(impl, c.bind);
    for (auto& m : service->methods()) EXPECT_EQ(LocalizerOf(m), c.bind);
    activation = AsyncActivation::GetInstance();
    activation->localizer = c.before;
    Invoke(service->methods()[c.update], c.update ? UpdateInput("vm-1", Spec()) : GetInput("v"));
    EXPECT_EQ(activation->localizer, c.after) << (&c - cases);
  }
}

TEST_F(ProviderTest, WhatTheImplementationAnswersAndWhatReachesTheCaller) {
  auto sending = [](ErrorValuePtr e) {
    return [e](const std::string&, const GetResult& r) { r.error(e); };
  };
  auto native = [](const char* name) {
    return [name](const std::string&, const GetResult& r) {
      r.resultCb()(boost::none, nullptr, NativeError{name, {}, {}}, kFinal);
    };
  };
  const std::string ise = kInternalServerError, withMessages = " with messages";
  // Listed errors and the runtime's own pass; others become the internal server error naming them.
  Names passing{kInvalidArgument, kInternalServerError};
  for (auto& d : Get()->errorDefinitions()) {
    passing.push_back(static_cast<const StructDefinition&>(*d).name());
  }
  for (const auto& name : passing) {
    auto sent = ErrorValue::Create(name, {Tarn::Message<Tarn::CoreTag>("tarn.data.invalid.type")});
    GetAnswered(sending(sent));
    EXPECT_EQ(*answers.at(0).result->error(), *sent);
  }
  EXPECT_EQ(GetAnswered(sending(ErrorValue::Create(Errors::ResourceBusy::typeName, {}))),
            ise + withMessages);
  EXPECT_EQ(answers[0].result->error()->Messages().at(0).args.at(1),
            Errors::ResourceBusy::typeName);
  EXPECT_EQ(GetAnswered([](const std::string&, const GetResult& r) { r(nullptr); }), ise);
  EXPECT_EQ(GetAnswered(sending(std::make_shared<ErrorValue>(Errors::NotFound::typeName))),
            ise + withMessages);  // listed, but without its "messages"
  EXPECT_EQ(GetAnswered([](const std::string&, const GetResult& r) {  // the error wins
              r.resultCb()(InfoPtr(new CpusSvc::Info), Errors::NotFound::Create(), boost::none,
                           kFinal);
            }),
            Errors::NotFound::typeName);
  EXPECT_EQ(GetAnswered(native(Errors::Unauthorized::typeName)), Errors::Unauthorized::typeName);
  EXPECT_EQ(GetAnswered(native(Errors::AlreadyExists::typeName)), ise + withMessages);
  // An output that does not fit the method's output definition.
  impl->onGet = FakeCpus().onGet;
  ErrorValuePtr error =
      ErrorOf(GetWith(Get()->inputDefinition(), Tarn::Data::DataDefinition::Create<std::int64_t>()),
              GetInput("vm-1"));
  EXPECT_EQ(error ? error->name() : "", ise);
}

// A report passes; nothing with final progress ends the invocation; a later answer reaches nobody.
TEST_F(ProviderTest, ReportsAndTheTerminationMarker) {
  GetResult kept;
  KeepGet(&kept);
  Invoke(Get(), GetInput("vm-1"));
  kept.resultCb()(boost::none, nullptr, boost::none, Progress{0, 1, 2});
  kept.resultCb()(boost::none, nullptr, boost::none, kFinal);
  kept(std::make_shared<CpusSvc::Info>());
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_TRUE(!answers[0].result && answers[0].progress == (Progress{0, 1, 2}));
  auto& result = *answers[1].result;
  EXPECT_TRUE(!result.output() && !result.error() && result.flag() && !result.success());
}

TEST_F(ProviderTest, LifetimesOfTheImplementationAndMethodObjects) {
  std::weak_ptr<FakeCpus> watchImpl = impl;
  std::weak_ptr<const AsyncApiMethod> watchGet = Get();
  AsyncApiMethodPtr update = Update();
  GetResult kept, dropped;
  KeepGet(&kept);
  Invoke(Get(), GetInput("vm-1"));
  KeepGet(&dropped);
  Invoke(Get(), GetInput("vm-2"));
  dropped = GetResult();  // destroyed unspent: sends nothing, holds nothing
  impl.reset();
  iface.reset();
  // The implementation lives as long as any method object; the one outstanding answer holds its.
  Invoke(update, UpdateInput("vm-1", Spec()));
  EXPECT_TRUE(answers.at(0).result->success());
  update.reset();
  EXPECT_FALSE(watchImpl.expired() || watchGet.expired());
  // A late answer from another thread reaches the caller, unknown fields and all.
  std::thread answerer([result = std::move(kept)] {
    auto info = std::make_shared<CpusSvc::Info>();
    info->count = 16;
    info->unknownFields = Struct("unknownFields", {{"threads_per_core", Int(2)}});
    result(info);
  });
  answerer.join();
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_TRUE(answers[1].progress == kFinal && !answers[1].withContinuation);
  auto expected = InfoValue(16, 0, false, false);
  expected->SetField("threads_per_core", Int(2));
  EXPECT_EQ(*answers[1].result->output(), *expected);
  EXPECT_TRUE(watchGet.expired() && watchImpl.expired());
}

// The wrapper of a result answers once and refuses a null output.
TEST_F(ProviderTest, ResultWrapperAnswersOnceAndRefusesANullOutput) {
  AsyncApiMethodSignal::ValidateResultWrapper wrapper(Get(), RecordInto(&answers));
  wrapper(DataValuePtr(InfoValue(1, 1, true, true)), nullptr, kFinal, {});
  wrapper(boost::none, Errors::NotFound::Create(), kFinal, {});
  AsyncApiMethodSignal::ValidateResultWrapper(Update(), RecordInto(&answers))(DataValuePtr(),
                                                                              nullptr, kFinal, {});
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_TRUE(answers[0].result->success());
  EXPECT_EQ(answers[1].result->error()->name(), kInternalServerError);
}

// Records every invocation, to be answered by the test.
struct RecordingTarget : Tarn::Core::InvocationTarget {
  struct Call {
    std::shared_ptr<const Tarn::Core::MethodIdentifier> methodId;
    DataValuePtr input;
    std::shared_ptr<AsyncActivation> activation;
    AsyncApiResultCb callback;
  };
  void Invoke(const std::shared_ptr<const Tarn::Core::MethodIdentifier>& methodId,
              const DataValuePtr& input, const std::shared_ptr<AsyncActivation>& activation,
              const AsyncApiResultCb& resultCb) override {
    calls.push_back({methodId, input, activation, resultCb});
  }
  std::vector<Call> calls;
};

MethodResultPtr Answer(DataValuePtr output, ErrorValuePtr error = nullptr) {
  return std::make_shared<const MethodResult>(std::move(output), std::move(error));
}

// What a caller was told: result ("count N +unknown field", "void" or "-"), error, progress.
std::string Told(const std::string& result, const ErrorValuePtr& e, const Progress& p) {
  return result + " " + (e ? e->name() : "-") +
         (e && !e->Messages().empty() ? " " + e->Messages()[0].id : "") + " " +
         std::to_string(p.current) + "/" + std::to_string(p.total);
}

class StubTest : public ::testing::Test {
 protected:
  StubTest() { defaultActivation->localizer = std::make_shared<Localizer>(); }
  GetResult CatchGet() {
    return [this](const boost::optional<InfoPtr>& r, const ErrorValuePtr& e, const Progress& p) {
      std::string result = !r ? "-" : !*r ? "null" : "count " + std::to_string((*r)->count);
      if (r && *r && (*r)->unknownFields)
        result += " +" + std::string((*r)->unknownFields->fields().begin()->first);
      told.push_back(Told(result, e, p));
    };
  }
  UpdateResult CatchUpdate() {
    return [this](const boost::optional<Tarn::Void>& r, const ErrorValuePtr& e, const Progress& p) {
      told.push_back(Told(r ? "void" : "-", e, p));
    };
  }

  std::shared_ptr<RecordingTarget> target = std::make_shared<RecordingTarget>();
  std::shared_ptr<AsyncActivation> defaultActivation = AsyncActivation::GetInstance();
  std::shared_ptr<Tarn::Stub::AsyncApiStub> apiStub =
      Tarn::Stub::AsyncApiStub::GetInstance(target, defaultActivation);
  CpusSvc::AsyncServiceStub stub{apiStub};
  Names told;
};

TEST_F(StubTest, TargetReceivesIdentifiersInputsWithWireNamesAndAnActivation) {
  defaultActivation->resourceId("com.brantel.kov.vm.VirtualMachine.old");
  stub.Get("vm-42", nullptr, CatchGet());
  // The client converts but never validates: unknown fields travel for the provider to reject.
  auto spec = std::make_shared<CpusSvc::UpdateSpec>();
  spec->count = 8;
  spec->hotAddEnabled = false;
  spec->unknownFields = Struct("unknownFields", {{"sockets", Int(2)}});
  auto mine = AsyncActivation::GetInstance();
  stub.Update("vm-3", spec, mine, CatchUpdate());
  stub.Get("vm-42", nullptr, CatchGet());
  ASSERT_EQ(target->calls.size(), 3u);
  const DataValuePtr expected[] = {GetInput("vm-42"),
                                   UpdateInput("vm-3", Spec({{"count", Opt(Int(8))},
                                                             {"cores_per_socket", Unset()},
                                                             {"hot_add_enabled", Opt(Bool(false))},
                                                             {"hot_remove_enabled", Unset()},
                                                             {"sockets", Int(2)}}))};
  for (std::size_t i = 0; i < 2; ++i) {
    const auto& call = target->calls[i];
    EXPECT_EQ(call.methodId->interfaceId()->name() + "." + call.methodId->name(),
              i ? "com.brantel.kov.vm.compute.cpus.update" : "com.brantel.kov.vm.compute.cpus.get");
    EXPECT_TRUE(call.input->Equals(*expected[i])) << call.input->ToString();
  }
  // Fresh identifiers per call; the activation given, or a fresh duplicate of the default.
  EXPECT_NE(target->calls[0].methodId->interfaceId(), target->calls[2].methodId->interfaceId());
  EXPECT_EQ(target->calls[1].activation, mine);
  for (auto* call : {&target->calls[0], &target->calls[2]}) {
    EXPECT_TRUE(call->activation != defaultActivation && call->activation->resourceIds().empty() &&
                call->activation->localizer == defaultActivation->localizer);
  }
  EXPECT_NE(target->calls[0].activation, target->calls[2].activation);
  // A null spec is refused before the call returns, touching nothing.
  stub.Update("vm-1", nullptr, mine, CatchUpdate());
  EXPECT_EQ(target->calls.size(), 3u);
  EXPECT_EQ(told, Names{std::string("- ") + kInvalidArgument +
                        " tarn.data.unset.non.optional.field 1/1"});
  EXPECT_TRUE(mine->resourceIds().empty());
  EXPECT_EQ(mine->localizer, nullptr);
}

// Each answer of the runtime and what the caller receives: always with final progress.
TEST_F(StubTest, AnswersReachTheCaller) {
  auto withExtra = InfoValue(4, 2, false, true);
  withExtra->SetField("threads_per_core", Int(2));
  const std::string invalid = " invalid_argument tarn.data.";
  const struct {
    bool update;
    MethodResultPtr answer;
    std::string told;
  } cases[] = {
      {false, Answer(withExtra), "count 4 +threads_per_core - 1/1"},
      {false, Answer(Str("")), "count 0 - 1/1"},  // a record with defaults
      {false, Answer(Str("four")), "-" + invalid + "bad.cast1 1/1"},
      {false, Answer(Struct(kInfoName, {{"count", Int(1)}})),
       "-" + invalid + "compound.field.missing 1/1"},
      {false, Answer(InfoValue(1, 1, true, true), Errors::NotFound::Create()),
       std::string("- ") + Errors::NotFound::typeName + " 1/1"},
      {false, Answer(nullptr, Errors::AlreadyExists::Create()),  // not checked on this side
       std::string("- ") + Errors::AlreadyExists::typeName + " 1/1"},
      {false, MethodResult::GetTerminationInstance(), "- - 1/1"},  // a null error
      {true, Answer(Tarn::Data::VoidValue::GetInstance()), "void - 1/1"},
      {true, Answer(Str("")), "void - 1/1"},
      {true, Answer(Str("done")), "-" + invalid + "value.parse.failed 1/1"},
  };
  for (auto& c : cases) {
    told.clear();
    target->calls.clear();
    if (c.update) {
      stub.Update("vm-1", std::make_shared<CpusSvc::UpdateSpec>(), nullptr, CatchUpdate());
    } else {
      stub.Get("vm-1", nullptr, CatchGet());
    }
    target->calls.at(0).callback(c.answer, Progress{2, 5, 5});
    EXPECT_EQ(told, Names{c.told}) << (&c - cases);
  }
}

TEST_F(StubTest, ReportsLateAnswersAndDroppedCallbacks) {
  // The stub is gone when the answers come; a continuation offered by the runtime is not taken.
  CpusSvc::AsyncServiceStub(apiStub).Get("vm-1", nullptr, CatchGet());
  auto cb = target->calls.back().callback;
  cb(nullptr, Progress{0, 1, 2});
  int asked = 0;
  std::thread runtime([cb, &asked] {
    cb(Answer(InfoValue(2, 1, false, true)), kFinal,
       [&asked](std::shared_ptr<AsyncApiResultCb>) { ++asked; });
  });
  runtime.join();
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(told, Names({"- - 2/1", "count 2 - 1/1"}));
  // The runtime's callback holds the result object; dropped unanswered, it tells nobody.
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> watch = token;
  stub.Get("vm-1", nullptr,
           GetResult([token](const boost::optional<InfoPtr>&, const ErrorValuePtr&,
                             const Progress&) { ADD_FAILURE(); }));
  token.reset();
  EXPECT_FALSE(watch.expired());
  target->calls.clear();
  EXPECT_TRUE(watch.expired());
  // The caller's failures reach whoever delivers: its exception, or an empty result object.
  for (const GetResult& result :
       {GetResult([](const boost::optional<InfoPtr>&, const ErrorValuePtr&, const Progress&) {
          throw std::runtime_error("caller");
        }),
        GetResult()}) {
    stub.Get("vm-1", nullptr, result);
    EXPECT_ANY_THROW(target->calls.back().callback(Answer(InfoValue(3, 1, false, false)), kFinal));
  }
}

}  // namespace
}  // namespace KovTest
