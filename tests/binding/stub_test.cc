// The client face: what a stub call hands the runtime, and how each kind of answer reaches the
// caller's result object. The runtime is a recording invocation target.
#include "binding/stub.h"

#include <gtest/gtest.h>

#include <boost/optional/optional_io.hpp>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "runtime/activation.h"
#include "runtime/l10n.h"
#include "runtime/stub.h"
#include "tests/binding/cpus_test_util.h"

namespace KovTest {
namespace {

using Tarn::Void;
using Tarn::Core::MethodIdentifier;
using Tarn::Core::MethodResult;
using Tarn::Data::DataType;
using Tarn::Data::VoidValue;
using Tarn::Stub::AsyncApiStub;

// Records every invocation; answers only when a test tells it to.
class RecordingTarget : public Tarn::Core::InvocationTarget {
 public:
  struct Call {
    std::shared_ptr<const MethodIdentifier> methodId;
    DataValuePtr input;
    std::shared_ptr<AsyncActivation> activation;
    AsyncApiResultCb callback;
  };

  void Invoke(const std::shared_ptr<const MethodIdentifier>& methodId, const DataValuePtr& input,
              const std::shared_ptr<AsyncActivation>& activation,
              const AsyncApiResultCb& resultCb) override {
    calls.push_back({methodId, input, activation, resultCb});
    if (answerAtOnce) answerAtOnce(resultCb);
  }

  std::vector<Call> calls;
  std::function<void(const AsyncApiResultCb&)> answerAtOnce;
};

MethodResultPtr Answer(DataValuePtr output, ErrorValuePtr error = nullptr) {
  return std::make_shared<const MethodResult>(std::move(output), std::move(error));
}

class StubTest : public ::testing::Test, protected CpusCaller {
 protected:
  StubTest() { defaultActivation->localizer = std::make_shared<Tarn::L10n::Localizer>(); }

  // Calls "get" or "update" and returns the callback the runtime received.
  AsyncApiResultCb CallGet() {
    target->calls.clear();
    gets.clear();
    stub.Get("vm-1", nullptr, CatchGet());
    EXPECT_EQ(target->calls.size(), 1u);
    return target->calls.back().callback;
  }
  AsyncApiResultCb CallUpdate() {
    target->calls.clear();
    updates.clear();
    stub.Update("vm-1", std::make_shared<CpusSvc::UpdateSpec>(), nullptr, CatchUpdate());
    EXPECT_EQ(target->calls.size(), 1u);
    return target->calls.back().callback;
  }
  // The one final delivery to the "get" caller: its error.
  ErrorValuePtr OnlyGetError() {
    EXPECT_EQ(gets.size(), 1u);
    if (gets.empty()) return nullptr;
    EXPECT_FALSE(gets[0].result);
    EXPECT_EQ(gets[0].progress, (Progress{0, 1, 1}));
    return gets[0].error;
  }

  std::shared_ptr<RecordingTarget> target = std::make_shared<RecordingTarget>();
  std::shared_ptr<AsyncActivation> defaultActivation = AsyncActivation::GetInstance();
  std::shared_ptr<AsyncApiStub> apiStub = AsyncApiStub::GetInstance(target, defaultActivation);
  CpusSvc::AsyncServiceStub stub{apiStub};
};

// ---------------------------------------------------------------------------------------------
// What the runtime receives

TEST_F(StubTest, ActivationIsTheGivenOneOrAFreshDuplicateOfTheDefault) {
  defaultActivation->resourceId("com.brantel.kov.vm.VirtualMachine.old");
  stub.Get("vm-1", nullptr, CatchGet());
  stub.Get("vm-1", nullptr, CatchGet());
  ASSERT_EQ(target->calls.size(), 2u);
  for (auto& call : target->calls) {
    ASSERT_TRUE(call.activation);
    EXPECT_NE(call.activation, defaultActivation);
    EXPECT_EQ(call.activation->localizer, defaultActivation->localizer);
    EXPECT_TRUE(call.activation->resourceIds().empty());
  }
  EXPECT_NE(target->calls[0].activation, target->calls[1].activation);

  auto mine = AsyncActivation::GetInstance();
  stub.Get("vm-1", mine, CatchGet());
  stub.Update("vm-1", std::make_shared<CpusSvc::UpdateSpec>(), mine, CatchUpdate());
  ASSERT_EQ(target->calls.size(), 4u);
  EXPECT_EQ(target->calls[2].activation, mine);
  EXPECT_EQ(target->calls[3].activation, mine);

  // An API stub made without a default activation makes one.
  auto bare = AsyncApiStub::GetInstance(target);
  ASSERT_TRUE(bare->defaultActivation());
  CpusSvc::AsyncServiceStub(bare).Get("vm-1", nullptr, CatchGet());
  ASSERT_EQ(target->calls.size(), 5u);
  ASSERT_TRUE(target->calls[4].activation);
  EXPECT_NE(target->calls[4].activation, bare->defaultActivation());
}

TEST_F(StubTest, TargetReceivesTheMethodIdentifiersAndInputsWithWireNames) {
  stub.Get("vm-42", nullptr, CatchGet());
  // The client converts but never validates: unknown fields travel for the provider to reject.
  auto spec = std::make_shared<CpusSvc::UpdateSpec>();
  spec->count = 8;
  spec->hotAddEnabled = false;
  spec->unknownFields = Struct("unknownFields", {{"sockets", Int(2)}});
  stub.Update("vm-3", spec, nullptr, CatchUpdate());
  ASSERT_EQ(target->calls.size(), 2u);
  const DataValuePtr expected[] = {GetInput("vm-42"),
                                   UpdateInput("vm-3", Spec({{"count", Opt(Int(8))},
                                                             {"cores_per_socket", Unset()},
                                                             {"hot_add_enabled", Opt(Bool(false))},
                                                             {"hot_remove_enabled", Unset()},
                                                             {"sockets", Int(2)}}))};
  const char* names[] = {"get", "update"};
  for (std::size_t i = 0; i < 2; ++i) {
    const auto& call = target->calls[i];
    ASSERT_TRUE(call.methodId && call.methodId->interfaceId());
    EXPECT_EQ(call.methodId->interfaceId()->name(), "com.brantel.kov.vm.compute.cpus");
    EXPECT_EQ(call.methodId->name(), names[i]);
    ASSERT_TRUE(call.input);
    ASSERT_EQ(call.input->GetType(), DataType::STRUCTURE);
    EXPECT_TRUE(call.input->Equals(*expected[i])) << call.input->ToString();
  }
  EXPECT_TRUE(gets.empty());  // no answer yet
  // Every call makes fresh identifiers.
  stub.Get("vm-42", nullptr, CatchGet());
  EXPECT_NE(target->calls[0].methodId, target->calls[2].methodId);
  EXPECT_NE(target->calls[0].methodId->interfaceId(), target->calls[2].methodId->interfaceId());
}

TEST_F(StubTest, NullSpecIsRefusedBeforeTheCallReturns) {
  auto mine = AsyncActivation::GetInstance();
  stub.Update("vm-1", nullptr, mine, CatchUpdate());
  EXPECT_TRUE(target->calls.empty());
  ASSERT_EQ(updates.size(), 1u);  // already delivered
  EXPECT_FALSE(updates[0].result);
  EXPECT_EQ(updates[0].progress, (Progress{0, 1, 1}));
  ASSERT_TRUE(updates[0].error);
  EXPECT_EQ(updates[0].error->name(), "com.brantel.tarn.std.errors.invalid_argument");
  auto messages = updates[0].error->Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, "tarn.data.unset.non.optional.field");
  EXPECT_EQ(messages[0].args, std::vector<std::string>{kSpecName});
  EXPECT_TRUE(mine->resourceIds().empty());
  EXPECT_EQ(mine->localizer, nullptr);
}

// ---------------------------------------------------------------------------------------------
// What the caller receives

TEST_F(StubTest, OutputArrivesAsTheRecordWithTheResultObjectsProgress) {
  auto withExtra = InfoValue(4, 2, false, false);
  withExtra->SetField("threads_per_core", Int(2));
  struct Case {
    const char* name;
    DataValuePtr output;
    Progress progress;  // what the runtime says
    CpusSvc::Info expected;
  };
  auto info = [](std::int64_t count, std::int64_t cores, bool add, bool remove) {
    CpusSvc::Info i;
    i.count = count;
    i.coresPerSocket = cores;
    i.hotAddEnabled = add;
    i.hotRemoveEnabled = remove;
    return i;
  };
  const Case cases[] = {
      {"runtime's own progress", InfoValue(1, 1, false, true), {2, 5, 5}, info(1, 1, false, true)},
      {"unknown fields are kept", withExtra, Progress{0, 1, 1}, info(4, 2, false, false)},
      {"empty string is a record with defaults", Str(""), {0, 1, 1}, info(0, 0, false, false)},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    CallGet()(Answer(c.output), c.progress);
    ASSERT_EQ(gets.size(), 1u);
    EXPECT_FALSE(gets[0].error);
    EXPECT_EQ(gets[0].progress, (Progress{0, 1, 1}));
    ASSERT_TRUE(gets[0].result && *gets[0].result);
    const CpusSvc::Info& got = **gets[0].result;
    EXPECT_EQ(got.count, c.expected.count);
    EXPECT_EQ(got.coresPerSocket, c.expected.coresPerSocket);
    EXPECT_EQ(got.hotAddEnabled, c.expected.hotAddEnabled);
    EXPECT_EQ(got.hotRemoveEnabled, c.expected.hotRemoveEnabled);
    const bool unknown = c.output == DataValuePtr(withExtra);
    EXPECT_EQ(static_cast<bool>(got.unknownFields), unknown);
    if (unknown) {
      EXPECT_TRUE(got.unknownFields->HasField("threads_per_core"));
    }
  }
}

// An output that does not convert is an error named by the short name, carrying the messages.
TEST_F(StubTest, OutputThatDoesNotConvertIsAnInvalidArgumentError) {
  auto noNumber = InfoValue(1, 1, false, false);
  noNumber->SetField("count", Str("four"));
  struct Case {
    const char* name;
    DataValuePtr output;
    const char* messageId;  // the only message; null when any will do
  };
  const Case cases[] = {
      {"non-empty string", Str("four"), "tarn.data.bad.cast1"},
      {"integer", Int(4), nullptr},
      {"structure missing a required field", Struct(kInfoName, {{"count", Int(1)}}), nullptr},
      {"count as text that is no number", noNumber, nullptr},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    CallGet()(Answer(c.output), Progress{0, 1, 1});
    ErrorValuePtr error = OnlyGetError();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->name(), "invalid_argument");
    EXPECT_FALSE(MessageIds(error).empty());
    if (c.messageId) {
      EXPECT_EQ(MessageIds(error), std::vector<std::string>{c.messageId});
    }
  }
}

TEST_F(StubTest, ErrorAnswersArriveAsTheyCame) {
  auto notFound =
      Errors::NotFound::Create({Tarn::Message<Tarn::CoreTag>("tarn.data.invalid.type")});
  // Not one of "get"'s errors: the client side delivers it unchecked.
  auto unlisted = Errors::AlreadyExists::Create();
  struct Case {
    const char* name;
    MethodResultPtr answer;
    ErrorValuePtr expected;
  };
  const Case cases[] = {
      {"error with output", Answer(InfoValue(1, 1, true, true), notFound), notFound},
      {"error outside the operation's list", Answer(nullptr, unlisted), unlisted},
      {"neither output nor error is a null error", MethodResult::GetTerminationInstance(), nullptr},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    CallGet()(c.answer, Progress{0, 1, 1});
    EXPECT_EQ(OnlyGetError(), c.expected);
  }
}

TEST_F(StubTest, VoidOperationAnswers) {
  struct Case {
    const char* name;
    DataValuePtr output;
    bool ok;
  };
  const Case cases[] = {
      {"void value", VoidValue::GetInstance(), true},
      {"empty string", Str(""), true},
      {"non-empty string", Str("done"), false},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    CallUpdate()(Answer(c.output), Progress{0, 1, 1});
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].progress, (Progress{0, 1, 1}));
    EXPECT_EQ(static_cast<bool>(updates[0].result), c.ok);
    ASSERT_EQ(static_cast<bool>(updates[0].error), !c.ok);
    if (!c.ok) {
      EXPECT_EQ(updates[0].error->name(), "invalid_argument");
      EXPECT_FALSE(updates[0].error->Messages().empty());
    }
  }
}

TEST_F(StubTest, IntermediateReportsPassAndTheFinalAnswerStillArrives) {
  auto cb = CallGet();
  cb(nullptr, Progress{0, 1, 2});
  cb(nullptr, Progress{0, 1, 2});
  ASSERT_EQ(gets.size(), 2u);
  for (auto& s : gets) {
    EXPECT_FALSE(s.result);
    EXPECT_EQ(s.error, nullptr);
    EXPECT_EQ(s.progress, (Progress{0, 1, 2}));
  }
  // A continuation offered by the runtime is not taken up.
  int asked = 0;
  cb(Answer(InfoValue(6, 3, false, false)), Progress{0, 1, 1},
     [&asked](std::shared_ptr<AsyncApiResultCb>) { ++asked; });
  EXPECT_EQ(asked, 0);
  ASSERT_EQ(gets.size(), 3u);
  ASSERT_TRUE(gets[2].result && *gets[2].result);
  EXPECT_EQ((*gets[2].result)->count, 6);
  EXPECT_EQ(gets[2].progress, (Progress{0, 1, 1}));
}

TEST_F(StubTest, LateAnswerFromAnotherThreadReachesTheCaller) {
  // The stub that made the call is gone by the time the answer comes.
  target->calls.clear();
  CpusSvc::AsyncServiceStub(apiStub).Get("vm-1", nullptr, CatchGet());
  auto cb = target->calls.back().callback;
  EXPECT_TRUE(gets.empty());
  std::thread runtime([cb] { cb(Answer(InfoValue(2, 1, false, true)), Progress{0, 1, 1}); });
  runtime.join();
  ASSERT_EQ(gets.size(), 1u);
  ASSERT_TRUE(gets[0].result && *gets[0].result);
  EXPECT_TRUE((*gets[0].result)->hotRemoveEnabled);
}

TEST_F(StubTest, CallbackDroppedUnansweredTellsTheCallerNothing) {
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> watch = token;
  stub.Get("vm-1", nullptr,
           GetResult([this, token](const boost::optional<InfoPtr>& r, const ErrorValuePtr& e,
                                   const Progress& p) {
             gets.push_back({r, e, p});
           }));
  token.reset();
  EXPECT_FALSE(watch.expired());  // the runtime's callback holds the result object
  target->calls.clear();
  EXPECT_TRUE(watch.expired());
  EXPECT_TRUE(gets.empty());
}

TEST_F(StubTest, AnswerInsideTheCallIsDeliveredBeforeItReturns) {
  target->answerAtOnce = [](const AsyncApiResultCb& cb) {
    cb(Answer(InfoValue(3, 1, false, false)), Progress{0, 1, 1});
  };
  stub.Get("vm-1", nullptr, CatchGet());
  ASSERT_EQ(gets.size(), 1u);
  EXPECT_EQ((*gets[0].result)->count, 3);
  // An exception from the caller's callback passes through the stub call.
  EXPECT_THROW(stub.Get("vm-1", nullptr,
                        GetResult([](const boost::optional<InfoPtr>&, const ErrorValuePtr&,
                                     const Progress&) { throw std::runtime_error("caller"); })),
               std::runtime_error);
}

TEST_F(StubTest, EmptyResultObjectRaisesBadFunctionCallToTheDeliverer) {
  // Input failure: the stub call itself delivers.
  EXPECT_THROW(stub.Update("vm-1", nullptr, nullptr, UpdateResult()), std::bad_function_call);
  // Runtime answer: whoever calls the callback gets it.
  stub.Get("vm-1", nullptr, GetResult());
  ASSERT_EQ(target->calls.size(), 1u);
  EXPECT_THROW(target->calls[0].callback(Answer(InfoValue(1, 1, false, false)), Progress{0, 1, 1}),
               std::bad_function_call);
}

using StubDeathTest = StubTest;

TEST_F(StubDeathTest, SecondFinalAnswerEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto cb = CallGet();
  cb(Answer(InfoValue(1, 1, false, false)), Progress{0, 1, 1});
  ASSERT_EQ(gets.size(), 1u);
  EXPECT_DEATH(cb(Answer(nullptr, Errors::NotFound::Create()), Progress{0, 1, 1}), "");
}

}  // namespace
}  // namespace KovTest
