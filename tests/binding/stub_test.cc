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
#include "runtime/operation_input.h"
#include "runtime/std_errors.h"
#include "runtime/stub.h"
#include "vm/compute/cpus.h"

namespace {

using Com::Brantel::Kov::Vm::Compute::CpusSvc;
using Tarn::Progress;
using Tarn::Void;
using Tarn::Core::AsyncActivation;
using Tarn::Core::AsyncApiResultCb;
using Tarn::Core::MethodIdentifier;
using Tarn::Core::MethodResult;
using Tarn::Core::MethodResultPtr;
using Tarn::Data::BooleanValue;
using Tarn::Data::DataType;
using Tarn::Data::DataValuePtr;
using Tarn::Data::ErrorValuePtr;
using Tarn::Data::IntegerValue;
using Tarn::Data::ListValue;
using Tarn::Data::OptionalValue;
using Tarn::Data::StringValue;
using Tarn::Data::StructValue;
using Tarn::Data::VoidValue;
using Tarn::Stub::AsyncApiStub;
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;

using GetResult = CpusSvc::GetMethod::ResultCbType;
using UpdateResult = CpusSvc::UpdateMethod::ResultCbType;
using InfoPtr = std::shared_ptr<const CpusSvc::Info>;

constexpr char kInfoName[] = "com.brantel.kov.vm.compute.cpus.info";
constexpr char kSpecName[] = "com.brantel.kov.vm.compute.cpus.update_spec";

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

template <class R>
struct Seen {
  boost::optional<R> result;
  ErrorValuePtr error;
  Progress progress;
};

MethodResultPtr Answer(DataValuePtr output, ErrorValuePtr error = nullptr) {
  return std::make_shared<const MethodResult>(std::move(output), std::move(error));
}

std::shared_ptr<StructValue> InfoValue(std::int64_t count, std::int64_t cores, bool add,
                                       bool remove) {
  auto v = StructValue::GetInstance(kInfoName);
  v->SetField("count", IntegerValue::GetInstance(count));
  v->SetField("cores_per_socket", IntegerValue::GetInstance(cores));
  v->SetField("hot_add_enabled", BooleanValue::GetInstance(add));
  v->SetField("hot_remove_enabled", BooleanValue::GetInstance(remove));
  return v;
}

std::vector<std::string> MessageIds(const ErrorValuePtr& error) {
  std::vector<std::string> ids;
  if (error) {
    for (auto& m : error->Messages()) ids.push_back(m.id);
  }
  return ids;
}

class StubTest : public ::testing::Test {
 protected:
  StubTest() { defaultActivation->localizer = std::make_shared<Tarn::L10n::Localizer>(); }

  GetResult CatchGet() {
    return GetResult(
        [this](const boost::optional<InfoPtr>& r, const ErrorValuePtr& e, const Progress& p) {
          gets.push_back({r, e, p});
        });
  }
  UpdateResult CatchUpdate() {
    return UpdateResult(
        [this](const boost::optional<Void>& r, const ErrorValuePtr& e, const Progress& p) {
          updates.push_back({r, e, p});
        });
  }
  // Calls "get" and returns the callback the runtime received.
  AsyncApiResultCb CallGet() {
    stub.Get("vm-1", nullptr, CatchGet());
    EXPECT_EQ(target->calls.size(), 1u);
    return target->calls.back().callback;
  }
  AsyncApiResultCb CallUpdate() {
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
  std::vector<Seen<InfoPtr>> gets;
  std::vector<Seen<Void>> updates;
};

// ---------------------------------------------------------------------------------------------
// What the runtime receives

TEST_F(StubTest, NullActivationBecomesAFreshDuplicateOfTheDefault) {
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
}

TEST_F(StubTest, GivenActivationIsPassedThrough) {
  auto mine = AsyncActivation::GetInstance();
  stub.Get("vm-1", mine, CatchGet());
  auto spec = std::make_shared<CpusSvc::UpdateSpec>();
  stub.Update("vm-1", spec, mine, CatchUpdate());
  ASSERT_EQ(target->calls.size(), 2u);
  EXPECT_EQ(target->calls[0].activation, mine);
  EXPECT_EQ(target->calls[1].activation, mine);
}

TEST_F(StubTest, ApiStubWithoutDefaultActivationMakesOne) {
  auto bare = AsyncApiStub::GetInstance(target);
  ASSERT_TRUE(bare->defaultActivation());
  CpusSvc::AsyncServiceStub bareStub(bare);
  bareStub.Get("vm-1", nullptr, CatchGet());
  ASSERT_EQ(target->calls.size(), 1u);
  ASSERT_TRUE(target->calls[0].activation);
  EXPECT_NE(target->calls[0].activation, bare->defaultActivation());
}

TEST_F(StubTest, TargetReceivesTheMethodIdentifierAndTheGetInput) {
  stub.Get("vm-42", nullptr, CatchGet());
  ASSERT_EQ(target->calls.size(), 1u);
  const auto& call = target->calls[0];
  ASSERT_TRUE(call.methodId);
  ASSERT_TRUE(call.methodId->interfaceId());
  EXPECT_EQ(call.methodId->interfaceId()->name(), "com.brantel.kov.vm.compute.cpus");
  EXPECT_EQ(call.methodId->name(), "get");
  ASSERT_TRUE(call.input);
  ASSERT_EQ(call.input->GetType(), DataType::STRUCTURE);
  auto expected = StructValue::GetInstance(Tarn::Data::TypeInfo<Tarn::OperationInput>::name());
  expected->SetField("vm", StringValue::GetInstance("vm-42"));
  EXPECT_TRUE(call.input->Equals(*expected)) << call.input->ToString();
  EXPECT_TRUE(gets.empty());  // no answer yet
}

TEST_F(StubTest, TargetReceivesTheUpdateInputWithWireNames) {
  auto spec = std::make_shared<CpusSvc::UpdateSpec>();
  spec->count = 8;
  spec->hotAddEnabled = false;
  stub.Update("vm-3", spec, nullptr, CatchUpdate());
  ASSERT_EQ(target->calls.size(), 1u);
  const auto& call = target->calls[0];
  EXPECT_EQ(call.methodId->interfaceId()->name(), "com.brantel.kov.vm.compute.cpus");
  EXPECT_EQ(call.methodId->name(), "update");

  auto expectedSpec = StructValue::GetInstance(kSpecName);
  expectedSpec->SetField("count", OptionalValue::GetInstance(IntegerValue::GetInstance(8)));
  expectedSpec->SetField("cores_per_socket", OptionalValue::GetInstance());
  expectedSpec->SetField("hot_add_enabled",
                         OptionalValue::GetInstance(BooleanValue::GetInstance(false)));
  expectedSpec->SetField("hot_remove_enabled", OptionalValue::GetInstance());
  auto expected = StructValue::GetInstance(Tarn::Data::TypeInfo<Tarn::OperationInput>::name());
  expected->SetField("vm", StringValue::GetInstance("vm-3"));
  expected->SetField("update_spec", expectedSpec);
  EXPECT_TRUE(call.input->Equals(*expected)) << call.input->ToString();
}

TEST_F(StubTest, UnknownFieldsOfTheSpecTravelWithIt) {
  // The client converts but never validates: the provider is the one to reject them.
  auto spec = std::make_shared<CpusSvc::UpdateSpec>();
  spec->unknownFields = StructValue::GetInstance("unknownFields");
  spec->unknownFields->SetField("sockets", IntegerValue::GetInstance(2));
  stub.Update("vm-3", spec, nullptr, CatchUpdate());
  ASSERT_EQ(target->calls.size(), 1u);
  auto input = Tarn::Data::NarrowDataTypeInt<StructValue>(target->calls[0].input);
  ASSERT_TRUE(input);
  auto specValue = Tarn::Data::NarrowDataTypeInt<StructValue>(input->fields().at("update_spec"));
  ASSERT_TRUE(specValue);
  ASSERT_TRUE(specValue->HasField("sockets"));
  EXPECT_TRUE(specValue->fields().at("sockets")->Equals(*IntegerValue::GetInstance(2)));
}

TEST_F(StubTest, EveryCallMakesFreshIdentifiers) {
  stub.Get("vm-1", nullptr, CatchGet());
  stub.Get("vm-1", nullptr, CatchGet());
  ASSERT_EQ(target->calls.size(), 2u);
  EXPECT_NE(target->calls[0].methodId, target->calls[1].methodId);
  EXPECT_NE(target->calls[0].methodId->interfaceId(), target->calls[1].methodId->interfaceId());
  EXPECT_NE(target->calls[0].input, target->calls[1].input);
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

TEST(LocaleSpec, DefaultsAreEnglishThenCInUtc) {
  Tarn::L10n::LocaleSpec spec;
  ASSERT_FALSE(spec.firstPreference.empty());
  EXPECT_EQ(spec.firstPreference.front(), "en_US");
  ASSERT_FALSE(spec.secondPreference.empty());
  EXPECT_EQ(spec.secondPreference.front(), "C");
  EXPECT_EQ(spec.timezone.name(), "Etc/UTC");
  EXPECT_FALSE(spec.firstError);
  EXPECT_FALSE(spec.secondError);
}

// ---------------------------------------------------------------------------------------------
// What the caller receives

TEST_F(StubTest, StructureAnswerArrivesAsTheRecord) {
  auto cb = CallGet();
  cb(Answer(InfoValue(4, 2, true, false)), Progress{0, 1, 1});
  ASSERT_EQ(gets.size(), 1u);
  EXPECT_FALSE(gets[0].error);
  ASSERT_TRUE(gets[0].result && *gets[0].result);
  const CpusSvc::Info& info = **gets[0].result;
  EXPECT_EQ(info.count, 4);
  EXPECT_EQ(info.coresPerSocket, 2);
  EXPECT_TRUE(info.hotAddEnabled);
  EXPECT_FALSE(info.hotRemoveEnabled);
  EXPECT_FALSE(info.unknownFields);
  EXPECT_EQ(gets[0].progress, (Progress{0, 1, 1}));
}

TEST_F(StubTest, FinalDeliveryCarriesTheResultObjectsProgressNotTheRuntimes) {
  auto cb = CallGet();
  cb(Answer(InfoValue(1, 1, false, false)), Progress{2, 5, 5});
  ASSERT_EQ(gets.size(), 1u);
  EXPECT_EQ(gets[0].progress, (Progress{0, 1, 1}));
}

TEST_F(StubTest, UnknownOutputFieldsAreKeptOnTheRecord) {
  auto cb = CallGet();
  auto value = InfoValue(4, 2, false, false);
  value->SetField("threads_per_core", IntegerValue::GetInstance(2));
  cb(Answer(value), Progress{0, 1, 1});
  ASSERT_EQ(gets.size(), 1u);
  ASSERT_TRUE(gets[0].result && *gets[0].result);
  ASSERT_TRUE((*gets[0].result)->unknownFields);
  EXPECT_TRUE((*gets[0].result)->unknownFields->HasField("threads_per_core"));
}

TEST_F(StubTest, EmptyStringAnswerIsARecordWithDefaults) {
  auto cb = CallGet();
  cb(Answer(StringValue::GetInstance("")), Progress{0, 1, 1});
  ASSERT_EQ(gets.size(), 1u);
  EXPECT_FALSE(gets[0].error);
  ASSERT_TRUE(gets[0].result && *gets[0].result);
  EXPECT_EQ((*gets[0].result)->count, 0);
  EXPECT_EQ((*gets[0].result)->coresPerSocket, 0);
  EXPECT_FALSE((*gets[0].result)->hotAddEnabled);
  EXPECT_FALSE((*gets[0].result)->hotRemoveEnabled);
}

TEST_F(StubTest, NumericTextInAnIntegerFieldIsParsed) {
  auto cb = CallGet();
  auto value = InfoValue(0, 2, false, false);
  value->SetField("count", StringValue::GetInstance("12"));
  cb(Answer(value), Progress{0, 1, 1});
  ASSERT_EQ(gets.size(), 1u);
  ASSERT_TRUE(gets[0].result && *gets[0].result);
  EXPECT_EQ((*gets[0].result)->count, 12);
}

struct BadOutput {
  const char* name;
  std::function<DataValuePtr()> output;
  const char* messageId;  // expected among the messages; null when any will do
};

// An output that does not convert is an error named by the short name, carrying the messages.
TEST_F(StubTest, OutputThatDoesNotConvertIsAnInvalidArgumentError) {
  const std::vector<BadOutput> cases{
      {"non-empty string", [] { return StringValue::GetInstance("four"); }, "tarn.data.bad.cast1"},
      {"integer", [] { return IntegerValue::GetInstance(4); }, nullptr},
      {"list", [] { return ListValue::GetInstance(); }, nullptr},
      {"structure missing a required field",
       [] {
         auto partial = StructValue::GetInstance(kInfoName);
         partial->SetField("count", IntegerValue::GetInstance(1));
         return partial;
       },
       nullptr},
      {"count of the wrong kind",
       [] {
         auto v = InfoValue(1, 1, false, false);
         v->SetField("count", BooleanValue::GetInstance(true));
         return v;
       },
       nullptr},
      {"count as text that is no number",
       [] {
         auto v = InfoValue(1, 1, false, false);
         v->SetField("count", StringValue::GetInstance("four"));
         return v;
       },
       nullptr},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    target->calls.clear();
    gets.clear();
    auto cb = CallGet();
    cb(Answer(c.output()), Progress{0, 1, 1});
    ErrorValuePtr error = OnlyGetError();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->name(), "invalid_argument");
    auto ids = MessageIds(error);
    EXPECT_FALSE(ids.empty());
    if (c.messageId) {
      EXPECT_EQ(ids, std::vector<std::string>{c.messageId});
    }
  }
}

TEST_F(StubTest, ErrorAnswerArrivesExactlyEvenWithOutput) {
  auto sent = Errors::NotFound::Create({Tarn::Message<Tarn::CoreTag>("tarn.data.invalid.type")});
  auto cb = CallGet();
  cb(Answer(InfoValue(1, 1, true, true), sent), Progress{0, 1, 1});
  EXPECT_EQ(OnlyGetError(), sent);
}

TEST_F(StubTest, ErrorsAreNotCheckedAgainstTheOperationsList) {
  // Not one of "get"'s errors: the client side delivers it as it came.
  auto sent = Errors::AlreadyExists::Create();
  auto cb = CallGet();
  cb(Answer(nullptr, sent), Progress{0, 1, 1});
  EXPECT_EQ(OnlyGetError(), sent);
}

TEST_F(StubTest, AnswerWithNeitherOutputNorErrorDeliversANullError) {
  auto cb = CallGet();
  cb(MethodResult::GetTerminationInstance(), Progress{0, 1, 1});
  ASSERT_EQ(gets.size(), 1u);
  EXPECT_FALSE(gets[0].result);
  EXPECT_EQ(gets[0].error, nullptr);
  EXPECT_EQ(gets[0].progress, (Progress{0, 1, 1}));
}

TEST_F(StubTest, VoidOperationAnswers) {
  struct Case {
    const char* name;
    DataValuePtr output;
    bool ok;
  };
  const std::vector<Case> cases{
      {"void value", VoidValue::GetInstance(), true},
      {"empty string", StringValue::GetInstance(""), true},
      {"integer", IntegerValue::GetInstance(1), false},
      {"non-empty string", StringValue::GetInstance("done"), false},
      {"structure", StructValue::GetInstance("x"), false},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    target->calls.clear();
    updates.clear();
    auto cb = CallUpdate();
    cb(Answer(c.output), Progress{0, 1, 1});
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].progress, (Progress{0, 1, 1}));
    if (c.ok) {
      EXPECT_TRUE(updates[0].result);
      EXPECT_FALSE(updates[0].error);
    } else {
      EXPECT_FALSE(updates[0].result);
      ASSERT_TRUE(updates[0].error);
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
  cb(Answer(InfoValue(6, 3, false, false)), Progress{0, 1, 1});
  ASSERT_EQ(gets.size(), 3u);
  ASSERT_TRUE(gets[2].result && *gets[2].result);
  EXPECT_EQ((*gets[2].result)->count, 6);
  EXPECT_EQ(gets[2].progress, (Progress{0, 1, 1}));
}

TEST_F(StubTest, ContinuationFromTheRuntimeIsIgnored) {
  auto cb = CallGet();
  int asked = 0;
  cb(Answer(InfoValue(1, 1, false, false)), Progress{0, 1, 1},
     [&asked](std::shared_ptr<AsyncApiResultCb>) { ++asked; });
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(gets.size(), 1u);
}

TEST_F(StubTest, LateAnswerFromAnotherThreadReachesTheCaller) {
  auto cb = CallGet();
  EXPECT_TRUE(gets.empty());
  std::thread runtime([cb] { cb(Answer(InfoValue(2, 1, false, true)), Progress{0, 1, 1}); });
  runtime.join();
  ASSERT_EQ(gets.size(), 1u);
  ASSERT_TRUE(gets[0].result && *gets[0].result);
  EXPECT_TRUE((*gets[0].result)->hotRemoveEnabled);
}

TEST_F(StubTest, AnswerArrivesAfterTheStubIsGone) {
  AsyncApiResultCb cb;
  {
    CpusSvc::AsyncServiceStub shortLived(apiStub);
    shortLived.Get("vm-1", nullptr, CatchGet());
    cb = target->calls.back().callback;
  }
  cb(Answer(InfoValue(1, 1, false, false)), Progress{0, 1, 1});
  EXPECT_EQ(gets.size(), 1u);
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

TEST_F(StubTest, ExceptionFromTheCallersCallbackPassesThrough) {
  target->answerAtOnce = [](const AsyncApiResultCb& cb) {
    cb(Answer(InfoValue(3, 1, false, false)), Progress{0, 1, 1});
  };
  EXPECT_THROW(stub.Get("vm-1", nullptr,
                        GetResult([](const boost::optional<InfoPtr>&, const ErrorValuePtr&,
                                     const Progress&) { throw std::runtime_error("caller"); })),
               std::runtime_error);
}

using StubDeathTest = StubTest;

TEST_F(StubDeathTest, SecondFinalAnswerEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto cb = CallGet();
  cb(Answer(InfoValue(1, 1, false, false)), Progress{0, 1, 1});
  ASSERT_EQ(gets.size(), 1u);
  EXPECT_DEATH(cb(Answer(nullptr, Errors::NotFound::Create()), Progress{0, 1, 1}), "");
}

TEST_F(StubDeathTest, IntermediateReportAfterTheFinalAnswerEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto cb = CallUpdate();
  cb(Answer(VoidValue::GetInstance()), Progress{0, 1, 1});
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_DEATH(cb(nullptr, Progress{0, 1, 2}), "");
}

}  // namespace
