// The CPU service end to end: its stub, through the in-process provider, into a bound
// implementation and back.
#include "vm/compute/cpus.h"

#include <gtest/gtest.h>

#include <boost/optional/optional_io.hpp>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "runtime/activation.h"
#include "runtime/local_provider.h"
#include "runtime/operation_input.h"
#include "runtime/std_errors.h"

namespace {

using Com::Brantel::Kov::Vm::Compute::CpusSvc;
using Tarn::MessageList;
using Tarn::Progress;
using Tarn::Void;
using Tarn::Core::AsyncActivation;
using Tarn::Core::AsyncApiResultCb;
using Tarn::Core::LocalProvider;
using Tarn::Core::MethodResultPtr;
using Tarn::Data::DataValuePtr;
using Tarn::Data::ErrorValue;
using Tarn::Data::ErrorValuePtr;
using Tarn::Data::IntegerValue;
using Tarn::Data::OptionalValue;
using Tarn::Data::StringValue;
using Tarn::Data::StructValue;
using Tarn::Stub::AsyncApiStub;
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;

using GetResult = CpusSvc::GetMethod::ResultCbType;
using UpdateResult = CpusSvc::UpdateMethod::ResultCbType;
using InfoPtr = std::shared_ptr<const CpusSvc::Info>;

constexpr char kService[] = "com.brantel.kov.vm.compute.cpus";
constexpr char kInvalidArgument[] = "com.brantel.tarn.std.errors.invalid_argument";
constexpr char kInternalServerError[] = "com.brantel.tarn.std.errors.internal_server_error";
constexpr char kNotFound[] = "com.brantel.tarn.std.errors.not_found";

// A host implementation that records its calls and answers as each test tells it to.
class HostCpus : public CpusSvc::AsyncServiceInterface {
 public:
  struct Call {
    std::string vm;
    std::shared_ptr<const CpusSvc::UpdateSpec> spec;
    std::vector<std::string> resourcesAtCall;
  };

  std::function<void(const GetResult&)> onGet = [](const GetResult& result) {
    auto info = std::make_shared<CpusSvc::Info>();
    info->count = 4;
    info->coresPerSocket = 2;
    info->hotAddEnabled = true;
    info->hotRemoveEnabled = false;
    result(info);
  };
  std::function<void(const UpdateResult&)> onUpdate = [](const UpdateResult& result) {
    result(Void());
  };

  void Get(const std::string& vm, const std::shared_ptr<AsyncActivation>& activation,
           const GetResult& result) override {
    gets.push_back({vm, nullptr, activation->resourceIds()});
    onGet(result);
  }
  void Update(const std::string& vm, const std::shared_ptr<const CpusSvc::UpdateSpec>& spec,
              const std::shared_ptr<AsyncActivation>& activation,
              const UpdateResult& result) override {
    updates.push_back({vm, spec, activation->resourceIds()});
    onUpdate(result);
  }

  std::vector<Call> gets;
  std::vector<Call> updates;
};

template <class R>
struct Seen {
  boost::optional<R> result;
  ErrorValuePtr error;
  Progress progress;
};

bool NamesInArguments(const ErrorValuePtr& error, const std::string& text) {
  if (!error) return false;
  for (auto& m : error->Messages()) {
    for (auto& a : m.args) {
      if (a == text) return true;
    }
  }
  return false;
}

class CpusEndToEnd : public ::testing::Test {
 protected:
  CpusEndToEnd() {
    MessageList messages;
    EXPECT_TRUE(
        provider->Register(CpusSvc::AsyncServiceBinder::BindImplementation(host), messages));
    EXPECT_TRUE(messages.empty());
  }

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
  // Sends a hand-built "get" input value the way the stub sends its own, and delivers the answer
  // through the stub's result wrapper to the "get" caller.
  void SendGetValue(const DataValuePtr& input,
                    const std::shared_ptr<AsyncActivation>& activation = nullptr) {
    auto id = Tarn::Core::MethodIdentifier::GetInstance(
        Tarn::Core::InterfaceIdentifier::GetInstance(kService), "get");
    apiStub->Invoke(
        id, input, activation,
        AsyncApiResultCb(
            Tarn::Stub::AsyncResultWrapper::ResultWrapper<InfoPtr, GetResult>(CatchGet())));
  }
  ErrorValuePtr OnlyGetError() {
    EXPECT_EQ(gets.size(), 1u);
    if (gets.empty()) return nullptr;
    EXPECT_FALSE(gets[0].result);
    EXPECT_EQ(gets[0].progress, (Progress{0, 1, 1}));
    return gets[0].error;
  }
  ErrorValuePtr OnlyUpdateError() {
    EXPECT_EQ(updates.size(), 1u);
    if (updates.empty()) return nullptr;
    EXPECT_FALSE(updates[0].result);
    return updates[0].error;
  }

  std::shared_ptr<HostCpus> host = std::make_shared<HostCpus>();
  std::shared_ptr<LocalProvider> provider = LocalProvider::GetInstance();
  std::shared_ptr<AsyncApiStub> apiStub = AsyncApiStub::GetInstance(provider);
  CpusSvc::AsyncServiceStub stub{apiStub};
  std::vector<Seen<InfoPtr>> gets;
  std::vector<Seen<Void>> updates;
};

TEST_F(CpusEndToEnd, RecordAnswerArrivesAsTheRecord) {
  stub.Get("vm-1", nullptr, CatchGet());
  ASSERT_EQ(gets.size(), 1u);
  ASSERT_FALSE(gets[0].error) << gets[0].error->ToString();
  ASSERT_TRUE(gets[0].result && *gets[0].result);
  const CpusSvc::Info& info = **gets[0].result;
  EXPECT_EQ(info.count, 4);
  EXPECT_EQ(info.coresPerSocket, 2);
  EXPECT_TRUE(info.hotAddEnabled);
  EXPECT_FALSE(info.hotRemoveEnabled);
  EXPECT_EQ(gets[0].progress, (Progress{0, 1, 1}));
  ASSERT_EQ(host->gets.size(), 1u);
  EXPECT_EQ(host->gets[0].vm, "vm-1");
}

TEST_F(CpusEndToEnd, UnknownFieldsOfTheRecordReachTheClient) {
  host->onGet = [](const GetResult& result) {
    auto info = std::make_shared<CpusSvc::Info>();
    info->unknownFields = StructValue::GetInstance("unknownFields");
    info->unknownFields->SetField("threads_per_core", IntegerValue::GetInstance(2));
    result(info);
  };
  stub.Get("vm-1", nullptr, CatchGet());
  ASSERT_EQ(gets.size(), 1u);
  ASSERT_TRUE(gets[0].result && *gets[0].result);
  ASSERT_TRUE((*gets[0].result)->unknownFields);
  EXPECT_TRUE((*gets[0].result)->unknownFields->HasField("threads_per_core"));
}

TEST_F(CpusEndToEnd, UpdateCompletesAndTheHostSeesTheSpec) {
  auto spec = std::make_shared<CpusSvc::UpdateSpec>();
  spec->count = 8;
  stub.Update("vm-1", spec, nullptr, CatchUpdate());
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_TRUE(updates[0].result);
  EXPECT_FALSE(updates[0].error);
  ASSERT_EQ(host->updates.size(), 1u);
  const auto& seen = host->updates[0].spec;
  ASSERT_TRUE(seen);
  EXPECT_NE(seen, spec);  // the host gets the decoded copy, not the client's object
  EXPECT_EQ(seen->count, boost::optional<std::int64_t>(8));
  EXPECT_FALSE(seen->coresPerSocket);
  EXPECT_FALSE(seen->hotAddEnabled);
  EXPECT_FALSE(seen->hotRemoveEnabled);
}

TEST_F(CpusEndToEnd, ErrorFromTheListArrivesUnchanged) {
  auto sent = Errors::NotFound::Create(
      {Tarn::Message<Tarn::CoreTag>("tarn.provider.interface.not.found", "vm-1")});
  host->onGet = [sent](const GetResult& result) { result.error(sent); };
  stub.Get("vm-1", nullptr, CatchGet());
  ErrorValuePtr error = OnlyGetError();
  ASSERT_TRUE(error);
  EXPECT_TRUE(error->Equals(*sent)) << error->ToString();

  auto busy = Errors::ResourceBusy::Create();
  host->onUpdate = [busy](const UpdateResult& result) { result.error(busy); };
  stub.Update("vm-1", std::make_shared<CpusSvc::UpdateSpec>(), nullptr, CatchUpdate());
  error = OnlyUpdateError();
  ASSERT_TRUE(error);
  EXPECT_TRUE(error->Equals(*busy));
}

TEST_F(CpusEndToEnd, ErrorOutsideTheListArrivesAsInternalServerErrorNamingIt) {
  host->onGet = [](const GetResult& result) { result.error(Errors::ResourceBusy::Create()); };
  stub.Get("vm-1", nullptr, CatchGet());
  ErrorValuePtr error = OnlyGetError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInternalServerError);
  EXPECT_TRUE(NamesInArguments(error, Errors::ResourceBusy::typeName)) << error->ToString();
}

TEST_F(CpusEndToEnd, NullRecordArrivesAsInternalServerErrorWithoutMessages) {
  host->onGet = [](const GetResult& result) { result(nullptr); };
  stub.Get("vm-1", nullptr, CatchGet());
  ErrorValuePtr error = OnlyGetError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInternalServerError);
  EXPECT_TRUE(error->Messages().empty());
}

TEST_F(CpusEndToEnd, UndeclaredSpecFieldWithAValueIsRefusedByTheProvider) {
  auto spec = std::make_shared<CpusSvc::UpdateSpec>();
  spec->count = 2;
  spec->unknownFields = StructValue::GetInstance("unknownFields");
  spec->unknownFields->SetField("sockets", IntegerValue::GetInstance(2));
  auto activation = AsyncActivation::GetInstance();
  stub.Update("vm-1", spec, activation, CatchUpdate());
  ErrorValuePtr error = OnlyUpdateError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInvalidArgument);
  auto messages = error->Messages();
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[0].id, "tarn.invoke.invalid.input");
  EXPECT_EQ(messages[0].args,
            std::vector<std::string>{"::Com::Brantel::Kov::Vm::Compute::CpusSvc::Update"});
  EXPECT_EQ(messages[1].id, "tarn.data.compound.field.extra");
  ASSERT_GE(messages[1].args.size(), 2u);
  EXPECT_EQ(messages[1].args[0], "::Com::Brantel::Kov::Vm::Compute::CpusSvc::UpdateSpec");
  EXPECT_EQ(messages[1].args[1], "sockets");
  EXPECT_TRUE(host->updates.empty());
  EXPECT_TRUE(activation->resourceIds().empty());
}

TEST_F(CpusEndToEnd, UndeclaredSpecFieldHoldingNothingPasses) {
  auto spec = std::make_shared<CpusSvc::UpdateSpec>();
  spec->unknownFields = StructValue::GetInstance("unknownFields");
  spec->unknownFields->SetField("sockets", OptionalValue::GetInstance());
  stub.Update("vm-1", spec, nullptr, CatchUpdate());
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_TRUE(updates[0].result);
  EXPECT_EQ(host->updates.size(), 1u);
}

TEST_F(CpusEndToEnd, UndeclaredGetInputFieldWithAValueIsRefused) {
  auto input = StructValue::GetInstance(Tarn::Data::TypeInfo<Tarn::OperationInput>::name());
  input->SetField("vm", StringValue::GetInstance("vm-1"));
  input->SetField("verbose", StringValue::GetInstance("yes"));
  auto activation = AsyncActivation::GetInstance();
  SendGetValue(input, activation);
  ErrorValuePtr error = OnlyGetError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInvalidArgument);
  auto messages = error->Messages();
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[0].id, "tarn.invoke.invalid.input");
  EXPECT_EQ(messages[0].args,
            std::vector<std::string>{"::Com::Brantel::Kov::Vm::Compute::CpusSvc::Get"});
  EXPECT_EQ(messages[1].id, "tarn.data.compound.field.extra");
  ASSERT_GE(messages[1].args.size(), 2u);
  EXPECT_EQ(messages[1].args[0], "::Com::Brantel::Kov::Vm::Compute::CpusSvc::GetMethod::Input");
  EXPECT_EQ(messages[1].args[1], "verbose");
  EXPECT_TRUE(host->gets.empty());
  EXPECT_TRUE(activation->resourceIds().empty());
}

TEST_F(CpusEndToEnd, MissingInputFieldIsRefused) {
  auto activation = AsyncActivation::GetInstance();
  SendGetValue(StructValue::GetInstance(Tarn::Data::TypeInfo<Tarn::OperationInput>::name()),
               activation);
  ErrorValuePtr error = OnlyGetError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInvalidArgument);
  EXPECT_FALSE(error->Messages().empty());
  EXPECT_TRUE(NamesInArguments(error, "vm")) << error->ToString();
  EXPECT_TRUE(host->gets.empty());
  EXPECT_TRUE(activation->resourceIds().empty());
}

TEST_F(CpusEndToEnd, NullRequiredSpecIsRefusedOnTheClientSide) {
  stub.Update("vm-1", nullptr, nullptr, CatchUpdate());
  ErrorValuePtr error = OnlyUpdateError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kInvalidArgument);
  auto messages = error->Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].id, "tarn.data.unset.non.optional.field");
  EXPECT_EQ(messages[0].args,
            std::vector<std::string>{"com.brantel.kov.vm.compute.cpus.update_spec"});
  EXPECT_TRUE(host->updates.empty());
}

TEST_F(CpusEndToEnd, ResourceIsToldOnceBeforeTheImplementationRuns) {
  auto activation = AsyncActivation::GetInstance();
  stub.Get("vm-9", activation, CatchGet());
  const std::vector<std::string> expected{"com.brantel.kov.vm.VirtualMachine.vm-9"};
  ASSERT_EQ(host->gets.size(), 1u);
  EXPECT_EQ(host->gets[0].resourcesAtCall, expected);
  EXPECT_EQ(activation->resourceIds(), expected);

  auto second = AsyncActivation::GetInstance();
  stub.Update("vm:with/odd chars", std::make_shared<CpusSvc::UpdateSpec>(), second, CatchUpdate());
  ASSERT_EQ(host->updates.size(), 1u);
  const std::vector<std::string> odd{"com.brantel.kov.vm.VirtualMachine.vm:with/odd chars"};
  EXPECT_EQ(host->updates[0].resourcesAtCall, odd);
  EXPECT_EQ(second->resourceIds(), odd);
}

TEST_F(CpusEndToEnd, DefaultActivationIsNeverWritten) {
  stub.Get("vm-1", nullptr, CatchGet());
  EXPECT_EQ(host->gets.size(), 1u);
  EXPECT_TRUE(apiStub->defaultActivation()->resourceIds().empty());
  EXPECT_EQ(apiStub->defaultActivation()->localizer, nullptr);
}

TEST_F(CpusEndToEnd, EmptyVmStillNamesAResource) {
  auto activation = AsyncActivation::GetInstance();
  stub.Get("", activation, CatchGet());
  EXPECT_EQ(activation->resourceIds(),
            std::vector<std::string>{"com.brantel.kov.vm.VirtualMachine."});
}

TEST_F(CpusEndToEnd, BoundLocalizerReachesTheCallersActivation) {
  auto provider2 = LocalProvider::GetInstance();
  auto localizer = std::make_shared<Tarn::L10n::Localizer>();
  MessageList messages;
  ASSERT_TRUE(provider2->Register(CpusSvc::AsyncServiceBinder::BindImplementation(host, localizer),
                                  messages));
  CpusSvc::AsyncServiceStub stub2(AsyncApiStub::GetInstance(provider2));
  auto activation = AsyncActivation::GetInstance();
  stub2.Get("vm-1", activation, CatchGet());
  EXPECT_EQ(activation->localizer, localizer);
}

TEST_F(CpusEndToEnd, LateAnswerFromAnotherThreadReachesTheClient) {
  GetResult kept;
  host->onGet = [&kept](const GetResult& result) { kept = result; };
  stub.Get("vm-1", nullptr, CatchGet());
  EXPECT_TRUE(gets.empty());

  // The service is withdrawn and the host let go of before the answer comes: the outstanding
  // answer keeps the method object, and so the implementation, alive.
  std::weak_ptr<HostCpus> watch = host;
  EXPECT_TRUE(provider->Unregister(kService));
  host.reset();
  EXPECT_FALSE(watch.expired());

  std::thread worker([result = std::move(kept)] {
    auto info = std::make_shared<CpusSvc::Info>();
    info->count = 32;
    result(info);
  });
  worker.join();
  ASSERT_EQ(gets.size(), 1u);
  ASSERT_TRUE(gets[0].result && *gets[0].result);
  EXPECT_EQ((*gets[0].result)->count, 32);
  EXPECT_TRUE(watch.expired());
}

TEST_F(CpusEndToEnd, IntermediateReportsReachTheClientBeforeTheAnswer) {
  GetResult kept;
  host->onGet = [&kept](const GetResult& result) {
    kept = result;
    result.resultCb()(boost::none, nullptr, boost::none, Progress{0, 1, 2});
  };
  stub.Get("vm-1", nullptr, CatchGet());
  ASSERT_EQ(gets.size(), 1u);
  EXPECT_FALSE(gets[0].result);
  EXPECT_FALSE(gets[0].error);
  EXPECT_EQ(gets[0].progress, (Progress{0, 1, 2}));
  kept(std::make_shared<CpusSvc::Info>());
  ASSERT_EQ(gets.size(), 2u);
  EXPECT_TRUE(gets[1].result && *gets[1].result);
  EXPECT_EQ(gets[1].progress, (Progress{0, 1, 1}));
}

TEST_F(CpusEndToEnd, UnansweredCallTellsTheClientNothing) {
  host->onGet = [](const GetResult&) {};
  stub.Get("vm-1", nullptr, CatchGet());
  EXPECT_EQ(host->gets.size(), 1u);
  EXPECT_TRUE(gets.empty());
}

TEST_F(CpusEndToEnd, UnknownInterfaceOrMethodIsNotFoundNamingIt) {
  auto empty = LocalProvider::GetInstance();
  CpusSvc::AsyncServiceStub lonely(AsyncApiStub::GetInstance(empty));
  lonely.Get("vm-1", nullptr, CatchGet());
  ErrorValuePtr error = OnlyGetError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kNotFound);
  EXPECT_TRUE(NamesInArguments(error, kService));

  // An interface under the service's name that has only "get".
  auto partial = LocalProvider::GetInstance();
  auto full = CpusSvc::AsyncServiceBinder::BindImplementation(host);
  MessageList messages;
  ASSERT_TRUE(partial->Register(
      Tarn::Provider::AsyncApiInterface::GetInstance(full->identifier(), {full->methods()[0]}),
      messages));
  CpusSvc::AsyncServiceStub half(AsyncApiStub::GetInstance(partial));
  half.Update("vm-1", std::make_shared<CpusSvc::UpdateSpec>(), nullptr, CatchUpdate());
  error = OnlyUpdateError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kNotFound);
  EXPECT_TRUE(NamesInArguments(error, "update"));
  EXPECT_TRUE(host->updates.empty());
}

TEST_F(CpusEndToEnd, RegisteringTheSameInterfaceTwiceIsRefused) {
  MessageList messages;
  EXPECT_FALSE(provider->Register(CpusSvc::AsyncServiceBinder::BindImplementation(host), messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].args, std::vector<std::string>{kService});
  // The first registration is still the one that answers.
  stub.Get("vm-1", nullptr, CatchGet());
  EXPECT_EQ(gets.size(), 1u);

  messages.clear();
  EXPECT_FALSE(provider->Register(nullptr, messages));
  EXPECT_EQ(messages.size(), 1u);
}

TEST_F(CpusEndToEnd, UnregisteredServiceIsNotFound) {
  EXPECT_TRUE(provider->Unregister(kService));
  EXPECT_FALSE(provider->Unregister(kService));
  stub.Get("vm-1", nullptr, CatchGet());
  ErrorValuePtr error = OnlyGetError();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), kNotFound);
  EXPECT_TRUE(host->gets.empty());
}

TEST_F(CpusEndToEnd, ProviderAnswersAMissingMethodIdentifier) {
  std::vector<MethodResultPtr> results;
  provider->Invoke(
      nullptr, nullptr, AsyncActivation::GetInstance(),
      AsyncApiResultCb([&results](const MethodResultPtr& r, const Progress&,
                                  AsyncApiResultCb::Continuation&&) { results.push_back(r); }));
  ASSERT_EQ(results.size(), 1u);
  ASSERT_TRUE(results[0] && results[0]->error());
  EXPECT_EQ(results[0]->error()->name(), kNotFound);
}

using CpusEndToEndDeathTest = CpusEndToEnd;

TEST_F(CpusEndToEndDeathTest, ImplementationAnsweringTwiceEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  host->onUpdate = [](const UpdateResult& result) {
    result(Void());
    result(Void());
  };
  EXPECT_DEATH(stub.Update("vm-1", std::make_shared<CpusSvc::UpdateSpec>(), nullptr, CatchUpdate()),
               "");
}

// ---------------------------------------------------------------------------------------------
// The service's records

TEST(CpusRecords, NamesAndDefaults) {
  using Tarn::Data::TypeInfo;
  EXPECT_EQ(TypeInfo<CpusSvc::AsyncServiceInterface>::name(), kService);
  EXPECT_EQ(TypeInfo<CpusSvc::Info>::name(), "com.brantel.kov.vm.compute.cpus.info");
  EXPECT_EQ(TypeInfo<CpusSvc::UpdateSpec>::name(), "com.brantel.kov.vm.compute.cpus.update_spec");
  EXPECT_EQ(TypeInfo<CpusSvc::GetMethod::Input>::name(), TypeInfo<Tarn::OperationInput>::name());
  EXPECT_EQ(TypeInfo<CpusSvc::UpdateMethod::Input>::name(), TypeInfo<Tarn::OperationInput>::name());

  auto info = TypeInfo<CpusSvc::Info>::defaultInstance();
  EXPECT_EQ(info->count, 0);
  EXPECT_EQ(info->coresPerSocket, 0);
  EXPECT_FALSE(info->hotAddEnabled);
  EXPECT_FALSE(info->hotRemoveEnabled);
  auto spec = TypeInfo<CpusSvc::UpdateSpec>::defaultInstance();
  EXPECT_FALSE(spec->count);
  EXPECT_FALSE(spec->coresPerSocket);
  EXPECT_FALSE(spec->hotAddEnabled);
  EXPECT_FALSE(spec->hotRemoveEnabled);
}

TEST(CpusRecords, ValidationRejectsUndeclaredFieldsWithAValueOnly) {
  CpusSvc::Info info;
  MessageList messages;
  EXPECT_TRUE(
      Tarn::Data::Validator::isValid(info, Tarn::Data::Validator::kRejectUndeclared, messages));
  info.unknownFields = StructValue::GetInstance("unknownFields");
  info.unknownFields->SetField("gone", OptionalValue::GetInstance());
  EXPECT_TRUE(
      Tarn::Data::Validator::isValid(info, Tarn::Data::Validator::kRejectUndeclared, messages));
  EXPECT_TRUE(messages.empty());
  info.unknownFields->SetField("extra", IntegerValue::GetInstance(1));
  EXPECT_FALSE(
      Tarn::Data::Validator::isValid(info, Tarn::Data::Validator::kRejectUndeclared, messages));
  ASSERT_EQ(messages.size(), 1u);  // not an operation input: no leading message
  EXPECT_EQ(messages[0].id, "tarn.data.compound.field.extra");
  EXPECT_EQ(messages[0].args[0], "::Com::Brantel::Kov::Vm::Compute::CpusSvc::Info");
  EXPECT_EQ(messages[0].args[1], "extra");
}

}  // namespace
