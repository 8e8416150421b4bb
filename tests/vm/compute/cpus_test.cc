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
#include "tests/binding/cpus_test_util.h"
#include "tests/vm/service_test_util.h"

namespace {

using Com::Brantel::Kov::Vm::Compute::CpusSvc;
using Tarn::MessageList;
using Tarn::Progress;
using Tarn::Void;
using Tarn::Core::AsyncActivation;
using Tarn::Core::AsyncApiResultCb;
using Tarn::Core::LocalProvider;
using Tarn::Data::DataValuePtr;
using Tarn::Data::ErrorValuePtr;
using Tarn::Stub::AsyncApiStub;
using namespace ServiceTest;  // NOLINT(build/namespaces)
using KovTest::Seen;
namespace Errors = ::Com::Brantel::Tarn::Std::Errors;

using GetResult = CpusSvc::GetMethod::ResultCbType;
using UpdateResult = CpusSvc::UpdateMethod::ResultCbType;
using InfoPtr = std::shared_ptr<const CpusSvc::Info>;
using SpecPtr = std::shared_ptr<const CpusSvc::UpdateSpec>;

constexpr char kService[] = "com.brantel.kov.vm.compute.cpus";
constexpr char kNative[] = "::Com::Brantel::Kov::Vm::Compute::CpusSvc::";

// A host implementation that records its calls and answers as each test tells it to.
class HostCpus : public CpusSvc::AsyncServiceInterface {
 public:
  struct Call {
    std::string vm;
    SpecPtr spec;
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
  void Update(const std::string& vm, const SpecPtr& spec,
              const std::shared_ptr<AsyncActivation>& activation,
              const UpdateResult& result) override {
    updates.push_back({vm, spec, activation->resourceIds()});
    onUpdate(result);
  }

  std::vector<Call> gets;
  std::vector<Call> updates;
};

bool NamesInArguments(const ErrorValuePtr& error, const std::string& text) {
  for (auto& m : error ? error->Messages() : MessageList{}) {
    for (auto& a : m.args) {
      if (a == text) return true;
    }
  }
  return false;
}

std::shared_ptr<CpusSvc::UpdateSpec> Spec(const Fields& unknown = {}) {
  auto spec = std::make_shared<CpusSvc::UpdateSpec>();
  if (!unknown.empty()) spec->unknownFields = Unknown(unknown);
  return spec;
}

class CpusEndToEnd : public ::testing::Test, protected KovTest::CpusCaller {
 protected:
  CpusEndToEnd() {
    MessageList messages;
    EXPECT_TRUE(
        provider->Register(CpusSvc::AsyncServiceBinder::BindImplementation(host), messages));
    EXPECT_TRUE(messages.empty());
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
  // The error of the one final answer received, after which nothing came; forgets that answer.
  template <class R>
  ErrorValuePtr OnlyError(std::vector<Seen<R>>& seen) {
    EXPECT_EQ(seen.size(), 1u);
    if (seen.size() != 1) return nullptr;
    EXPECT_FALSE(seen[0].result);
    EXPECT_EQ(seen[0].progress, (Progress{0, 1, 1}));
    ErrorValuePtr error = seen[0].error;
    seen.clear();
    return error;
  }

  std::shared_ptr<HostCpus> host = std::make_shared<HostCpus>();
  std::shared_ptr<LocalProvider> provider = LocalProvider::GetInstance();
  std::shared_ptr<AsyncApiStub> apiStub = AsyncApiStub::GetInstance(provider);
  CpusSvc::AsyncServiceStub stub{apiStub};
};

TEST_F(CpusEndToEnd, RecordAnswerArrivesAsTheRecord) {
  stub.Get("vm-1", nullptr, CatchGet());
  ASSERT_EQ(gets.size(), 1u);
  ASSERT_TRUE(gets[0].result && *gets[0].result) << Text(gets[0].error);
  const CpusSvc::Info& info = **gets[0].result;
  EXPECT_EQ(info.count, 4);
  EXPECT_EQ(info.coresPerSocket, 2);
  EXPECT_TRUE(info.hotAddEnabled);
  EXPECT_FALSE(info.hotRemoveEnabled);
  EXPECT_EQ(gets[0].progress, (Progress{0, 1, 1}));
  ASSERT_EQ(host->gets.size(), 1u);
  EXPECT_EQ(host->gets[0].vm, "vm-1");

  // Unknown fields of the record reach the client.
  host->onGet = [](const GetResult& result) {
    auto info = std::make_shared<CpusSvc::Info>();
    info->unknownFields = Unknown({{"threads_per_core", Int(2)}});
    result(info);
  };
  stub.Get("vm-1", nullptr, CatchGet());
  ASSERT_EQ(gets.size(), 2u);
  ASSERT_TRUE(gets[1].result && *gets[1].result && (*gets[1].result)->unknownFields);
  EXPECT_TRUE((*gets[1].result)->unknownFields->HasField("threads_per_core"));
}

TEST_F(CpusEndToEnd, UpdateCompletesAndTheHostSeesTheSpec) {
  auto spec = Spec();
  spec->count = 8;
  stub.Update("vm-1", spec, nullptr, CatchUpdate());
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_TRUE(updates[0].result && !updates[0].error);
  ASSERT_EQ(host->updates.size(), 1u);
  const auto& seen = host->updates[0].spec;
  ASSERT_TRUE(seen);
  EXPECT_NE(seen, spec);  // the host gets the decoded copy, not the client's object
  EXPECT_EQ(seen->count, boost::optional<std::int64_t>(8));
  EXPECT_FALSE(seen->coresPerSocket || seen->hotAddEnabled || seen->hotRemoveEnabled);

  // An undeclared spec field holding nothing passes.
  stub.Update("vm-1", Spec({{"sockets", Unset()}}), nullptr, CatchUpdate());
  ASSERT_EQ(updates.size(), 2u);
  EXPECT_TRUE(updates[1].result);
  EXPECT_EQ(host->updates.size(), 2u);
}

TEST_F(CpusEndToEnd, ErrorsFromTheHost) {
  // An error from the list arrives unchanged.
  auto sent = Errors::NotFound::Create(
      {Tarn::Message<Tarn::CoreTag>("tarn.provider.interface.not.found", "vm-1")});
  host->onGet = [sent](const GetResult& result) { result.error(sent); };
  stub.Get("vm-1", nullptr, CatchGet());
  ErrorValuePtr error = OnlyError(gets);
  ASSERT_TRUE(error);
  EXPECT_TRUE(error->Equals(*sent)) << error->ToString();
  auto busy = Errors::ResourceBusy::Create();
  host->onUpdate = [busy](const UpdateResult& result) { result.error(busy); };
  stub.Update("vm-1", Spec(), nullptr, CatchUpdate());
  error = OnlyError(updates);
  ASSERT_TRUE(error);
  EXPECT_TRUE(error->Equals(*busy));

  // One outside the list arrives as the internal server error naming it.
  host->onGet = [](const GetResult& result) { result.error(Errors::ResourceBusy::Create()); };
  stub.Get("vm-1", nullptr, CatchGet());
  error = OnlyError(gets);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), StdError("internal_server_error"));
  EXPECT_TRUE(NamesInArguments(error, Errors::ResourceBusy::typeName)) << error->ToString();

  // So does a null record, without messages.
  host->onGet = [](const GetResult& result) { result(nullptr); };
  stub.Get("vm-1", nullptr, CatchGet());
  error = OnlyError(gets);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), StdError("internal_server_error"));
  EXPECT_TRUE(error->Messages().empty());
}

TEST_F(CpusEndToEnd, RefusedInputsNeverReachTheHost) {
  // An undeclared spec field with a value is refused by the provider.
  auto spec = Spec({{"sockets", Int(2)}});
  spec->count = 2;
  auto activation = AsyncActivation::GetInstance();
  stub.Update("vm-1", spec, activation, CatchUpdate());
  ErrorValuePtr error = OnlyError(updates);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), StdError("invalid_argument"));
  ExpectUndeclared(error->Messages(), kNative, "Update", "UpdateSpec", "sockets");
  EXPECT_TRUE(activation->resourceIds().empty());

  // So is an undeclared "get" input field with a value.
  SendGetValue(VmInput({{"verbose", Str("yes")}}), activation);
  error = OnlyError(gets);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), StdError("invalid_argument"));
  ExpectUndeclared(error->Messages(), kNative, "Get", "GetMethod::Input", "verbose");

  // A missing input field is refused naming it.
  SendGetValue(Input({}), activation);
  error = OnlyError(gets);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), StdError("invalid_argument"));
  EXPECT_TRUE(NamesInArguments(error, "vm")) << error->ToString();
  EXPECT_TRUE(activation->resourceIds().empty());

  // A null required spec is refused on the client side.
  stub.Update("vm-1", nullptr, nullptr, CatchUpdate());
  error = OnlyError(updates);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), StdError("invalid_argument"));
  ASSERT_EQ(MessageIds(error), std::vector<std::string>{"tarn.data.unset.non.optional.field"});
  EXPECT_EQ(error->Messages()[0].args,
            std::vector<std::string>{"com.brantel.kov.vm.compute.cpus.update_spec"});
  EXPECT_TRUE(host->updates.empty() && host->gets.empty());
}

TEST_F(CpusEndToEnd, ResourceIsToldOnceBeforeTheImplementationRuns) {
  struct Case {
    const char* vm;
    bool update;
  };
  for (const Case& c : {Case{"vm-9", false}, Case{"vm:with/odd chars", true}, Case{"", false}}) {
    SCOPED_TRACE(c.vm);
    auto activation = AsyncActivation::GetInstance();
    if (c.update) {
      stub.Update(c.vm, Spec(), activation, CatchUpdate());
    } else {
      stub.Get(c.vm, activation, CatchGet());
    }
    // An empty machine id still names a resource.
    const std::vector<std::string> expected{MachineResource(c.vm)};
    EXPECT_EQ((c.update ? host->updates : host->gets).back().resourcesAtCall, expected);
    EXPECT_EQ(activation->resourceIds(), expected);
  }
  // The stub's default activation is never written.
  stub.Get("vm-1", nullptr, CatchGet());
  EXPECT_TRUE(apiStub->defaultActivation()->resourceIds().empty());
  EXPECT_EQ(apiStub->defaultActivation()->localizer, nullptr);
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
  EXPECT_FALSE(gets[0].result || gets[0].error);
  EXPECT_EQ(gets[0].progress, (Progress{0, 1, 2}));
  kept(std::make_shared<CpusSvc::Info>());
  ASSERT_EQ(gets.size(), 2u);
  EXPECT_TRUE(gets[1].result && *gets[1].result);
  EXPECT_EQ(gets[1].progress, (Progress{0, 1, 1}));
}

TEST_F(CpusEndToEnd, UnknownInterfaceOrMethodIsNotFoundNamingIt) {
  CpusSvc::AsyncServiceStub lonely(AsyncApiStub::GetInstance(LocalProvider::GetInstance()));
  lonely.Get("vm-1", nullptr, CatchGet());
  ErrorValuePtr error = OnlyError(gets);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), StdError("not_found"));
  EXPECT_TRUE(NamesInArguments(error, kService));

  // An interface under the service's name that has only "get".
  auto partial = LocalProvider::GetInstance();
  auto full = CpusSvc::AsyncServiceBinder::BindImplementation(host);
  MessageList messages;
  ASSERT_TRUE(partial->Register(
      Tarn::Provider::AsyncApiInterface::GetInstance(full->identifier(), {full->methods()[0]}),
      messages));
  CpusSvc::AsyncServiceStub half(AsyncApiStub::GetInstance(partial));
  half.Update("vm-1", Spec(), nullptr, CatchUpdate());
  error = OnlyError(updates);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->name(), StdError("not_found"));
  EXPECT_TRUE(NamesInArguments(error, "update"));
  EXPECT_TRUE(host->updates.empty());
}

using CpusEndToEndDeathTest = CpusEndToEnd;

TEST_F(CpusEndToEndDeathTest, ImplementationAnsweringTwiceEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  host->onUpdate = [](const UpdateResult& result) {
    result(Void());
    result(Void());
  };
  EXPECT_DEATH(stub.Update("vm-1", Spec(), nullptr, CatchUpdate()), "");
}

// The service's records

TEST(CpusRecords, NamesDefaultsAndValidation) {
  using Tarn::Data::TypeInfo;
  EXPECT_EQ(TypeInfo<CpusSvc::AsyncServiceInterface>::name(), kService);
  EXPECT_EQ(TypeInfo<CpusSvc::Info>::name(), "com.brantel.kov.vm.compute.cpus.info");
  EXPECT_EQ(TypeInfo<CpusSvc::UpdateSpec>::name(), "com.brantel.kov.vm.compute.cpus.update_spec");
  EXPECT_EQ(TypeInfo<CpusSvc::GetMethod::Input>::name(), TypeInfo<Tarn::OperationInput>::name());
  EXPECT_EQ(TypeInfo<CpusSvc::UpdateMethod::Input>::name(), TypeInfo<Tarn::OperationInput>::name());

  auto info = TypeInfo<CpusSvc::Info>::defaultInstance();
  EXPECT_EQ(info->count, 0);
  EXPECT_EQ(info->coresPerSocket, 0);
  EXPECT_FALSE(info->hotAddEnabled || info->hotRemoveEnabled);
  auto spec = TypeInfo<CpusSvc::UpdateSpec>::defaultInstance();
  EXPECT_FALSE(spec->count || spec->coresPerSocket || spec->hotAddEnabled ||
               spec->hotRemoveEnabled);

  // Validation rejects undeclared fields with a value only; a record that is no operation input
  // gets no leading message.
  CpusSvc::Info record;
  EXPECT_TRUE(ValidationIds(record).empty());
  record.unknownFields = Unknown({{"gone", Unset()}});
  EXPECT_TRUE(ValidationIds(record).empty());
  record.unknownFields->SetField("extra", Int(1));
  MessageList messages;
  EXPECT_EQ(ValidationIds(record, nullptr, &messages),
            std::vector<std::string>{"tarn.data.compound.field.extra"});
  EXPECT_EQ(messages[0].args,
            (std::vector<std::string>{std::string(kNative) + "Info", "extra", ""}));
}

}  // namespace
